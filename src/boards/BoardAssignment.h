#pragma once
#include <optional>
#include <string>
#include <vector>

#include "boards/BoardManager.h"
#include "boards/BoardRoles.h"
#include "config/FileSystem.h"
#include "config/Settings.h"

namespace zrk {

// One key of CONFIG.INI and the text it takes.
struct SettingChange {
    std::string section;
    std::string key;
    std::string value;
    bool operator==(const SettingChange&) const = default;
};

// The serial number `role`'s key takes when `board` is given to it: the
// board's; 0 when the role is cleared (no board). Nothing when the board
// is of a kind that cannot fill the role.
std::optional<int> AssignedSerial(const BoardRole& role, const AttachedBoard* board);

// Every key that giving `board` to `role` (or clearing the role, for no
// board) changes, as the settings stand:
// - the role's serial key;
// - the serial key of every other role that names the same board, cleared:
//   a board fills one role, so that it is never driven as two (the trim
//   motor's board may still carry the speedbrake motor as well);
// - for a servo role given a board of the other servo kind, its
//   [SERVO_TYPE_ADVANCED] key, so that the roster opens it as what it is.
// Keys whose text would stay as it is are left out: the list is empty when
// nothing changes. Nothing when the board cannot fill the role.
std::optional<std::vector<SettingChange>> AssignBoard(const BoardRole& role, const AttachedBoard* board,
                                                      const Settings& s);

// Sets the fields of `s` to the changes, so that the running program and
// the saved file agree.
void ApplySettingChanges(const std::vector<SettingChange>& changes, Settings& s);

// Saves the changes the way every save of CONFIG.INI goes: the file is
// read (one that is there but is no settings file is never replaced),
// only the changed keys' lines are rewritten, every other line, the
// file's encoding and its line ends kept, and the new bytes replace the
// file atomically (a link keeps pointing at it). A missing file is
// created with the changes. Returns an empty string on success, else why
// it was not saved.
std::string SaveSettingChanges(IFileSystem& files, const std::string& path,
                               const std::vector<SettingChange>& changes);

} // namespace zrk

#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "boards/Board.h"
#include "config/Settings.h"

namespace zrk {

// The aircraft types the controller is set up for ([AIRCRAFT] TYPE).
enum class Aircraft { B777, B737, B747 };
// TYPE as the aircraft selector takes it: "747", "737", anything else 777.
Aircraft AircraftOf(const Settings& s);

// One board role of the quadrant: a key of [PHIDGETS_SERIAL_NUMBERS]
// naming the serial number of the board that fills it.
struct BoardRole {
    const char* key;       // MOTOR2_THROTTLES_1_2
    const char* name;      // "Throttle motors 1+2"
    const char* purpose;   // what the board drives or reads in this role
    // The kinds of board that can fill it, the usual first.
    std::vector<BoardKind> kinds;
    // For the trim indicator and speedbrake lift servos: the key of
    // [SERVO_TYPE_ADVANCED] that tells whether the board is an advanced
    // servo board (1) or a simple one (0). Null for the other roles.
    const char* servoTypeKey;
    // Another role that may name the same board: the speedbrake motor may
    // run on an output of the trim motor's board. Null for most.
    const char* sharesBoardWith;
    // Its row in the settings table (section, group, field).
    const SettingDef* setting;

    // The serial number the settings give it (0 or negative: none).
    int Serial(const Settings& s) const;
    // Whether the roster opens it for that aircraft type: the 747's own
    // boards are read for the 747 only.
    bool UsedOn(Aircraft aircraft) const;
    // The kind the roster opens it as, with these settings: a servo role
    // as its [SERVO_TYPE_ADVANCED] key says, every other role as its one kind.
    BoardKind OpenedAs(const Settings& s) const;
    bool CanBeFilledBy(BoardKind kind) const;
};

// Every board role, in the order of the settings table; the keys of
// [PHIDGETS_SERIAL_NUMBERS] that name no board (the remote card's mode,
// address and port) are no role.
const std::vector<BoardRole>& BoardRoles();
// The role of `key` (any letter case); null when the key is no role.
const BoardRole* FindBoardRole(std::string_view key);

} // namespace zrk

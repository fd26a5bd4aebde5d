#pragma once
#include <optional>
#include <string>
#include <vector>

#include "boards/BoardManager.h"
#include "boards/BoardRoles.h"
#include "config/Settings.h"

namespace zrk {

// How a role stands against the boards plugged in.
enum class RoleState {
    Filled,      // the configured board is attached, of the kind the roster opens
    Missing,     // a board is configured, none with its serial is attached
    WrongKind,   // the configured serial is attached, but as another kind of board
    NotUsed,     // no serial (0 or negative), or a role this aircraft type has not
};
// "filled", "missing", "wrong kind", "not used".
const char* RoleStateName(RoleState state);

struct RoleMatch {
    const BoardRole* role = nullptr;
    RoleState state = RoleState::NotUsed;
    int serial = 0;                       // as configured
    BoardKind openedAs{};                 // the kind the roster opens it as
    std::optional<AttachedBoard> board;   // the attached board of that serial
};

struct BoardsMatch {
    std::vector<RoleMatch> roles;            // every role, in BoardRoles() order
    std::vector<AttachedBoard> attached;     // every attached board, by serial
    std::vector<AttachedBoard> unassigned;   // the attached boards that fill no role

    const RoleMatch& Of(const BoardRole& role) const;
    // The roles `serial` fills (none for an unassigned board); two at most,
    // the trim motor's board carrying the speedbrake motor too.
    std::vector<const BoardRole*> FilledBy(int serial) const;
    // The used roles whose configured serial is attached as another kind.
    std::vector<const RoleMatch*> WrongKindFor(int serial) const;
};

BoardsMatch MatchBoards(const std::vector<AttachedBoard>& attached, const Settings& s);

// The line that tells the user a role's serial is another kind of board,
// and that it is not driven as that role.
std::string WrongKindLine(const RoleMatch& m);

// The one log line for the start of the program, when configured boards
// are missing (or of the wrong kind) while unassigned boards that could
// fill them are attached: it names them and points to the Boards window.
// Nothing otherwise.
std::optional<std::string> MissingBoardsHint(const BoardsMatch& m);

} // namespace zrk

#include "boards/BoardMatch.h"

#include <algorithm>
#include <stdexcept>

namespace zrk {

const char* RoleStateName(RoleState state)
{
    switch (state) {
    case RoleState::Filled: return "filled";
    case RoleState::Missing: return "missing";
    case RoleState::WrongKind: return "wrong kind";
    case RoleState::NotUsed: return "not used";
    }
    return "?";
}

const RoleMatch& BoardsMatch::Of(const BoardRole& role) const
{
    for (const RoleMatch& m : roles)
        if (m.role == &role)
            return m;
    throw std::out_of_range(std::string("no board role ") + role.key);
}

std::vector<const BoardRole*> BoardsMatch::FilledBy(int serial) const
{
    std::vector<const BoardRole*> out;
    for (const RoleMatch& m : roles)
        if (m.state == RoleState::Filled && m.serial == serial)
            out.push_back(m.role);
    return out;
}

std::vector<const RoleMatch*> BoardsMatch::WrongKindFor(int serial) const
{
    std::vector<const RoleMatch*> out;
    for (const RoleMatch& m : roles)
        if (m.state == RoleState::WrongKind && m.serial == serial)
            out.push_back(&m);
    return out;
}

BoardsMatch MatchBoards(const std::vector<AttachedBoard>& attached, const Settings& s)
{
    BoardsMatch out;
    out.attached = attached;
    std::sort(out.attached.begin(), out.attached.end(),
              [](const AttachedBoard& a, const AttachedBoard& b) { return a.serial < b.serial; });
    const Aircraft aircraft = AircraftOf(s);
    for (const BoardRole& role : BoardRoles()) {
        RoleMatch m;
        m.role = &role;
        m.serial = role.Serial(s);
        m.openedAs = role.OpenedAs(s);
        const auto board = std::find_if(out.attached.begin(), out.attached.end(),
                                        [&](const AttachedBoard& b) { return b.serial == m.serial; });
        if (m.serial > 0 && board != out.attached.end())
            m.board = *board;
        if (m.serial <= 0 || !role.UsedOn(aircraft))
            m.state = RoleState::NotUsed;
        else if (!m.board)
            m.state = RoleState::Missing;
        else
            m.state = m.board->kind == m.openedAs ? RoleState::Filled : RoleState::WrongKind;
        out.roles.push_back(std::move(m));
    }
    for (const AttachedBoard& b : out.attached)
        if (out.FilledBy(b.serial).empty())
            out.unassigned.push_back(b);
    return out;
}

std::string WrongKindLine(const RoleMatch& m)
{
    std::string line = std::string(m.role->name) + " (" + m.role->key + "=" + std::to_string(m.serial) + "): board "
                       + std::to_string(m.serial) + " is " + (m.board ? BoardKindName(m.board->kind) : "unknown")
                       + ", not " + BoardKindName(m.openedAs) + " - it is not driven as " + m.role->name;
    // A servo board of the other servo kind fills the role once its type
    // is set.
    if (m.role->servoTypeKey && m.board && m.board->kind && m.role->CanBeFilledBy(*m.board->kind))
        line += std::string("; set [SERVO_TYPE_ADVANCED] ") + m.role->servoTypeKey + "="
                + (*m.board->kind == BoardKind::AdvancedServo ? "1" : "0") + " to use it";
    return line;
}

std::optional<std::string> MissingBoardsHint(const BoardsMatch& m)
{
    std::vector<const RoleMatch*> wanting;
    std::vector<int> fitting;
    for (const RoleMatch& r : m.roles) {
        if (r.state != RoleState::Missing && r.state != RoleState::WrongKind)
            continue;
        bool couldBeFilled = false;
        for (const AttachedBoard& b : m.unassigned) {
            if (!b.kind || !r.role->CanBeFilledBy(*b.kind))
                continue;
            couldBeFilled = true;
            if (std::find(fitting.begin(), fitting.end(), b.serial) == fitting.end())
                fitting.push_back(b.serial);
        }
        if (couldBeFilled)
            wanting.push_back(&r);
    }
    if (wanting.empty())
        return std::nullopt;
    std::string names;
    for (const RoleMatch* r : wanting)
        names += (names.empty() ? "" : ", ") + std::string(r->role->name) + " #" + std::to_string(r->serial);
    const std::size_t n = wanting.size();
    const std::size_t k = fitting.size();
    return std::to_string(n) + (n == 1 ? " configured board is" : " configured boards are") + " not found ("
           + names + ") while " + std::to_string(k) + (k == 1 ? " unassigned board" : " unassigned boards")
           + " that could fill " + (n == 1 ? "it " : "them ") + (k == 1 ? "is" : "are")
           + " attached - open the Boards window to assign " + (k == 1 ? "it" : "them");
}

} // namespace zrk

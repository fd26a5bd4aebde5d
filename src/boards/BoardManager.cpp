#include "boards/BoardManager.h"

#include <algorithm>

namespace zrk {

std::string BoardKindName(std::optional<BoardKind> kind)
{
    if (!kind)
        return "other board";
    switch (*kind) {
    case BoardKind::InterfaceKit: return "interface kit";
    case BoardKind::MotorControl: return "motor controller";
    case BoardKind::AdvancedServo: return "advanced servo board";
    case BoardKind::Servo: return "servo board";
    }
    return "other board";
}

int IBoardManager::Watch(Watcher watcher)
{
    const int id = nextWatcher_++;
    watchers_[id] = std::move(watcher);
    return id;
}

void IBoardManager::Unwatch(int id) { watchers_.erase(id); }

void IBoardManager::Notify(const AttachedBoard& board, bool attached)
{
    // A watcher may stop watching, or start another, while it is told.
    const std::map<int, Watcher> now = watchers_;
    for (const auto& [id, watcher] : now)
        if (watchers_.count(id) && watcher)
            watcher(board, attached);
}

bool AddBoard(std::vector<AttachedBoard>& list, const AttachedBoard& board)
{
    auto at = std::lower_bound(list.begin(), list.end(), board.serial,
                               [](const AttachedBoard& b, int serial) { return b.serial < serial; });
    if (at != list.end() && at->serial == board.serial) {
        if (*at == board)
            return false;
        *at = board;
        return true;
    }
    list.insert(at, board);
    return true;
}

bool RemoveBoard(std::vector<AttachedBoard>& list, int serial)
{
    const auto gone = std::remove_if(list.begin(), list.end(), [&](const AttachedBoard& b) { return b.serial == serial; });
    const bool changed = gone != list.end();
    list.erase(gone, list.end());
    return changed;
}

} // namespace zrk

namespace zrk {

std::unique_ptr<IBoardManager> IBoardLibrary::CreateManager()
{
    return std::make_unique<UnavailableBoardManager>();
}

} // namespace zrk

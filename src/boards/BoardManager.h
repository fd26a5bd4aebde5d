#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "boards/Board.h"

namespace zrk {

// One board plugged in, as the board library's manager lists it: whatever
// the program has opened or not.
struct AttachedBoard {
    int serial = 0;
    // Nothing for a device of a class the controller never drives (a
    // reader, a display, an encoder board).
    std::optional<BoardKind> kind;
    std::string name;
    int version = 0;   // the device's firmware version; 0 when unknown
    bool operator==(const AttachedBoard&) const = default;
};

// "interface kit", "motor controller", "advanced servo board", "servo
// board"; "other board" for nothing.
std::string BoardKindName(std::optional<BoardKind> kind);

// The list of every board plugged in, kept up to date on attach and detach
// events, which arrive on the event-loop thread like every other board
// event. It lists the boards from its creation on, until it is destroyed;
// it must not outlive the library that made it.
class IBoardManager {
public:
    using Watcher = std::function<void(const AttachedBoard& board, bool attached)>;

    virtual ~IBoardManager() = default;
    // False when the board library cannot list its boards (a library
    // without the manager's functions, or one that refused to start it):
    // the list then stays empty and no event comes.
    virtual bool Available() const = 0;
    // The boards attached, as far as the event loop has been told, by
    // serial number.
    virtual std::vector<AttachedBoard> Boards() const = 0;

    // Called after the list changed: a board arrived (attached = true) or
    // left. Several watchers may listen (the Boards window, the roster's
    // kind check); each gets an id to stop with.
    int Watch(Watcher watcher);
    void Unwatch(int id);

protected:
    void Notify(const AttachedBoard& board, bool attached);

private:
    std::map<int, Watcher> watchers_;
    int nextWatcher_ = 1;
};

// A manager that lists nothing: for libraries that cannot list their boards.
class UnavailableBoardManager : public IBoardManager {
public:
    bool Available() const override { return false; }
    std::vector<AttachedBoard> Boards() const override { return {}; }
};

// The list a manager keeps: a board arrives or leaves by its serial number.
// Returns whether the list changed.
bool AddBoard(std::vector<AttachedBoard>& list, const AttachedBoard& board);
bool RemoveBoard(std::vector<AttachedBoard>& list, int serial);

} // namespace zrk

#pragma once
#include <functional>
#include <memory>
#include <string>

#include "boards/Board.h"
#include "boards/VirtualBoards.h"
#include "ports/EventLoop.h"

namespace zrk {

// A shared library loaded at run time; the operating-system adapters
// provide it (dlopen, LoadLibrary).
class IDynamicLibrary {
public:
    using Function = void (*)();
    virtual ~IDynamicLibrary() = default;
    // The exported function `name`; null when the library has none.
    virtual Function Find(const std::string& name) = 0;
    // Where the library was loaded from, for log lines.
    virtual std::string Path() const = 0;
};

// A board call the library refused: BoardError with the library's own
// description of the error, and its code.
class Phidget21Error : public BoardError {
public:
    Phidget21Error(int code, const std::string& description) : BoardError(description), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// The board controls of the board maker's phidget21 library.
//
// Each function is looked up by its plain name, then (for libraries built
// with 32-bit __stdcall decoration) as _Name@N and Name@N. A function the
// library lacks is logged once, when the library is bound; the board kinds
// that need it are then served by controls that never attach. Two
// functions are not needed by any kind: without the error description,
// errors are described by their number; without "get current", every
// current read fails.
//
// The library calls back on threads of its own: attach and detach from
// one, sensor and input changes from one read thread per board. Every
// event is posted to the event loop, in the order it arrived, and runs
// there. Events of a board that has detached, or that the program has
// closed or destroyed, are dropped. A control closes and deletes its
// library handle when it is destroyed, after which the library calls it
// no more.
//
// A command to a board that is not attached (as far as the event loop has
// been told) does nothing, as on the virtual boards; any other failing
// call raises Phidget21Error. A motor controller that cannot read its
// current says so in one log line (not for a board that has just gone);
// the read keeps failing, which callers take as no reading.
//
// `log` is called on the event-loop thread only. Controls must not
// outlive the library object that made them.
class Phidget21BoardLibrary : public IBoardLibrary {
public:
    using LogFn = std::function<void(const std::string&)>;

    Phidget21BoardLibrary(std::unique_ptr<IDynamicLibrary> library, IEventLoop& loop, LogFn log);
    ~Phidget21BoardLibrary() override;
    Phidget21BoardLibrary(const Phidget21BoardLibrary&) = delete;
    Phidget21BoardLibrary& operator=(const Phidget21BoardLibrary&) = delete;

    std::unique_ptr<IInterfaceKit> CreateInterfaceKit() override;
    std::unique_ptr<IMotorControl> CreateMotorControl() override;
    std::unique_ptr<IAdvancedServo> CreateAdvancedServo() override;
    std::unique_ptr<IServo> CreateServo() override;
    // The library's list of attached boards. A library without the
    // manager's functions says so once, when it is bound, and gives a
    // manager that is not Available(); so does one whose manager cannot be
    // started, with the library's reason in the log.
    std::unique_ptr<IBoardManager> CreateManager() override;

    // Whether boards of this kind are the library's (every function they
    // need was found); otherwise they never attach.
    bool Supports(BoardKind kind) const;
    // Whether the library can list its attached boards.
    bool SupportsManager() const;

    // The loaded library and its functions, shared with every control.
    struct Bound;

private:
    std::shared_ptr<const Bound> bound_;
    IEventLoop& loop_;
    LogFn log_;
    // Controls of the kinds the library cannot serve: nothing is ever
    // plugged on this bus.
    VirtualBoardLibrary idle_;
};

} // namespace zrk

#pragma once
#include <functional>
#include <memory>
#include <string>

#include "ports/Clock.h"
#include "ports/EventLoop.h"
#include "ports/ProcessEnv.h"
#include "boards/Board.h"
#include "bridge/PanelBus.h"
#include "config/FileSystem.h"
#include "sim/IpcTransport.h"

namespace zrk {

class IDynamicLibrary;

// The operating-system adapters of the running platform, with their
// production settings.
std::unique_ptr<IProcessEnv> MakeProcessEnv();
std::unique_ptr<IClock> MakeSystemClock();
std::unique_ptr<IFileSystem> MakeDiskFileSystem();

// The bridge's data library: on Windows the bridge's DLL, whose absence
// (or missing operations) is reported once through `log`; elsewhere the
// built-in library whose records stay zero.
std::unique_ptr<IPanelBus> MakePanelBus(std::function<void(const std::string&)> log);

// The link to the simulator's interface module: on Windows the system's
// windows, atoms and mappings unless `emulate`; elsewhere, where no
// simulator runs, always the in-process emulator (on `clock`, not recording
// writes).
std::unique_ptr<IIpcTransport> MakeSimulatorTransport(bool emulate, IClock& clock);

// The folder that holds the running executable, without a trailing
// separator; "." when the operating system does not tell.
std::string ExecutableFolder();

// Loads the shared library at `path`; a bare file name is searched for the
// system's way. Null when it cannot be loaded: `whyNot` then receives the
// system's reason, or is left empty when there is no such library. A
// loaded library stays loaded until the process ends.
std::unique_ptr<IDynamicLibrary> LoadDynamicLibrary(const std::string& path, std::string* whyNot = nullptr);

// The file name of the board maker's library: libphidget21.so.0 on Linux,
// phidget21.dll on Windows.
extern const char* const kBoardLibraryFile;

// The boards the program drives: unless `virtualBoards`, those of the
// board maker's library `file`, taken from `folder` (the executable's)
// when it is there, else from the system's search path. When it cannot be
// loaded, or `virtualBoards` is set, virtual boards that never attach.
// Which of these it is goes to `log` in one line; the board library's own
// reports (missing functions, unreadable motor currents) follow through it.
std::unique_ptr<IBoardLibrary> MakeBoardLibrary(IEventLoop& loop, bool virtualBoards,
                                                std::function<void(const std::string&)> log,
                                                const std::string& folder = ExecutableFolder(),
                                                const std::string& file = kBoardLibraryFile);

// Stop signals. Installs handlers that turn SIGINT, SIGTERM and SIGHUP (on
// Windows SIGINT, SIGTERM and SIGBREAK) into a request the program polls,
// and ignores SIGPIPE, so that a standard output nobody reads any more
// cannot kill the program. Called first thing in main: a signal that
// comes during start-up must not kill the program half-way.
void InstallStopSignalHandlers();
// Whether a stop signal has arrived; it stays set once it has.
bool StopRequested();

// Opens the null device on standard input, output or error where the
// program was started with one of them closed, so that no file or socket
// opened later takes its number and receives what was meant for the stream.
void ProtectStandardStreams();

// Writes `line` and a newline to standard output without ever blocking the
// caller: a line the output cannot take now (a pipe whose reader went away
// or does not read, a suspended terminal) is dropped, whole or in part.
// Returns whether the whole line was written.
bool WriteStandardOutputLine(const std::string& line);

} // namespace zrk

#pragma once
#include <optional>
#include <string>
#include <sys/types.h>

#include "ports/ProcessEnv.h"

namespace zrk {

// The bridge program and process termination on Linux.
//
// "The bridge is running" means: some process other than the controller
// itself has an executable whose file name is NET_BRIDGE or NET_BRIDGE.exe
// (compared ignoring ASCII letter case, as ExecutableMatches does). A
// process's executable is the target of /proc/<pid>/exe; when that link
// cannot be read (a process of another user, a zombie, a kernel thread) its
// command name from /proc/<pid>/comm is used instead, which the kernel cuts
// to 15 characters. Linux has no named mutexes like the one the bridge holds
// on Windows, so the process list stands in for it. A bridge run under wine
// shows the wine loader as its executable and is not recognised this way.
//
// KillTask(name) sends SIGKILL to every other process whose executable text,
// found the same way, matches `name` by ExecutableMatches: either its file
// name equals `name`, or the whole text (the full path of the executable)
// does. It returns 1 when the last signal was delivered, 0 when that failed
// or when no process matched. The controller never signals itself.
class PosixProcessEnv : public IProcessEnv {
public:
    // The bridge lives in a sibling folder of the working directory.
    static constexpr const char* kDefaultBridgePath = "../NET_BRIDGE/NET_BRIDGE.EXE";
    static constexpr const char* kDefaultBridgeName = "NET_BRIDGE";

    // `bridgePath` is started by LaunchBridge ("\" is taken as "/"); a process
    // named `bridgeName` or `bridgeName`.exe counts as the running bridge.
    explicit PosixProcessEnv(std::string bridgePath = kDefaultBridgePath,
                             std::string bridgeName = kDefaultBridgeName);

    bool BridgeRunning() override;
    // Starts the bridge detached from the controller: in its own session,
    // with stdin, stdout and stderr on /dev/null, default signal handling,
    // and no zombie left behind. Failures are ignored.
    void LaunchBridge() override;
    int KillTask(const std::string& exeName) override;

private:
    std::string bridgePath_;
    std::string bridgeName_;
};

// The executable text of a process as described above: the target of
// /proc/<pid>/exe, else its command name; nothing when the process is gone.
std::optional<std::string> ProcessExecutableText(pid_t pid);

} // namespace zrk

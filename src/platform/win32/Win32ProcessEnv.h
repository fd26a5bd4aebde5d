#pragma once
#include <string>

#include "ports/ProcessEnv.h"

namespace zrk {

// The bridge program and process termination on Windows.
//
// The bridge holds a named mutex while it runs; the controller only opens
// it to look, and never creates it. KillTask(name) terminates every other
// process whose executable file name in the process snapshot matches `name`
// by ExecutableMatches. The snapshot holds bare file names, so a name with a
// folder in it matches nothing here.
class Win32ProcessEnv : public IProcessEnv {
public:
    // The bridge lives in a sibling folder of the working directory.
    static constexpr const char* kDefaultBridgePath = "..\\NET_BRIDGE\\NET_BRIDGE.EXE";
    static constexpr const char* kDefaultBridgeMutex = "NET_BRIDGE";

    explicit Win32ProcessEnv(std::string bridgePath = kDefaultBridgePath,
                             std::string bridgeMutex = kDefaultBridgeMutex);

    // True while the mutex named `bridgeMutex` exists.
    bool BridgeRunning() override;
    // Opens `bridgePath` through the shell, with its window hidden.
    void LaunchBridge() override;
    // Returns the result of the last TerminateProcess (non-zero = success;
    // 0 also when a matching process could not be opened), 0 when nothing
    // matched. The calling process is never terminated.
    int KillTask(const std::string& exeName) override;

private:
    std::string bridgePath_;
    std::string bridgeMutex_;
};

} // namespace zrk

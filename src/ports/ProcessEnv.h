#pragma once
#include <string>

namespace zrk {

// The operating-system processes the controller deals with: the companion
// bridge program and process termination by executable name.
class IProcessEnv {
public:
    virtual ~IProcessEnv() = default;
    // True while the bridge program runs.
    virtual bool BridgeRunning() = 0;
    // Starts the bridge program, hidden; the outcome is not reported.
    virtual void LaunchBridge() = 0;
    // Terminates every process whose executable matches `exeName` (see
    // ExecutableMatches). Returns the result of the last termination
    // (non-zero = success), 0 when nothing matched.
    virtual int KillTask(const std::string& exeName) = 0;
};

// The matching rule of KillTask: the upper-cased file name part of the
// executable path equals the upper-cased name, or the whole upper-cased
// executable text does. Both "\" and "/" separate path parts.
bool ExecutableMatches(const std::string& exeText, const std::string& name);

} // namespace zrk

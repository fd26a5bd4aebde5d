#pragma once
#include <string>
#include <vector>

#include "ports/ProcessEnv.h"

namespace zrk {

// A process table for tests and for running without the bridge program:
// records launches and terminations, and runs nothing.
class VirtualProcessEnv : public IProcessEnv {
public:
    bool BridgeRunning() override { return bridgeRunning; }
    void LaunchBridge() override { ++launches; }
    int KillTask(const std::string& exeName) override
    {
        killRequests.push_back(exeName);
        int result = 0;
        std::vector<std::string> left;
        for (const auto& p : processes) {
            if (ExecutableMatches(p, exeName)) {
                killed.push_back(p);
                result = 1;
            } else {
                left.push_back(p);
            }
        }
        processes = left;
        return result;
    }

    bool bridgeRunning = false;
    int launches = 0;
    std::vector<std::string> processes;      // executable paths of running processes
    std::vector<std::string> killRequests;
    std::vector<std::string> killed;
};

} // namespace zrk

#include "platform/Platform.h"

#include <unistd.h>
#include <vector>

#include "bridge/PanelBuses.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcessEnv.h"
#include "sim/FsuipcEmulator.h"

namespace zrk {

std::unique_ptr<IProcessEnv> MakeProcessEnv() { return std::make_unique<PosixProcessEnv>(); }

std::unique_ptr<IClock> MakeSystemClock() { return std::make_unique<PosixClock>(); }

std::unique_ptr<IFileSystem> MakeDiskFileSystem() { return std::make_unique<PosixFileSystem>(); }

// The bridge's library is a Windows DLL: here its records stay zero.
std::unique_ptr<IPanelBus> MakePanelBus(std::function<void(const std::string&)> /*log*/) {
    return std::make_unique<BuiltInPanelBus>();
}

std::unique_ptr<IIpcTransport> MakeSimulatorTransport(bool /*emulate*/, IClock& clock) {
    auto emulator = std::make_unique<FsuipcEmulator>(&clock);
    emulator->recordWrites = false;
    return emulator;
}

std::string ExecutableFolder() {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n <= 0) return ".";
        if (static_cast<size_t>(n) < buffer.size()) {
            const std::string exe(buffer.data(), static_cast<size_t>(n));
            const auto slash = exe.find_last_of('/');
            if (slash == std::string::npos) return ".";
            return slash == 0 ? "/" : exe.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace zrk

#include "platform/Platform.h"

#include <utility>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "platform/win32/Win32Clock.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32IpcTransport.h"
#include "platform/win32/Win32PanelBus.h"
#include "platform/win32/Win32ProcessEnv.h"
#include "sim/FsuipcEmulator.h"

namespace zrk {

std::unique_ptr<IProcessEnv> MakeProcessEnv() { return std::make_unique<Win32ProcessEnv>(); }

std::unique_ptr<IClock> MakeSystemClock() { return std::make_unique<Win32Clock>(); }

std::unique_ptr<IFileSystem> MakeDiskFileSystem() { return std::make_unique<Win32FileSystem>(); }

std::unique_ptr<IPanelBus> MakePanelBus(std::function<void(const std::string&)> log) {
    return std::make_unique<Win32PanelBus>(std::move(log));
}

std::unique_ptr<IIpcTransport> MakeSimulatorTransport(bool emulate, IClock& clock) {
    if (!emulate) return std::make_unique<Win32IpcTransport>();
    auto emulator = std::make_unique<FsuipcEmulator>(&clock);
    emulator->recordWrites = false;
    return emulator;
}

std::string ExecutableFolder() {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return ".";
        if (n < buffer.size()) {
            const std::string exe(buffer.data(), n);
            const auto separator = exe.find_last_of("\\/");
            return separator == std::string::npos ? "." : exe.substr(0, separator);
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace zrk

#include "platform/Platform.h"

#include <csignal>
#include <cstdio>
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

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int signal) {
    g_stopRequested = 1;
    // The C runtime resets a signal to its default before calling its handler.
    std::signal(signal, OnStopSignal);
}

} // namespace

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

void InstallStopSignalHandlers() {
    // Windows has neither SIGHUP nor SIGPIPE; Ctrl+Break raises SIGBREAK.
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    std::signal(SIGBREAK, OnStopSignal);
}

bool StopRequested() { return g_stopRequested != 0; }

// Files and sockets opened later get handles of their own, never the
// numbers of the C runtime's standard streams: nothing to protect.
void ProtectStandardStreams() {}

bool WriteStandardOutputLine(const std::string& line) {
    const bool written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size()
                         && std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0;
    // A failed line is dropped; the next one is tried afresh.
    std::clearerr(stdout);
    return written;
}

} // namespace zrk

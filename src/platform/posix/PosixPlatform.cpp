#include "platform/Platform.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <vector>

#include "bridge/PanelBuses.h"
#include "platform/posix/PosixClock.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixProcessEnv.h"
#include "sim/FsuipcEmulator.h"

namespace zrk {

namespace {

volatile std::sig_atomic_t g_stopRequested = 0;

void OnStopSignal(int) { g_stopRequested = 1; }

void Handle(int signal, void (*handler)(int), bool keepIgnored) {
    struct sigaction now {};
    if (keepIgnored && sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) return;
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

} // namespace

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

void InstallStopSignalHandlers() {
    // A program started with SIGHUP ignored (nohup) was asked to outlive
    // its terminal: that stays so.
    Handle(SIGHUP, OnStopSignal, true);
    Handle(SIGINT, OnStopSignal, false);
    Handle(SIGTERM, OnStopSignal, false);
    // A write to a pipe without reader fails with EPIPE instead.
    Handle(SIGPIPE, SIG_IGN, false);
}

bool StopRequested() { return g_stopRequested != 0; }

void ProtectStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number: this one.
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0) close(opened);
    }
}

bool WriteStandardOutputLine(const std::string& line) {
    std::string text = line;
    text += '\n';
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        pollfd out{STDOUT_FILENO, POLLOUT, 0};
        const int ready = poll(&out, 1, 0);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || (out.revents & POLLOUT) == 0 || (out.revents & (POLLERR | POLLNVAL)) != 0) return false;
        // Room for one more write is room for PIPE_BUF bytes: no write blocks.
        const ssize_t n = write(STDOUT_FILENO, p, std::min<std::size_t>(left, PIPE_BUF));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace zrk

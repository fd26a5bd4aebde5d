#include "platform/posix/PosixProcessEnv.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace zrk {

namespace {

// Reads a symbolic link of any length; nothing when it cannot be read.
std::optional<std::string> ReadLink(const std::string& link) {
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size());
        if (n < 0) return std::nullopt;
        if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<std::string> ReadCommandName(const std::string& procDir) {
    const int fd = open((procDir + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    char buffer[64];
    ssize_t n;
    do {
        n = read(fd, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    close(fd);
    if (n <= 0) return std::nullopt;
    std::string name(buffer, static_cast<size_t>(n));
    while (!name.empty() && name.back() == '\n') name.pop_back();
    return name;
}

// Parses a /proc entry name that is a process id.
std::optional<pid_t> ParsePid(const char* text) {
    if (*text == '\0') return std::nullopt;
    long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return std::nullopt;
        value = value * 10 + (*p - '0');
        if (value > 0x7fffffffL) return std::nullopt;
    }
    return static_cast<pid_t>(value);
}

// Calls `visit(pid, executableText)` for every process but this one, until
// it returns false.
void ForEachOtherProcess(const std::function<bool(pid_t, const std::string&)>& visit) {
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return;
    const pid_t self = getpid();
    while (const dirent* entry = readdir(proc)) {
        const auto pid = ParsePid(entry->d_name);
        if (!pid || *pid == self) continue;
        const auto text = ProcessExecutableText(*pid);
        if (!text) continue;  // ended meanwhile
        if (!visit(*pid, *text)) break;
    }
    closedir(proc);
}

} // namespace

std::optional<std::string> ProcessExecutableText(pid_t pid) {
    const std::string procDir = "/proc/" + std::to_string(pid);
    if (auto exe = ReadLink(procDir + "/exe")) {
        // A program whose file was replaced (an update, say) still runs and
        // still counts under its name.
        static const std::string kDeleted = " (deleted)";
        if (exe->size() > kDeleted.size() && exe->ends_with(kDeleted)) exe->resize(exe->size() - kDeleted.size());
        return exe;
    }
    return ReadCommandName(procDir);
}

PosixProcessEnv::PosixProcessEnv(std::string bridgePath, std::string bridgeName)
    : bridgePath_(std::move(bridgePath)), bridgeName_(std::move(bridgeName)) {}

bool PosixProcessEnv::BridgeRunning() {
    if (bridgeName_.empty()) return false;
    const std::string withExtension = bridgeName_ + ".exe";
    bool found = false;
    ForEachOtherProcess([&](pid_t, const std::string& text) {
        found = ExecutableMatches(text, bridgeName_) || ExecutableMatches(text, withExtension);
        return !found;
    });
    return found;
}

void PosixProcessEnv::LaunchBridge() {
    std::string path = bridgePath_;
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.empty()) return;

    // Everything the intermediate child needs is prepared before fork(), so
    // that child only calls setsid, posix_spawn and _exit.
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) return;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors the controller left inheritable stay with the controller.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return;
    }
    // Blocked or ignored signals of the controller are not the bridge's.
    sigset_t noSignals;
    sigemptyset(&noSignals);
    sigset_t allSignals;
    sigfillset(&allSignals);
    sigdelset(&allSignals, SIGKILL);
    sigdelset(&allSignals, SIGSTOP);
    posix_spawnattr_setsigmask(&attributes, &noSignals);
    posix_spawnattr_setsigdefault(&attributes, &allSignals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    char* argv[] = {path.data(), nullptr};

    // The bridge is started by a short-lived intermediate child, which this
    // process reaps at once; the bridge is then adopted by init, so no
    // SIGCHLD handling of the controller is needed or disturbed.
    const pid_t intermediate = fork();
    if (intermediate == 0) {
        setsid();
        pid_t bridge;
        const int rc = posix_spawn(&bridge, path.c_str(), &actions, &attributes, argv, environ);
        _exit(rc == 0 ? 0 : 127);
    }
    if (intermediate > 0) {
        while (waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

int PosixProcessEnv::KillTask(const std::string& exeName) {
    int result = 0;
    ForEachOtherProcess([&](pid_t pid, const std::string& text) {
        if (ExecutableMatches(text, exeName)) result = kill(pid, SIGKILL) == 0 ? 1 : 0;
        return true;
    });
    return result;
}

} // namespace zrk

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "TestProcess.h"

#ifdef _WIN32
#include "platform/win32/Win32ProcessEnv.h"
#else
#include <cerrno>
#include <dirent.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/posix/PosixProcessEnv.h"
#endif

namespace zrk {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::CopySleeper;
using test::Eventually;
using test::TempFolder;
using test::UniqueName;

#ifdef _WIN32
using NativeProcessEnv = Win32ProcessEnv;
constexpr bool kFullPathsMatch = false;  // the process snapshot holds bare file names
#else
using NativeProcessEnv = PosixProcessEnv;
constexpr bool kFullPathsMatch = true;
#endif

constexpr int kTimeoutMs = 10000;
constexpr const char* kNoSuchProgram = "no_such_folder/NET_BRIDGE.EXE";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// Process environments that look for a bridge nobody runs.
NativeProcessEnv EnvWithoutBridge() { return NativeProcessEnv(kNoSuchProgram, UniqueName("zrk_no_bridge")); }

TEST(PlatformProcessEnv, KillTaskEndsTheProcessWhateverTheLetterCase) {
    struct Form {
        const char* what;
        std::function<std::string(const fs::path&)> name;
        bool kills;
    };
    const Form forms[] = {
        {"file name", [](const fs::path& p) { return p.filename().string(); }, true},
        {"upper case", [](const fs::path& p) { return Upper(p.filename().string()); }, true},
        {"lower case", [](const fs::path& p) { return Lower(p.filename().string()); }, true},
        {"full path", [](const fs::path& p) { return fs::canonical(p).string(); }, kFullPathsMatch},
    };
    TempFolder folder;
    auto env = EnvWithoutBridge();
    for (const auto& form : forms) {
        SCOPED_TRACE(form.what);
        const auto program = CopySleeper(folder.Path(), UniqueName("Zrk_KillMe") + ".exe");
        ChildProcess child(program);
        ASSERT_TRUE(child.Started());
        if (form.kills) {
            EXPECT_NE(env.KillTask(form.name(program)), 0);
            EXPECT_TRUE(child.WaitForExit(kTimeoutMs));
        } else {
            EXPECT_EQ(env.KillTask(form.name(program)), 0);
            EXPECT_FALSE(child.WaitForExit(0));
        }
    }
}

TEST(PlatformProcessEnv, KillTaskEndsEveryInstance) {
    TempFolder folder;
    const auto program = CopySleeper(folder.Path(), UniqueName("zrk_killme") + ".exe");
    ChildProcess first(program);
    ChildProcess second(program);
    ASSERT_TRUE(first.Started() && second.Started());
    EXPECT_NE(EnvWithoutBridge().KillTask(program.filename().string()), 0);
    EXPECT_TRUE(first.WaitForExit(kTimeoutMs));
    EXPECT_TRUE(second.WaitForExit(kTimeoutMs));
}

TEST(PlatformProcessEnv, KillTaskLeavesProcessesOfOtherNamesAlone) {
    TempFolder folder;
    const std::string stem = UniqueName("zrk_keep");
    ChildProcess child(CopySleeper(folder.Path(), stem + ".exe"));
    ASSERT_TRUE(child.Started());
    auto env = EnvWithoutBridge();
    EXPECT_EQ(env.KillTask(UniqueName("zrk_nobody") + ".exe"), 0);
    EXPECT_EQ(env.KillTask(""), 0);
    EXPECT_EQ(env.KillTask(stem), 0);
    EXPECT_EQ(env.KillTask(stem.substr(1) + ".exe"), 0);
    EXPECT_FALSE(child.WaitForExit(0));
}

TEST(PlatformProcessEnv, KillTaskNeverEndsTheCallingProcess) {
    TempFolder folder;
    ChildProcess child(CopySleeper(folder.Path(), UniqueName("zrk_self") + ".exe"), {"--kill-own-name"});
    ASSERT_TRUE(child.Started());
    ASSERT_TRUE(child.WaitForExit(kTimeoutMs));
    EXPECT_EQ(child.ExitCode(), 42) << "42: KillTask of its own name returned 0 and the process lived on";
}

#ifdef _WIN32

TEST(PlatformProcessEnv, BridgeRunsWhileItsMutexExists) {
    TempFolder folder;
    const std::string mutex = UniqueName("zrk_bridge_mutex");
    Win32ProcessEnv env(kNoSuchProgram, mutex);
    EXPECT_FALSE(env.BridgeRunning());
    {
        ChildProcess holder(CopySleeper(folder.Path(), UniqueName("zrk_holder") + ".exe"), {mutex});
        ASSERT_TRUE(holder.Started());
        EXPECT_TRUE(Eventually([&] { return env.BridgeRunning(); }));
        EXPECT_FALSE(Win32ProcessEnv(kNoSuchProgram, mutex + "_other").BridgeRunning());
    }
    EXPECT_TRUE(Eventually([&] { return !env.BridgeRunning(); }));
}

#else

TEST(PlatformProcessEnv, BridgeRunsWhileAProcessOfItsNameRuns) {
    TempFolder folder;
    const std::string bridge = UniqueName("Zrk_Bridge");
    PosixProcessEnv env(kNoSuchProgram, bridge);
    EXPECT_FALSE(env.BridgeRunning());
    const struct {
        std::string fileName;
        bool counts;
    } cases[] = {
        {bridge, true},
        {bridge + ".exe", true},
        {Upper(bridge) + ".EXE", true},
        {bridge + "_2", false},
        {bridge + ".exe.old", false},
    };
    for (const auto& c : cases) {
        ChildProcess child(CopySleeper(folder.Path(), c.fileName));
        ASSERT_TRUE(child.Started());
        EXPECT_EQ(env.BridgeRunning(), c.counts) << c.fileName;
    }
    EXPECT_FALSE(env.BridgeRunning());
}

// Makes this process adopt its orphaned descendants, so a test can reap a
// bridge that LaunchBridge detached.
class AdoptOrphans {
public:
    AdoptOrphans() { prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~AdoptOrphans() { prctl(PR_SET_CHILD_SUBREAPER, 0); }
};

pid_t FindProcess(const fs::path& program) {
    const std::string wanted = fs::canonical(program).string();
    pid_t found = -1;
    DIR* proc = opendir("/proc");
    while (const dirent* entry = proc != nullptr ? readdir(proc) : nullptr) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid > 0 && ProcessExecutableText(pid) == wanted) found = pid;
    }
    if (proc != nullptr) closedir(proc);
    return found;
}

std::string StreamTarget(pid_t pid, int fd) {
    std::error_code error;
    return fs::read_symlink("/proc/" + std::to_string(pid) + "/fd/" + std::to_string(fd), error).string();
}

#endif

TEST(PlatformProcessEnv, LaunchBridgeOfAMissingProgramReturns) {
    NativeProcessEnv env(kNoSuchProgram, UniqueName("zrk_bridge"));
    env.LaunchBridge();
    EXPECT_FALSE(env.BridgeRunning());
#ifndef _WIN32
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a child was left behind";
    EXPECT_EQ(errno, ECHILD);
#endif
}

TEST(PlatformProcessEnv, LaunchBridgeStartsTheBridgeDetached) {
    TempFolder folder;
    const std::string bridge = UniqueName("zrk_bridge");
    const auto program = CopySleeper(folder.Path(), bridge + ".exe");
#ifdef _WIN32
    // The sleeper holds a mutex named after itself, as the bridge does.
    Win32ProcessEnv env(program.string(), bridge);
#else
    AdoptOrphans adopt;
    std::string windowsStylePath = program.string();
    std::replace(windowsStylePath.begin(), windowsStylePath.end(), '/', '\\');
    PosixProcessEnv env(windowsStylePath, bridge);
#endif
    env.LaunchBridge();
    ASSERT_TRUE(Eventually([&] { return env.BridgeRunning(); }));
#ifndef _WIN32
    const pid_t pid = FindProcess(program);
    ASSERT_GT(pid, 0);
    EXPECT_NE(getsid(pid), getsid(0)) << "the bridge shares the controller's session";
    for (int fd = 0; fd <= 2; ++fd) EXPECT_EQ(StreamTarget(pid, fd), "/dev/null") << "fd " << fd;
#endif
    EXPECT_NE(env.KillTask(program.filename().string()), 0);
#ifndef _WIN32
    int status = 0;
    EXPECT_TRUE(Eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }));
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "the intermediate process was left behind";
#endif
    EXPECT_TRUE(Eventually([&] { return !env.BridgeRunning(); }));
}

} // namespace
} // namespace zrk

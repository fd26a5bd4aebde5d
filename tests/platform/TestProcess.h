#pragma once
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/types.h>
#endif

// Support for tests that run real processes. Every process a test ends is
// one it started itself, from a copy of the sleeper helper under a name
// unique to the test run.
namespace zrk::test {

// A fresh folder under the system's temporary folder, removed with its
// content at the end of the scope.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

// "<prefix>_<pid of this test process>_<counter>".
std::string UniqueName(const std::string& prefix);

// Copies the sleeper helper (built next to the test executable) into
// `folder` as `fileName` and returns the copy's path.
std::filesystem::path CopySleeper(const std::filesystem::path& folder, const std::string& fileName);

// Polls `condition` until it holds or `timeoutMs` have passed; for waiting
// on real processes only.
bool Eventually(const std::function<bool()>& condition, int timeoutMs = 10000);

// A process started by the test. If it still runs at the end of the scope
// it is ended, so a failing test leaves nothing behind.
class ChildProcess {
public:
    explicit ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return started_; }
    // Waits up to `timeoutMs` for the process to end; true when it has.
    bool WaitForExit(int timeoutMs);
    // The exit code once the process has ended; -1 when a signal ended it.
    int ExitCode() const { return exitCode_; }

private:
    bool started_ = false;
    bool ended_ = false;
    int exitCode_ = -1;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    pid_t pid_ = -1;
#endif
};

} // namespace zrk::test

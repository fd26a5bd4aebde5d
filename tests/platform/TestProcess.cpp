#include "TestProcess.h"

#include <atomic>
#include <chrono>
#include <system_error>
#include <thread>

#include "platform/Platform.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace zrk::test {

namespace {

unsigned long ThisProcessId() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

} // namespace

std::string UniqueName(const std::string& prefix) {
    static std::atomic<int> counter{0};
    return prefix + "_" + std::to_string(ThisProcessId()) + "_" + std::to_string(++counter);
}

TempFolder::TempFolder() : path_(std::filesystem::temp_directory_path() / UniqueName("zrk_platform")) {
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path CopySleeper(const std::filesystem::path& folder, const std::string& fileName) {
#ifdef _WIN32
    const char* sleeper = "zrk_sleeper.exe";
#else
    const char* sleeper = "zrk_sleeper";
#endif
    const auto copy = folder / fileName;
    std::filesystem::copy_file(std::filesystem::path(ExecutableFolder()) / sleeper, copy);
    return copy;
}

bool Eventually(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

#ifdef _WIN32

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args) {
    std::string commandLine = "\"" + program.string() + "\"";
    for (const auto& arg : args) commandLine += " \"" + arg + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // A program copied a moment ago can be refused for a moment (seen under
    // wine on a loaded machine): a few more tries before giving up.
    for (int attempt = 0; attempt < 20 && !started_; ++attempt) {
        if (attempt > 0) Sleep(50);
        started_ = CreateProcessA(program.string().c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                  nullptr, nullptr, &startup, &info) != 0;
    }
    if (!started_) return;
    CloseHandle(info.hThread);
    handle_ = info.hProcess;
}

ChildProcess::~ChildProcess() {
    if (!started_) return;
    if (!ended_) {
        TerminateProcess(handle_, 1);
        WaitForSingleObject(handle_, 10000);
    }
    CloseHandle(handle_);
}

bool ChildProcess::WaitForExit(int timeoutMs) {
    if (!started_) return false;
    if (!ended_ && WaitForSingleObject(handle_, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0) {
        ended_ = true;
        DWORD code = 0;
        if (GetExitCodeProcess(handle_, &code)) exitCode_ = static_cast<int>(code);
    }
    return ended_;
}

#else

ChildProcess::ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args) {
    std::vector<std::string> texts{program.string()};
    texts.insert(texts.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    started_ = posix_spawn(&pid_, texts[0].c_str(), nullptr, nullptr, argv.data(), environ) == 0;
}

ChildProcess::~ChildProcess() {
    if (!started_ || ended_) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool ChildProcess::WaitForExit(int timeoutMs) {
    if (!started_) return false;
    if (ended_) return true;
    return Eventually(
        [&] {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) != pid_) return false;
            ended_ = true;
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        },
        timeoutMs);
}

#endif

} // namespace zrk::test

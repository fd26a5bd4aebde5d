// A stand-in for other programs in the process tests: it sleeps for a
// minute, so a test that fails to end it leaves nothing behind for long.
//
//   zrk_sleeper            sleep; on Windows hold a mutex named after the
//                          program's own file name without extension, as
//                          the bridge program does
//   zrk_sleeper NAME       sleep; on Windows hold the mutex NAME
//   zrk_sleeper --kill-own-name
//                          call KillTask with the program's own file name
//                          and exit with 42 when that returned 0 (and so
//                          did not end this process), else with 3
#include <string>

#include "platform/Platform.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

std::string OwnPath() {
    char buffer[4096];
#ifdef _WIN32
    const DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
#else
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
#endif
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string FileName(const std::string& path) {
    const auto separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

} // namespace

int main(int argc, char** argv) {
    const std::string ownName = FileName(OwnPath());
    const std::string arg = argc > 1 ? argv[1] : "";
    if (arg == "--kill-own-name") return zrk::MakeProcessEnv()->KillTask(ownName) == 0 ? 42 : 3;
#ifdef _WIN32
    const std::string mutexName = arg.empty() ? ownName.substr(0, ownName.find_last_of('.')) : arg;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    Sleep(60000);
    if (mutex != nullptr) CloseHandle(mutex);
#else
    for (unsigned left = 60; left > 0;) left = sleep(left);
#endif
    return 0;
}

#include "platform/win32/Win32ProcessEnv.h"

#include <utility>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

namespace zrk {

Win32ProcessEnv::Win32ProcessEnv(std::string bridgePath, std::string bridgeMutex)
    : bridgePath_(std::move(bridgePath)), bridgeMutex_(std::move(bridgeMutex)) {}

bool Win32ProcessEnv::BridgeRunning() {
    HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, bridgeMutex_.c_str());
    if (mutex == nullptr) return false;
    CloseHandle(mutex);
    return true;
}

void Win32ProcessEnv::LaunchBridge() {
    ShellExecuteA(nullptr, "open", bridgePath_.c_str(), nullptr, nullptr, SW_HIDE);
}

int Win32ProcessEnv::KillTask(const std::string& exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    const DWORD self = GetCurrentProcessId();
    int result = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == self || !ExecutableMatches(entry.szExeFile, exeName)) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
        if (process == nullptr) {
            result = 0;
            continue;
        }
        result = TerminateProcess(process, 0);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return result;
}

} // namespace zrk

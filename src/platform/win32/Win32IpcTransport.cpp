#include "platform/win32/Win32IpcTransport.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zrk {

uintptr_t Win32IpcTransport::FindTopWindow(const char* className) {
    return reinterpret_cast<uintptr_t>(FindWindowExA(nullptr, nullptr, className, nullptr));
}

uint32_t Win32IpcTransport::RegisterMessageName(const char* name) { return RegisterWindowMessageA(name); }

uint16_t Win32IpcTransport::AddGlobalAtom(const char* name) { return GlobalAddAtomA(name); }

void Win32IpcTransport::DeleteGlobalAtom(uint16_t atom) { GlobalDeleteAtom(atom); }

IIpcTransport::Mapping Win32IpcTransport::CreateNamedMapping(const char* name, uint32_t size) {
    HANDLE handle = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
    if (handle == nullptr) return {};
    // Read at once: the next call may change it.
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    return {reinterpret_cast<uintptr_t>(handle), existed};
}

uint8_t* Win32IpcTransport::MapBlockView(uintptr_t mapping) {
    return static_cast<uint8_t*>(MapViewOfFile(reinterpret_cast<HANDLE>(mapping), FILE_MAP_WRITE, 0, 0, 0));
}

void Win32IpcTransport::UnmapBlockView(uint8_t* view) { UnmapViewOfFile(view); }

void Win32IpcTransport::CloseMapping(uintptr_t mapping) { CloseHandle(reinterpret_cast<HANDLE>(mapping)); }

IIpcTransport::SendResult Win32IpcTransport::SendWithTimeout(uintptr_t window, uint32_t message, uintptr_t wparam,
                                                             uintptr_t lparam, uint32_t timeoutMs) {
    DWORD_PTR reply = 0;
    // A time-out leaves the error code untouched on older systems and sets
    // ERROR_TIMEOUT on newer ones; both read as 0 here.
    SetLastError(0);
    const LRESULT sent = SendMessageTimeoutA(reinterpret_cast<HWND>(window), message, static_cast<WPARAM>(wparam),
                                             static_cast<LPARAM>(lparam), SMTO_BLOCK, timeoutMs, &reply);
    if (sent != 0) return {true, static_cast<uintptr_t>(reply), 0};
    const DWORD error = GetLastError();
    return {false, 0, error == ERROR_TIMEOUT ? 0u : static_cast<uint32_t>(error)};
}

uint32_t Win32IpcTransport::CurrentProcessId() { return GetCurrentProcessId(); }

} // namespace zrk

#include "platform/win32/Win32Clock.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zrk {

uint32_t Win32Clock::TickCount() { return static_cast<uint32_t>(GetTickCount()); }

void Win32Clock::Sleep(uint32_t ms) { ::Sleep(ms); }

LocalTime Win32Clock::Now() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wHour, now.wMinute, now.wSecond};
}

} // namespace zrk

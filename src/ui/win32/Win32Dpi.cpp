#include "ui/win32/Win32Dpi.h"

namespace zrk {

namespace {

// Looked up at run time: older systems (and wine) may lack them.
template <typename Function>
Function User32(const char* name)
{
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

} // namespace

int SystemDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int WindowDpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && window)
        if (const UINT dpi = getDpiForWindow(window); dpi > 0)
            return int(dpi);
    return SystemDpi();
}

void AdjustFrameForDpi(RECT& client, DWORD style, DWORD exStyle, int dpi, bool menu)
{
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = User32<AdjustFn>("AdjustWindowRectExForDpi");
    if (adjustForDpi && adjustForDpi(&client, style, menu, exStyle, UINT(dpi)))
        return;
    AdjustWindowRectEx(&client, style, menu, exStyle);
}

} // namespace zrk

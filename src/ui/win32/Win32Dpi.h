#pragma once
#include <windows.h>

namespace zrk {

// The window description is in units of a 96 DPI screen; these give the
// dots per inch the native windows are drawn at.

// The window's DPI: GetDpiForWindow where the system has it (Windows 10
// 1607 on), else the screen's LOGPIXELSY.
int WindowDpi(HWND window);
// The system's DPI, at which SystemParametersInfo and GetSystemMetrics
// answer.
int SystemDpi();
// A design length (96 DPI) at `dpi`.
inline int ScaleToDpi(int designUnits, int dpi)
{
    return MulDiv(designUnits, dpi, 96);
}
// The window rectangle around `client` for a window of this style at
// `dpi`, with a menu bar of one line when `menu`: AdjustWindowRectExForDpi
// where the system has it, else AdjustWindowRectEx (the system's DPI).
void AdjustFrameForDpi(RECT& client, DWORD style, DWORD exStyle, int dpi, bool menu = false);

} // namespace zrk

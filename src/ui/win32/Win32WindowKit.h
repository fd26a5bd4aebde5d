#pragma once
#include <windows.h>

namespace zrk {

// What the program's top-level windows share.

// Registers a window class of the program (its icon, the arrow cursor, the
// dialog face colour); true when it is registered, now or before.
bool RegisterProgramWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);
// The system's message font at `dpi`; null when the system gives none.
HFONT MessageFontAt(int dpi);
// The work area of the screen `window` is on (the primary one for null).
RECT WorkAreaOf(HWND window);

} // namespace zrk

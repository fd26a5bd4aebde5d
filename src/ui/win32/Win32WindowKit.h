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
// Moves a window's scroll bar (SB_HORZ or SB_VERT) as a scroll message's
// code asks: `line` pixels a line, the bar's page a page. False for a code
// that moves nothing; the caller then lays its controls out again.
bool StepScrollBar(HWND window, int bar, int code, int line);

} // namespace zrk

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
// Sets a window's scroll bars for content of that size, shown from the
// bars' positions; returns where the content's top-left corner goes (at
// or left of and above the client area's) and the client area then.
POINT FitScrollBars(HWND window, int contentWidth, int contentHeight, RECT& client);

// The body of a window procedure whose windows each belong to one object
// of T, given as CreateWindowEx's parameter: the object learns its window
// (`handle`) when it is made and forgets it when it is gone, and gets every
// message in between (`handler`).
template <class T>
LRESULT ObjectWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, HWND T::*handle,
                         LRESULT (T::*handler)(UINT, WPARAM, LPARAM))
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<T*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        if (created)
            created->*handle = hwnd;
    }
    T* self = reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->*handle = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return (self->*handler)(message, wParam, lParam);
}

} // namespace zrk

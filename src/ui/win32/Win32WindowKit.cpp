#include "ui/win32/Win32WindowKit.h"

#include <algorithm>
#include <utility>

#include "ui/win32/Win32Dpi.h"

namespace zrk {

bool RegisterProgramWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, className, &existing))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    // The program's own icon when its resources carry one.
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    if (!wc.hIcon)
        wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HFONT MessageFontAt(int dpi)
{
    // The system gives its message font at its own DPI.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return nullptr;
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
    return CreateFontIndirectW(&metrics.lfMessageFont);
}

RECT WorkAreaOf(HWND window)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY); monitor && GetMonitorInfoW(monitor, &info))
        return info.rcWork;
    RECT work{0, 0, 1366, 728};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

POINT FitScrollBars(HWND window, int contentWidth, int contentHeight, RECT& client)
{
    // Twice: a scroll bar that appears takes room from the other axis.
    for (int pass = 0; pass < 2; ++pass) {
        GetClientRect(window, &client);
        const std::pair<int, std::pair<int, int>> axes[] = {{SB_HORZ, {contentWidth, int(client.right)}},
                                                            {SB_VERT, {contentHeight, int(client.bottom)}}};
        for (const auto& [bar, sizes] : axes) {
            SCROLLINFO info{};
            info.cbSize = sizeof(info);
            info.fMask = SIF_RANGE | SIF_PAGE;
            info.nMax = sizes.first - 1;
            info.nPage = UINT(std::max(0, sizes.second));
            SetScrollInfo(window, bar, &info, TRUE);
        }
    }
    GetClientRect(window, &client);
    return {-GetScrollPos(window, SB_HORZ), -GetScrollPos(window, SB_VERT)};
}

bool StepScrollBar(HWND window, int bar, int code, int line)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(window, bar, &info))
        return false;
    int pos = info.nPos;
    switch (code) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= int(info.nPage); break;
    case SB_PAGEDOWN: pos += int(info.nPage); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: pos = info.nTrackPos; break;
    case SB_TOP: pos = info.nMin; break;
    case SB_BOTTOM: pos = info.nMax; break;
    default: return false;
    }
    info.fMask = SIF_POS;
    info.nPos = pos;
    SetScrollInfo(window, bar, &info, TRUE);
    return true;
}

} // namespace zrk

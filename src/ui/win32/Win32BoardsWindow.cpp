#include "ui/win32/Win32BoardsWindow.h"

#include <commctrl.h>

#include <algorithm>

#include "app/BoardsPanel.h"
#include "app/WindowLayout.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32Text.h"
#include "ui/win32/Win32WindowKit.h"

namespace zrk {

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 100;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

} // namespace

Win32BoardsWindow::Win32BoardsWindow(BoardsPanel& panel, HINSTANCE instance, std::function<void()> onClose)
    : panel_(panel), instance_(instance), onClose_(std::move(onClose))
{
}

Win32BoardsWindow::~Win32BoardsWindow()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
    if (font_)
        DeleteObject(font_);
}

int Win32BoardsWindow::Scaled(int designUnits) const
{
    return ScaleToDpi(designUnits, dpi_);
}

HWND Win32BoardsWindow::Control(std::string_view name) const
{
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : drawn_[it->second].hwnd;
}

bool Win32BoardsWindow::Create(HWND owner)
{
    if (hwnd_)
        return true;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    if (!RegisterProgramWindowClass(instance_, kBoardsWindowClass, &Win32BoardsWindow::WindowProc))
        return false;
    const FormDesign& design = BoardsPanel::Design();
    const int dpi = owner ? WindowDpi(owner) : SystemDpi();
    RECT frame{0, 0, ScaleToDpi(design.width, dpi), ScaleToDpi(design.height, dpi)};
    AdjustFrameForDpi(frame, kStyle, 0, dpi);
    const RECT work = WorkAreaOf(owner);
    const int width = std::min<int>(frame.right - frame.left, work.right - work.left);
    const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
    // Centred over its owner, within the work area.
    int x = work.left + (work.right - work.left - width) / 2, y = work.top + (work.bottom - work.top - height) / 2;
    RECT o{};
    if (owner && GetWindowRect(owner, &o)) {
        x = (o.left + o.right - width) / 2;
        y = (o.top + o.bottom - height) / 2;
    }
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    const std::wstring title = Utf8ToWide(design.caption);
    if (!CreateWindowExW(0, kBoardsWindowClass, title.c_str(), kStyle, x, y, width, height, owner, nullptr,
                         instance_, this))
        return false;
    dpi_ = WindowDpi(hwnd_);
    font_ = MessageFontAt(dpi_);
    if (!Build())
        return false;
    Layout();
    Acted();
    SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr);
    return true;
}

void Win32BoardsWindow::Show(int showCommand)
{
    if (hwnd_)
        ShowWindow(hwnd_, showCommand);
}

bool Win32BoardsWindow::Build()
{
    const FormDesign& design = BoardsPanel::Design();
    drawn_.reserve(design.controls.size());
    std::map<std::string, int, std::less<>> panels;
    for (const ControlDesign& c : design.controls) {
        Drawn d;
        d.design = &c;
        if (const auto it = panels.find(c.group); !c.group.empty() && it != panels.end())
            d.parent = it->second;
        const wchar_t* cls = WC_STATICW;
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD ex = 0;
        std::wstring text = Utf8ToWide(c.caption);
        switch (c.kind) {
        case ControlKind::Panel:
            cls = WC_BUTTONW;
            style |= BS_GROUPBOX;
            break;
        case ControlKind::Label:
            style |= SS_NOPREFIX | SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS;
            ex |= WS_EX_STATICEDGE;
            break;
        case ControlKind::Button:
            cls = WC_BUTTONW;
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case ControlKind::List:
            cls = WC_LISTBOXW;
            style |= WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
            ex |= WS_EX_CLIENTEDGE;
            text.clear();
            break;
        default: continue;   // none in this window
        }
        d.hwnd = CreateWindowExW(ex, cls, text.c_str(), style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(design, c.name))),
                                 instance_, nullptr);
        if (!d.hwnd)
            return false;
        d.text = text;
        SendMessageW(d.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        if (c.kind == ControlKind::Panel)
            panels[c.name] = int(drawn_.size());
        byName_[c.name] = drawn_.size();
        byWindow_[d.hwnd] = drawn_.size();
        drawn_.push_back(std::move(d));
    }
    return true;
}

void Win32BoardsWindow::Layout()
{
    const FormDesign& design = BoardsPanel::Design();
    RECT client{};
    const POINT origin = FitScrollBars(hwnd_, Scaled(design.width), Scaled(design.height), client);
    const int ox = origin.x, oy = origin.y;
    for (const Drawn& d : drawn_) {
        const Bounds& b = d.design->bounds;
        int left = Scaled(b.left), top = Scaled(b.top), right = Scaled(b.Right()), bottom = Scaled(b.Bottom());
        if (d.parent >= 0) {
            const Bounds& p = drawn_[std::size_t(d.parent)].design->bounds;
            left += Scaled(p.left);
            right += Scaled(p.left);
            top += Scaled(p.top);
            bottom += Scaled(p.top);
        }
        SetWindowPos(d.hwnd, nullptr, left + ox, top + oy, right - left, bottom - top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32BoardsWindow::Acted()
{
    shownChanges_ = ~uint64_t(0);
    Refresh();
}

void Win32BoardsWindow::Refresh()
{
    if (!hwnd_ || closed_ || panel_.Changes() == shownChanges_)
        return;
    shownChanges_ = panel_.Changes();
    updating_ = true;
    for (Drawn& d : drawn_)
        Show(d);
    updating_ = false;
}

void Win32BoardsWindow::Show(Drawn& d)
{
    const BoardsControlState& s = panel_.State(d.design->name);
    if (d.enabled != s.enabled) {
        EnableWindow(d.hwnd, s.enabled);
        d.enabled = s.enabled;
    }
    switch (d.design->kind) {
    case ControlKind::Label: {
        std::wstring text = Utf8ToWide(s.text);
        if (text != d.text) {
            SetWindowTextW(d.hwnd, text.c_str());
            d.text = std::move(text);
        }
        break;
    }
    case ControlKind::List: {
        if (s.lines != d.lines) {
            SendMessageW(d.hwnd, WM_SETREDRAW, FALSE, 0);
            SendMessageW(d.hwnd, LB_RESETCONTENT, 0, 0);
            int widest = 0;
            HDC dc = GetDC(d.hwnd);
            HGDIOBJ old = dc ? SelectObject(dc, font_) : nullptr;
            for (const std::string& line : s.lines) {
                const std::wstring w = Utf8ToWide(line);
                SendMessageW(d.hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
                SIZE size{};
                if (dc && GetTextExtentPoint32W(dc, w.c_str(), int(w.size()), &size))
                    widest = std::max<int>(widest, size.cx);
            }
            if (dc) {
                SelectObject(dc, old);
                ReleaseDC(d.hwnd, dc);
            }
            // A line wider than the list scrolls sideways.
            SendMessageW(d.hwnd, LB_SETHORIZONTALEXTENT, WPARAM(widest + Scaled(8)), 0);
            SendMessageW(d.hwnd, WM_SETREDRAW, TRUE, 0);
            InvalidateRect(d.hwnd, nullptr, TRUE);
            d.lines = s.lines;
            d.selected = -2;
        }
        const int selected = int(s.value);
        if (selected != d.selected) {
            SendMessageW(d.hwnd, LB_SETCURSEL, WPARAM(selected), 0);
            d.selected = selected;
        }
        break;
    }
    default: break;
    }
}

void Win32BoardsWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (updating_)
        return;
    const auto it = byWindow_.find(reinterpret_cast<HWND>(lParam));
    if (it == byWindow_.end())
        return;
    Drawn& d = drawn_[it->second];
    const std::string& name = d.design->name;
    const UINT code = HIWORD(wParam);
    if (d.design->kind == ControlKind::Button && code == BN_CLICKED) {
        if (name == BoardsPanel::Design().closeButton) {
            CloseByUser();
            return;
        }
        panel_.Press(name);
        Acted();
    } else if (d.design->kind == ControlKind::List && code == LBN_SELCHANGE) {
        const int row = int(SendMessageW(d.hwnd, LB_GETCURSEL, 0, 0));
        d.selected = row;
        panel_.Select(name, row == LB_ERR ? -1 : row);
        Acted();
    }
}

void Win32BoardsWindow::CloseByUser()
{
    if (closed_)
        return;
    closed_ = true;
    panel_.Press(BoardsPanel::Design().closeButton);
    ShowWindow(hwnd_, SW_HIDE);
    // The owner lets this window go after the message that closed it.
    if (onClose_)
        PostMessageW(hwnd_, WM_APP, 0, 0);
}

LRESULT CALLBACK Win32BoardsWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ObjectWindowProc(hwnd, message, wParam, lParam, &Win32BoardsWindow::hwnd_, &Win32BoardsWindow::HandleMessage);
}

LRESULT Win32BoardsWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kRefreshTimer) {
            Refresh();
            return 0;
        }
        break;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED && !drawn_.empty())
            Layout();
        return 0;
    case WM_DPICHANGED:
        if (lParam && LOWORD(wParam) > 0) {
            dpi_ = LOWORD(wParam);
            if (HFONT font = MessageFontAt(dpi_)) {
                for (const Drawn& d : drawn_)
                    SendMessageW(d.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
                if (font_)
                    DeleteObject(font_);
                font_ = font;
            }
            const RECT& r = *reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            for (Drawn& d : drawn_)
                d.lines.clear();   // the lists' widths again, in the new font
            Layout();
            Acted();
            return 0;
        }
        break;
    case WM_CLOSE:
        CloseByUser();
        return 0;
    case WM_APP:
        if (onClose_) {
            // May destroy this object: nothing of it is used after.
            const std::function<void()> done = onClose_;
            done();
        }
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace zrk

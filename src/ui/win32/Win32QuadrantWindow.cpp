#include "ui/win32/Win32QuadrantWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "app/demo/DemoCockpit.h"
#include "app/demo/DemoQuadrant.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32Text.h"
#include "ui/win32/Win32WindowKit.h"

namespace zrk {

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW;
constexpr int kGap = 8;                 // between the main window and this one
constexpr int kCaptionHeight = 18;      // a lever's caption under its track bar
constexpr double kPi = 3.14159265358979323846;

// The lever's travel runs up the track bar; a track bar's minimum is at its
// top, so its position is the travel turned upside down.
int BarPosition(const ControlDesign& c, double value)
{
    const int v = int(std::lround(std::clamp(value, double(c.min), double(c.max))));
    return c.max - (v - c.min);
}
double TravelAt(const ControlDesign& c, int barPosition)
{
    return double(c.max - (std::clamp(barPosition, c.min, c.max) - c.min));
}

// Text in a rectangle of an owner-drawn control.
void DrawTextIn(HDC dc, const std::wstring& text, RECT r, COLORREF color)
{
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), int(text.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
}

} // namespace

Win32QuadrantWindow::Win32QuadrantWindow(DemoCockpit& cockpit, HINSTANCE instance)
    : Win32QuadrantWindow(cockpit.Quadrant(), DemoQuadrantHooks(cockpit), instance)
{
}

Win32QuadrantWindow::Win32QuadrantWindow(VirtualQuadrant& quadrant, QuadrantHooks hooks, HINSTANCE instance)
    : panel_(quadrant, std::move(hooks)), instance_(instance)
{
}

Win32QuadrantWindow::~Win32QuadrantWindow()
{
    if (hwnd_)
        DestroyWindow(hwnd_);
    if (font_)
        DeleteObject(font_);
}

int Win32QuadrantWindow::Scaled(int designUnits) const
{
    return ScaleToDpi(designUnits, dpi_);
}

HWND Win32QuadrantWindow::Control(std::string_view name) const
{
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : drawn_[it->second].hwnd;
}

Win32QuadrantWindow::Drawn* Win32QuadrantWindow::Find(HWND hwnd)
{
    const auto it = byWindow_.find(hwnd);
    return it == byWindow_.end() ? nullptr : &drawn_[it->second];
}

bool Win32QuadrantWindow::Create(HWND mainWindow)
{
    if (hwnd_)
        return true;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&icc);
    if (!RegisterProgramWindowClass(instance_, kQuadrantWindowClass, &Win32QuadrantWindow::WindowProc))
        return false;

    // The size it takes on the main window's screen, at that screen's DPI.
    const FormDesign& design = panel_.Design();
    const int dpi = mainWindow ? WindowDpi(mainWindow) : SystemDpi();
    RECT frame{0, 0, ScaleToDpi(design.width, dpi), ScaleToDpi(design.height, dpi)};
    AdjustFrameForDpi(frame, kStyle, 0, dpi);
    const RECT work = WorkAreaOf(mainWindow);
    const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
    // Shorter than its design, it scrolls up and down: wider by the scroll
    // bar, so that it need not scroll sideways too.
    const int bar = height < frame.bottom - frame.top ? MulDiv(GetSystemMetrics(SM_CXVSCROLL), dpi, SystemDpi()) : 0;
    const int width = std::min<int>(frame.right - frame.left + bar, work.right - work.left);

    // Beside the main window when there is room, else in front of it.
    int x = work.left + (work.right - work.left - width) / 2, y = work.top + (work.bottom - work.top - height) / 2;
    HWND owner = nullptr;
    RECT main{};
    if (mainWindow && GetWindowRect(mainWindow, &main)) {
        if (main.right + kGap + width <= work.right) {
            x = main.right + kGap;
            y = main.top;
        } else if (work.left + width + kGap <= main.left) {
            x = main.left - kGap - width;
            y = main.top;
        } else {
            owner = mainWindow;
            x = main.left + ScaleToDpi(48, dpi);
            y = main.top + ScaleToDpi(48, dpi);
        }
    }
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));

    const std::wstring title = Utf8ToWide(design.caption);
    HWND hwnd = CreateWindowExW(0, kQuadrantWindowClass, title.c_str(), kStyle, x, y, width, height, owner, nullptr,
                                instance_, this);
    if (!hwnd)
        return false;
    hwnd_ = hwnd;
    dpi_ = WindowDpi(hwnd);
    font_ = MessageFontAt(dpi_);
    if (!Build())
        return false;
    Layout();
    Refresh();
    SetTimer(hwnd_, kRefreshTimer, UINT(QuadrantPanel::kRefreshMs), nullptr);
    return true;
}

void Win32QuadrantWindow::Show(int showCommand)
{
    if (hwnd_)
        ShowWindow(hwnd_, showCommand);
}

bool Win32QuadrantWindow::Build()
{
    const FormDesign& design = panel_.Design();
    drawn_.clear();
    drawn_.reserve(design.controls.size());
    std::map<std::string, int, std::less<>> panels;
    for (const ControlDesign& c : design.controls) {
        Drawn d;
        d.design = &c;
        if (const auto it = panels.find(c.group); !c.group.empty() && it != panels.end())
            d.parent = it->second;
        const int id = ControlId(design, c.name);
        const DWORD child = WS_CHILD | WS_VISIBLE;
        const wchar_t* cls = WC_STATICW;
        DWORD style = child;
        DWORD ex = 0;
        std::wstring text = Utf8ToWide(c.caption);
        switch (c.kind) {
        case ControlKind::Panel:
            cls = WC_BUTTONW;
            style |= BS_GROUPBOX;
            break;
        case ControlKind::Label:
            style |= SS_NOPREFIX | (c.align == TextAlign::Center ? SS_CENTER : SS_LEFT);
            if (c.style == LabelStyle::Readout) {
                style |= SS_CENTERIMAGE;
                ex |= WS_EX_STATICEDGE;
            }
            break;
        case ControlKind::Button:
            cls = WC_BUTTONW;
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case ControlKind::Toggle:
            cls = WC_BUTTONW;
            style |= WS_TABSTOP | BS_CHECKBOX | BS_PUSHLIKE;
            break;
        case ControlKind::CheckBox:
            cls = WC_BUTTONW;
            style |= WS_TABSTOP | BS_CHECKBOX;
            break;
        case ControlKind::Memo:
            cls = WC_EDITW;
            style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL;
            ex |= WS_EX_CLIENTEDGE;
            text.clear();
            break;
        case ControlKind::Lever:
            cls = TRACKBAR_CLASSW;
            style |= WS_TABSTOP | TBS_VERT | TBS_BOTH | TBS_AUTOTICKS;
            text.clear();
            break;
        case ControlKind::Shape:
        case ControlKind::Wheel:
        case ControlKind::Dial:
            style |= SS_OWNERDRAW;
            text.clear();
            break;
        case ControlKind::TrackBar:
        case ControlKind::UpDown:
        case ControlKind::Edit:
        case ControlKind::RadioGroup:
        case ControlKind::StatusBar:
        case ControlKind::List:
        case ControlKind::Chart: continue;   // none in this window
        }
        d.hwnd = CreateWindowExW(ex, cls, text.c_str(), style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        if (!d.hwnd)
            return false;
        d.text = text;
        SendMessageW(d.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        if (c.kind == ControlKind::Lever) {
            SendMessageW(d.hwnd, TBM_SETRANGEMIN, FALSE, c.min);
            SendMessageW(d.hwnd, TBM_SETRANGEMAX, FALSE, c.max);
            SendMessageW(d.hwnd, TBM_SETTICFREQ, std::max(1, (c.max - c.min) / 10), 0);
            SendMessageW(d.hwnd, TBM_SETLINESIZE, 0, std::max(1, c.step));
            SendMessageW(d.hwnd, TBM_SETPAGESIZE, 0, std::max(1, c.step * 10));
            SendMessageW(d.hwnd, TBM_SETPOS, TRUE, BarPosition(c, 0));
            const std::wstring caption = Utf8ToWide(c.caption);
            d.caption = CreateWindowExW(0, WC_STATICW, caption.c_str(), child | SS_CENTER | SS_NOPREFIX, 0, 0, 0, 0,
                                        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(CaptionId(id))),
                                        instance_, nullptr);
            if (!d.caption)
                return false;
            SendMessageW(d.caption, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        }
        if (c.kind == ControlKind::Panel)
            panels[c.name] = int(drawn_.size());
        byName_[c.name] = drawn_.size();
        byWindow_[d.hwnd] = drawn_.size();
        drawn_.push_back(std::move(d));
    }
    return true;
}

void Win32QuadrantWindow::Layout()
{
    if (!hwnd_ || layingOut_)
        return;
    layingOut_ = true;
    const FormDesign& design = panel_.Design();
    const int designWidth = Scaled(design.width), designHeight = Scaled(design.height);
    RECT client{};
    const POINT origin = FitScrollBars(hwnd_, designWidth, designHeight, client);
    const int ox = origin.x, oy = origin.y;

    HDWP batch = BeginDeferWindowPos(int(drawn_.size()) * 2);
    for (const Drawn& d : drawn_) {
        const Bounds& b = d.design->bounds;
        // Edges scaled, so that controls that touch at 96 DPI touch at every DPI.
        int left = Scaled(b.left), top = Scaled(b.top), right = Scaled(b.Right()), bottom = Scaled(b.Bottom());
        if (d.parent >= 0) {
            const Bounds& p = drawn_[std::size_t(d.parent)].design->bounds;
            left += Scaled(p.left);
            right += Scaled(p.left);
            top += Scaled(p.top);
            bottom += Scaled(p.top);
        }
        left += ox;
        right += ox;
        top += oy;
        bottom += oy;
        if (d.caption) {
            const int captionTop = bottom - Scaled(kCaptionHeight);
            if (batch)
                batch = DeferWindowPos(batch, d.caption, nullptr, left, captionTop, right - left, bottom - captionTop,
                                       SWP_NOZORDER | SWP_NOACTIVATE);
            bottom = captionTop;
        }
        if (batch)
            batch = DeferWindowPos(batch, d.hwnd, nullptr, left, top, right - left, bottom - top,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch)
        EndDeferWindowPos(batch);
    layingOut_ = false;
}

void Win32QuadrantWindow::Scroll(int bar, int code)
{
    if (!StepScrollBar(hwnd_, bar, code, Scaled(20)))
        return;
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32QuadrantWindow::SetDpi(int dpi)
{
    if (dpi == dpi_ || dpi <= 0)
        return;
    dpi_ = dpi;
    HFONT font = MessageFontAt(dpi);
    if (!font)
        return;
    for (const Drawn& d : drawn_) {
        SendMessageW(d.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (d.caption)
            SendMessageW(d.caption, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    if (font_)
        DeleteObject(font_);
    font_ = font;
}

void Win32QuadrantWindow::Acted()
{
    // The control the user acted on may now differ from its state even
    // where no state changed (a switch that cannot be set): all redrawn.
    shownChanges_ = ~uint64_t(0);
    Refresh();
}

void Win32QuadrantWindow::Refresh()
{
    panel_.Refresh();
    if (!hwnd_ || panel_.Changes() == shownChanges_)
        return;
    shownChanges_ = panel_.Changes();
    updating_ = true;
    for (Drawn& d : drawn_)
        Show(d);
    updating_ = false;
}

void Win32QuadrantWindow::Show(Drawn& d)
{
    const ControlDesign& c = *d.design;
    const QuadrantControlState& s = panel_.State(c.name);
    if (d.enabled != s.enabled) {
        EnableWindow(d.hwnd, s.enabled);
        d.enabled = s.enabled;
    }
    switch (c.kind) {
    case ControlKind::Label:
        if (c.style != LabelStyle::Readout && c.style != LabelStyle::Heading)
            break;
        [[fallthrough]];
    case ControlKind::Button: {
        if (c.kind == ControlKind::Button && s.text.empty())
            break;
        std::wstring text = Utf8ToWide(s.text);
        if (text != d.text) {
            SetWindowTextW(d.hwnd, text.c_str());
            d.text = std::move(text);
        }
        break;
    }
    case ControlKind::Toggle:
    case ControlKind::CheckBox:
        if (SendMessageW(d.hwnd, BM_GETCHECK, 0, 0) != (s.on ? BST_CHECKED : BST_UNCHECKED))
            SendMessageW(d.hwnd, BM_SETCHECK, s.on ? BST_CHECKED : BST_UNCHECKED, 0);
        d.on = s.on;
        break;
    case ControlKind::Lever: {
        // Not while the mouse holds the thumb: the hand is where it is.
        const int pos = BarPosition(c, s.value);
        if (!d.grabbed && pos != d.position) {
            SendMessageW(d.hwnd, TBM_SETPOS, TRUE, pos);
            d.position = pos;
        }
        break;
    }
    case ControlKind::Memo:
        if (s.lines != d.lines) {
            std::string joined;
            for (const std::string& line : s.lines) {
                if (!joined.empty())
                    joined += "\r\n";
                joined += line;
            }
            const std::wstring text = Utf8ToWide(joined);
            SetWindowTextW(d.hwnd, text.c_str());
            // The newest line in view.
            SendMessageW(d.hwnd, EM_LINESCROLL, 0, LPARAM(s.lines.size()));
            d.lines = s.lines;
        }
        break;
    case ControlKind::Shape:
    case ControlKind::Wheel:
    case ControlKind::Dial:
        // Drawn off screen and copied in one go: no erase, no flicker.
        InvalidateRect(d.hwnd, nullptr, FALSE);
        break;
    default: break;
    }
}

void Win32QuadrantWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (updating_ || HIWORD(wParam) != BN_CLICKED)
        return;
    Drawn* d = Find(reinterpret_cast<HWND>(lParam));
    if (!d)
        return;
    const std::string& name = d->design->name;
    switch (d->design->kind) {
    case ControlKind::Button: panel_.Press(name); break;
    case ControlKind::Toggle:
    case ControlKind::CheckBox: panel_.SetOn(name, !panel_.State(name).on); break;
    default: return;
    }
    Acted();
}

void Win32QuadrantWindow::OnLever(HWND from, int code)
{
    Drawn* d = Find(from);
    if (!d || d->design->kind != ControlKind::Lever || updating_)
        return;
    const std::string& name = d->design->name;
    const double at = TravelAt(*d->design, int(SendMessageW(from, TBM_GETPOS, 0, 0)));
    d->position = BarPosition(*d->design, at);
    switch (code) {
    case TB_THUMBTRACK:
        // The mouse holds the thumb: a hand on the lever, moving it.
        if (!d->grabbed) {
            d->grabbed = true;
            panel_.Grab(name, at);
        } else {
            panel_.Drag(name, at);
        }
        break;
    case TB_THUMBPOSITION:
        if (d->grabbed)
            panel_.Drag(name, at);
        break;
    case TB_ENDTRACK:
        if (d->grabbed) {
            d->grabbed = false;
            panel_.LetGo(name);
        }
        break;
    default:
        // Keys, the wheel and clicks beside the thumb: a quick push.
        if (!d->grabbed)
            panel_.Nudge(name, at);
        break;
    }
    Acted();
}

void Win32QuadrantWindow::Draw(const DRAWITEMSTRUCT& item)
{
    Drawn* d = Find(item.hwndItem);
    const int w = item.rcItem.right - item.rcItem.left, h = item.rcItem.bottom - item.rcItem.top;
    if (!d || w <= 0 || h <= 0)
        return;
    const QuadrantControlState& s = panel_.State(d->design->name);
    HDC dc = CreateCompatibleDC(item.hDC);
    HBITMAP bitmap = CreateCompatibleBitmap(item.hDC, w, h);
    if (!dc || !bitmap) {
        if (bitmap)
            DeleteObject(bitmap);
        if (dc)
            DeleteDC(dc);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    const RECT all{0, 0, w, h};
    FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
    const COLORREF text = GetSysColor(COLOR_BTNTEXT), grey = GetSysColor(COLOR_GRAYTEXT);
    const int textHeight = Scaled(kCaptionHeight);

    auto line = [dc](int x0, int y0, int x1, int y1) {
        MoveToEx(dc, x0, y0, nullptr);
        LineTo(dc, x1, y1);
    };

    switch (d->design->kind) {
    case ControlKind::Shape: {
        // A lamp in its state's colour.
        const int size = std::max(2, std::min(w, h) - 2);
        const int x = (w - size) / 2, y = (h - size) / 2;
        HBRUSH brush = CreateSolidBrush(COLORREF(s.color) & 0x00FFFFFF);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(64, 64, 64));
        HGDIOBJ ob = SelectObject(dc, brush), op = SelectObject(dc, pen);
        Ellipse(dc, x, y, x + size, y + size);
        SelectObject(dc, op);
        SelectObject(dc, ob);
        DeleteObject(pen);
        DeleteObject(brush);
        break;
    }
    case ControlKind::Wheel: {
        // The drum seen edge-on: grip marks that move round as it turns,
        // and the turns below.
        const RECT drum{Scaled(8), Scaled(4), w - Scaled(8), h - textHeight - Scaled(4)};
        HBRUSH body = CreateSolidBrush(RGB(40, 44, 48));
        FillRect(dc, &drum, body);
        DeleteObject(body);
        const int height = std::max(1, int(drum.bottom - drum.top));
        constexpr int kMarks = 12;   // grip marks round the drum
        const double turn = std::isfinite(s.value) ? s.value - std::floor(s.value) : 0;
        HPEN pen = CreatePen(PS_SOLID, std::max(1, Scaled(2)), RGB(200, 204, 208));
        HGDIOBJ op = SelectObject(dc, pen);
        for (int i = 0; i < kMarks; ++i) {
            // A mark's angle round the drum; the front half shows.
            const double a = (double(i) / kMarks + turn) * 2 * kPi;
            const double c = std::cos(a);
            if (c <= 0.05)
                continue;
            const int y = drum.top + height / 2 - int(std::lround(std::sin(a) * height / 2.0));
            line(drum.left + Scaled(4), y, drum.right - Scaled(4), y);
        }
        SelectObject(dc, op);
        DeleteObject(pen);
        wchar_t turns[32];
        std::swprintf(turns, 32, L"%.1f t", std::isfinite(s.value) ? s.value : 0.0);
        DrawTextIn(dc, turns, RECT{0, h - textHeight, w, h}, text);
        break;
    }
    case ControlKind::Dial: {
        // A half-round dial; the needle at the servo arm's angle, 0 degrees
        // pointing left and 180 right. Greyed without a servo behind it.
        const bool present = s.on;
        const int cx = w / 2, cy = h - 2 * textHeight - Scaled(4);
        const int r = std::max(4, std::min(w / 2 - Scaled(6), cy - Scaled(4)));
        HBRUSH face = CreateSolidBrush(present ? RGB(30, 34, 40) : RGB(150, 150, 150));
        HPEN rim = CreatePen(PS_SOLID, 1, RGB(90, 90, 90));
        HGDIOBJ ob = SelectObject(dc, face), op = SelectObject(dc, rim);
        Pie(dc, cx - r, cy - r, cx + r, cy + r, cx + r, cy, cx - r, cy);
        SelectObject(dc, ob);
        DeleteObject(face);
        HPEN ticks = CreatePen(PS_SOLID, 1, RGB(220, 220, 220));
        SelectObject(dc, ticks);
        for (int deg = 0; deg <= 180; deg += 30) {
            const double a = deg * kPi / 180;
            line(cx - int(r * 0.8 * std::cos(a)), cy - int(r * 0.8 * std::sin(a)), cx - int(r * std::cos(a)),
                 cy - int(r * std::sin(a)));
        }
        SelectObject(dc, op);
        DeleteObject(ticks);
        DeleteObject(rim);
        const double angle = std::isfinite(s.value) ? s.value : 0;
        if (present) {
            const double a = std::clamp(angle, 0.0, 180.0) * kPi / 180;
            HPEN needle = CreatePen(PS_SOLID, std::max(2, Scaled(3)), RGB(255, 170, 0));
            op = SelectObject(dc, needle);
            line(cx, cy, cx - int(r * 0.9 * std::cos(a)), cy - int(r * 0.9 * std::sin(a)));
            SelectObject(dc, op);
            DeleteObject(needle);
        }
        DrawTextIn(dc, Utf8ToWide(d->design->caption), RECT{0, h - 2 * textHeight, w, h - textHeight},
                   present ? text : grey);
        if (present) {
            wchar_t value[32];
            std::swprintf(value, 32, L"%.1f\u00B0", angle);
            DrawTextIn(dc, value, RECT{0, h - textHeight, w, h}, text);
        }
        break;
    }
    default: break;
    }

    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

LRESULT CALLBACK Win32QuadrantWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ObjectWindowProc(hwnd, message, wParam, lParam, &Win32QuadrantWindow::hwnd_, &Win32QuadrantWindow::HandleMessage);
}

LRESULT Win32QuadrantWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_VSCROLL:
    case WM_HSCROLL:
        if (lParam) {
            OnLever(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
        } else {
            Scroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
        }
        return 0;
    case WM_MOUSEWHEEL: {
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        for (int i = 0; i < std::abs(notches) * 3; ++i)
            Scroll(SB_VERT, notches > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
    }
    case WM_DRAWITEM:
        if (lParam) {
            Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (wParam == kRefreshTimer) {
            if (IsWindowVisible(hwnd_))
                Refresh();
            return 0;
        }
        break;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            Layout();
        return 0;
    case WM_DPICHANGED:
        if (lParam && LOWORD(wParam) > 0) {
            // Moved to a screen of another DPI: drawn at it, in the size the
            // system suggests.
            SetDpi(LOWORD(wParam));
            const RECT& r = *reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();
            InvalidateRect(hwnd_, nullptr, TRUE);
            return 0;
        }
        break;
    case WM_CLOSE:
        // The program ends with its main window; this one only hides.
        ShowWindow(hwnd_, SW_HIDE);
        return 0;
    default: break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

} // namespace zrk

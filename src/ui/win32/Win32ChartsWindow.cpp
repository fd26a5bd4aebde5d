#include "ui/win32/Win32ChartsWindow.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "app/Charts.h"
#include "app/ChartsPanel.h"
#include "app/WindowLayout.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32Text.h"
#include "ui/win32/Win32WindowKit.h"

namespace zrk {

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
// Clipping its children: a resize or scroll repaints the window's face
// around the charts, never over them.
constexpr DWORD kStyle =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;

COLORREF Color(int bgr)
{
    return COLORREF(unsigned(bgr) & 0x00FFFFFFu);
}

// The charts' texts: the message font, as tall as a picture leaves room
// for (a positive height is the whole cell, accents and descenders in).
HFONT ChartFontAt(int dpi)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        font = metrics.lfMessageFont;
    else
        lstrcpynW(font.lfFaceName, L"MS Shell Dlg 2", LF_FACESIZE);
    font.lfHeight = ScaleToDpi(kChartTextHeight, dpi);
    font.lfWidth = 0;
    font.lfWeight = FW_NORMAL;
    return CreateFontIndirectW(&font);
}

// A pen for one of a picture's lines. Windows draws only thin cosmetic
// pens dashed: a wider dashed line needs a geometric pen.
HPEN LinePen(const ChartLine& line, int width)
{
    const COLORREF color = Color(line.color);
    if (line.dashed && width > 1) {
        LOGBRUSH brush{BS_SOLID, color, 0};
        if (HPEN pen = ExtCreatePen(PS_GEOMETRIC | PS_DASH | PS_ENDCAP_FLAT | PS_JOIN_ROUND, DWORD(width), &brush, 0,
                                    nullptr))
            return pen;
    }
    return CreatePen(line.dashed ? PS_DASH : PS_SOLID, line.dashed ? 1 : width, color);
}

// Paints a picture laid out in 96 DPI pixels at `dpi`, its top-left corner
// at `origin`, in its order: background, fills, lines, texts.
void PaintPicture(HDC dc, const ChartPicture& p, POINT origin, int width, int height, int dpi, HFONT font)
{
    const auto x = [&](int v) { return int(origin.x) + ScaleToDpi(v, dpi); };
    const auto y = [&](int v) { return int(origin.y) + ScaleToDpi(v, dpi); };
    const auto fill = [dc](RECT r, COLORREF color) {
        if (r.right <= r.left || r.bottom <= r.top)
            return;
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    };
    // The whole area, also the pixel or two rounding leaves past the
    // picture's scaled edge.
    fill(RECT{origin.x, origin.y, origin.x + width, origin.y + height}, Color(p.background));
    for (const ChartFill& f : p.fills)
        fill(RECT{x(f.bounds.left), y(f.bounds.top), x(f.bounds.Right()), y(f.bounds.Bottom())}, Color(f.color));

    SetBkMode(dc, TRANSPARENT);   // the gaps of a dashed line
    std::vector<POINT> points;
    for (const ChartLine& line : p.lines) {
        if (line.points.size() < 2)
            continue;
        points.clear();
        for (const ChartPoint& pt : line.points)
            points.push_back(POINT{x(pt.x), y(pt.y)});
        HPEN pen = LinePen(line, std::max(1, ScaleToDpi(line.width, dpi)));
        HGDIOBJ old = SelectObject(dc, pen);
        Polyline(dc, points.data(), int(points.size()));
        SelectObject(dc, old);
        DeleteObject(pen);
    }

    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    const UINT oldAlign = GetTextAlign(dc);
    for (const ChartText& t : p.texts) {
        if (t.text.empty())
            continue;
        const std::wstring text = Utf8ToWide(t.text);
        UINT align = TA_TOP | TA_NOUPDATECP;
        align |= t.align == TextAlign::Center ? TA_CENTER : t.align == TextAlign::Right ? TA_RIGHT : TA_LEFT;
        SetTextAlign(dc, align);
        SetTextColor(dc, Color(t.color));
        TextOutW(dc, x(t.x), y(t.y), text.c_str(), int(text.size()));
    }
    SetTextAlign(dc, oldAlign);
    if (oldFont)
        SelectObject(dc, oldFont);
}

bool RegisterChartClass(HINSTANCE instance, WNDPROC procedure)
{
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExW(instance, kChartControlClass, &existing))
        return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    // Painted whole on every resize; no background brush: nothing is
    // erased before the picture is copied in.
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kChartControlClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

Win32ChartsWindow::Win32ChartsWindow(ChartsPanel& panel, HINSTANCE instance, std::function<void()> onClose)
    : panel_(panel), instance_(instance), onClose_(std::move(onClose))
{
}

Win32ChartsWindow::~Win32ChartsWindow()
{
    // The panel may outlive this window for a moment: it must not grab
    // pictures from a window that is gone.
    panel_.SetCapture(nullptr);
    if (hwnd_)
        DestroyWindow(hwnd_);
    if (font_)
        DeleteObject(font_);
    if (chartFont_)
        DeleteObject(chartFont_);
}

int Win32ChartsWindow::Scaled(int designUnits) const
{
    return ScaleToDpi(designUnits, dpi_);
}

HWND Win32ChartsWindow::Control(std::string_view name) const
{
    const auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : drawn_[it->second].hwnd;
}

const Win32ChartsWindow::Drawn* Win32ChartsWindow::Find(HWND hwnd) const
{
    const auto it = byWindow_.find(hwnd);
    return it == byWindow_.end() ? nullptr : &drawn_[it->second];
}

bool Win32ChartsWindow::Create(HWND owner)
{
    if (hwnd_)
        return true;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&icc);
    if (!RegisterProgramWindowClass(instance_, kChartsWindowClass, &Win32ChartsWindow::WindowProc)
        || !RegisterChartClass(instance_, &Win32ChartsWindow::ChartProc))
        return false;
    const FormDesign& design = panel_.Design();
    const int dpi = owner ? WindowDpi(owner) : SystemDpi();
    RECT frame{0, 0, ScaleToDpi(design.width, dpi), ScaleToDpi(design.height, dpi)};
    AdjustFrameForDpi(frame, kStyle, 0, dpi);
    const RECT work = WorkAreaOf(owner);
    const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
    // Shorter than its design, it scrolls up and down: wider by the scroll
    // bar, so that it need not scroll sideways too.
    const int bar = height < frame.bottom - frame.top ? MulDiv(GetSystemMetrics(SM_CXVSCROLL), dpi, SystemDpi()) : 0;
    const int width = std::min<int>(frame.right - frame.left + bar, work.right - work.left);
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
    if (!CreateWindowExW(0, kChartsWindowClass, title.c_str(), kStyle, x, y, width, height, owner, nullptr, instance_,
                         this))
        return false;
    dpi_ = WindowDpi(hwnd_);
    font_ = MessageFontAt(dpi_);
    chartFont_ = ChartFontAt(dpi_);
    if (!Build())
        return false;
    Layout();
    panel_.SetCapture([this] { return Capture(); });
    Acted();
    SetTimer(hwnd_, kRefreshTimer, UINT(ChartsPanel::kRefreshMs), nullptr);
    return true;
}

void Win32ChartsWindow::Show(int showCommand)
{
    if (hwnd_)
        ShowWindow(hwnd_, showCommand);
}

bool Win32ChartsWindow::Build()
{
    const FormDesign& design = panel_.Design();
    drawn_.reserve(design.controls.size());
    for (const ControlDesign& c : design.controls) {
        Drawn d;
        d.design = &c;
        const wchar_t* cls = WC_STATICW;
        DWORD style = WS_CHILD | WS_VISIBLE;
        DWORD ex = 0;
        std::wstring text = Utf8ToWide(c.caption);
        switch (c.kind) {
        case ControlKind::Label:
            style |= SS_NOPREFIX | SS_LEFT | SS_CENTERIMAGE | SS_ENDELLIPSIS;
            if (c.style == LabelStyle::Readout)
                ex |= WS_EX_STATICEDGE;
            break;
        case ControlKind::Button:
            cls = WC_BUTTONW;
            style |= WS_TABSTOP | BS_PUSHBUTTON;
            break;
        case ControlKind::Toggle:
            // Checked as the panel says, not by the click itself.
            cls = WC_BUTTONW;
            style |= WS_TABSTOP | BS_CHECKBOX | BS_PUSHLIKE;
            break;
        case ControlKind::Chart:
            cls = kChartControlClass;
            text.clear();
            break;
        default: continue;   // none in this window
        }
        d.hwnd = CreateWindowExW(ex, cls, text.c_str(), style, 0, 0, 0, 0, hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(design, c.name))),
                                 instance_, c.kind == ControlKind::Chart ? this : nullptr);
        if (!d.hwnd)
            return false;
        d.text = text;
        if (c.kind != ControlKind::Chart)
            SendMessageW(d.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        byName_[c.name] = drawn_.size();
        byWindow_[d.hwnd] = drawn_.size();
        drawn_.push_back(std::move(d));
    }
    return true;
}

void Win32ChartsWindow::Layout()
{
    if (!hwnd_ || layingOut_)
        return;
    layingOut_ = true;
    const FormDesign& design = panel_.Design();
    const int designWidth = Scaled(design.width), designHeight = Scaled(design.height);
    RECT client{};
    const POINT origin = FitScrollBars(hwnd_, designWidth, designHeight, client);
    const int ox = origin.x, oy = origin.y;
    // A window wider than its design widens what is anchored right (the
    // charts), keeping its margin to the right edge.
    const int extra = std::max(0, int(client.right) - designWidth);
    HDWP batch = BeginDeferWindowPos(int(drawn_.size()));
    for (const Drawn& d : drawn_) {
        const Bounds& b = d.design->bounds;
        // Edges scaled, so that controls that touch at 96 DPI touch at every DPI.
        const int left = Scaled(b.left), top = Scaled(b.top), bottom = Scaled(b.Bottom());
        int right = Scaled(b.Right());
        if (d.design->anchors & kAnchorRight)
            right += extra;
        if (batch)
            batch = DeferWindowPos(batch, d.hwnd, nullptr, left + ox, top + oy, right - left, bottom - top,
                                   SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (batch)
        EndDeferWindowPos(batch);
    layingOut_ = false;
}

void Win32ChartsWindow::Scroll(int bar, int code)
{
    if (!StepScrollBar(hwnd_, bar, code, Scaled(20)))
        return;
    Layout();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32ChartsWindow::SetDpi(int dpi)
{
    if (dpi == dpi_ || dpi <= 0)
        return;
    dpi_ = dpi;
    if (HFONT font = MessageFontAt(dpi)) {
        for (const Drawn& d : drawn_)
            if (d.design->kind != ControlKind::Chart)
                SendMessageW(d.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (font_)
            DeleteObject(font_);
        font_ = font;
    }
    if (HFONT font = ChartFontAt(dpi)) {
        if (chartFont_)
            DeleteObject(chartFont_);
        chartFont_ = font;
    }
}

void Win32ChartsWindow::Acted()
{
    // The control the user acted on may now differ from its state even
    // where no state changed (the chosen span pressed again): all shown.
    shownChanges_ = ~uint64_t(0);
    Refresh();
}

void Win32ChartsWindow::Refresh()
{
    if (!hwnd_ || closed_)
        return;
    panel_.Refresh();
    if (panel_.Changes() == shownChanges_)
        return;
    shownChanges_ = panel_.Changes();
    updating_ = true;
    for (Drawn& d : drawn_)
        Show(d);
    updating_ = false;
}

void Win32ChartsWindow::Show(Drawn& d)
{
    const ControlDesign& c = *d.design;
    if (c.kind == ControlKind::Chart) {
        // Copied in whole from its memory bitmap: no erase.
        InvalidateRect(d.hwnd, nullptr, FALSE);
        return;
    }
    const ChartsControlState& s = panel_.State(c.name);
    if (d.enabled != s.enabled) {
        EnableWindow(d.hwnd, s.enabled);
        d.enabled = s.enabled;
    }
    if (c.kind == ControlKind::Toggle) {
        if (SendMessageW(d.hwnd, BM_GETCHECK, 0, 0) != (s.on ? BST_CHECKED : BST_UNCHECKED))
            SendMessageW(d.hwnd, BM_SETCHECK, s.on ? BST_CHECKED : BST_UNCHECKED, 0);
        return;
    }
    // Buttons and the status line show the panel's text.
    if (c.kind == ControlKind::Button && s.text.empty())
        return;
    std::wstring text = Utf8ToWide(s.text);
    if (text != d.text) {
        SetWindowTextW(d.hwnd, text.c_str());
        d.text = std::move(text);
    }
}

void Win32ChartsWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (updating_ || closed_ || HIWORD(wParam) != BN_CLICKED)
        return;
    const Drawn* d = Find(reinterpret_cast<HWND>(lParam));
    if (!d)
        return;
    const std::string& name = d->design->name;
    switch (d->design->kind) {
    case ControlKind::Button: panel_.Press(name); break;
    case ControlKind::Toggle: panel_.SetOn(name, !panel_.State(name).on); break;
    default: return;
    }
    Acted();
}

void Win32ChartsWindow::CloseByUser()
{
    if (closed_)
        return;
    closed_ = true;
    KillTimer(hwnd_, kRefreshTimer);
    ShowWindow(hwnd_, SW_HIDE);
    // The owner lets this window go after the message that closed it.
    if (onClose_)
        PostMessageW(hwnd_, WM_APP, 0, 0);
}

void Win32ChartsWindow::PaintChart(HDC dc, std::string_view name, int x, int y, int w, int h) const
{
    if (w <= 0 || h <= 0)
        return;
    // The picture is laid out in 96 DPI pixels, then painted at the
    // window's DPI: margins, line widths and texts all scale alike.
    const ChartPicture picture = panel_.Picture(name, std::max(1, MulDiv(w, 96, dpi_)), std::max(1, MulDiv(h, 96, dpi_)));
    PaintPicture(dc, picture, POINT{x, y}, w, h, dpi_, chartFont_);
}

void Win32ChartsWindow::PaintControl(HWND chart, HDC target) const
{
    const Drawn* d = Find(chart);
    RECT client{};
    GetClientRect(chart, &client);
    const int w = client.right, h = client.bottom;
    if (!d || w <= 0 || h <= 0)
        return;
    HDC dc = CreateCompatibleDC(target);
    HBITMAP bitmap = dc ? CreateCompatibleBitmap(target, w, h) : nullptr;
    if (!bitmap) {
        // No memory for the copy: painted straight in.
        if (dc)
            DeleteDC(dc);
        PaintChart(target, d->design->name, 0, 0, w, h);
        return;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    PaintChart(dc, d->design->name, 0, 0, w, h);
    BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

RgbImage Win32ChartsWindow::Capture() const
{
    struct Part {
        std::string_view name;
        int w = 0, h = 0;
    };
    std::vector<Part> parts;
    int width = 0, height = 0;
    for (const Drawn& d : drawn_) {
        if (d.design->kind != ControlKind::Chart)
            continue;
        RECT client{};
        GetClientRect(d.hwnd, &client);
        Part part{d.design->name, int(client.right), int(client.bottom)};
        if (part.w <= 0 || part.h <= 0) {
            // Not laid out (yet): at its design size.
            part.w = Scaled(d.design->bounds.width);
            part.h = Scaled(d.design->bounds.height);
        }
        width = std::max(width, part.w);
        height += part.h;
        parts.push_back(part);
    }
    RgbImage image;
    if (width <= 0 || height <= 0)
        return image;
    // A top-down 32-bit DIB: each pixel a uint32_t 0x00RRGGBB, rows from
    // the top, as the image wants them.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!dib || !bits) {
        if (dib)
            DeleteObject(dib);
        if (dc)
            DeleteDC(dc);
        return image;
    }
    HGDIOBJ old = SelectObject(dc, dib);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    int y = 0;
    for (const Part& part : parts) {
        // Each chart within its own strip, whatever its texts reach.
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, 0, y, part.w, y + part.h);
        PaintChart(dc, part.name, 0, y, part.w, part.h);
        RestoreDC(dc, saved);
        y += part.h;
    }
    GdiFlush();
    image.width = width;
    image.height = height;
    const auto* pixels = static_cast<const uint32_t*>(bits);
    image.pixels.assign(pixels, pixels + std::size_t(width) * std::size_t(height));
    for (uint32_t& p : image.pixels)
        p &= 0x00FFFFFFu;
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return image;
}

LRESULT CALLBACK Win32ChartsWindow::ChartProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Win32ChartsWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    const auto* self = reinterpret_cast<const Win32ChartsWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
    case WM_ERASEBKGND:
        return 1;   // the picture covers it all
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (HDC dc = BeginPaint(hwnd, &ps)) {
            if (self)
                self->PaintControl(hwnd, dc);
            EndPaint(hwnd, &ps);
        }
        return 0;
    }
    case WM_PRINTCLIENT:
        if (self && wParam)
            self->PaintControl(hwnd, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        break;
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Win32ChartsWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return ObjectWindowProc(hwnd, message, wParam, lParam, &Win32ChartsWindow::hwnd_, &Win32ChartsWindow::HandleMessage);
}

LRESULT Win32ChartsWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kRefreshTimer) {
            if (!IsIconic(hwnd_))
                Refresh();
            return 0;
        }
        break;
    case WM_HSCROLL:
    case WM_VSCROLL:
        Scroll(message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
        return 0;
    case WM_MOUSEWHEEL: {
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        for (int i = 0; i < std::abs(notches) * 3; ++i)
            Scroll(SB_VERT, notches > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
    }
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED && !drawn_.empty())
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
            Acted();
            InvalidateRect(hwnd_, nullptr, TRUE);
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

#include "ui/win32/Win32FormRenderer.h"

#include <commctrl.h>

#include <algorithm>

#include "app/TForm1.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32Text.h"

namespace zrk {

int RadioItemId(int groupId, int index)
{
    if (groupId < kFirstControlId || index < 0 || index >= kMaxRadioItems)
        return 0;
    return 0x4000 + (groupId - kFirstControlId) * kMaxRadioItems + index;
}

int UpDownBuddyId(int upDownId)
{
    if (upDownId < kFirstControlId)
        return 0;
    return 0x6000 + (upDownId - kFirstControlId);
}

namespace {

// Where a radio group puts its buttons, as the Qt window does: a grid of
// `columns` columns below the group's title.
constexpr int kRadioAreaX = 12, kRadioAreaY = kPanelTitleHeight + 4, kRadioBottom = 8, kRadioRowMax = 24;

// The status bar's parts beside the simulator's, at its right end, in
// description units: the bridge's ("Waiting for Bridge" with a host and
// port) and the boards' ("Boards 11/11"). The simulator's takes the rest.
constexpr int kBridgePartWidth = 260, kBoardsPartWidth = 110;
constexpr int kStatusParts = 3;

DWORD AlignStyle(TextAlign a)
{
    switch (a) {
    case TextAlign::Center:
        return SS_CENTER;
    case TextAlign::Right:
        return SS_RIGHT;
    case TextAlign::Left:
        break;
    }
    return SS_LEFT;
}

// One axis of an anchored control: anchored to both edges it stretches, to
// the far edge only it moves, else it stays.
void Anchor(int pos, int len, int delta, bool nearEdge, bool farEdge, int& outPos, int& outLen)
{
    outPos = pos;
    outLen = len;
    if (nearEdge && farEdge)
        outLen = std::max(0, len + delta);
    else if (farEdge)
        outPos = pos + delta;
}

// A place of the description at `dpi`: its edges scaled, so that controls
// that touch at 96 DPI touch at every DPI.
Bounds ScaledBounds(const Bounds& b, int dpi)
{
    const int left = ScaleToDpi(b.left, dpi), top = ScaleToDpi(b.top, dpi);
    return Bounds{left, top, ScaleToDpi(b.Right(), dpi) - left, ScaleToDpi(b.Bottom(), dpi) - top};
}

RECT Anchored(const Bounds& b, unsigned anchors, int dx, int dy)
{
    int x, y, w, h;
    Anchor(b.left, b.width, dx, anchors & kAnchorLeft, anchors & kAnchorRight, x, w);
    Anchor(b.top, b.height, dy, anchors & kAnchorTop, anchors & kAnchorBottom, y, h);
    return RECT{x, y, x + w, y + h};
}

void Place(HWND hwnd, int x, int y, int w, int h)
{
    if (hwnd)
        SetWindowPos(hwnd, nullptr, x, y, std::max(0, w), std::max(0, h), SWP_NOZORDER | SWP_NOACTIVATE);
}

int UpDownArrowWidth(int dpi)
{
    return std::max(ScaleToDpi(12, dpi), MulDiv(GetSystemMetrics(SM_CXVSCROLL), dpi, SystemDpi()));
}

int UpDownPosition(HWND upDown)
{
    return int(SendMessageW(upDown, UDM_GETPOS32, 0, 0));
}

} // namespace

Win32FormRenderer::Win32FormRenderer(const FormDesign& design, TForm1& form, std::function<void()> afterAction)
    : design_(design), form_(form), afterAction_(std::move(afterAction))
{
}

HWND Win32FormRenderer::Control(std::string_view name) const
{
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : drawn_[it->second].hwnd;
}

HWND Win32FormRenderer::Make(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle, int id)
{
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
    return CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | style, 0, 0, 0, 0, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
}

int Win32FormRenderer::Scaled(int designUnits) const
{
    return ScaleToDpi(designUnits, dpi_);
}

void Win32FormRenderer::SetDpi(int dpi, HFONT font)
{
    dpi_ = dpi > 0 ? dpi : 96;
    auto setFont = [font](HWND w) {
        if (w)
            SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    };
    for (const Drawn& d : drawn_) {
        setFont(d.hwnd);
        setFont(d.buddy);
        for (HWND item : d.items)
            setFont(item);
    }
}

bool Win32FormRenderer::Build(HWND window, HFONT font, int dpi)
{
    window_ = window;
    dpi_ = dpi > 0 ? dpi : 96;
    drawn_.clear();
    byName_.clear();
    byWindow_.clear();
    drawn_.reserve(design_.controls.size());
    updating_ = true;
    bool ok = true;
    for (const ControlDesign& c : design_.controls) {
        Drawn d;
        d.design = &c;
        d.model = BindControl(form_, design_.name, c.name);
        if (!c.group.empty()) {
            auto it = byName_.find(c.group);
            if (it != byName_.end())
                d.parent = int(it->second);
        }
        d.shown = Visible(d);
        if (!BuildControl(d, font)) {
            ok = false;
            continue;
        }
        const std::size_t index = drawn_.size();
        byName_.emplace(c.name, index);
        byWindow_.emplace(d.hwnd, index);
        if (d.buddy)
            byWindow_.emplace(d.buddy, index);
        for (HWND item : d.items)
            byWindow_.emplace(item, index);
        drawn_.push_back(std::move(d));
    }
    updating_ = false;
    Layout(Scaled(design_.width), Scaled(design_.height));
    Refresh();
    return ok;
}

bool Win32FormRenderer::BuildControl(Drawn& d, HFONT font)
{
    const ControlDesign& c = *d.design;
    const int id = ControlId(design_, c.name);
    const DWORD visible = d.shown ? WS_VISIBLE : 0;
    // Every control but the second and later buttons of a radio group
    // starts a group of its own, so that an automatic radio button unchecks
    // its own group's buttons only and the arrow keys stay inside it.
    const DWORD group = WS_GROUP | visible;

    switch (c.kind) {
    case ControlKind::Panel:
        d.hwnd = Make(WC_BUTTONW, Utf8ToWide(c.caption), BS_GROUPBOX | group, 0, id);
        break;

    case ControlKind::Label: {
        d.text = Utf8ToWide(LabelText(c, d.model.label));
        DWORD style = SS_NOPREFIX | SS_CENTERIMAGE | AlignStyle(c.align) | group;
        if (c.style == LabelStyle::Readout)
            style |= SS_SUNKEN;
        d.hwnd = Make(WC_STATICW, d.text, style, 0, id);
        break;
    }

    case ControlKind::Button:
        d.hwnd = Make(WC_BUTTONW, Utf8ToWide(c.caption), BS_PUSHBUTTON | WS_TABSTOP | group, 0, id);
        break;

    case ControlKind::TrackBar:
        d.hwnd = Make(TRACKBAR_CLASSW, L"", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP | group, 0, id);
        if (d.hwnd) {
            SendMessageW(d.hwnd, TBM_SETRANGEMIN, FALSE, c.min);
            SendMessageW(d.hwnd, TBM_SETRANGEMAX, TRUE, c.max);
            SendMessageW(d.hwnd, TBM_SETLINESIZE, 0, std::max(1, c.step));
            SendMessageW(d.hwnd, TBM_SETPAGESIZE, 0, std::max(1, (c.max - c.min) / 20));
            d.position = int(SendMessageW(d.hwnd, TBM_GETPOS, 0, 0));
        }
        break;

    case ControlKind::UpDown: {
        // The arrows (and the arrow keys in the number box) step the
        // position; the number box takes no typed text.
        d.buddy = Make(WC_EDITW, L"", ES_READONLY | ES_RIGHT | ES_AUTOHSCROLL | WS_TABSTOP | group, WS_EX_CLIENTEDGE,
                       UpDownBuddyId(id));
        d.hwnd = Make(UPDOWN_CLASSW, L"", UDS_SETBUDDYINT | UDS_NOTHOUSANDS | UDS_ARROWKEYS | UDS_HOTTRACK | visible,
                      0, id);
        if (d.hwnd && d.buddy) {
            SendMessageW(d.hwnd, UDM_SETBUDDY, reinterpret_cast<WPARAM>(d.buddy), 0);
            SendMessageW(d.hwnd, UDM_SETRANGE32, WPARAM(c.min), LPARAM(c.max));
            UDACCEL accel{0, UINT(std::max(1, c.step))};
            SendMessageW(d.hwnd, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
            SendMessageW(d.hwnd, UDM_SETPOS32, 0, c.min);
            d.position = UpDownPosition(d.hwnd);
        }
        if (d.buddy)
            SendMessageW(d.buddy, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        if (!d.buddy)
            return false;
        break;
    }

    case ControlKind::Edit:
        d.hwnd = Make(WC_EDITW, Utf8ToWide(c.caption), ES_AUTOHSCROLL | WS_TABSTOP | group, WS_EX_CLIENTEDGE, id);
        break;

    case ControlKind::CheckBox:
        d.hwnd = Make(WC_BUTTONW, Utf8ToWide(c.caption), BS_AUTOCHECKBOX | WS_TABSTOP | group, 0, id);
        break;

    case ControlKind::RadioGroup: {
        d.hwnd = Make(WC_BUTTONW, Utf8ToWide(c.caption), BS_GROUPBOX | group, 0, id);
        const int n = std::min(int(c.items.size()), kMaxRadioItems);
        for (int i = 0; i < n; ++i) {
            const DWORD first = i == 0 ? WS_GROUP | WS_TABSTOP : 0;
            HWND item = Make(WC_BUTTONW, Utf8ToWide(c.items[std::size_t(i)]), BS_AUTORADIOBUTTON | first | visible,
                             0, RadioItemId(id, i));
            if (!item)
                return false;
            SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
            d.items.push_back(item);
        }
        break;
    }

    case ControlKind::Shape:
        // Painted by the form (WM_DRAWITEM); its text names its colour for
        // whoever reads the window rather than looks at it.
        d.hwnd = Make(WC_STATICW, L"", SS_OWNERDRAW | group, 0, id);
        break;

    case ControlKind::Memo:
        d.hwnd = Make(WC_EDITW, L"",
                      ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL
                          | WS_TABSTOP | group,
                      WS_EX_CLIENTEDGE, id);
        // No limit below the model's own (its newest kMaxLines lines).
        if (d.hwnd)
            SendMessageW(d.hwnd, EM_SETLIMITTEXT, 0, 0);
        break;

    case ControlKind::StatusBar:
        // Its parts are set by Layout, for its width at the form's DPI.
        d.hwnd = Make(STATUSCLASSNAMEW, L"", CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER | group, 0, id);
        break;

    // The Quadrant window's own kinds have their own renderer.
    case ControlKind::Lever:
    case ControlKind::Toggle:
    case ControlKind::Wheel:
    case ControlKind::Dial:
    case ControlKind::List:
    case ControlKind::Chart: break;
    }
    if (!d.hwnd)
        return false;
    SendMessageW(d.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return true;
}

void Win32FormRenderer::Layout(int clientWidth, int clientHeight, POINT origin)
{
    const int dx = std::max(0, clientWidth - Scaled(design_.width));
    const int dy = std::max(0, clientHeight - Scaled(design_.height));
    const int radioX = Scaled(kRadioAreaX), radioY = Scaled(kRadioAreaY), radioBottom = Scaled(kRadioBottom),
              radioRowMax = Scaled(kRadioRowMax);
    for (Drawn& d : drawn_) {
        const ControlDesign& c = *d.design;
        const Bounds bounds = ScaledBounds(c.bounds, dpi_);
        RECT r;
        if (d.parent < 0) {
            r = Anchored(bounds, c.anchors, dx, dy);
            OffsetRect(&r, origin.x, origin.y);
        } else {
            const Drawn& p = drawn_[std::size_t(d.parent)];
            const Bounds pb = ScaledBounds(p.design->bounds, dpi_);
            const int pdx = int(p.place.right - p.place.left) - pb.width;
            const int pdy = int(p.place.bottom - p.place.top) - pb.height;
            r = Anchored(bounds, c.anchors, pdx, pdy);
            OffsetRect(&r, p.place.left, p.place.top);
        }
        d.place = r;
        const int w = r.right - r.left, h = r.bottom - r.top;
        if (c.kind == ControlKind::UpDown) {
            const int arrows = std::min(w, UpDownArrowWidth(dpi_));
            Place(d.buddy, r.left, r.top, w - arrows, h);
            Place(d.hwnd, r.right - arrows, r.top, arrows, h);
            continue;
        }
        Place(d.hwnd, r.left, r.top, w, h);
        if (c.kind == ControlKind::StatusBar)
            SetStatusParts(d, w);
        if (!d.items.empty()) {
            const int n = int(d.items.size());
            const int columns = std::max(1, c.columns);
            const int rows = std::max(1, (n + columns - 1) / columns);
            const int areaW = w - 2 * radioX, areaH = h - radioY - radioBottom;
            const int cellW = areaW / columns, cellH = std::min(radioRowMax, areaH / rows);
            for (int i = 0; i < n; ++i)
                Place(d.items[std::size_t(i)], r.left + radioX + (i % columns) * cellW,
                      r.top + radioY + (i / columns) * cellH, cellW, cellH);
        }
    }
}

bool Win32FormRenderer::Visible(const Drawn& d) const
{
    if (!ControlVisible(*d.design, d.model))
        return false;
    return d.parent < 0 || Visible(drawn_[std::size_t(d.parent)]);
}

void Win32FormRenderer::ShowControl(Drawn& d, bool visible)
{
    if (d.shown == visible)
        return;
    d.shown = visible;
    const int show = visible ? SW_SHOWNA : SW_HIDE;
    ShowWindow(d.hwnd, show);
    if (d.buddy)
        ShowWindow(d.buddy, show);
    for (HWND item : d.items)
        ShowWindow(item, show);
}

void Win32FormRenderer::Refresh()
{
    if (!window_)
        return;
    const bool wasUpdating = updating_;
    updating_ = true;
    for (Drawn& d : drawn_)
        RefreshControl(d);
    updating_ = wasUpdating;
}

void Win32FormRenderer::RefreshControl(Drawn& d)
{
    const ControlDesign& c = *d.design;
    const ControlModel& m = d.model;
    switch (c.kind) {
    case ControlKind::Label:
        if (m.label) {
            std::wstring text = Utf8ToWide(LabelText(c, m.label));
            if (text != d.text) {
                SetWindowTextW(d.hwnd, text.c_str());
                d.text = std::move(text);
            }
            if (m.label->FontColor != d.color) {
                d.color = m.label->FontColor;
                InvalidateRect(d.hwnd, nullptr, TRUE);
            }
        }
        break;

    case ControlKind::TrackBar:
        if (m.trackBar) {
            const TrackBarModel& t = *m.trackBar;
            if (int(SendMessageW(d.hwnd, TBM_GETRANGEMIN, 0, 0)) != t.Min
                || int(SendMessageW(d.hwnd, TBM_GETRANGEMAX, 0, 0)) != t.Max) {
                SendMessageW(d.hwnd, TBM_SETRANGEMIN, FALSE, t.Min);
                SendMessageW(d.hwnd, TBM_SETRANGEMAX, TRUE, t.Max);
            }
            if (int(SendMessageW(d.hwnd, TBM_GETPOS, 0, 0)) != t.Position)
                SendMessageW(d.hwnd, TBM_SETPOS, TRUE, t.Position);
            d.position = int(SendMessageW(d.hwnd, TBM_GETPOS, 0, 0));
        }
        break;

    case ControlKind::UpDown:
        if (m.upDown) {
            if (UpDownPosition(d.hwnd) != m.upDown->Position)
                SendMessageW(d.hwnd, UDM_SETPOS32, 0, m.upDown->Position);
            d.position = UpDownPosition(d.hwnd);
        }
        break;

    case ControlKind::Edit:
        if (m.edit && WindowTextUtf8(d.hwnd) != m.edit->Text)
            SetWindowTextW(d.hwnd, Utf8ToWide(m.edit->Text).c_str());
        break;

    case ControlKind::CheckBox:
        if (m.checkBox) {
            const WPARAM want = m.checkBox->Checked ? BST_CHECKED : BST_UNCHECKED;
            if (WPARAM(SendMessageW(d.hwnd, BM_GETCHECK, 0, 0)) != want)
                SendMessageW(d.hwnd, BM_SETCHECK, want, 0);
        }
        break;

    case ControlKind::RadioGroup:
        if (m.radioGroup) {
            // An index outside the items leaves none selected.
            for (std::size_t i = 0; i < d.items.size(); ++i) {
                const WPARAM want = int(i) == m.radioGroup->ItemIndex ? BST_CHECKED : BST_UNCHECKED;
                if (WPARAM(SendMessageW(d.items[i], BM_GETCHECK, 0, 0)) != want)
                    SendMessageW(d.items[i], BM_SETCHECK, want, 0);
            }
        }
        break;

    case ControlKind::Shape:
        if (m.shape && m.shape->BrushColor != d.color) {
            d.color = m.shape->BrushColor;
            SetWindowTextW(d.hwnd, (L"colour " + std::to_wstring(d.color)).c_str());
            InvalidateRect(d.hwnd, nullptr, FALSE);
        }
        break;

    case ControlKind::Memo:
        if (m.memo)
            RefreshMemo(d);
        break;

    case ControlKind::StatusBar:
        if (m.statusBar)
            RefreshStatusBar(d);
        break;

    case ControlKind::Panel:
    case ControlKind::Button:
    case ControlKind::Lever:
    case ControlKind::Toggle:
    case ControlKind::Wheel:
    case ControlKind::Dial:
    case ControlKind::List:
    case ControlKind::Chart:
        break;
    }
    ShowControl(d, Visible(d));
}

// The simulator's text in the first part, the bridge's and the boards' in
// the parts at the right; a part is sent its text only when it changed.
void Win32FormRenderer::RefreshStatusBar(Drawn& d)
{
    const StatusBarModel& bar = *d.model.statusBar;
    const std::string* texts[kStatusParts] = {&bar.SimpleText, &bar.BridgeText, &bar.BoardsText};
    for (int i = 0; i < kStatusParts; ++i) {
        std::wstring text = Utf8ToWide(*texts[i]);
        std::wstring& shown = d.partTexts[std::size_t(i)];
        if (text == shown)
            continue;
        SendMessageW(d.hwnd, SB_SETTEXTW, WPARAM(i), reinterpret_cast<LPARAM>(text.c_str()));
        shown = std::move(text);
    }
}

// The parts' right edges for a bar `width` pixels wide: the bridge's and
// the boards' parts keep their widths (at the form's DPI) at the right
// end, the last reaching the edge; the simulator's part gets what is left.
void Win32FormRenderer::SetStatusParts(Drawn& d, int width)
{
    const int boards = Scaled(kBoardsPartWidth), bridge = Scaled(kBridgePartWidth);
    const int boardsLeft = std::max(0, width - boards);
    const std::vector<int> edges = {std::max(0, boardsLeft - bridge), boardsLeft, -1};
    if (edges == d.partEdges)
        return;
    SendMessageW(d.hwnd, SB_SETPARTS, WPARAM(edges.size()), reinterpret_cast<LPARAM>(edges.data()));
    d.partEdges = edges;
}

// The log's view: appends the lines it has not shown yet and follows the
// newest line, unless the user has scrolled up to read older ones; scrolled
// back to the end, it follows again. It keeps the model's newest
// kMaxLines lines, like the model.
void Win32FormRenderer::RefreshMemo(Drawn& d)
{
    const MemoModel& memo = *d.model.memo;
    const std::size_t total = memo.TotalAdded();
    if (total == d.memoShown)
        return;
    HWND edit = d.hwnd;

    SCROLLINFO bar{};
    bar.cbSize = sizeof(bar);
    bar.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    const bool scrolls = GetScrollInfo(edit, SB_VERT, &bar) && bar.nMax > bar.nMin && bar.nPage > 0
                         && int(bar.nPage) <= bar.nMax - bar.nMin;
    const bool follow = !scrolls || bar.nPos + int(bar.nPage) > bar.nMax;
    const int firstVisible = int(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    DWORD selStart = 0, selEnd = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart), reinterpret_cast<LPARAM>(&selEnd));

    const auto& lines = memo.Lines();
    int removedLines = 0;
    DWORD removedChars = 0;
    const std::size_t fresh = total - d.memoShown;
    if (total < d.memoShown || fresh > lines.size()
        || lines.size() != std::min(d.memoLines + fresh, MemoModel::kMaxLines)) {
        // Cleared, or more arrived than the model keeps: draw it whole.
        std::wstring text;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (i)
                text += L"\r\n";
            text += Utf8ToWide(lines[i]);
        }
        SetWindowTextW(edit, text.c_str());
        d.memoLines = lines.size();
        removedLines = firstVisible;
        removedChars = selEnd;
    } else {
        std::wstring text;
        for (std::size_t i = lines.size() - fresh; i < lines.size(); ++i) {
            if (d.memoLines > 0 || !text.empty())
                text += L"\r\n";
            text += Utf8ToWide(lines[i]);
        }
        const int length = GetWindowTextLengthW(edit);
        SendMessageW(edit, EM_SETSEL, WPARAM(length), LPARAM(length));
        SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
        d.memoLines += fresh;
        if (d.memoLines > MemoModel::kMaxLines) {
            const std::size_t cut = d.memoLines - MemoModel::kMaxLines;
            const int end = int(SendMessageW(edit, EM_LINEINDEX, WPARAM(cut), 0));
            if (end > 0) {
                SendMessageW(edit, EM_SETSEL, 0, LPARAM(end));
                SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(L""));
                removedLines = int(cut);
                removedChars = DWORD(end);
            }
            d.memoLines = MemoModel::kMaxLines;
        }
    }
    d.memoShown = total;

    if (follow) {
        const int length = GetWindowTextLengthW(edit);
        SendMessageW(edit, EM_SETSEL, WPARAM(length), LPARAM(length));
        SendMessageW(edit, EM_SCROLLCARET, 0, 0);
        SendMessageW(edit, WM_VSCROLL, SB_BOTTOM, 0);
        return;
    }
    // Where the user was reading, less the lines that went off the top.
    auto shift = [removedChars](DWORD pos) { return pos > removedChars ? pos - removedChars : 0; };
    SendMessageW(edit, EM_SETSEL, WPARAM(shift(selStart)), LPARAM(shift(selEnd)));
    const int target = std::max(0, firstVisible - removedLines);
    const int now = int(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0));
    if (now != target)
        SendMessageW(edit, EM_LINESCROLL, 0, LPARAM(target - now));
}

Win32FormRenderer::Drawn* Win32FormRenderer::Find(HWND hwnd)
{
    auto it = byWindow_.find(hwnd);
    return it == byWindow_.end() ? nullptr : &drawn_[it->second];
}

void Win32FormRenderer::Act(const std::function<bool()>& action)
{
    action();
    if (afterAction_)
        afterAction_();
}

bool Win32FormRenderer::OnCommand(WPARAM wParam, LPARAM lParam)
{
    HWND from = reinterpret_cast<HWND>(lParam);
    Drawn* d = from ? Find(from) : nullptr;
    if (!d)
        return false;
    if (updating_)
        return true;
    const ControlDesign& c = *d->design;
    const UINT code = HIWORD(wParam);
    switch (c.kind) {
    case ControlKind::Button:
        if (code == BN_CLICKED) {
            const std::string action = ActionName(design_.name, c.name);
            Act([&] { return form_.Click(action); });
        }
        break;
    case ControlKind::CheckBox:
        if (code == BN_CLICKED) {
            const bool checked = SendMessageW(from, BM_GETCHECK, 0, 0) == BST_CHECKED;
            Act([&] { return form_.SetCheck(c.name, checked); });
        }
        break;
    case ControlKind::RadioGroup:
        if (code == BN_CLICKED) {
            auto it = std::find(d->items.begin(), d->items.end(), from);
            if (it != d->items.end()) {
                const int index = int(it - d->items.begin());
                Act([&] { return form_.SelectRadio(c.name, index); });
            }
        }
        break;
    case ControlKind::Edit:
        if (code == EN_CHANGE) {
            const std::string text = WindowTextUtf8(from);
            Act([&] { return form_.SetEdit(c.name, text); });
        }
        break;
    default:
        break;
    }
    return true;
}

bool Win32FormRenderer::OnScroll(LPARAM lParam)
{
    HWND from = reinterpret_cast<HWND>(lParam);
    Drawn* d = from ? Find(from) : nullptr;
    if (!d || from != d->hwnd)
        return false;
    if (updating_)
        return true;
    const ControlDesign& c = *d->design;
    if (c.kind == ControlKind::TrackBar) {
        // A drag, a click beside the thumb or a key: the handler runs when
        // the position changed.
        const int position = int(SendMessageW(from, TBM_GETPOS, 0, 0));
        if (position != d->position) {
            d->position = position;
            const int n = TrackBarNumber(c.name);
            Act([&] { return form_.SetTrackBar(n, position); });
        }
    } else if (c.kind == ControlKind::UpDown) {
        const int position = UpDownPosition(from);
        if (position != d->position) {
            d->position = position;
            Act([&] { return form_.SetUpDown(c.name, position); });
        }
    }
    return true;
}

void Win32FormRenderer::DrawLamp(const DRAWITEMSTRUCT& item)
{
    const RECT& r = item.rcItem;
    FillRect(item.hDC, &r, GetSysColorBrush(COLOR_BTNFACE));
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int size = std::max(2, std::min(w, h) - 2);
    const int x = r.left + (w - size) / 2, y = r.top + (h - size) / 2;
    const Drawn* d = Find(item.hwndItem);
    const int color = d && d->color >= 0 ? d->color : 0;
    HBRUSH brush = CreateSolidBrush(COLORREF(color) & 0x00FFFFFF);
    HPEN pen = CreatePen(PS_SOLID, std::max(1, size / 12), RGB(64, 64, 64));
    HGDIOBJ oldBrush = SelectObject(item.hDC, brush);
    HGDIOBJ oldPen = SelectObject(item.hDC, pen);
    Ellipse(item.hDC, x, y, x + size, y + size);
    SelectObject(item.hDC, oldPen);
    SelectObject(item.hDC, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

bool Win32FormRenderer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND:
        if (OnCommand(wParam, lParam)) {
            result = 0;
            return true;
        }
        return false;

    case WM_HSCROLL:
    case WM_VSCROLL:
        if (OnScroll(lParam)) {
            result = 0;
            return true;
        }
        return false;

    case WM_CTLCOLORSTATIC: {
        // A colour a handler set wins; 0 (the form's black) is the system's
        // text colour.
        const Drawn* d = Find(reinterpret_cast<HWND>(lParam));
        if (!d || d->design->kind != ControlKind::Label)
            return false;
        HDC dc = reinterpret_cast<HDC>(wParam);
        const int color = d->model.label ? d->model.label->FontColor : 0;
        SetTextColor(dc, color ? COLORREF(color) & 0x00FFFFFF : GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }

    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const Drawn* d = item ? Find(item->hwndItem) : nullptr;
        if (!d || d->design->kind != ControlKind::Shape)
            return false;
        DrawLamp(*item);
        result = TRUE;
        return true;
    }
    }
    return false;
}

} // namespace zrk

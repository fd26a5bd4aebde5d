#include "ui/win32/Win32MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "app/CalibrationDialogs.h"
#include "app/HelpText.h"
#include "app/MenuLayout.h"
#include "app/TForm1.h"
#include "app/WindowBinding.h"
#include "app/WindowLayout.h"
#include "ui/win32/Win32BoardsWindow.h"
#include "ui/win32/Win32WindowKit.h"
#include "ui/win32/Win32ChartsWindow.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32FormRenderer.h"
#include "ui/win32/Win32Text.h"

namespace zrk {

namespace {

constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 100;

constexpr DWORD kMainStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;

// The place of a window of this size nearest to (x, y) that lies inside
// `work`; a window larger than it keeps to its top-left corner.
POINT KeepInside(const RECT& work, int x, int y, int width, int height)
{
    x = std::max<int>(work.left, std::min<int>(x, work.right - width));
    y = std::max<int>(work.top, std::min<int>(y, work.bottom - height));
    return POINT{x, y};
}

Win32Shell DesktopShell()
{
    Win32Shell shell;
    shell.openFolder = [](HWND owner, const std::wstring& folder) {
        const auto result = reinterpret_cast<INT_PTR>(
            ShellExecuteW(owner, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    };
    shell.showText = [](HWND owner, const std::wstring& title, const std::wstring& text) {
        MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
    };
    return shell;
}

// The menu bar from the description: the items this window can do, each
// with its command id; a menu none of whose items it can do is left out.
HMENU BuildMenuBar()
{
    HMENU bar = CreateMenu();
    if (!bar)
        return nullptr;
    for (const MenuDesign& m : MainMenuLayout()) {
        HMENU popup = CreatePopupMenu();
        if (!popup)
            continue;
        int items = 0;
        for (const MenuItemDesign& item : m.items) {
            if (!Win32MainWindow::Supports(item.action))
                continue;
            AppendMenuW(popup, MF_STRING, UINT_PTR(MenuCommandId(item.name)), Utf8ToWide(item.caption).c_str());
            ++items;
        }
        if (items == 0 || !AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Utf8ToWide(m.caption).c_str()))
            DestroyMenu(popup);
    }
    return bar;
}

// A folder's full path (a relative one from the working folder).
std::wstring FullPath(const std::wstring& path)
{
    const DWORD need = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0)
        return path;
    std::wstring full(need, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need)
        return path;
    full.resize(got);
    return full;
}

} // namespace

Win32MainWindow::Win32MainWindow(TForm1& form, HINSTANCE instance)
    : form_(form), instance_(instance), shell_(DesktopShell())
{
}

bool Win32MainWindow::Supports(MenuAction action)
{
    switch (action) {
    case MenuAction::About:
    case MenuAction::OpenSettingsFolder:
    case MenuAction::FirstStart:
    case MenuAction::Boards:
    case MenuAction::Charts:
        return true;
    case MenuAction::LightTheme:
    case MenuAction::DarkTheme:
        break;
    }
    return false;
}

void Win32MainWindow::SetShell(Win32Shell shell)
{
    const Win32Shell desktop = DesktopShell();
    if (!shell.openFolder)
        shell.openFolder = desktop.openFolder;
    if (!shell.showText)
        shell.showText = desktop.showText;
    shell_ = std::move(shell);
}

void Win32MainWindow::Do(MenuAction action)
{
    switch (action) {
    case MenuAction::About: {
        const HelpBox about = AboutBox();
        shell_.showText(main_.hwnd, Utf8ToWide(about.title), Utf8ToWide(about.text));
        return;
    }
    case MenuAction::FirstStart: {
        const HelpBox steps = FirstStartBox(form_.ConfigPath());
        shell_.showText(main_.hwnd, Utf8ToWide(steps.title), Utf8ToWide(steps.text));
        return;
    }
    case MenuAction::OpenSettingsFolder:
        OpenSettingsFolder();
        return;
    case MenuAction::Boards:
        OpenBoards();
        return;
    case MenuAction::Charts:
        OpenCharts();
        return;
    case MenuAction::LightTheme:
    case MenuAction::DarkTheme:
        return;
    }
}

void Win32MainWindow::OpenBoards()
{
    if (!boards_) {
        boards_ = std::make_unique<Win32BoardsWindow>(form_.OpenBoards(), instance_, [this] {
            // Closed by the user: the window goes, then its model.
            boards_.reset();
            form_.CloseBoards();
            Refresh();
        });
        if (!boards_->Create(main_.hwnd)) {
            boards_.reset();
            form_.CloseBoards();
            form_.Log("The Boards window cannot be opened");
            Refresh();
            return;
        }
    }
    boards_->Show(SW_SHOW);
    SetForegroundWindow(boards_->Handle());
}

void Win32MainWindow::OpenCharts()
{
    if (!charts_) {
        charts_ = std::make_unique<Win32ChartsWindow>(form_.OpenCharts(), instance_, [this] {
            // Closed by the user.
            CloseCharts();
            Refresh();
        });
        if (!charts_->Create(main_.hwnd)) {
            CloseCharts();
            form_.Log("The Charts window cannot be opened");
            Refresh();
            return;
        }
    }
    charts_->Show(SW_SHOW);
    SetForegroundWindow(charts_->Handle());
}

void Win32MainWindow::CloseCharts()
{
    if (!charts_ && !form_.Charts())
        return;
    charts_.reset();
    form_.CloseCharts();
}

void Win32MainWindow::OpenSettingsFolder()
{
    // The folder of the CONFIG.INI in use: the demo's in the virtual
    // cockpit.
    const std::wstring folder = FullPath(Utf8ToWide(SettingsFolder(form_.ConfigPath())));
    if (shell_.openFolder(main_.hwnd, folder))
        return;
    form_.Log(FolderNotOpenedText(WideToUtf8(folder)));
    Refresh();
}

Win32MainWindow::~Win32MainWindow()
{
    // Destroying the main window destroys the dialogs it owns; the
    // controller is not asked (that is Close's part). The Charts window
    // lets its model go with it: nothing records for a window that is gone.
    CloseCharts();
    if (main_.hwnd)
        DestroyWindow(main_.hwnd);
    for (auto& d : dialogs_)
        if (d->hwnd)
            DestroyWindow(d->hwnd);
    for (const auto& [dpi, font] : fonts_)
        DeleteObject(font);
}

HFONT Win32MainWindow::FontFor(int dpi)
{
    if (auto it = fonts_.find(dpi); it != fonts_.end())
        return it->second;
    HFONT font = MessageFontAt(dpi);
    if (!font)
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts_.emplace(dpi, font);
    return font;
}

HWND Win32MainWindow::Handle() const
{
    return main_.hwnd;
}

HWND Win32MainWindow::Dialog(std::string_view formName) const
{
    for (const auto& d : dialogs_)
        if (d->renderer->Design().name == formName)
            return d->hwnd;
    return nullptr;
}

Win32FormRenderer* Win32MainWindow::Renderer(std::string_view formName) const
{
    if (main_.renderer && main_.renderer->Design().name == formName)
        return main_.renderer.get();
    for (const auto& d : dialogs_)
        if (d->renderer->Design().name == formName)
            return d->renderer.get();
    return nullptr;
}

bool Win32MainWindow::Create()
{
    if (main_.hwnd)
        return true;
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_UPDOWN_CLASS;
    InitCommonControlsEx(&icc);
    if (!RegisterProgramWindowClass(instance_, kFormWindowClass, &Win32MainWindow::WindowProc))
        return false;

    const FormDesign& layout = MainWindowLayout();
    main_.owner = this;
    main_.renderer = std::make_unique<Win32FormRenderer>(layout, form_, [this] { Refresh(); });
    HMENU menu = BuildMenuBar();
    if (!CreateForm(main_, layout.name, kMainStyle, 0, nullptr, menu)) {
        // A window that was not made does not own its menu.
        if (menu && !main_.hwnd)
            DestroyMenu(menu);
        return false;
    }

    dialogs_.clear();
    for (const FormDesign& dd : DialogLayouts()) {
        auto d = std::make_unique<FormWindow>();
        d->owner = this;
        d->model = BindDialog(form_, dd.name);
        d->closeAction = ActionName(dd.name, dd.closeButton);
        d->renderer = std::make_unique<Win32FormRenderer>(dd, form_, [this] { Refresh(); });
        FormWindow& fw = *d;
        dialogs_.push_back(std::move(d));
        if (!fw.model || !CreateForm(fw, dd.name, kDialogStyle, kDialogExStyle, main_.hwnd))
            return false;
    }

    SetTimer(main_.hwnd, kRefreshTimer, kRefreshMs, nullptr);
    Refresh();
    return true;
}

bool Win32MainWindow::CreateForm(FormWindow& fw, std::string_view formName, DWORD style, DWORD exStyle, HWND owner,
                                 HMENU menu)
{
    const FormDesign* design = FindFormLayout(formName);
    if (!design)
        return false;
    fw.title = Utf8ToWide(design->caption);
    // Made first, sized then: the DPI it is drawn at is the window's own.
    HWND hwnd = CreateWindowExW(exStyle, kFormWindowClass, fw.title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                0, 0, owner, menu, instance_, &fw);
    if (!hwnd)
        return false;
    fw.hwnd = hwnd;
    const int dpi = WindowDpi(hwnd);
    // The client area has the design size at that DPI, or as much of it as
    // the work area of the main window's screen has room for; the window
    // lies inside that work area.
    RECT frame{0, 0, ScaleToDpi(design->width, dpi), ScaleToDpi(design->height, dpi)};
    AdjustFrameForDpi(frame, style, exStyle, dpi, menu != nullptr);
    const RECT work = WorkAreaOf(owner ? owner : hwnd);
    const int width = std::min<int>(frame.right - frame.left, work.right - work.left);
    const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
    RECT now{};
    GetWindowRect(hwnd, &now);
    const POINT at = KeepInside(work, now.left, now.top, width, height);
    SetWindowPos(hwnd, nullptr, at.x, at.y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (!fw.renderer->Build(hwnd, FontFor(dpi), dpi))
        return false;
    LayoutForm(fw);
    return true;
}

void Win32MainWindow::LayoutForm(FormWindow& fw)
{
    if (!fw.hwnd || !fw.renderer || layingOut_)
        return;
    layingOut_ = true;
    const FormDesign& design = fw.renderer->Design();
    RECT client{};
    const POINT origin =
        FitScrollBars(fw.hwnd, fw.renderer->Scaled(design.width), fw.renderer->Scaled(design.height), client);
    fw.renderer->Layout(client.right, client.bottom, origin);
    layingOut_ = false;
}

void Win32MainWindow::ScrollForm(FormWindow& fw, int bar, int code)
{
    if (!StepScrollBar(fw.hwnd, bar, code, fw.renderer->Scaled(20)))
        return;
    LayoutForm(fw);
    InvalidateRect(fw.hwnd, nullptr, TRUE);
}

void Win32MainWindow::OnDpiChanged(FormWindow& fw, int dpi, const RECT& suggested)
{
    // Moved to a screen of another DPI (or its DPI changed): drawn at the
    // new one, in the size the system suggests for it.
    fw.renderer->SetDpi(dpi, FontFor(dpi));
    SetWindowPos(fw.hwnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutForm(fw);
    InvalidateRect(fw.hwnd, nullptr, TRUE);
}

LRESULT CALLBACK Win32MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* fw = static_cast<FormWindow*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(fw));
        if (fw)
            fw->hwnd = hwnd;
    }
    auto* fw = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!fw || !fw->owner)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        fw->hwnd = nullptr;
        fw->shown = false;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return fw->owner->HandleMessage(*fw, message, wParam, lParam);
}

LRESULT Win32MainWindow::HandleMessage(FormWindow& fw, UINT message, WPARAM wParam, LPARAM lParam)
{
    const bool isMain = &fw == &main_;
    LRESULT result = 0;
    if (fw.renderer && fw.renderer->HandleMessage(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            LayoutForm(fw);
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        // The window's own scroll bars (its controls' come with the
        // control's window and went to the renderer).
        if (lParam == 0) {
            ScrollForm(fw, message == WM_HSCROLL ? SB_HORZ : SB_VERT, LOWORD(wParam));
            return 0;
        }
        break;
    case WM_MOUSEWHEEL: {
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        for (int i = 0; i < std::abs(notches) * 3; ++i)
            ScrollForm(fw, SB_VERT, notches > 0 ? SB_LINEUP : SB_LINEDOWN);
        return 0;
    }
    case WM_DPICHANGED:
        if (lParam && LOWORD(wParam) > 0) {
            OnDpiChanged(fw, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        }
        break;
    case WM_TIMER:
        if (isMain && wParam == kRefreshTimer) {
            Refresh();
            return 0;
        }
        break;
    case WM_COMMAND:
        // A menu item (from the menu, or its accelerator).
        if (isMain && lParam == 0 && HIWORD(wParam) <= 1) {
            if (const MenuItemDesign* item = MenuItemByCommandId(LOWORD(wParam))) {
                Do(item->action);
                return 0;
            }
        }
        // Escape in a dialog (through TranslateDialogMessage) stands for
        // its CLOSE button, like its frame's close; Enter presses nothing.
        if (!isMain && LOWORD(wParam) == IDCANCEL && HIWORD(wParam) == 0)
            CloseDialog(fw);
        return 0;
    case WM_CLOSE:
        if (isMain)
            Close();
        else
            CloseDialog(fw);
        return 0;
    case WM_DESTROY:
        if (isMain)
            KillTimer(fw.hwnd, kRefreshTimer);
        break;
    }
    return DefWindowProcW(fw.hwnd, message, wParam, lParam);
}

bool Win32MainWindow::IsOurs(HWND hwnd) const
{
    if (!hwnd)
        return false;
    if (hwnd == main_.hwnd)
        return true;
    for (const auto& d : dialogs_)
        if (d->hwnd == hwnd)
            return true;
    return false;
}

void Win32MainWindow::SyncTitle(FormWindow& fw, const std::string& caption)
{
    std::wstring title = Utf8ToWide(caption);
    if (title == fw.title)
        return;
    SetWindowTextW(fw.hwnd, title.c_str());
    fw.title = std::move(title);
}

void Win32MainWindow::SyncDialog(FormWindow& fw)
{
    fw.renderer->Refresh();
    SyncTitle(fw, fw.model->Caption);
    if (fw.model->Visible == fw.shown)
        return;
    if (!fw.model->Visible) {
        ShowWindow(fw.hwnd, SW_HIDE);
        fw.shown = false;
        return;
    }
    if (!fw.placed) {
        // First showing: centred over the main window, or at its design
        // place from the main window's corner; inside the work area of the
        // main window's screen either way.
        const FormDesign& design = fw.renderer->Design();
        const RECT work = WorkAreaOf(main_.hwnd);
        RECT frame{}, over{};
        GetWindowRect(fw.hwnd, &frame);
        GetWindowRect(main_.hwnd, &over);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        int x = over.left + fw.renderer->Scaled(design.left), y = over.top + fw.renderer->Scaled(design.top);
        if (design.centred) {
            x = over.left + ((over.right - over.left) - width) / 2;
            y = over.top + ((over.bottom - over.top) - height) / 2;
        }
        const POINT at = KeepInside(work, x, y, width, height);
        SetWindowPos(fw.hwnd, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        fw.placed = true;
    }
    ShowWindow(fw.hwnd, SW_SHOW);
    fw.shown = true;
}

void Win32MainWindow::Refresh()
{
    if (refreshing_ || !main_.hwnd)
        return;
    refreshing_ = true;
    SyncTitle(main_, form_.Caption);
    main_.renderer->Refresh();
    for (auto& d : dialogs_)
        if (d->hwnd && d->model)
            SyncDialog(*d);
    refreshing_ = false;
}

void Win32MainWindow::CloseDialog(FormWindow& fw)
{
    // Whether it hides is the controller's call: the refresh follows its
    // model.
    form_.Click(fw.closeAction);
    Refresh();
}

void Win32MainWindow::Show(int showCommand)
{
    if (!main_.hwnd)
        return;
    ShowWindow(main_.hwnd, showCommand);
    UpdateWindow(main_.hwnd);
}

void Win32MainWindow::Minimize()
{
    if (main_.hwnd)
        ShowWindow(main_.hwnd, SW_MINIMIZE);
}

bool Win32MainWindow::Close()
{
    // A close asked for again while the controller's question is open
    // waits for that answer.
    if (!main_.hwnd || closing_)
        return false;
    closing_ = true;
    if (!form_.FormCloseQuery()) {
        closing_ = false;
        Refresh();
        return false;
    }
    form_.FormClose();
    KillTimer(main_.hwnd, kRefreshTimer);
    CloseCharts();
    for (auto& d : dialogs_)
        if (d->hwnd) {
            ShowWindow(d->hwnd, SW_HIDE);
            d->shown = false;
        }
    DestroyWindow(main_.hwnd);
    closing_ = false;
    if (onClosed)
        onClosed();
    return true;
}

bool Win32MainWindow::TranslateDialogMessage(MSG& msg)
{
    if (!msg.hwnd || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST)
        return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    if (!IsOurs(root))
        return false;
    return IsDialogMessageW(root, &msg) != FALSE;
}

} // namespace zrk

// The Windows program's windows on a real desktop of a small screen: wine's
// X11 driver in a wine desktop of the size in ZRK_SCREEN ("1366x768") at
// the DPI in ZRK_TEST_DPI, as run_in_wine_desktop.sh starts it. The virtual
// cockpit's windows (the main window, each calibration dialog in turn and
// the Quadrant window) must each lie within the work area, show every
// control or let it be scrolled to, overlap only where one is owned by the
// other and so stands in front of it, and give every static its whole text.
// The Charts window, opened from the Tools menu over the main window, must
// fit the same way.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/MenuLayout.h"
#include "app/TestHost.h"
#include "app/WindowLayout.h"
#include "app/VirtualDialogs.h"
#include "app/VirtualProcessEnv.h"
#include "app/demo/DemoCockpit.h"
#include "bridge/VirtualBridgeSocket.h"
#include "config/MemoryFileSystem.h"
#include "ui/win32/Win32ChartsWindow.h"
#include "ui/win32/Win32Dpi.h"
#include "ui/win32/Win32MainWindow.h"
#include "ui/win32/Win32QuadrantWindow.h"
#include "ui/win32/Win32Text.h"

namespace zrk::test {
namespace {

constexpr const char* kFolder = "C:\\zrk-demo";

std::string Name(HWND w)
{
    wchar_t cls[64] = {};
    GetClassNameW(w, cls, 64);
    const int id = GetDlgCtrlID(w);
    return WideToUtf8(cls) + " #" + std::to_string(id) + " \"" + WindowTextUtf8(w) + "\"";
}

BOOL CALLBACK CollectOwnWindow(HWND w, LPARAM param)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
    return TRUE;
}

// The top-level windows of this process that show, front to back.
std::vector<HWND> ShownWindows()
{
    std::vector<HWND> shown;
    EnumWindows(CollectOwnWindow, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

BOOL CALLBACK CollectChild(HWND w, LPARAM param)
{
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
    return TRUE;
}

std::vector<HWND> Children(HWND window)
{
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

RECT PlaceIn(HWND window, HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Within(const RECT& inner, const RECT& outer)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right
           && inner.bottom <= outer.bottom;
}

bool Intersect(const RECT& a, const RECT& b)
{
    RECT both{};
    return IntersectRect(&both, &a, &b) != FALSE;
}

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) + ","
           + std::to_string(r.bottom);
}

// Whether one window stands in front of the other by design: it is owned
// by the other, or both by the same window (the main window's dialogs and
// the Quadrant window in front of it).
bool InFrontByDesign(HWND a, HWND b)
{
    const HWND ownerA = GetWindow(a, GW_OWNER), ownerB = GetWindow(b, GW_OWNER);
    return ownerA == b || ownerB == a || (ownerA && ownerA == ownerB);
}

// The virtual cockpit as the program runs it with its windows, on virtual
// time, in a desktop of the expected size at the expected DPI.
class Win32DesktopFitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* screen = std::getenv("ZRK_SCREEN");
        const char* dpi = std::getenv("ZRK_TEST_DPI");
        if (!screen || !dpi)
            GTEST_SKIP() << "runs in a wine desktop of a set size and DPI (run_in_wine_desktop.sh)";
        expectedDpi = std::atoi(dpi);
        ASSERT_EQ(std::sscanf(screen, "%dx%d", &expectedWidth, &expectedHeight), 2) << screen;
        // The wine desktop, not the X screen it is drawn on.
        ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), expectedWidth) << "not in a wine desktop of " << screen;
        ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), expectedHeight) << "not in a wine desktop of " << screen;

        process.bridgeRunning = true;
        std::string error;
        ASSERT_TRUE(DemoCockpit::PrepareFolder(files, kFolder, error)) << error;
        form = std::make_unique<TForm1>(cockpit.MakePorts(host, host, process, dialogs, files, kFolder, socket, 698));
        host.Bind(form.get());
        form->FormCreate();
        ASSERT_EQ(cockpit.Wire(*form), "");
        host.RunFor(500);

        main = std::make_unique<Win32MainWindow>(*form, GetModuleHandleW(nullptr));
        ASSERT_TRUE(main->Create());
        main->Show(SW_SHOWNOACTIVATE);
        ASSERT_EQ(WindowDpi(main->Handle()), expectedDpi);
        // As the program opens it: beside the main window, or in front of
        // it where both do not fit.
        quadrant = std::make_unique<Win32QuadrantWindow>(cockpit, GetModuleHandleW(nullptr));
        ASSERT_TRUE(quadrant->Create(main->Handle()));
        quadrant->Show();
        main->Refresh();
    }
    void TearDown() override
    {
        quadrant.reset();
        main.reset();
        if (form)
            form->FormDestroy();
    }

    void Click(const std::string& formName, const std::string& button)
    {
        const HWND window = formName == "Form1" ? main->Handle() : main->Dialog(formName);
        const FormDesign* design = FindFormLayout(formName);
        ASSERT_NE(design, nullptr) << formName;
        const HWND b = GetDlgItem(window, ControlId(*design, button));
        ASSERT_NE(b, nullptr) << formName << "." << button;
        SendMessageW(b, BM_CLICK, 0, 0);
        main->Refresh();
    }

    // Every window of the program that shows: the main window, the open
    // dialog, the Quadrant window.
    void ExpectEveryWindowFits(const RECT& work)
    {
        const std::vector<HWND> windows = ShownWindows();
        ASSERT_GE(windows.size(), std::size_t(2));
        for (HWND w : windows) {
            SCOPED_TRACE(WindowTextUtf8(w));
            RECT frame{};
            GetWindowRect(w, &frame);
            EXPECT_TRUE(Within(frame, work)) << "window at " << Text(frame) << ", work area " << Text(work);
            ExpectEveryControlReachable(w);
            ExpectEveryStaticShowsItsText(w);
        }
        // Front to back: a window overlapping one behind it must be owned
        // by it (or with it by the same window).
        for (std::size_t i = 0; i < windows.size(); ++i)
            for (std::size_t j = i + 1; j < windows.size(); ++j) {
                RECT front{}, back{};
                GetWindowRect(windows[i], &front);
                GetWindowRect(windows[j], &back);
                if (!Intersect(front, back))
                    continue;
                EXPECT_TRUE(InFrontByDesign(windows[i], windows[j]))
                    << WindowTextUtf8(windows[i]) << " overlaps " << WindowTextUtf8(windows[j]);
                EXPECT_NE(GetWindow(windows[j], GW_OWNER), windows[i])
                    << WindowTextUtf8(windows[j]) << " is behind the window that owns it";
            }
    }

    // Every control that shows lies within the client area, scrolled to its
    // start, or within what the window's scroll bars reach.
    static void ExpectEveryControlReachable(HWND window)
    {
        // A scroll message lays the window out again: only when scrolled.
        if (GetScrollPos(window, SB_HORZ) != 0)
            SendMessageW(window, WM_HSCROLL, SB_LEFT, 0);
        if (GetScrollPos(window, SB_VERT) != 0)
            SendMessageW(window, WM_VSCROLL, SB_TOP, 0);
        RECT client{};
        GetClientRect(window, &client);
        LONG reachX = client.right, reachY = client.bottom;
        SCROLLINFO bar{};
        bar.cbSize = sizeof(bar);
        bar.fMask = SIF_RANGE | SIF_PAGE;
        if (GetScrollInfo(window, SB_HORZ, &bar) && int(bar.nPage) <= bar.nMax)
            reachX = std::max<LONG>(reachX, bar.nMax + 1);
        if (GetScrollInfo(window, SB_VERT, &bar) && int(bar.nPage) <= bar.nMax)
            reachY = std::max<LONG>(reachY, bar.nMax + 1);
        const RECT reach{0, 0, reachX, reachY};
        int shown = 0;
        for (HWND c : Children(window)) {
            if (!IsWindowVisible(c))
                continue;
            ++shown;
            const RECT r = PlaceIn(window, c);
            EXPECT_TRUE(Within(r, reach)) << Name(c) << " at " << Text(r) << ", reach " << Text(reach);
        }
        EXPECT_GT(shown, 0) << "no control shows";
    }

    // A static that shows text (not a lamp or picture) is as wide and tall
    // as its text in its font.
    static void ExpectEveryStaticShowsItsText(HWND window)
    {
        for (HWND c : Children(window)) {
            wchar_t cls[32] = {};
            GetClassNameW(c, cls, 32);
            const LONG type = GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK;
            if (!IsWindowVisible(c) || lstrcmpiW(cls, L"Static") != 0
                || (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP
                    && type != SS_SIMPLE))
                continue;
            const std::wstring text = Utf8ToWide(WindowTextUtf8(c));
            if (text.empty())
                continue;
            HDC dc = GetDC(c);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(c, WM_GETFONT, 0, 0)));
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), int(text.size()), &size);
            SelectObject(dc, old);
            ReleaseDC(c, dc);
            RECT client{};
            GetClientRect(c, &client);
            EXPECT_LE(size.cx, client.right) << Name(c);
            EXPECT_LE(size.cy, client.bottom) << Name(c);
        }
    }

    int expectedDpi = 96;
    int expectedWidth = 0;
    int expectedHeight = 0;
    TestHost host;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    DemoCockpit cockpit{host, host};
    std::unique_ptr<TForm1> form;
    std::unique_ptr<Win32MainWindow> main;
    std::unique_ptr<Win32QuadrantWindow> quadrant;
};

TEST_F(Win32DesktopFitTest, EveryWindowFitsTheWorkAreaWithEveryControlReachableAndEveryTextWhole)
{
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(main->Handle(), MONITOR_DEFAULTTOPRIMARY), &screen));
    const RECT work = screen.rcWork;
    ASSERT_EQ(screen.rcMonitor.right - screen.rcMonitor.left, expectedWidth);
    ASSERT_EQ(screen.rcMonitor.bottom - screen.rcMonitor.top, expectedHeight);

    // The windows as they open, then with each calibration dialog in turn.
    const std::pair<const char*, const char*> openers[] = {
        {"", ""}, {"Button4", "Form2"}, {"Button5", "Form3"}, {"Button1", "Form4"}, {"Button6", "Form5"}};
    for (const auto& [opener, dialog] : openers) {
        SCOPED_TRACE(*opener ? dialog : "no dialog");
        if (*opener) {
            Click("Form1", opener);
            ASSERT_TRUE(IsWindowVisible(main->Dialog(dialog)));
        }
        ExpectEveryWindowFits(work);
        if (*opener) {
            const FormDesign* design = FindFormLayout(dialog);
            ASSERT_NE(design, nullptr);
            Click(dialog, design->closeButton);
            ASSERT_FALSE(IsWindowVisible(main->Dialog(dialog)));
        }
    }
}

TEST_F(Win32DesktopFitTest, TheChartsWindowFromTheToolsMenuFitsTheWorkAreaInFrontOfTheMainWindow)
{
    MONITORINFO screen{};
    screen.cbSize = sizeof(screen);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(main->Handle(), MONITOR_DEFAULTTOPRIMARY), &screen));
    SendMessageW(main->Handle(), WM_COMMAND, MAKEWPARAM(MenuCommandId("tools_charts"), 0), 0);
    Win32ChartsWindow* charts = main->Charts();
    ASSERT_NE(charts, nullptr);
    host.RunFor(1000);
    charts->Refresh();
    const HWND w = charts->Handle();
    ASSERT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(charts->Dpi(), expectedDpi);
    // Centred over the main window and owned by it: in front of it by
    // design, wherever they overlap.
    EXPECT_EQ(GetWindow(w, GW_OWNER), main->Handle());
    RECT frame{};
    GetWindowRect(w, &frame);
    EXPECT_TRUE(Within(frame, screen.rcWork)) << "window at " << Text(frame) << ", work area " << Text(screen.rcWork);
    ExpectEveryControlReachable(w);
    ExpectEveryStaticShowsItsText(w);
}

} // namespace
} // namespace zrk::test

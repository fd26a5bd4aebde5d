// The native "Quadrant" window on a virtual quadrant stepped on virtual
// time: every control of its description is found by its id, a thumb held
// on a lever's track bar is a hand on the lever, HOLD rests a hand on a
// throttle (its motor stalls), switches and flight controls reach their
// hooks, refreshes follow the models; and the window is placed beside the
// main window or in front of it, never off the work area. Runs under
// wine's null display driver.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "app/QuadrantPanel.h"
#include "app/VirtualWorld.h"
#include "app/demo/DemoCockpit.h"
#include "ui/win32/Win32QuadrantWindow.h"
#include "ui/win32/Win32Text.h"

namespace zrk {
namespace {

constexpr int kKit = 101, kMotors = 201, kTrimMotor = 202, kServo = 301;

std::wstring ClassOf(HWND w)
{
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    return name;
}

class Win32QuadrantTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        w.boards.Plug(BoardKind::InterfaceKit, kKit);
        w.boards.Plug(BoardKind::MotorControl, kMotors);
        w.boards.Plug(BoardKind::MotorControl, kTrimMotor);
        w.boards.Plug(BoardKind::AdvancedServo, kServo);
        kit = w.boards.CreateInterfaceKit();
        motors = w.boards.CreateMotorControl();
        trimMotor = w.boards.CreateMotorControl();
        servo = w.boards.CreateAdvancedServo();
        kit->Open(kKit);
        motors->Open(kMotors);
        trimMotor->Open(kTrimMotor);
        servo->Open(kServo);
        w.host.RunFor(50);
        w.quadrant.Wire("flaps", {kKit, 7, {}});
        w.quadrant.Wire("throttle2", {kKit, 1, {{kMotors, 1}}});
        w.quadrant.Wire("reverser1", {kKit, 4, {}});
        w.quadrant.Wire("throttle1", {kKit, 0, {{kMotors, 0}}});
        w.quadrant.WireWheel("trim", {kTrimMotor, 0});
        w.quadrant.WireServo("cpt", {kServo, 0});
        w.QuadrantOn();
    }
    void TearDown() override { window.reset(); }

    void Open(QuadrantHooks hooks = {}, HWND mainWindow = nullptr)
    {
        window = std::make_unique<Win32QuadrantWindow>(w.quadrant, std::move(hooks), GetModuleHandleW(nullptr));
        ASSERT_TRUE(window->Create(mainWindow));
        window->Show();
    }
    HWND Item(const std::string& control) const
    {
        return GetDlgItem(window->Handle(), ControlId(window->Panel().Design(), control));
    }
    std::string Text(const std::string& control) const
    {
        HWND h = Item(control);
        return h ? WindowTextUtf8(h) : "<none>";
    }
    bool Checked(const std::string& control) const
    {
        return SendMessageW(Item(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void Click(const std::string& control) { SendMessageW(Item(control), BM_CLICK, 0, 0); }
    // A lever's track bar as the user moves it: the bar's position, then
    // what the bar tells its window.
    void Bar(const std::string& lever, int code, int travel)
    {
        HWND bar = Item(QuadrantPanel::LeverControl(lever));
        SendMessageW(bar, TBM_SETPOS, TRUE, 1000 - travel);
        SendMessageW(window->Handle(), WM_VSCROLL, MAKEWPARAM(code, 1000 - travel), reinterpret_cast<LPARAM>(bar));
    }
    int BarTravel(const std::string& lever) const
    {
        return 1000 - int(SendMessageW(Item(QuadrantPanel::LeverControl(lever)), TBM_GETPOS, 0, 0));
    }

    VirtualWorld w;
    std::unique_ptr<IInterfaceKit> kit;
    std::unique_ptr<IMotorControl> motors, trimMotor;
    std::unique_ptr<IAdvancedServo> servo;
    std::unique_ptr<Win32QuadrantWindow> window;
};

TEST_F(Win32QuadrantTest, EveryControlIsFoundByItsIdAsItsKind)
{
    QuadrantHooks hooks;
    hooks.flight = [] { return QuadrantFlightState{}; };
    hooks.bridgeMessages = [] { return std::vector<std::string>{}; };
    hooks.switches.push_back(KitSwitch(w.boards, "FUEL 3", kKit, 2));
    Open(std::move(hooks));
    EXPECT_EQ(WindowTextUtf8(window->Handle()), "Quadrant");
    const FormDesign& design = window->Panel().Design();
    ASSERT_FALSE(design.controls.empty());
    for (const ControlDesign& c : design.controls) {
        SCOPED_TRACE(c.name);
        HWND h = Item(c.name);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h, window->Control(c.name));
        const std::wstring cls = ClassOf(h);
        const LONG style = GetWindowLongW(h, GWL_STYLE);
        switch (c.kind) {
        case ControlKind::Lever:
            EXPECT_EQ(cls, TRACKBAR_CLASSW);
            EXPECT_TRUE(style & TBS_VERT);
            // Its caption at its foot.
            EXPECT_EQ(WindowTextUtf8(GetDlgItem(window->Handle(), Win32QuadrantWindow::CaptionId(
                                                                      ControlId(design, c.name)))),
                      c.caption);
            break;
        case ControlKind::Toggle:
            EXPECT_EQ(cls, L"Button");
            EXPECT_TRUE(style & BS_PUSHLIKE);
            break;
        case ControlKind::Wheel:
        case ControlKind::Dial:
        case ControlKind::Shape:
            EXPECT_EQ(cls, L"Static");
            EXPECT_EQ(style & SS_TYPEMASK, SS_OWNERDRAW);
            break;
        case ControlKind::Memo: EXPECT_EQ(cls, L"Edit"); break;
        default: break;
        }
    }
    // Panels hold what they hold, at the window's DPI.
    RECT panel{}, lever{};
    GetWindowRect(Item("LeverPanel"), &panel);
    GetWindowRect(Item(QuadrantPanel::LeverControl("flaps")), &lever);
    EXPECT_TRUE(lever.left >= panel.left && lever.right <= panel.right && lever.top >= panel.top &&
                lever.bottom <= panel.bottom);
}

TEST_F(Win32QuadrantTest, AThumbHeldIsAHandAndHoldStallsTheMotor)
{
    Open();
    Bar("throttle1", TB_THUMBTRACK, 300);
    EXPECT_TRUE(w.quadrant.Held("throttle1"));
    Bar("throttle1", TB_THUMBTRACK, 820);
    EXPECT_NEAR(*w.quadrant.Position("throttle1"), 820, 1e-9);
    Bar("throttle1", TB_THUMBPOSITION, 820);
    Bar("throttle1", TB_ENDTRACK, 820);
    EXPECT_FALSE(w.quadrant.Held("throttle1"));
    w.host.RunFor(100);
    window->Refresh();
    EXPECT_EQ(Text(QuadrantPanel::ReadingControl("throttle1")), std::to_string(LeverReading(820)));
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle2"), 0);

    // A key or a click beside the thumb: a quick push, let go at once.
    Bar("flaps", TB_PAGEUP, 100);
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("flaps"), 100);
    EXPECT_FALSE(w.quadrant.Held("flaps"));

    // The motor drives the lever: the bar follows. HOLD stalls it.
    motors->SetVelocity(0, -50);
    w.host.RunFor(600);
    window->Refresh();
    const double running = *w.quadrant.Position("throttle1");
    EXPECT_LT(running, 720);
    EXPECT_EQ(BarTravel("throttle1"), int(std::lround(running)));
    EXPECT_EQ(Text(QuadrantPanel::CurrentControl("throttle1")), "0.14 A");
    const std::string hold = QuadrantPanel::HoldControl("throttle1");
    Click(hold);
    EXPECT_TRUE(Checked(hold));
    EXPECT_TRUE(w.quadrant.Held("throttle1"));
    w.host.RunFor(200);
    window->Refresh();
    EXPECT_EQ(Text(QuadrantPanel::CurrentControl("throttle1")), "0.75 A");
    const double held = *w.quadrant.Position("throttle1");
    w.host.RunFor(200);
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), held);
    // Released elsewhere: the toggle follows at the next refresh.
    w.quadrant.Release("throttle1");
    window->Refresh();
    EXPECT_FALSE(Checked(hold));
    // Hand-only levers have no HOLD and no current.
    EXPECT_EQ(Item(QuadrantPanel::HoldControl("reverser1")), nullptr);
    EXPECT_EQ(Item(QuadrantPanel::CurrentControl("flaps")), nullptr);
}

TEST_F(Win32QuadrantTest, SwitchesAndFlightControlsReachTheirHooks)
{
    QuadrantFlightState flight{75.4, "climb", false, 1};
    int restarts = 0;
    QuadrantHooks hooks;
    hooks.flight = [&flight] { return flight; };
    hooks.setPaused = [&flight](bool paused) { flight.paused = paused; };
    hooks.restart = [&restarts] { ++restarts; };
    hooks.setSpeed = [&flight](double f) { flight.speed = f; };
    hooks.bridgeMessages = [] { return std::vector<std::string>{"A=1", "B=2"}; };
    hooks.switches.push_back(KitSwitch(w.boards, "FUEL 3", kKit, 2));
    hooks.switches.push_back(KitSwitch(w.boards, "NO KIT", 999, 0));
    Open(std::move(hooks));

    EXPECT_EQ(Text("FlightPhase"), "climb");
    EXPECT_EQ(Text("FlightTime"), "1:15");
    EXPECT_EQ(Text("BridgeMessages"), "A=1\r\nB=2");
    Click("FlightPause");
    EXPECT_TRUE(flight.paused);
    EXPECT_EQ(Text("FlightPause"), "Resume");
    Click("FlightRestart");
    EXPECT_EQ(restarts, 1);
    Click(QuadrantPanel::SpeedControl(4));
    EXPECT_EQ(flight.speed, 4);
    for (double f : QuadrantPanel::SpeedFactors())
        EXPECT_EQ(Checked(QuadrantPanel::SpeedControl(f)), f == 4) << f;

    const std::string fuel = QuadrantPanel::SwitchControl(0);
    Click(fuel);
    w.host.RunFor(10);
    EXPECT_TRUE(w.boards.Board(kKit).input[2]);
    EXPECT_TRUE(Checked(fuel));
    // Set outside the window: the box follows. One that cannot be set
    // stays open.
    w.boards.Board(kKit).Input(2, false);
    window->Refresh();
    EXPECT_FALSE(Checked(fuel));
    Click(QuadrantPanel::SwitchControl(1));
    EXPECT_FALSE(Checked(QuadrantPanel::SwitchControl(1)));
}

// A plain top-level window standing for the main window.
HWND MakeMainWindow(int left, int top, int width, int height)
{
    return CreateWindowExW(0, L"Static", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, left, top, width, height,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

RECT WorkOf(HWND w)
{
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &info);
    return info.rcWork;
}

TEST_F(Win32QuadrantTest, PlacedBesideTheMainWindowOrInFrontNeverOffTheScreen)
{
    const RECT work = WorkOf(nullptr);
    const int workWidth = work.right - work.left;
    // A narrow main window at the left leaves room beside it; one as wide
    // as the screen does not.
    const struct {
        int width;
        bool beside;
    } rows[] = {{200, true}, {workWidth, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.width);
        HWND main = MakeMainWindow(work.left, work.top, r.width, 300);
        ASSERT_NE(main, nullptr);
        Open({}, main);
        RECT m{}, q{};
        GetWindowRect(main, &m);
        GetWindowRect(window->Handle(), &q);
        EXPECT_TRUE(q.left >= work.left && q.top >= work.top && q.right <= work.right && q.bottom <= work.bottom)
            << q.left << "," << q.top << " " << q.right << "," << q.bottom;
        if (r.beside) {
            EXPECT_GE(q.left, m.right);
            EXPECT_EQ(GetWindow(window->Handle(), GW_OWNER), nullptr);
        } else {
            // In front: owned by the main window, so it stays in front.
            EXPECT_EQ(GetWindow(window->Handle(), GW_OWNER), main);
        }
        window.reset();
        DestroyWindow(main);
    }
}

TEST(Win32QuadrantCockpit, TheDemoCockpitsWindowShowsItsWholeQuadrant)
{
    TestHost host;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    DemoCockpit cockpit(host, host);
    std::string error;
    ASSERT_TRUE(DemoCockpit::PrepareFolder(files, "/demo", error)) << error;
    TForm1 form(cockpit.MakePorts(host, host, process, dialogs, files, "/demo", socket, 698));
    host.Bind(&form);
    form.FormCreate();
    ASSERT_EQ(cockpit.Wire(form), "");
    host.SetPeriodicStep(VirtualQuadrant::kStepMs, [&cockpit](uint64_t ms) { cockpit.Step(ms); });
    host.RunFor(3000);

    Win32QuadrantWindow window(cockpit, GetModuleHandleW(nullptr));
    ASSERT_TRUE(window.Create());
    for (const std::string& lever : DemoCockpit::LeverNames())
        EXPECT_NE(window.Control(QuadrantPanel::LeverControl(lever)), nullptr) << lever;
    for (const char* dial : {"cpt", "fo", "rudder", "latch"})
        EXPECT_TRUE(window.Panel().State(QuadrantPanel::DialControl(dial)).on) << dial;
    EXPECT_NE(window.Control("TrimWheel"), nullptr);
    EXPECT_NE(window.Control(QuadrantPanel::SwitchControl(DemoCockpit::Switches().size() - 1)), nullptr);
    // Every owner-drawn part draws, at the flight's states.
    window.Show();
    for (int i = 0; i < 5; ++i) {
        host.RunFor(1000);
        window.Refresh();
        UpdateWindow(window.Handle());
    }
    SendMessageW(window.Control("FlightPause"), BM_CLICK, 0, 0);
    EXPECT_TRUE(cockpit.Flight().Paused());
    host.SetPeriodicStep(0, {});
    form.FormDestroy();
}

} // namespace
} // namespace zrk

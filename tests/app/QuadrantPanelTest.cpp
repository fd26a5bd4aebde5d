// The Quadrant window's model: its description made from what the quadrant
// has wired (every control inside its panel, nothing overlapping, the
// levers in the quadrant's order), the states its controls show, and the
// user's hand reaching the quadrant and the hooks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/QuadrantPanel.h"
#include "app/VirtualWorld.h"
#include "app/demo/DemoCockpit.h"
#include "app/demo/DemoQuadrant.h"

namespace zrk {
namespace {

constexpr int kKit = 101, kMotors = 201, kTrimMotor = 202, kServo = 301;

// A quadrant wired out of order, with a wheel and one servo.
void WireSmallQuadrant(VirtualQuadrant& q)
{
    q.Wire("flaps", {kKit, 7, {}});
    q.Wire("throttle2", {kKit, 1, {{kMotors, 1}}});
    q.Wire("reverser1", {kKit, 4, {}});
    q.Wire("throttle1", {kKit, 0, {{kMotors, 0}}});
    q.WireWheel("trim", {kTrimMotor, 0});
    q.WireServo("cpt", {kServo, 0});
}

// Every control lies inside its panel (or the form), panels do not overlap
// one another, nor do the controls of one panel, and names are unique.
void ExpectSoundLayout(const FormDesign& form)
{
    std::map<std::string, Bounds> panels;
    std::set<std::string> names;
    const Bounds whole{0, 0, form.width, form.height};
    for (const ControlDesign& c : form.controls) {
        EXPECT_TRUE(names.insert(c.name).second) << "twice: " << c.name;
        EXPECT_GT(c.bounds.width, 0) << c.name;
        EXPECT_GT(c.bounds.height, 0) << c.name;
        if (c.kind == ControlKind::Panel) {
            EXPECT_TRUE(c.group.empty()) << c.name;
            EXPECT_TRUE(whole.Contains(c.bounds)) << c.name;
            for (const auto& [other, b] : panels)
                EXPECT_FALSE(b.Overlaps(c.bounds)) << c.name << " overlaps " << other;
            panels[c.name] = c.bounds;
            continue;
        }
        ASSERT_TRUE(panels.count(c.group)) << c.name << " in " << c.group;
        const Bounds& p = panels[c.group];
        EXPECT_TRUE((Bounds{0, kPanelTitleHeight, p.width, p.height}).Contains(c.bounds) &&
                    c.bounds.top >= kPanelTitleHeight)
            << c.name << " outside " << c.group;
        for (const ControlDesign& o : form.controls) {
            if (&o != &c && o.group == c.group && o.kind != ControlKind::Panel) {
                EXPECT_FALSE(o.bounds.Overlaps(c.bounds)) << c.name << " overlaps " << o.name;
            }
        }
    }
}

TEST(QuadrantPanelLayout, EveryQuadrantIsLaidOutSoundly)
{
    // The demo cockpit's 747 quadrant with every hook, a small quadrant
    // without hooks, and an empty one.
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
    VirtualWorld small;
    WireSmallQuadrant(small.quadrant);
    VirtualWorld empty;

    QuadrantPanel demo(cockpit.Quadrant(), DemoQuadrantHooks(cockpit));
    QuadrantPanel bare(small.quadrant, {});
    QuadrantPanel none(empty.quadrant, {});
    for (const QuadrantPanel* p : {&demo, &bare, &none}) {
        SCOPED_TRACE(p->Design().controls.size());
        EXPECT_EQ(p->Design().name, "Quadrant");
        ExpectSoundLayout(p->Design());
    }

    // The 747's cockpit: every lever, HOLD on the four throttles, the
    // wheel, the four dials, every switch and the flight panel; on a
    // 1366-pixel-wide screen it fits across beside nothing.
    const FormDesign& d = demo.Design();
    for (const std::string& lever : DemoCockpit::LeverNames())
        EXPECT_NE(d.Find(QuadrantPanel::LeverControl(lever)), nullptr) << lever;
    for (const char* t : {"throttle1", "throttle2", "throttle3", "throttle4"})
        EXPECT_NE(d.Find(QuadrantPanel::HoldControl(t)), nullptr) << t;
    for (const char* dial : {"cpt", "fo", "rudder", "latch"})
        EXPECT_TRUE(demo.State(QuadrantPanel::DialControl(dial)).on) << dial;
    EXPECT_NE(d.Find(QuadrantPanel::SwitchControl(DemoCockpit::Switches().size() - 1)), nullptr);
    EXPECT_EQ(d.Find(QuadrantPanel::SwitchControl(DemoCockpit::Switches().size())), nullptr);
    for (const char* c : {"FlightPause", "FlightRestart", "FlightPhase", "BridgeMessages", "TrimWheel"})
        EXPECT_NE(d.Find(c), nullptr) << c;
    EXPECT_LE(d.width, 1366 - 16);

    // Without hooks: no flight panel and no switches; levers by kind, then
    // name, whatever the wiring order; hand-only levers have no current
    // readout and no HOLD; unwired servos show an empty dial.
    const FormDesign& b = bare.Design();
    EXPECT_EQ(b.Find("FlightPanel"), nullptr);
    EXPECT_EQ(b.Find("SwitchPanel"), nullptr);
    std::vector<int> xs;
    for (const char* lever : {"throttle1", "throttle2", "reverser1", "flaps"})
        xs.push_back(b.Find(QuadrantPanel::LeverControl(lever))->bounds.left);
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
    EXPECT_EQ(b.Find(QuadrantPanel::LeverControl("reverser1"))->caption, "REV 1");
    EXPECT_EQ(b.Find(QuadrantPanel::CurrentControl("flaps")), nullptr);
    EXPECT_EQ(b.Find(QuadrantPanel::HoldControl("reverser1")), nullptr);
    EXPECT_NE(b.Find(QuadrantPanel::CurrentControl("throttle2")), nullptr);
    EXPECT_FALSE(bare.State(QuadrantPanel::DialControl("fo")).on);

    EXPECT_NE(none.Design().Find("NoLevers"), nullptr);
    EXPECT_EQ(none.Design().Find("TrimWheel"), nullptr);
    form.FormDestroy();
}

TEST(QuadrantPanelLayout, LeverCaptionsAndOrder)
{
    const struct {
        const char* lever;
        const char* caption;
        int rank;
    } rows[] = {{"throttle1", "THR 1", 0}, {"throttle", "THROTTLE", 0}, {"reverser4", "REV 4", 1},
                {"speedbrake", "SPD BRK", 2}, {"flaps", "FLAPS", 3}, {"gear", "GEAR", 4}};
    for (const auto& r : rows) {
        EXPECT_EQ(LeverCaption(r.lever), r.caption) << r.lever;
        EXPECT_EQ(LeverRank(r.lever), r.rank) << r.lever;
    }
}

class QuadrantPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        w.boards.Plug(BoardKind::InterfaceKit, kKit);
        w.boards.Plug(BoardKind::MotorControl, kMotors);
        kit = w.boards.CreateInterfaceKit();
        motors = w.boards.CreateMotorControl();
        kit->Open(kKit);
        motors->Open(kMotors);
        w.host.RunFor(50);
        WireSmallQuadrant(w.quadrant);
        w.QuadrantOn();
    }

    VirtualWorld w;
    std::unique_ptr<IInterfaceKit> kit;
    std::unique_ptr<IMotorControl> motors;
};

TEST_F(QuadrantPanelTest, AGrabIsAHandAndHoldKeepsItThere)
{
    QuadrantPanel p(w.quadrant, {});
    const std::string lever = QuadrantPanel::LeverControl("throttle1");
    const std::string hold = QuadrantPanel::HoldControl("throttle1");
    const std::string hand = QuadrantPanel::HandControl("throttle1");

    ASSERT_TRUE(p.Grab(lever, 300));
    EXPECT_TRUE(w.quadrant.Held("throttle1"));
    EXPECT_TRUE(p.State(lever).on);
    EXPECT_EQ(p.State(hand).color, QuadrantPanel::kLampHandColor);
    ASSERT_TRUE(p.Drag(lever, 820));
    ASSERT_TRUE(p.LetGo(lever));
    EXPECT_FALSE(w.quadrant.Held("throttle1"));
    EXPECT_DOUBLE_EQ(p.State(lever).value, 820);
    EXPECT_EQ(p.State(hand).color, QuadrantPanel::kLampOffColor);
    w.host.RunFor(100);
    p.Refresh();
    EXPECT_EQ(p.State(QuadrantPanel::ReadingControl("throttle1")).text, std::to_string(LeverReading(820)));

    // The motor runs the lever up; HOLD stalls it and the current rises.
    motors->SetVelocity(0, 50);
    w.host.RunFor(300);
    p.Refresh();
    EXPECT_EQ(p.State(QuadrantPanel::CurrentControl("throttle1")).text, "0.14 A");
    ASSERT_TRUE(p.SetOn(hold, true));
    EXPECT_TRUE(p.State(hold).on);
    const double held = *w.quadrant.Position("throttle1");
    w.host.RunFor(300);
    p.Refresh();
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), held);
    EXPECT_EQ(p.State(QuadrantPanel::CurrentControl("throttle1")).text, "0.75 A");
    // A grab and let-go while HOLD is on leaves the hand resting there.
    p.Grab(lever, 500);
    p.LetGo(lever);
    EXPECT_TRUE(w.quadrant.Held("throttle1"));
    // Released elsewhere: the toggle follows at the next refresh.
    w.quadrant.Release("throttle1");
    p.Refresh();
    EXPECT_FALSE(p.State(hold).on);

    // A nudge moves the lever and lets go at once.
    ASSERT_TRUE(p.Nudge(lever, 100));
    EXPECT_FALSE(w.quadrant.Held("throttle1"));
    EXPECT_DOUBLE_EQ(*w.quadrant.Position("throttle1"), 100);
}

TEST_F(QuadrantPanelTest, ActionsOnWhatIsNotThereDoNothing)
{
    QuadrantPanel p(w.quadrant, {});
    const struct {
        const char* control;
    } rows[] = {{"Lever_nosuch"}, {"Hold_reverser1"}, {"FlightPause"}, {"Switch1"}, {"Speed2"}, {""},
                {"Reading_throttle1"}};
    for (const auto& r : rows) {
        EXPECT_FALSE(p.Grab(r.control, 500)) << r.control;
        EXPECT_FALSE(p.Drag(r.control, 500)) << r.control;
        EXPECT_FALSE(p.LetGo(r.control)) << r.control;
        EXPECT_FALSE(p.Nudge(r.control, 500)) << r.control;
        EXPECT_FALSE(p.Press(r.control)) << r.control;
        EXPECT_FALSE(p.SetOn(r.control, true)) << r.control;
    }
    EXPECT_EQ(p.State("Lever_nosuch").text, "");
    EXPECT_FALSE(w.quadrant.Held("reverser1"));
    EXPECT_FALSE(w.quadrant.Held("throttle1"));
}

TEST_F(QuadrantPanelTest, FlightSwitchesAndBridgeReachTheirHooks)
{
    QuadrantFlightState flight{125.7, "climb", false, 1};
    int restarts = 0;
    std::vector<std::string> received;
    QuadrantHooks hooks;
    hooks.flight = [&flight] { return flight; };
    hooks.setPaused = [&flight](bool paused) { flight.paused = paused; };
    hooks.restart = [&] { ++restarts; };
    hooks.setSpeed = [&flight](double f) { flight.speed = f; };
    hooks.bridgeMessages = [&received] { return received; };
    hooks.switches.push_back(KitSwitch(w.boards, "FUEL 3", kKit, 2));
    hooks.switches.push_back(KitSwitch(w.boards, "NO KIT", 999, 0));
    hooks.switches.push_back(KitSwitch(w.boards, "BAD INPUT", kKit, 42));
    QuadrantPanel p(w.quadrant, std::move(hooks));

    EXPECT_EQ(p.State("FlightPhase").text, "climb");
    EXPECT_EQ(p.State("FlightTime").text, "2:05");
    EXPECT_TRUE(p.Press("FlightPause"));
    EXPECT_TRUE(flight.paused);
    EXPECT_EQ(p.State("FlightPhase").text, "climb (paused)");
    EXPECT_EQ(p.State("FlightPause").text, "Resume");
    EXPECT_TRUE(p.Press("FlightRestart"));
    EXPECT_EQ(restarts, 1);

    EXPECT_TRUE(p.SetOn(QuadrantPanel::SpeedControl(4), true));
    EXPECT_EQ(flight.speed, 4);
    for (double f : QuadrantPanel::SpeedFactors())
        EXPECT_EQ(p.State(QuadrantPanel::SpeedControl(f)).on, f == 4) << f;
    // Unchoosing the chosen factor leaves it chosen.
    p.SetOn(QuadrantPanel::SpeedControl(4), false);
    EXPECT_TRUE(p.State(QuadrantPanel::SpeedControl(4)).on);

    // A time that is no number, or negative, shows as 0:00.
    for (double t : {-5.0, std::nan("")}) {
        flight.timeS = t;
        p.Refresh();
        EXPECT_EQ(p.State("FlightTime").text, "0:00") << t;
    }

    // Switches reach their kit; one that cannot be set shows open.
    EXPECT_TRUE(p.SetOn(QuadrantPanel::SwitchControl(0), true));
    w.host.RunFor(10);
    EXPECT_TRUE(w.boards.Board(kKit).input[2]);
    p.Refresh();
    EXPECT_TRUE(p.State(QuadrantPanel::SwitchControl(0)).on);
    for (std::size_t i : {1u, 2u}) {
        p.SetOn(QuadrantPanel::SwitchControl(i), true);
        EXPECT_FALSE(p.State(QuadrantPanel::SwitchControl(i)).on) << i;
    }

    // The newest messages only, newest last.
    for (int i = 0; i < 30; ++i)
        received.push_back("MSG=" + std::to_string(i));
    p.Refresh();
    const std::vector<std::string>& lines = p.State("BridgeMessages").lines;
    ASSERT_EQ(lines.size(), QuadrantPanel::kShownMessages);
    EXPECT_EQ(lines.front(), "MSG=18");
    EXPECT_EQ(lines.back(), "MSG=29");

    // Nothing moved: a refresh reports no change, so nothing is redrawn.
    w.QuadrantOff();
    p.Refresh();
    const uint64_t changes = p.Changes();
    p.Refresh();
    EXPECT_EQ(p.Changes(), changes);
    received.push_back("MSG=30");
    p.Refresh();
    EXPECT_GT(p.Changes(), changes);
}

} // namespace
} // namespace zrk

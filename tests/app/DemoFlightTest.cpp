// The demo cockpit on virtual time: the whole controller against the
// virtual quadrant and the scripted flight, checked step by step.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/demo/CycleStats.h"
#include "app/demo/DemoCockpit.h"
#include "app/demo/DemoHost.h"
#include "bridge/UpdateRecord.h"
#include "bridge/VirtualBridgeSocket.h"
#include "config/MemoryFileSystem.h"
#include "support/DemoRig.h"

namespace zrk {
namespace {

using test::DemoRig;

TEST(DemoFlight, FollowsItsScript)
{
    struct Row {
        double t;
        const char* phase;
        bool onGround;
        uint8_t atMode;
        bool engaged;
    };
    const Row rows[] = {
        {0, "taxi out", true, 0, false},     {31, "take-off", true, 1, true},   {61, "climb", false, 1, true},
        {110, "cruise", false, 1, true},     {140, "descent", false, 1, true},  {167, "retard", false, 3, true},
        {172, "retard", false, 0, true},     {176, "landing", true, 0, true},   {190, "reverse thrust", true, 0, true},
        {230, "taxi in", true, 0, false},
    };
    for (const Row& r : rows) {
        const DemoFlight::State s = DemoFlight::At(r.t);
        SCOPED_TRACE(r.t);
        EXPECT_STREQ(DemoFlight::Phases()[std::size_t(s.phase)].name, r.phase);
        EXPECT_EQ(s.onGround, r.onGround);
        EXPECT_EQ(s.atMode, r.atMode);
        EXPECT_EQ(s.atEngaged, r.engaged);
    }
    // The trim moves through the climb.
    EXPECT_NE(DemoFlight::At(65).stabTrim, DemoFlight::At(85).stabTrim);
}

TEST(DemoFlight, PausesSpeedsUpRestartsAndLoops)
{
    DemoFlight f;
    std::vector<std::string> lines;
    f.onPhase = [&](const std::string& l) { lines.push_back(l); };
    f.Advance(1000);
    EXPECT_DOUBLE_EQ(f.TimeS(), 1.0);
    f.SetPaused(true);
    f.Advance(5000);
    EXPECT_DOUBLE_EQ(f.TimeS(), 1.0);
    f.SetPaused(false);
    f.SetSpeed(1e9);   // clamped
    EXPECT_DOUBLE_EQ(f.Speed(), DemoFlight::kMaxSpeed);
    f.SetSpeed(std::numeric_limits<double>::quiet_NaN());   // ignored
    EXPECT_DOUBLE_EQ(f.Speed(), DemoFlight::kMaxSpeed);
    f.Advance(2000);   // 32 s of flight
    EXPECT_STREQ(f.PhaseName(), "take-off");
    f.Advance(15000);   // 240 s on: past the end of the loop
    EXPECT_EQ(f.Loops(), 1u);
    EXPECT_LT(f.TimeS(), DemoFlight::kLoopSeconds);
    f.Restart();
    f.Advance(0);
    EXPECT_DOUBLE_EQ(f.TimeS(), 0.0);
    EXPECT_EQ(lines.front(), "Demo flight: taxi out");
    EXPECT_EQ(lines.back(), "Demo flight: taxi out");
}

TEST(DemoFlight, ReportsTheOverrideAndTheDisconnectBack)
{
    DemoFlight f;
    f.SetSpeed(10);
    f.Advance(3500);   // 35 s: take-off, engaged
    AircraftSnapshot a;
    SimulatorSnapshot s;
    f.SetOverrideFlags({0, 0, 1, 0});   // throttle 3: the left side
    f.SetThrottleCommands(-300, 20000);
    f.Fill(a, s);
    EXPECT_EQ(a.at_override_left(), 1);
    EXPECT_EQ(a.at_override_right(), 0);
    EXPECT_EQ(a.at_engaged_left(), 1);
    EXPECT_EQ(s.sim_throttle_1(), 0);       // reverse is no forward thrust
    EXPECT_EQ(s.sim_throttle_2(), 16383);   // kept in range
    f.BridgeMessage("MCP_AUTOTHROTTLE_ENGAGED=1");
    f.Fill(a, s);
    EXPECT_EQ(a.autothrottle_mode(), 1);
    f.BridgeMessage("MCP_AUTOTHROTTLE_ENGAGED=0");
    f.Fill(a, s);
    EXPECT_EQ(a.autothrottle_mode(), 0);
    EXPECT_EQ(a.at_engaged_left(), 0);
    EXPECT_EQ(a.mcp_autothrottle_engaged(), 0);
}

TEST(DemoCockpit, WritesItsOwnConfigOnlyWhenMissing)
{
    MemoryFileSystem files;
    std::string error;
    files.Put("/d/CONFIG.INI", "[AIRCRAFT]\r\nTYPE=737\r\n");
    ASSERT_TRUE(DemoCockpit::PrepareFolder(files, "/d", error));
    EXPECT_EQ(files.Files().at("/d/CONFIG.INI"), "[AIRCRAFT]\r\nTYPE=737\r\n");
    ASSERT_TRUE(DemoCockpit::PrepareFolder(files, "/e", error));
    EXPECT_EQ(files.Files().at("/e/CONFIG.INI"), DemoCockpit::ConfigText());
}

// The story of one flight, on the whole controller.
TEST(DemoCockpit, FlightStory)
{
    DemoRig rig;
    const std::vector<std::string> throttles = {"throttle1", "throttle2", "throttle3", "throttle4"};

    // The flap lever taken to 10 for the taxi: each detent on the way is
    // reported.
    rig.RunTo(10);
    EXPECT_EQ(rig.LastFlapMessage(), "10");
    for (const auto& t : throttles)
        EXPECT_NEAR(rig.Lever(t.c_str()), 100, 5) << t;

    // TOGA: every lever runs forward to full.
    rig.RunTo(38);
    for (const auto& t : throttles)
        EXPECT_NEAR(rig.Lever(t.c_str()), 900, 15) << t;

    rig.RunTo(80);
    EXPECT_EQ(rig.LastFlapMessage(), "0");
    rig.RunTo(153);
    EXPECT_EQ(rig.LastFlapMessage(), "20");

    // The retard: the levers go to idle and stay held there for
    // IDLE_TIMEOUT after the autothrottle left its retard mode (170 s).
    rig.RunTo(175.5);
    EXPECT_EQ(rig.LastFlapMessage(), "30");
    EXPECT_TRUE(rig.form->autoThrottle.retard_latch);
    for (const auto& t : throttles)
        EXPECT_NEAR(rig.Lever(t.c_str()), 100, 15) << t;
    rig.RunTo(176.5);
    EXPECT_FALSE(rig.form->autoThrottle.retard_latch);

    // The armed speedbrake deploys at touchdown.
    EXPECT_GT(rig.Lever("speedbrake"), 240);
    rig.RunTo(185);
    EXPECT_GT(rig.Lever("speedbrake"), 850);

    // Reverse thrust on the ground disconnects the autothrottle.
    rig.RunTo(195);
    EXPECT_TRUE(rig.cockpit.Flight().AutothrottleDisconnected());

    // Thrust for the taxi retracts it.
    rig.RunTo(214);
    EXPECT_LT(rig.Lever("speedbrake"), 230);
    rig.RunTo(235);
    EXPECT_EQ(rig.LastFlapMessage(), "0");
}

TEST(DemoCockpit, HeldLeverRaisesTheOverride)
{
    DemoRig rig;
    rig.RunTo(30.2);
    rig.cockpit.Quadrant().Hold("throttle1");
    rig.RunTo(33);
    EXPECT_EQ(rig.cockpit.Simulator().Peek<uint8_t>(0x53FA), 1);
    EXPECT_EQ(rig.form->Aircraft.at_override_left(), 1);
    EXPECT_LT(rig.Lever("throttle1"), 150);
    // The other side runs on.
    EXPECT_GT(rig.Lever("throttle2"), 850);
    rig.cockpit.Quadrant().Release("throttle1");
}

// A restart and the end of a loop bring every lever back to rest, and the
// flight starts over with the autothrottle reconnected.
TEST(DemoCockpit, RestartAndLoopBringTheLeversToRest)
{
    DemoRig rig;
    rig.RunTo(40);
    ASSERT_GT(rig.Lever("throttle1"), 850);
    ASSERT_EQ(rig.LastFlapMessage(), "10");
    rig.cockpit.Flight().Restart();
    rig.host.RunFor(4000);
    EXPECT_LT(rig.cockpit.Flight().TimeS(), 5);
    for (const char* lever : {"throttle1", "throttle2", "throttle3", "throttle4", "flaps"})
        EXPECT_NEAR(rig.Lever(lever), 100, 15) << lever;
    EXPECT_EQ(rig.LastFlapMessage(), "0");

    rig.cockpit.Flight().SetSpeed(8);
    while (rig.cockpit.Flight().Loops() == 0)
        rig.host.RunFor(8);
    rig.cockpit.Flight().SetSpeed(1);
    rig.host.RunFor(3000);
    for (const std::string& lever : DemoCockpit::LeverNames())
        EXPECT_NEAR(rig.Lever(lever.c_str()), 100, 15) << lever;
    EXPECT_FALSE(rig.cockpit.Flight().AutothrottleDisconnected());
}

TEST(DemoCockpit, SwitchesReachTheBridge)
{
    DemoRig rig;
    rig.RunTo(2);
    ASSERT_TRUE(rig.cockpit.ToggleSwitch("fuel1"));
    EXPECT_TRUE(rig.cockpit.SwitchClosed("fuel1"));
    EXPECT_FALSE(rig.cockpit.ToggleSwitch("no such switch"));
    rig.RunTo(3);
    EXPECT_EQ(rig.cockpit.BridgeMessages().back(), "ENGINE_L_FUEL_CONTROL_SWITCH=0");
}

// What the hosts do around the cockpit: the built-in bridge's messages all
// reach the cockpit, and only changes are printed; the cockpit steps on the
// real clock without jumping over a stall; early log lines wait for the log.
TEST(DemoCockpit, TheAircraftNotesTheControllersGreetingSoItIsNotRepeated)
{
    DemoRig rig;
    auto greetings = [&rig] {
        return std::count(rig.cockpit.BridgeMessages().begin(), rig.cockpit.BridgeMessages().end(),
                          std::string("ZRK_TQ_CONNECTED=1"));
    };
    // The watchdog looks every 2 s; the greeting went once, at the connection.
    rig.host.RunFor(9000);
    EXPECT_EQ(greetings(), 1);
    EXPECT_TRUE(rig.cockpit.Flight().ControllerSeen());
    // A restart of the flight keeps the connection's note.
    rig.cockpit.Flight().Restart();
    rig.host.RunFor(5000);
    EXPECT_EQ(greetings(), 1);
    EXPECT_LT(rig.cockpit.BridgeMessages().size(), DemoCockpit::kKeptMessages);
    // The goodbye clears it.
    rig.cockpit.BridgeReceived("ZRK_TQ_CONNECTED=0");
    EXPECT_FALSE(rig.cockpit.Flight().ControllerSeen());
}

TEST(DemoCockpit, TheBridgeSummaryKeepsEachNameOnceWithItsCountNewestLast)
{
    TestHost host;
    DemoCockpit cockpit{host, host};
    for (const char* m : {"FLAP=5", "FUEL=1", "FLAP=10", "GEAR=1", "FLAP=20"})
        cockpit.BridgeReceived(m);
    const auto& s = cockpit.BridgeSummary();
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].message, "FUEL=1");
    EXPECT_EQ(s[0].count, 1u);
    EXPECT_EQ(s[2].name, "FLAP");
    EXPECT_EQ(s[2].message, "FLAP=20");
    EXPECT_EQ(s[2].count, 3u);
    EXPECT_EQ(s[2].last.hour, host.Now().hour);
    // Bounded: the name that came longest ago goes first.
    for (std::size_t i = 0; i < DemoCockpit::kSummaryNames; ++i)
        cockpit.BridgeReceived("N" + std::to_string(i) + "=1");
    ASSERT_EQ(s.size(), DemoCockpit::kSummaryNames);
    EXPECT_EQ(s.front().name, "N0");
}

TEST(DemoHost, BridgeMessagesStepsAndEarlyLog)
{
    DemoRig rig;
    std::vector<std::string> printed;
    DemoBridgeReceiver receive(rig.cockpit, [&](const std::string& line) { printed.push_back(line); });
    const std::size_t before = rig.cockpit.BridgeMessages().size();
    // Called through copies, as the Windows bridge calls its receiver.
    for (const char* m : {"ZRK_TEST_A=1", "ZRK_TEST_A=1", "ZRK_TEST_B=2", "ZRK_TEST_A=2", "ZRK_TEST_B=2"}) {
        DemoBridgeReceiver copy = receive;
        copy(m);
    }
    EXPECT_EQ(rig.cockpit.BridgeMessages().size() - before, 5u);
    EXPECT_EQ(printed, (std::vector<std::string>{"Bridge received ZRK_TEST_A=1", "Bridge received ZRK_TEST_B=2",
                                                 "Bridge received ZRK_TEST_A=2"}));

    uint64_t now = 1000;
    DemoStepper stepper(rig.cockpit, [&] { return now; });
    const double t0 = rig.cockpit.Flight().TimeS();
    now += 100;
    stepper.Tick();
    EXPECT_NEAR(rig.cockpit.Flight().TimeS() - t0, 0.1, 1e-6);
    now += 60000;  // a stall of a minute counts as 250 ms
    stepper.Tick();
    EXPECT_NEAR(rig.cockpit.Flight().TimeS() - t0, 0.35, 1e-6);
    stepper.Tick();  // no time passed: no step
    EXPECT_NEAR(rig.cockpit.Flight().TimeS() - t0, 0.35, 1e-6);

    EarlyLog early;
    early("first line before the log");
    early("second line before the log");
    const std::size_t lines = rig.form->Memo1.TotalAdded();
    early.Attach(*rig.form);
    early("a line after");
    ASSERT_EQ(rig.form->Memo1.TotalAdded() - lines, 3u);
    const auto& all = rig.form->Memo1.Lines();
    EXPECT_NE(all[all.size() - 3].find("first line before the log"), std::string::npos);
    EXPECT_NE(all[all.size() - 2].find("second line before the log"), std::string::npos);
    EXPECT_NE(all.back().find("a line after"), std::string::npos);
}

TEST(CycleStats, MedianP99AndMaximum)
{
    CycleStats s;
    EXPECT_EQ(s.QuantileMs(0.5), 0.0);
    uint64_t t = 5'000'000;
    s.Tick(t);
    for (int i = 0; i < 98; ++i)
        s.Tick(t += 100'000);
    s.Tick(t += 150'000);
    s.Tick(t - 1);   // a clock that went back counts no period
    s.Tick(t += 10'000'000);   // beyond the histogram
    EXPECT_EQ(s.Periods(), 100u);
    EXPECT_NEAR(s.QuantileMs(0.5), 100.0, 0.05);
    EXPECT_NEAR(s.QuantileMs(0.98), 100.0, 0.05);
    EXPECT_NEAR(s.QuantileMs(0.99), 150.0, 0.05);
    EXPECT_DOUBLE_EQ(s.QuantileMs(1.0), 10'000.001);
    EXPECT_DOUBLE_EQ(s.MaxMs(), 10'000.001);
    EXPECT_EQ(s.Report("Main cycle").rfind("Main cycle period over 100 cycles: median 100.03 ms, p99 150.03 ms", 0), 0u);
}

} // namespace
} // namespace zrk

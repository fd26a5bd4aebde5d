#include <gtest/gtest.h>

#include "support/Rig.h"

namespace zrk::test {
namespace {

constexpr const char* T = "THROTTLES";
constexpr int kKit = 100;

// A controller with the main card attached, its main cycle running and the
// simulator linked; the writes of start-up are cleared.
struct Cycle : Rig {
    explicit Cycle(std::string config = test::Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"}}))
    {
        boards.Plug(BoardKind::InterfaceKit, kKit, {}, 8);
        panelBus.aircraft.set_tq_connected_seen(1);
        Start(std::move(config));
        host.RunFor(200);
        sim.ClearWrites();
        socket.ClearSent();
    }
    void Tick() { host.RunFor(100); }
    std::vector<std::string> Writes() const
    {
        std::vector<std::string> out;
        for (const FsuipcWrite& w : sim.Writes())
            out.push_back(w.Text());
        return out;
    }
};

TEST(MainCycle, AMovedThrottleReachesTheSimulatorWithinOneTick)
{
    Cycle c(Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"}, {T, "THROTTLE_1_IDLE", "100"},
                    {T, "THROTTLE_1_FULL", "900"}}));
    c.boards.Board(kKit).Sensor(0, 500);
    c.Tick();
    EXPECT_EQ(c.Writes(), std::vector<std::string>{"FSUIPC write 0x52FA 2 8192"});
    EXPECT_EQ(c.form->TrackBar(1).Position, 500);
    EXPECT_EQ(c.form->Label(1).Caption, "500");
    EXPECT_EQ(c.form->Label(19).Caption, "8192");
    // Unchanged values for many ticks: no traffic.
    c.sim.ClearWrites();
    const int exchanges = c.sim.Exchanges();
    c.host.RunFor(5000);
    EXPECT_TRUE(c.Writes().empty());
    EXPECT_EQ(c.sim.Exchanges(), exchanges);
}

TEST(MainCycle, CommandsAreBoundedBeforeSending)
{
    const struct {
        int16_t command;
        uint8_t onGround;
        const char* sent;
    } cases[] = {
        {-7000, 1, "FSUIPC write 0x09BC 2 -5900"},
        // Airborne a reverse command becomes 0, which was sent already.
        {-7000, 0, nullptr},
        {20000, 1, "FSUIPC write 0x09BC 2 16383"},
        {20000, 0, "FSUIPC write 0x09BC 2 16383"},
        {-100, 0, nullptr},
    };
    for (const auto& k : cases) {
        Cycle c;
        c.panelBus.aircraft.set_on_ground(k.onGround);
        c.form->throttle_out_3 = k.command;
        c.Tick();
        EXPECT_EQ(c.Writes(), k.sent ? std::vector<std::string>{k.sent} : std::vector<std::string>{})
            << k.command << " ground " << int(k.onGround);
        if (!k.sent) {
            EXPECT_EQ(c.form->throttle_out_3, 0);
        }
    }
}

TEST(MainCycle, AFullReverseValueOutOfRangeIsCorrectedAndNeverGivesForwardThrust)
{
    const struct {
        const char* value;
        int16_t reverser;      // the full reverse lever's command
        const char* logLine;
    } cases[] = {
        {"-5900", 0, "CONFIG.INI [REVERSERS] FULL_REVERSE_VALUE=-5900 is outside 0..16383 - using 0"},
        {"40000", -16383, "CONFIG.INI [REVERSERS] FULL_REVERSE_VALUE=40000 is outside 0..16383 - using 16383"},
    };
    for (const auto& k : cases) {
        Rig rig;
        rig.boards.Plug(BoardKind::InterfaceKit, kKit, {}, 8);
        rig.panelBus.aircraft.set_on_ground(1);
        rig.panelBus.aircraft.set_tq_connected_seen(1);
        rig.Start(Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"},
                          {"REVERSERS", "FULL_REVERSE_VALUE", k.value}, {"REVERSERS", "REVERSER_1_OFF", "100"},
                          {"REVERSERS", "REVERSER_1_IDLE", "150"}, {"REVERSERS", "REVERSER_1_FULL", "600"}}));
        EXPECT_TRUE(rig.Logged(k.logLine)) << k.value;
        // No lever moved: nothing but zero may reach the throttle offsets.
        rig.host.RunFor(500);
        for (const FsuipcWrite& w : rig.sim.Writes())
            for (const char* offset : {"0x088C", "0x0924", "0x09BC", "0x0A54", "0x52FA", "0x52FC"})
                EXPECT_EQ(w.Text().find(std::string(offset) + " 2 "), std::string::npos)
                    << k.value << ": " << w.Text();
        // Full reverse on the ground.
        rig.sim.ClearWrites();
        rig.boards.Board(kKit).Sensor(4, 600);
        rig.host.RunFor(100);
        EXPECT_EQ(rig.form->throttle_out_1, k.reverser) << k.value;
        EXPECT_LE(rig.form->throttle_out_1, 0) << k.value;
    }
}

TEST(MainCycle, AForwardCommandFirstResetsAReversedEngineLever)
{
    Cycle c;
    c.panelBus.aircraft.set_on_ground(1);
    c.form->throttle_out_1 = -3000;
    c.Tick();
    c.sim.Poke<int16_t>(0x088C, -3000);
    c.sim.ClearWrites();
    c.form->throttle_out_1 = 100;
    c.Tick();
    EXPECT_EQ(c.Writes(), (std::vector<std::string>{"FSUIPC write 0x088C 2 0", "FSUIPC write 0x52FA 2 100"}));

    // A lever already forward is left alone.
    c.sim.ClearWrites();
    c.form->throttle_out_2 = 50;
    c.Tick();
    EXPECT_EQ(c.Writes(), std::vector<std::string>{"FSUIPC write 0x52FC 2 50"});
}

TEST(MainCycle, SpeedbrakeArmAndValueWrites)
{
    const struct {
        int16_t arm, value;
        std::vector<std::string> writes;
    } cases[] = {
        // The armed value alone writes nothing for the value; the arm
        // change writes the arm offset.
        {0, 4800, {}},
        {1, 4800, {"FSUIPC write 0x0BCC 4 1"}},
        // Armed and deployed: only the arm offset.
        {1, 6000, {"FSUIPC write 0x0BCC 4 1", "FSUIPC write 0x0BCC 4 1"}},
        {0, 6000, {"FSUIPC write 0x0BD0 4 6000", "FSUIPC write 0x0BCC 4 0"}},
    };
    for (const auto& k : cases) {
        Cycle c;
        c.form->spoiler_arm_out = k.arm;
        c.form->spoiler_out = k.value;
        c.Tick();
        EXPECT_EQ(c.Writes(), k.writes) << k.arm << " " << k.value;
        EXPECT_EQ(c.form->sender.sent.spoiler, k.value);
    }
}

TEST(MainCycle, ValueLoggingFollowsTheSetting)
{
    Cycle c(Config({{"LOG", "FSUIPC_DATA", "1"}}));
    const std::size_t mark = c.Log().size();
    c.form->throttle_out_2 = 8191;
    c.form->throttle_override[2] = 1;
    c.form->spoiler_out = 5000;
    c.Tick();
    EXPECT_EQ(c.LogSince(mark), (std::vector<std::string>{"Throttle 3 Override = 1", "Throttle 2 Value = 8191",
                                                          "Speedbrake Value = 5000"}));
    EXPECT_EQ(c.Writes().front(), "FSUIPC write 0x53FC 1 1");
}

TEST(MainCycle, RetardLatchHoldsMode3ForTheIdleTimeout)
{
    Cycle c(Config({{T, "IDLE_TIMEOUT", "3000"}}));
    c.panelBus.aircraft.set_autothrottle_mode(3);
    c.Tick();
    EXPECT_TRUE(c.form->autoThrottle.retard_latch);
    c.panelBus.aircraft.set_autothrottle_mode(0);
    // Every tick up to 3000 ms after the last mode 3 sees mode 3.
    for (int t = 100; t <= 3000; t += 100) {
        c.Tick();
        EXPECT_EQ(c.form->Aircraft.autothrottle_mode(), 3) << t;
    }
    c.Tick();   // 3100 ms: the last tick of the hold
    EXPECT_EQ(c.form->Aircraft.autothrottle_mode(), 3);
    EXPECT_FALSE(c.form->autoThrottle.retard_latch);
    c.Tick();
    EXPECT_EQ(c.form->Aircraft.autothrottle_mode(), 0);

    // 3 then 1: mode 1 at once.
    c.panelBus.aircraft.set_autothrottle_mode(3);
    c.Tick();
    c.panelBus.aircraft.set_autothrottle_mode(1);
    c.Tick();
    EXPECT_EQ(c.form->Aircraft.autothrottle_mode(), 1);
    EXPECT_FALSE(c.form->autoThrottle.retard_latch);
}

TEST(MainCycle, TheRosterIsReportedEveryTwentySeconds)
{
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, kKit);
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    rig.Start(Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"}}));
    rig.host.RunFor(200);
    // The first report goes out on the first tick.
    EXPECT_EQ(rig.Sent().back(), "HARDWARE_IO_CONNECTED=THROTTLE");
    rig.socket.ClearSent();
    rig.host.RunFor(19900);
    EXPECT_TRUE(rig.Sent().empty());
    rig.boards.Unplug(kKit);
    rig.host.RunFor(200);
    EXPECT_EQ(rig.Sent(), (std::vector<std::string>{"ZRK_TQ_CONNECTED=0", "HARDWARE_IO_DISCONNECTED=THROTTLE"}));

    // A standard CPT trim board whose type flag says standard adds nothing,
    // so its configured serial leaves the counts apart.
    Rig simple;
    simple.boards.Plug(BoardKind::Servo, 301);
    simple.Start(Config({{"PHIDGETS_SERIAL_NUMBERS", "SERVO1_CPT_TRIM", "301"},
                         {"SERVO_TYPE_ADVANCED", "SERVO1", "0"}}));
    simple.host.RunFor(200);
    EXPECT_EQ(simple.Sent().back(), "HARDWARE_IO_DISCONNECTED=THROTTLE");
}

TEST(MainCycle, TheRosterReportSurvivesTheTickCountWrap)
{
    Rig rig((uint64_t(1) << 32) - 5000);
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    rig.Start();
    rig.host.RunFor(200);
    rig.socket.ClearSent();
    rig.host.RunFor(19800);   // the count wraps in between
    EXPECT_TRUE(rig.Sent().empty());
    rig.host.RunFor(300);
    EXPECT_EQ(rig.Sent(), std::vector<std::string>{"HARDWARE_IO_CONNECTED=THROTTLE"});
}

TEST(MainCycle, FireLampsFollowTheAircraft)
{
    Cycle c;
    c.panelBus.aircraft.set_engine_fire_2(1);
    c.Tick();
    VirtualBoardState* kit = &c.boards.Board(kKit);
    EXPECT_FALSE(kit->output[0]);
    EXPECT_TRUE(kit->output[1]);
    EXPECT_EQ(c.form->Shape3.BrushColor, 13881029);
    EXPECT_EQ(c.form->Shape4.BrushColor, 255);
}

TEST(MainCycle, ALinkThatStopsAnsweringDoesNotResendUnchangedValues)
{
    Cycle c;
    c.sim.FailNextSends(1000, 0);
    c.form->throttle_out_4 = 1234;
    c.Tick();
    EXPECT_EQ(c.form->sender.sent.throttle[3], 1234);
    EXPECT_NE(c.form->FsuipcResult, 0);
    c.sim.FailNextSends(0, 0);
    c.Tick();
    EXPECT_TRUE(c.Writes().empty());
}

} // namespace
} // namespace zrk::test

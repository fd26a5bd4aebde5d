#include <gtest/gtest.h>

#include <cmath>

#include "support/Rig.h"

namespace zrk::test {
namespace {

constexpr const char* S = "PHIDGETS_SERIAL_NUMBERS";
constexpr int kKit = 100, kSpeedbrake = 201, kPair = 202, kOuter = 203, kSingle1 = 205, kSingle2 = 206;

// A 747 quadrant with every lever motor board attached and calibrated
// levers (IDLE 100, FULL 900 on throttles 1 and 2; the outer pair the other
// way round), the autothrottle engaged on both sides with a full-scale
// command of 100 from a zero of 0.
struct Quadrant : Rig {
    explicit Quadrant(std::initializer_list<std::array<const char*, 3>> extra = {})
    {
        boards.Plug(BoardKind::InterfaceKit, kKit, {}, 8);
        for (int s : {kSpeedbrake, kPair, kOuter, kSingle1, kSingle2})
            boards.Plug(BoardKind::MotorControl, s);
        std::vector<std::array<const char*, 3>> keys = {
            {"AIRCRAFT", "TYPE", "747"},          {S, "INTERFACE1", "100"},
            {S, "MOTOR1_SPEEDBRAKE", "201"},      {S, "MOTOR2_THROTTLES_1_2", "202"},
            {S, "MOTOR3_THROTTLES_3_4", "203"},   {S, "MOTOR_THROTTLE_1_SINGLE", "205"},
            {S, "MOTOR_THROTTLE_2_SINGLE", "206"}, {"THROTTLES", "THROTTLE_1_IDLE", "100"},
            {"THROTTLES", "THROTTLE_1_FULL", "900"}, {"THROTTLES", "THROTTLE_2_IDLE", "100"},
            {"THROTTLES", "THROTTLE_2_FULL", "900"}, {"THROTTLES", "THROTTLE_3_IDLE", "900"},
            {"THROTTLES", "THROTTLE_3_FULL", "100"}, {"THROTTLES", "THROTTLE_4_IDLE", "900"},
            {"THROTTLES", "THROTTLE_4_FULL", "100"}};
        keys.insert(keys.end(), extra.begin(), extra.end());
        IniFile ini = IniFile::Parse(DefaultConfigText());
        for (const auto& [section, key, value] : keys)
            ini.Write(section, key, value);
        AircraftSnapshot& a = panelBus.aircraft;
        a.set_tq_connected_seen(1);
        a.set_at_engaged_left(1);
        a.set_at_engaged_right(1);
        a.set_at_full_left(100);
        a.set_at_full_right(100);
        a.set_at_command_left(50);
        a.set_at_command_right(50);
        Start(ini.Text());
        host.RunFor(200);
    }
    VirtualBoardState& Board(int serial) { return boards.Board(serial); }
    // The velocity each lever motor holds: throttles 1..4 on the pair and
    // outer boards, then the two single boards.
    std::vector<double> Velocities()
    {
        // The default file wires throttles 1..4 to outputs 1, 0, 3 and 2.
        return {Board(kPair).velocity[1], Board(kPair).velocity[0], Board(kOuter).velocity[3],
                Board(kOuter).velocity[2], Board(kSingle1).velocity[0], Board(kSingle2).velocity[0]};
    }
};

TEST(AutoThrottle, EngagedLeversAreDrivenTowardTheCommandAndShowIt)
{
    Quadrant q;
    q.panelBus.aircraft.set_autothrottle_mode(2);
    q.host.RunFor(100);
    // 50 of 100: 8192 on the lever scale; levers at 0 are far below.
    for (int label : {68, 66, 65, 64})
        EXPECT_EQ(q.form->Label(label).Caption, "8192") << label;
    // Throttles 1 and 2 move up at the slow ceiling, sent as they are (the
    // default file sets their direction flags); the outer levers, calibrated
    // the other way round, run down toward their full end.
    EXPECT_EQ(q.Velocities(), (std::vector<double>{20, 20, 20, 20, 20, 20}));
    EXPECT_EQ(q.form->Label(70).Caption, "20");
    EXPECT_EQ(q.form->Label(72).Caption, "-20");
}

TEST(AutoThrottle, InhibitStopsEveryLeverMotorAndTheSpeedbrakeInTheSameTick)
{
    Quadrant q({{"SPEEDBRAKE", "SPEEDBRAKE_INSTALLED", "1"}});
    q.panelBus.aircraft.set_autothrottle_mode(1);
    q.host.RunFor(100);
    for (double v : q.Velocities())
        EXPECT_NE(v, 0);
    q.Board(kSpeedbrake).velocity[0] = 60;
    q.panelBus.aircraft.set_motors_inhibit(1);
    q.host.RunFor(100);
    EXPECT_EQ(q.Velocities(), std::vector<double>(6, 0.0));
    EXPECT_EQ(q.Board(kSpeedbrake).velocity[0], 0);
}

TEST(AutoThrottle, InhibitHoldsADeployingSpeedbrakeWhetherOrNotItIsInstalled)
{
    for (const char* installed : {"0", "1"}) {
        SCOPED_TRACE(installed);
        Quadrant q({{"SPEEDBRAKE", "SPEEDBRAKE_INSTALLED", installed},
                    {"SPEEDBRAKE", "SPEEDBRAKE_ARM", "300"},
                    {"SPEEDBRAKE", "SPEEDBRAKE_UP", "800"}});
        q.form->Button7Click();   // "Deploy"; the lever stands far from UP
        q.host.RunFor(100);
        ASSERT_EQ(q.Board(kSpeedbrake).velocity[0], -100);
        // An inhibit longer than the motion's time limit: the motor stands
        // from its first cycle to its last.
        q.panelBus.aircraft.set_motors_inhibit(1);
        for (int t = 0; t < 60; ++t) {
            q.host.RunFor(100);
            ASSERT_EQ(q.Board(kSpeedbrake).velocity[0], 0) << t;
        }
        // After it the motion, long over its limit, ends.
        q.panelBus.aircraft.set_motors_inhibit(0);
        q.host.RunFor(300);
        EXPECT_EQ(q.Board(kSpeedbrake).velocity[0], 0);
        EXPECT_FALSE(q.form->speedbrake.sb_deploy);
        EXPECT_TRUE(q.Logged("Speedbrake Stop - Motor Timeout"));
    }
}

TEST(AutoThrottle, OuterLeversEngageOnTheLeftFlagEachWithItsOwnOverride)
{
    const struct {
        uint8_t engagedLeft, engagedRight, overrideLeft, overrideRight;
        bool t3, t4;
    } rows[] = {
        {1, 0, 0, 0, true, true},
        {0, 1, 0, 0, false, false},
        {1, 1, 1, 0, false, true},
        {1, 1, 0, 1, true, false},
    };
    for (const auto& r : rows) {
        Quadrant q;
        AircraftSnapshot& a = q.panelBus.aircraft;
        a.set_autothrottle_mode(1);
        a.set_at_engaged_left(r.engagedLeft);
        a.set_at_engaged_right(r.engagedRight);
        a.set_at_override_left(r.overrideLeft);
        a.set_at_override_right(r.overrideRight);
        q.host.RunFor(100);
        const auto v = q.Velocities();
        EXPECT_EQ(v[2] != 0, r.t3) << int(r.engagedLeft) << int(r.engagedRight) << int(r.overrideLeft);
        EXPECT_EQ(v[3] != 0, r.t4) << int(r.engagedLeft) << int(r.engagedRight) << int(r.overrideRight);
    }
}

TEST(AutoThrottle, RetardHoldLastsIdleTimeoutAfterTheLastModeThreeTick)
{
    Quadrant q({{"THROTTLES", "IDLE_TIMEOUT", "3000"}});
    AircraftSnapshot& a = q.panelBus.aircraft;
    q.boards.Board(kKit).Sensor(0, 500);   // throttle 1 above idle
    a.set_autothrottle_mode(3);
    q.host.RunFor(100);
    a.set_autothrottle_mode(0);
    // Driven toward idle (0) with mode-3 behaviour until the hold ends: 30
    // ticks within 3000 ms of the last mode-3 tick, and the tick in which
    // the hold runs out still sees mode 3.
    int drivenTicks = 0, idleTicks = 0;
    for (int t = 0; t < 40; ++t) {
        q.host.RunFor(100);
        if (q.Board(kPair).velocity[1] != 0)
            ++drivenTicks;
        if (q.form->Label(68).Caption == "0")
            ++idleTicks;
    }
    EXPECT_EQ(idleTicks, 30);
    EXPECT_EQ(drivenTicks, 31);
    EXPECT_EQ(q.Board(kPair).velocity[1], 0);
    EXPECT_FALSE(q.form->autoThrottle.retard_latch);

    // Any other mode ends the hold at once.
    a.set_autothrottle_mode(3);
    q.host.RunFor(100);
    a.set_autothrottle_mode(2);
    q.host.RunFor(100);
    EXPECT_FALSE(q.form->autoThrottle.retard_latch);
}

TEST(AutoThrottle, NoScaleOrNoCalibrationStopsTheLeverWithoutFault)
{
    Quadrant q;
    AircraftSnapshot& a = q.panelBus.aircraft;
    a.set_autothrottle_mode(1);
    a.set_at_full_left(0);   // full scale equal to the zero point
    a.set_at_command_right(std::nan(""));
    q.host.RunFor(100);
    for (double v : q.Velocities())
        EXPECT_EQ(v, 0);
    EXPECT_EQ(q.form->Label(68).Caption, "0");
    EXPECT_EQ(q.form->Label(66).Caption, "0");
    for (const BoardCommand& c : q.Board(kPair).commands)
        EXPECT_TRUE(std::isfinite(c.value));
}

TEST(AutoThrottle, LampsFollowTheAircraft)
{
    Quadrant q;
    AircraftSnapshot& a = q.panelBus.aircraft;
    a.set_fuel_control_light_2(1);
    a.set_parking_brake_light(1);
    q.host.RunFor(100);
    EXPECT_EQ(q.form->fuel1.BrushColor, kLampGrey);
    EXPECT_EQ(q.form->fuel2.BrushColor, kLampRed);
    EXPECT_EQ(q.form->parkingbrake.BrushColor, kLampRed);
    a.set_parking_brake_light(0);
    q.host.RunFor(100);
    EXPECT_EQ(q.form->parkingbrake.BrushColor, kLampGrey);
}

TEST(AutoThrottle, AHeldLeverRaisesItsOverrideFlagOnlyWhileItsMotorRuns)
{
    Quadrant q({{"THROTTLES", "ENABLE_MANUAL_OVERRIDE", "1"}});
    AircraftSnapshot& a = q.panelBus.aircraft;
    a.set_autothrottle_mode(1);
    q.host.RunFor(100);
    q.sim.ClearWrites();
    q.Board(kPair).current[1] = 0.6;
    q.host.RunFor(100);
    EXPECT_EQ(q.form->throttle_override[0], 1);
    EXPECT_EQ(q.form->current1.Caption, "0.600");
    bool written = false;
    for (const FsuipcWrite& w : q.sim.Writes())
        written = written || w.Text() == "FSUIPC write 0x53FA 1 1";
    EXPECT_TRUE(written);

    // The simulator reports the override: the lever stops, the flag stays.
    a.set_at_override_left(1);
    q.host.RunFor(100);
    EXPECT_EQ(q.Board(kPair).velocity[1], 0);
    EXPECT_EQ(q.form->throttle_override[0], 1);

    // Unticked, nothing is detected.
    a.set_at_override_left(0);
    q.form->manual_override.Checked = false;
    q.Board(kPair).current[1] = 0.1;
    q.host.RunFor(200);
    EXPECT_EQ(q.form->throttle_override[0], 1);
    q.form->manual_override.Checked = true;
    q.host.RunFor(100);
    EXPECT_EQ(q.form->throttle_override[0], 0);
}

} // namespace
} // namespace zrk::test

#include <gtest/gtest.h>

#include <algorithm>

#include "support/Rig.h"

namespace zrk::test {
namespace {

constexpr const char* S = "PHIDGETS_SERIAL_NUMBERS";

TEST(Drives, SpeedbrakeButtonsLogAndDriveTheLever)
{
    Rig rig;
    rig.boards.Plug(BoardKind::MotorControl, 201);
    rig.boards.Plug(BoardKind::AdvancedServo, 304);
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    TForm1& f = rig.Start(Config({{S, "MOTOR1_SPEEDBRAKE", "201"}, {S, "SERVO4_SPEEDBRAKE", "304"},
                                  {"SPEEDBRAKE", "SPEEDBRAKE_DN", "100"}, {"SPEEDBRAKE", "SPEEDBRAKE_ARM", "300"},
                                  {"SPEEDBRAKE", "SPEEDBRAKE_UP", "800"}, {"SPEEDBRAKE", "SPEEDBRAKE_INSTALLED", "1"}}));
    rig.host.RunFor(200);
    const std::size_t mark = rig.Log().size();
    f.Button7Click();
    rig.host.RunFor(100);
    EXPECT_EQ(f.Label(59).Caption, "DEPLOY");
    EXPECT_EQ(rig.boards.Board(201).velocity[0], -100);
    // The lamps show the latch as the cycle found it: UP from the next one.
    EXPECT_EQ(f.Shape1.BrushColor, kLatchGrey);
    rig.host.RunFor(100);
    EXPECT_EQ(f.Shape1.BrushColor, kLampRed);
    f.Button8Click();
    f.Button9Click();
    rig.host.RunFor(100);
    EXPECT_EQ(f.Label(59).Caption, "STOPPED");
    EXPECT_EQ(rig.boards.Board(201).velocity[0], 0);
    f.Button3Click();
    EXPECT_EQ(f.Shape1.BrushColor, kLatchGrey);
    EXPECT_EQ(f.Shape2.BrushColor, kLampRed);
    const auto log = rig.LogSince(mark);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Speedbrake Deploy"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Speedbrake Retract"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Speedbrake Stop"), 1);
    EXPECT_GE(std::count(log.begin(), log.end(), "SB Servo Position"), 1);
}

TEST(Drives, TrimReadoutsAndIndicatorsFollowTheSimulator)
{
    Rig rig;
    rig.boards.Plug(BoardKind::MotorControl, 204);
    rig.boards.Plug(BoardKind::AdvancedServo, 301);
    rig.boards.Plug(BoardKind::AdvancedServo, 303);
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    TForm1& f = rig.Start(Config({{"AIRCRAFT", "TYPE", "737"}, {S, "MOTOR_TRIM", "204"}, {S, "SERVO1_CPT_TRIM", "301"},
                                  {S, "SERVO3_RUDDER_TRIM", "303"}}));
    rig.panelBus.simulator.set_stab_trim_value(16380);
    rig.panelBus.simulator.set_rudder_trim_value(0);
    rig.host.RunFor(200);
    EXPECT_EQ(f.Label(43).Caption, "17.00");
    EXPECT_EQ(f.Label(42).Caption, "17.00");   // not tracking: the model snaps
    // The default file's travel is 0..100: full scale is held at 99.
    EXPECT_EQ(f.Label(52).Caption, "99.00");
    EXPECT_EQ(rig.boards.Board(301).position[0], 99);
    EXPECT_EQ(f.Label(50).Caption, "0");
    EXPECT_EQ(f.Label(49).Caption, "50");
    EXPECT_EQ(rig.boards.Board(303).position[0], 50);

    // The alternate trim runs the wheel; the direction shows.
    rig.panelBus.simulator.set_altn_trim_motion(1);
    rig.host.RunFor(100);
    EXPECT_TRUE(f.Label(34).Visible);    // "BKD"
    EXPECT_FALSE(f.Label(33).Visible);
    EXPECT_GT(rig.boards.Board(204).velocity[1], 0);   // the default file's MOTOR_NUMBER
    // Gains that are no number give no speed.
    f.p_pid_p.Text = "fast";
    f.p_pid_i.Text = "";
    f.p_pid_d.Text = "1,5";
    rig.panelBus.simulator.set_altn_trim_motion(0);
    rig.host.RunFor(1000);
    rig.panelBus.simulator.set_altn_trim_motion(1);
    rig.host.RunFor(3000);
    EXPECT_EQ(rig.boards.Board(204).velocity[1], 0);
    EXPECT_FALSE(f.Label(33).Visible || f.Label(34).Visible);
}

} // namespace
} // namespace zrk::test

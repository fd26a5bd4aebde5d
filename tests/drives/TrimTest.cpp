#include <gtest/gtest.h>

#include "drives/TrimIndicators.h"
#include "drives/TrimWheel.h"

namespace zrk {
namespace {

TEST(Trim, StabUnitsAreLimitedToTheWheelsRange)
{
    const struct {
        int16_t v;
        double u;
    } rows[] = {{-6000, 0}, {-5040, 0}, {0, 4}, {2520, 6}, {16380, 17}, {20000, 17}};
    for (const auto& r : rows)
        EXPECT_DOUBLE_EQ(StabUnits(r.v), r.u) << r.v;
}

TEST(Trim, PidStep)
{
    const PidGains p{1, 0, 0};
    struct Row {
        const char* what;
        PidMemory before;
        double dt, process, setPoint, limit, nullZone;
        double out;
        PidMemory after;
    } rows[] = {
        {"dt 0 changes nothing", {0.5, 7}, 0, 4, 6, 60, 0.04, 0, {0.5, 7}},
        {"inside the dead band: no error, integral cleared", {0.2, 7}, 100, 5.97, 6, 60, 0.04, 0, {0, 0}},
        {"not saturated: the integral grows", {0, 0}, 100, 5, 6, 60, 0.04, 1, {1, 60}},
        {"saturated: the integral stays", {0, 5}, 100, 0, 100, 20, 0, 20, {100, 5}},
        {"limit is the smaller of speed max and the speed", {0, 0}, 100, 100, 0, 45.5, 0, -46, {-100, 0}},
        {"integral held within the speed", {0, 59}, 100, 5, 6, 60, 0, 1, {1, 60}},
    };
    for (const Row& r : rows) {
        PidMemory m = r.before;
        EXPECT_DOUBLE_EQ(PID_Control_Trim_Motor(m, r.dt, r.process, r.setPoint, r.limit, p, r.nullZone, 60), r.out)
            << r.what;
        EXPECT_DOUBLE_EQ(m.prevError, r.after.prevError) << r.what;
        EXPECT_DOUBLE_EQ(m.integral, r.after.integral) << r.what;
    }
    // Integral and derivative terms.
    PidMemory m{1, 10};
    EXPECT_DOUBLE_EQ(PID_Control_Trim_Motor(m, 100, 5, 6, 60, PidGains{0, 2, 100}, 0, 60), 20 + 0);
    PidMemory d{0, 0};
    EXPECT_DOUBLE_EQ(PID_Control_Trim_Motor(d, 10, 5, 6, 60, PidGains{0, 0, 100}, 0, 60), 10);
}

TEST(Trim, Smoothing)
{
    EXPECT_DOUBLE_EQ(SmoothTrimCommand(5, 20, 0), 6.6666667);
    EXPECT_DOUBLE_EQ(SmoothTrimCommand(2, 0, 1), 0.3333333);
    EXPECT_DOUBLE_EQ(SmoothTrimCommand(5, 0.2, 0), 0.2);
    EXPECT_DOUBLE_EQ(SmoothTrimCommand(2, 0, 0.5), 0);
}

// A trim wheel tracking the simulator, proportional gain 1, no dead band.
struct Wheel {
    Settings cfg;
    TrimWheel wheel;
    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    MotorChannel motor;
    uint32_t now = 100000;

    Wheel()
    {
        cfg.MOTOR_SPEED_MAX = 100;
        cfg.TRIM_NULL_ZONE = 0;
        cfg.TRIM_TIME_DELAY_BETWEEN_MOTION = 2000;
        aircraft.set_trim_speed_select(1);
    }
    TrimWheelReadouts Step(PidGains g = {1, 0, 0})
    {
        now += 100;
        return wheel.Move_Stab_Trim_Wheel(now, cfg, g, aircraft, simulator, motor);
    }
};

TEST(Trim, TheMotorReversesOnlyAfterACycleAtRest)
{
    Wheel w;
    w.aircraft.set_trim_track_request(1);
    w.simulator.set_stab_trim_value(2520);   // 6 units
    const struct {
        double position;   // model position before the step
        double passed;     // the output let through
    } rows[] = {{-14, 20}, {21, 0}, {21, 0}, {6, 0}, {21, -15}};
    for (const auto& r : rows) {
        w.wheel.trim_wheel_position = r.position;
        w.Step();
        EXPECT_DOUBLE_EQ(w.wheel.trim_last_output, r.passed == 0 && r.position == 21 ? 20 : r.passed)
            << r.position;
    }
}

TEST(Trim, TrackingSettlesOnTheSimulatorsTrimAtEverySpeed)
{
    // From 4 to a new trim; at the default gains the output saturates, and
    // a step of the model beyond the set point would hunt for ever.
    for (const int speedMax : {60, 100, 37})
        for (const int16_t trim : {2520, 2000, -3000}) {
            Wheel w;
            w.cfg.MOTOR_SPEED_MAX = speedMax;
            w.cfg.TRIM_NULL_ZONE = 0.04;
            w.aircraft.set_trim_track_request(1);
            w.Step({5000, 3, 300});   // the first step only starts the clock
            w.simulator.set_stab_trim_value(trim);
            int reversals = 0;
            double last = 0;
            for (int t = 0; t < 100; ++t) {
                const double out = w.Step({5000, 3, 300}).motorOutput;
                if ((last > 0 && out < 0) || (last < 0 && out > 0))
                    ++reversals;
                if (out != 0)
                    last = out;
            }
            EXPECT_EQ(w.wheel.trim_motor_output, 0) << speedMax << " " << trim;
            EXPECT_NEAR(w.wheel.trim_wheel_position, StabUnits(trim), 0.04) << speedMax << " " << trim;
            EXPECT_EQ(reversals, 0) << speedMax << " " << trim;
        }
}

TEST(Trim, TheAlternateTrimWaitsBeforeReversing)
{
    Wheel w;
    w.simulator.set_altn_trim_motion(1);
    EXPECT_GT(w.Step().motorOutput, 0);
    int heldBack = 0;
    while (w.wheel.trim_last_output >= 0) {
        // A fresh copy of the aircraft data each cycle.
        w.simulator.set_altn_trim_motion(2);
        w.Step();
        ++heldBack;
        ASSERT_LT(heldBack, 100);
    }
    // 2000 ms after the last step of the first direction.
    EXPECT_EQ(heldBack, 20);
    EXPECT_EQ(w.wheel.altn_trim_last, 2);
}

TEST(Trim, TrackingAfterTheAlternateTrimStartsWithoutItsError)
{
    // The alternate trim runs, pauses or not, then tracking takes over with
    // the simulator's trim standing still: the wheel must stand still too,
    // after the alternate trim's own motion has died away.
    const PidGains gains{5000, 3, 300};
    for (const int motion : {1, 2})
        for (const int pause : {0, 1, 5}) {
            SCOPED_TRACE(::testing::Message() << "motion " << motion << ", pause " << pause);
            Wheel w;
            w.cfg.MOTOR_SPEED_MAX = 60;
            w.cfg.TRIM_NULL_ZONE = 0.04;
            w.simulator.set_stab_trim_value(2520);   // 6 units
            w.simulator.set_altn_trim_motion(uint8_t(motion));
            for (int t = 0; t < 3; ++t)
                w.Step(gains);
            w.simulator.set_altn_trim_motion(0);
            for (int t = 0; t < pause; ++t)
                w.Step(gains);
            w.aircraft.set_trim_track_request(1);
            const double sign = motion == 1 ? 1 : -1;
            for (int t = 0; t < 20; ++t) {
                const double out = w.Step(gains).motorOutput;
                EXPECT_GE(out * sign, 0) << t;
                EXPECT_NEAR(w.wheel.trim_wheel_position, 6, 0.04) << t;
            }
            EXPECT_EQ(w.wheel.trim_motor_output, 0);
        }
}

TEST(Trim, TheDirectionFlagTurnsAPositiveOutputIntoFwd)
{
    for (const bool reversed : {false, true}) {
        Wheel w;
        w.cfg.TRIM_REVERSE_MOTOR_DIRECTION = reversed;
        w.simulator.set_altn_trim_motion(1);
        const TrimWheelReadouts r = w.Step();
        EXPECT_EQ(r.motorOutput > 0, !reversed);   // > 0 shows "BKD", < 0 "FWD"
    }
}

TEST(Trim, SnapsToTheSimulatorWhenNotTrackingAndHoldsStillOnHold)
{
    Wheel w;
    w.simulator.set_stab_trim_value(2520);
    EXPECT_DOUBLE_EQ(w.Step().wheelPosition, 6);
    w.aircraft.set_trim_hold(1);
    w.simulator.set_stab_trim_value(0);
    const TrimWheelReadouts r = w.Step();
    EXPECT_DOUBLE_EQ(r.wheelPosition, 6);
    EXPECT_DOUBLE_EQ(r.simulatorUnits, 4);
    EXPECT_DOUBLE_EQ(r.motorOutput, 0);
}

TEST(Trim, IndicatorWorkedValues)
{
    EXPECT_DOUBLE_EQ(StabTrimServoPosition(16380, 1, 1, 180, false), 179);   // 737: b = 179
    EXPECT_DOUBLE_EQ(StabTrimServoPosition(16380, 0, 1, 180, false), 179);   // 777: b = 202.9
    EXPECT_DOUBLE_EQ(StabTrimServoPosition(-5040, 0, 1, 180, false), 2);
    EXPECT_DOUBLE_EQ(StabTrimServoPosition(-5040, 0, 1, 180, true), 179);
    EXPECT_DOUBLE_EQ(StabTrimServoPosition(2520, 1, 1, 171, false), 61);
    EXPECT_DOUBLE_EQ(RudderTrimServoPosition(0, 1, 180, false), 91);          // 89.5 -> 90
    EXPECT_DOUBLE_EQ(RudderTrimServoPosition(-16383, 1, 180, false), 2);
    EXPECT_DOUBLE_EQ(RudderTrimServoPosition(-16383, 1, 180, true), 179);
}

} // namespace
} // namespace zrk

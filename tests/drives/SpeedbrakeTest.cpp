#include <gtest/gtest.h>

#include "app/TestHost.h"
#include "boards/VirtualBoards.h"
#include "drives/AutoThrottle.h"
#include "drives/Speedbrake.h"

namespace zrk {
namespace {

// A speedbrake lever calibrated DN 100, ARM 300, UP 800, with its motor on
// a dedicated board and an advanced latch servo.
struct Lever {
    TestHost host;
    VirtualBoardLibrary lib{host};
    std::unique_ptr<IMotorControl> motorBoard = lib.CreateMotorControl();
    std::unique_ptr<IAdvancedServo> latchBoard = lib.CreateAdvancedServo();
    std::unique_ptr<IServo> latchStandard = lib.CreateServo();
    Settings cfg;
    SpeedbrakeHardware hw;
    Speedbrake sb;
    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    SpeedbrakeInputs in;
    bool armed = false;

    explicit Lever(bool withLatch = true)
    {
        cfg.SPEEDBRAKE_DN = 100;
        cfg.SPEEDBRAKE_ARM = 300;
        cfg.SPEEDBRAKE_UP = 800;
        cfg.SPEEDBRAKE_SERVO_MIN = 1;
        cfg.SPEEDBRAKE_SERVO_MAX = 180;
        cfg.SPEEDBRAKE_MOTOR_SPEED = 60;
        cfg.SPEEDBRAKE_MAX_DEPLOY_TIME = 4000;
        cfg.SPEEDBRAKE_INSTALLED = true;
        cfg.SERVO4 = true;
        cfg.REVERSER_1_IDLE = cfg.REVERSER_2_IDLE = cfg.REVERSER_3_IDLE = cfg.REVERSER_4_IDLE = 500;
        lib.Plug(BoardKind::MotorControl, 1, "Motor");
        motorBoard->Open(1);
        if (withLatch) {
            lib.Plug(BoardKind::AdvancedServo, 2, "Latch");
            latchBoard->Open(2);
        }
        host.RunPending();
        hw.motor = MotorChannel(motorBoard.get(), 0);
        hw.latchAdvanced = ServoChannel(latchBoard.get(), 0);
        hw.latchStandard = ServoChannel(latchStandard.get(), 0);
        in.now = 50000;
        in.lever = 100;
        aircraft.set_on_ground(1);
    }
    SpeedbrakeReadouts Cycle()
    {
        SpeedbrakeReadouts out;
        sb.Cycle(cfg, in, aircraft, simulator, hw, armed, out);
        in.now += 100;
        return out;
    }
    double Velocity() { return lib.Board(1).velocity[0]; }
};

TEST(Speedbrake, LandingDeployNeedsMoreThan85)
{
    for (const double speed : {86.0, 85.0}) {
        Lever l;
        l.armed = true;
        l.in.lever = 300;
        l.simulator.set_speed_value(speed);
        // 4000 is not advanced thrust (no retract), and not below 4000.
        l.simulator.set_sim_throttle_1(4000);
        l.simulator.set_sim_throttle_2(3999);
        l.simulator.set_auto_deploy_gate(15000);
        l.Cycle();
        EXPECT_EQ(l.sb.sb_deploy, speed > 85) << speed;
        EXPECT_EQ(l.armed, speed <= 85) << speed;
    }
}

TEST(Speedbrake, ReverseThrustDeploysFrom60AndBeatsAThrustRetract)
{
    const struct {
        double speed;
        int reverser;
        int32_t throttle1;
        bool deploy;
    } rows[] = {{60, 490, 1999, true}, {59.9, 490, 1999, false}, {60, 489, 1999, false}, {60, 490, 2000, false}};
    for (const auto& r : rows) {
        Lever l;
        l.in.lever = 500;   // up: thrust on throttle 2 would retract it
        l.in.reversers[0] = r.reverser;
        l.simulator.set_speed_value(r.speed);
        l.simulator.set_sim_throttle_1(r.throttle1);
        l.simulator.set_sim_throttle_2(8000);
        l.aircraft.set_speedbrake_reverse_deploy_enable(1);
        l.Cycle();
        EXPECT_EQ(l.sb.sb_deploy, r.deploy) << r.speed << " " << r.reverser << " " << r.throttle1;
        EXPECT_EQ(l.sb.sb_retract, !r.deploy) << r.speed << " " << r.reverser << " " << r.throttle1;
    }
}

TEST(Speedbrake, ThrustRetractsOnlyWithinTheThrottleRange)
{
    for (const int32_t thrust : {4000, 4001, 16383, 16384}) {
        Lever l;
        l.in.lever = 700;
        l.simulator.set_sim_throttle_2(thrust);
        l.Cycle();
        EXPECT_EQ(l.sb.sb_retract, thrust >= 4001 && thrust <= 16383) << thrust;
    }
}

TEST(Speedbrake, MotionRunsToItsEndPointsAndTheLatchFollows)
{
    Lever l;
    l.sb.Deploy();
    l.in.lever = 500;
    SpeedbrakeReadouts r = l.Cycle();
    EXPECT_EQ(r.motionText, "DEPLOY");
    EXPECT_EQ(l.Velocity(), -100);   // up, without the direction flag
    EXPECT_EQ(l.lib.Board(2).position[0], 180);
    l.in.lever = 770;   // UP - 30: stops in this cycle
    r = l.Cycle();
    EXPECT_FALSE(l.sb.sb_deploy);
    EXPECT_EQ(l.Velocity(), 0);
    EXPECT_EQ(r.latchUpLamp, kLampRed);

    l.sb.Retract();
    l.in.lever = 500;
    l.Cycle();
    EXPECT_EQ(l.Velocity(), 100);
    // Past the arm detent the motion ends; the motor stops next cycle.
    l.in.lever = 269;
    l.Cycle();
    EXPECT_FALSE(l.sb.sb_retract);
    EXPECT_EQ(l.Velocity(), 100);
    l.Cycle();
    EXPECT_EQ(l.Velocity(), 0);

    // At the down end point the latch drops.
    l.sb.Retract();
    l.in.lever = 120;
    r = l.Cycle();
    EXPECT_FALSE(l.sb.sb_retract);
    EXPECT_EQ(l.lib.Board(2).position[0], 1);
    r = l.Cycle();
    EXPECT_EQ(r.latchUpLamp, kLatchGrey);
    EXPECT_EQ(r.latchDownLamp, kLampRed);
}

TEST(Speedbrake, AMotionShortOfItsEndStopsAfterTheTimeLimit)
{
    Lever l;
    l.armed = true;
    l.in.lever = 500;
    l.sb.Deploy();
    int cycles = 0;
    std::vector<std::string> log;
    while (l.sb.sb_deploy && cycles < 100) {
        const SpeedbrakeReadouts r = l.Cycle();
        log.insert(log.end(), r.log.begin(), r.log.end());
        ++cycles;
    }
    EXPECT_EQ(cycles, 42);   // more than 4000 ms after the start
    EXPECT_EQ(log.back(), "Speedbrake Stop - Motor Timeout");
    EXPECT_FALSE(l.armed);
    l.Cycle();
    EXPECT_EQ(l.Velocity(), 0);
}

TEST(Speedbrake, AStandingDeployReportsItsTimeOutOnce)
{
    // Reverse thrust held on the ground with the lever already up: every
    // cycle stops at the end point and deploys again, so the motion never
    // ends by itself; the time limit ends it every 4.2 s and it starts over.
    Lever l;
    l.in.lever = 800;
    l.in.reversers[0] = 500;
    l.simulator.set_speed_value(100);
    l.aircraft.set_speedbrake_reverse_deploy_enable(1);
    const auto timeOuts = [&](int cycles) {
        int lines = 0;
        for (int t = 0; t < cycles; ++t)
            for (const std::string& line : l.Cycle().log)
                lines += line == "Speedbrake Stop - Motor Timeout";
        return lines;
    };
    EXPECT_EQ(timeOuts(200), 1);   // 20 s: four time-outs
    EXPECT_TRUE(l.sb.sb_deploy);   // and the drive still deploys
    // Reverse thrust ends: the drive rests and the episode is over. The
    // next time-out is reported again.
    l.in.reversers[0] = 0;
    EXPECT_EQ(timeOuts(3), 0);
    EXPECT_FALSE(l.sb.sb_deploy);
    l.in.reversers[0] = 500;
    EXPECT_EQ(timeOuts(50), 1);
    // A test button starts a motion of its own, reported again.
    l.in.reversers[0] = 0;
    l.in.lever = 500;
    l.sb.Deploy();
    EXPECT_EQ(timeOuts(45), 1);
    EXPECT_FALSE(l.sb.sb_deploy);
}

TEST(Speedbrake, UpWithoutALatchRunsTheMotorForOneCycle)
{
    Lever l(false);
    l.sb.Up(l.cfg, l.hw);
    EXPECT_EQ(l.Velocity(), 60);
    l.Cycle();
    EXPECT_EQ(l.Velocity(), 0);
    EXPECT_FALSE(l.sb.Dn(l.cfg, l.hw));
}

TEST(Speedbrake, AReversedLatchIsUpAtItsMinimum)
{
    Lever l;
    l.cfg.REVERSE_SERVO_DIRECTION_SPEEDBRAKE = true;
    l.sb.Up(l.cfg, l.hw);
    EXPECT_EQ(l.lib.Board(2).position[0], 1);
    SpeedbrakeReadouts r = l.Cycle();
    EXPECT_EQ(r.latchUpLamp, kLampRed);
    EXPECT_TRUE(l.sb.Dn(l.cfg, l.hw));
    EXPECT_EQ(l.lib.Board(2).position[0], 180);
    r = l.Cycle();
    EXPECT_EQ(r.latchUpLamp, kLatchGrey);
}

} // namespace
} // namespace zrk

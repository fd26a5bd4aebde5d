#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/TestHost.h"
#include "app/VirtualWorld.h"
#include "boards/VirtualQuadrant.h"

namespace zrk {
namespace {

constexpr int kKit = 100, kMotor = 200;

// A kit and a two-motor board, plugged and attached, with one lever on
// input 0 moved by output 1.
struct Bench {
    TestHost host;
    VirtualBoardLibrary lib{host};
    VirtualQuadrant quadrant{lib};
    std::unique_ptr<IInterfaceKit> kit = lib.CreateInterfaceKit();
    std::unique_ptr<IMotorControl> motor = lib.CreateMotorControl();
    std::vector<int> reports;   // sensor events of input 0

    explicit Bench(int startReading = 0)
    {
        lib.Plug(BoardKind::InterfaceKit, kKit);
        lib.Plug(BoardKind::MotorControl, kMotor);
        kit->OnSensorChange = [this](int input, int value) {
            if (input == 0)
                reports.push_back(value);
        };
        kit->Open(kKit);
        motor->Open(kMotor);
        host.RunPending();
        kit->SetSensorChangeTrigger(0, 5);
        lib.Board(kKit).Sensor(0, startReading);
        host.RunPending();
        reports.clear();
        quadrant.Wire("t1", {kKit, 0, {{kMotor, 1}}});
    }
    void Run(uint64_t ms)
    {
        quadrant.Advance(ms);
        host.RunPending();
    }
    double Position() { return *quadrant.Position("t1"); }
    double Amps() { return motor->Current(1); }
};

TEST(VirtualQuadrant, VelocityMovesTheLeverAtTheStatedRate)
{
    const struct {
        double velocity;
        double acceleration;
        int start;
        uint64_t ms;
        double lo, hi;   // where the lever is then
    } cases[] = {
        // 100 % crosses the travel in 1.5 s; at acceleration 50 the motor
        // takes 0.2 s to get there, which costs 67 counts.
        {100, 50, 0, 1500, 930, 940},
        {100, 50, 0, 1620, 999.5, 1000},
        {-100, 50, 1000, 1620, 0, 0.5},
        // 50 % runs 333 counts a second (less 17 for the ramp).
        {50, 50, 100, 1000, 415, 420},
        // A low acceleration setting takes longer to get going: 15 ramps
        // to 50 % in a third of a second, which costs 56 counts.
        {50, 15, 100, 1000, 376, 381},
        {0, 50, 500, 1000, 500, 500},
    };
    for (const auto& c : cases) {
        Bench b(c.start);
        b.motor->SetAcceleration(1, c.acceleration);
        b.motor->SetVelocity(1, c.velocity);
        b.Run(c.ms);
        EXPECT_GE(b.Position(), c.lo) << c.velocity << " " << c.acceleration;
        EXPECT_LE(b.Position(), c.hi) << c.velocity << " " << c.acceleration;
    }
}

TEST(VirtualQuadrant, TheKitReportsTheLeverPastItsChangeTrigger)
{
    Bench b(100);
    b.motor->SetVelocity(1, 7);   // 46.7 counts a second
    b.Run(500);
    ASSERT_FALSE(b.reports.empty());
    // Each report is 6 counts past the one before (trigger 5), and the
    // last one follows the lever within the trigger.
    for (std::size_t i = 0; i < b.reports.size(); ++i)
        EXPECT_EQ(b.reports[i], 106 + 6 * int(i));
    EXPECT_LE(LeverReading(b.Position()) - b.reports.back(), 5);
    EXPECT_EQ(b.lib.Board(kKit).sensor[0], LeverReading(b.Position()));
}

TEST(VirtualQuadrant, CurrentRunsLowAndRisesWhenTheLeverIsBlocked)
{
    Bench b(500);
    EXPECT_EQ(b.Amps(), 0);
    // Running freely: below the default override threshold at any speed.
    for (double v : {7.0, 20.0, 50.0, 100.0, -50.0}) {
        b.quadrant.Move("t1", 500, 0);
        b.motor->SetVelocity(1, v);
        b.Run(100);
        EXPECT_GT(b.Amps(), 0) << v;
        EXPECT_LT(b.Amps(), 0.28) << v;
    }
    // Held by hand: the lever stays, the current rises; let go, it runs on.
    b.motor->SetVelocity(1, 20);
    b.quadrant.Hold("t1");
    const double held = b.Position();
    b.Run(200);
    EXPECT_EQ(b.Position(), held);
    EXPECT_GT(b.Amps(), 0.5);
    EXPECT_TRUE(b.quadrant.Held("t1"));
    b.quadrant.Release("t1");
    b.Run(200);
    EXPECT_GT(b.Position(), held);
    EXPECT_LT(b.Amps(), 0.28);
    // Against the end stop at full, and at idle.
    b.motor->SetVelocity(1, 50);
    b.Run(3000);
    EXPECT_EQ(b.Position(), 1000);
    EXPECT_GT(b.Amps(), 0.5);
    b.motor->SetVelocity(1, -50);
    b.Run(3500);
    EXPECT_EQ(b.Position(), 0);
    EXPECT_GT(b.Amps(), 0.5);
    // Stopped: no current, wherever the lever is.
    b.motor->SetVelocity(1, 0);
    b.Run(100);
    EXPECT_EQ(b.Amps(), 0);
}

TEST(VirtualQuadrant, AHandMovesTheLeverOverItsTimeSpan)
{
    Bench b(200);
    b.motor->SetVelocity(1, 50);
    b.quadrant.Move("t1", 600, 400);
    b.Run(200);
    EXPECT_DOUBLE_EQ(b.Position(), 400);   // halfway, whatever the motor does
    EXPECT_GT(b.Amps(), 0.5);
    b.Run(200);
    EXPECT_DOUBLE_EQ(b.Position(), 600);
    // Then it lets go, and the motor moves the lever again.
    b.Run(100);
    EXPECT_GT(b.Position(), 600);
    // A hand that held the lever before the move keeps it.
    b.quadrant.Hold("t1");
    b.quadrant.Move("t1", 300, 80);
    b.Run(200);
    EXPECT_DOUBLE_EQ(b.Position(), 300);
    // Beyond the travel is the end of the travel.
    b.quadrant.Move("t1", 5000, 0);
    EXPECT_DOUBLE_EQ(b.Position(), 1000);
    EXPECT_FALSE(b.quadrant.Move("t9", 100, 0));
    EXPECT_FALSE(b.quadrant.Hold("t9"));
}

TEST(VirtualQuadrant, AClosedBoardKeepsTurningAnUnpluggedOneStops)
{
    Bench b(100);
    b.motor->SetVelocity(1, 50);
    b.Run(100);
    b.motor->Close();   // the program has gone, the board keeps its velocity
    const double closedAt = b.Position();
    b.Run(300);
    EXPECT_NEAR(b.Position() - closedAt, 100, 1);
    b.lib.Unplug(kMotor);   // no power
    b.host.RunPending();
    const double unpluggedAt = b.Position();
    b.Run(300);
    EXPECT_EQ(b.Position(), unpluggedAt);
    // Plugged in again, it starts stopped.
    b.lib.Plug(BoardKind::MotorControl, kMotor);
    b.Run(300);
    EXPECT_EQ(b.Position(), unpluggedAt);
}

TEST(VirtualQuadrant, WiringIsCheckedAndTakesTheKitsReading)
{
    Bench b(321);
    EXPECT_EQ(b.quadrant.Reading("t1"), 321);
    EXPECT_FALSE(b.quadrant.Wire("bad", {kKit, 8, {}}));
    EXPECT_FALSE(b.quadrant.Wire("bad", {kKit, 0, {{kMotor, -1}}}));
    EXPECT_FALSE(b.quadrant.Has("bad"));
    // A reading set by hand puts the lever there.
    EXPECT_TRUE(b.quadrant.SetReading(kKit, 0, 640));
    EXPECT_EQ(b.quadrant.Reading("t1"), 640);
    EXPECT_FALSE(b.quadrant.SetReading(kKit, 1, 640));
    // Non-numbers on the board do not move the lever.
    b.lib.Board(kMotor).velocity[1] = std::nan("");
    b.Run(100);
    EXPECT_EQ(b.quadrant.Reading("t1"), 640);
    EXPECT_EQ(LeverReading(std::nan("")), 0);
    EXPECT_EQ(LeverReading(1e300), 1000);
}

TEST(VirtualQuadrant, ConfiguredLeversFollowTheSettings)
{
    Settings c;
    c.INTERFACE1 = 100;
    c.INTERFACE1_PBRAKE_STAB = 101;
    c.MOTOR2_THROTTLES_1_2 = 200;
    c.MOTOR_THROTTLE_2_SINGLE = 206;
    c.MOTOR1_SPEEDBRAKE = 201;
    c.THROTTLE_1_MOTOR_CHANNEL = 1;
    c.THROTTLE_2_MOTOR_CHANNEL = 0;
    c.THROTTLE_1_INPUT_CHANNEL = 0;
    c.THROTTLE_2_INPUT_CHANNEL = 1;
    c.THROTTLE_3_INPUT_CHANNEL = 2;
    c.THROTTLE_4_INPUT_CHANNEL = 3;
    c.SPEEDBRAKE_INPUT_CHANNEL = 6;
    c.SPEEDBRAKE_MOTOR_CHANNEL = 2;
    using M = VirtualQuadrant::MotorOutput;
    for (bool is747 : {false, true}) {
        const auto levers = ConfiguredLevers(c, is747);
        ASSERT_EQ(levers.size(), 5u);
        EXPECT_EQ(levers[0].first, "throttle1");
        EXPECT_EQ(levers[0].second.motors, (std::vector<M>{{200, 1}}));   // no single board 1
        EXPECT_EQ(levers[1].second.input, 1);
        EXPECT_EQ(levers[1].second.motors, (std::vector<M>{{200, 0}, {206, 0}}));
        EXPECT_TRUE(levers[2].second.motors.empty());   // no third board
        EXPECT_EQ(levers[4].first, "speedbrake");
        EXPECT_EQ(levers[4].second.kitSerial, is747 ? 101 : 100);
        EXPECT_EQ(levers[4].second.motors, (std::vector<M>{{201, 2}}));
    }
    c.INTERFACE1 = 0;
    EXPECT_EQ(ConfiguredLevers(c, true).size(), 1u);   // the 747's speedbrake on its second card
    EXPECT_TRUE(ConfiguredLevers(c, false).empty());
}

// Two controls opened on one device (the speedbrake motor on the trim
// board): each output follows whichever control commanded it last, and
// both read the device's current.
TEST(VirtualQuadrant, ADeviceOpenedTwiceFollowsTheNewerCommand)
{
    Bench b(100);
    auto second = b.lib.CreateMotorControl();
    second->Open(kMotor);
    b.host.RunPending();
    ASSERT_TRUE(second->Attached());
    b.quadrant.WireWheel("w", {kMotor, 0});
    // The lever's output 1 is commanded by the second control only; the
    // first one never touched it.
    second->SetAcceleration(1, 100);
    second->SetVelocity(1, 60);
    b.Run(500);
    // 400 counts a second, less the ramp (within the model's 8-ms steps).
    EXPECT_NEAR(b.Position(), 100 + 400 * 0.5 - 400 * 0.06 / 2, 2);
    EXPECT_GT(b.Amps(), 0);
    EXPECT_EQ(second->Current(1), b.Amps());
    // The first control takes output 1 over with a stop; output 0 (the
    // wheel) runs on the first control's command.
    b.motor->SetVelocity(1, 0);
    b.motor->SetAcceleration(0, 100);
    b.motor->SetVelocity(0, 100);
    const double stoppedAt = b.Position();
    b.Run(1000);
    EXPECT_NEAR(b.Position(), stoppedAt + 400 * 0.06 / 2, 2);   // the ramp down
    EXPECT_NEAR(*b.quadrant.WheelTurns("w"), 1.0 - 0.05, 0.01);   // a turn a second, less the ramp
    // And back: the second control's newer command wins again.
    second->SetVelocity(0, 0);
    const double turns = *b.quadrant.WheelTurns("w");
    b.Run(500);
    EXPECT_NEAR(*b.quadrant.WheelTurns("w"), turns + 0.05, 0.01);
}

TEST(VirtualQuadrant, AWheelTurnsOneTurnASecondAtFullSpeed)
{
    const struct {
        double velocity;
        uint64_t ms;
        double turns;   // after the ramp at acceleration 100: 0.1 s to full speed
    } cases[] = {
        {100, 1000, 0.95}, {100, 3100, 3.05}, {-100, 1000, -0.95}, {50, 2000, 0.9875}, {0, 1000, 0},
    };
    for (const auto& c : cases) {
        Bench b;
        ASSERT_TRUE(b.quadrant.WireWheel("trim", {kMotor, 3}));
        b.motor->SetAcceleration(3, 100);
        b.motor->SetVelocity(3, c.velocity);
        b.Run(c.ms);
        EXPECT_NEAR(*b.quadrant.WheelTurns("trim"), c.turns, 0.005) << c.velocity << " " << c.ms;
        // A wheel has no end stop: its motor draws the free-running current.
        if (c.velocity != 0) {
            EXPECT_LT(b.motor->Current(3), 0.28);
        }
    }
    Bench b;
    EXPECT_FALSE(b.quadrant.WireWheel("trim", {kMotor, 8}));
    EXPECT_FALSE(b.quadrant.WheelTurns("trim"));
    // Without power it stops; wired again it starts from 0.
    ASSERT_TRUE(b.quadrant.WireWheel("trim", {kMotor, 0}));
    b.motor->SetVelocity(0, 100);
    b.Run(500);
    b.lib.Unplug(kMotor);
    const double turns = *b.quadrant.WheelTurns("trim");
    EXPECT_GT(turns, 0.3);
    b.Run(500);
    EXPECT_EQ(*b.quadrant.WheelTurns("trim"), turns);
    b.quadrant.WireWheel("trim", {kMotor, 0});
    EXPECT_EQ(*b.quadrant.WheelTurns("trim"), 0.0);
    EXPECT_EQ(b.quadrant.Wheels(), std::vector<std::string>{"trim"});
}

TEST(VirtualQuadrant, AServoArmFollowsItsBoardAtItsSpeed)
{
    constexpr int kAdvanced = 300, kStandard = 301;
    TestHost host;
    VirtualBoardLibrary lib{host};
    VirtualQuadrant q{lib};
    lib.Plug(BoardKind::AdvancedServo, kAdvanced);
    lib.Plug(BoardKind::Servo, kStandard);
    auto advanced = lib.CreateAdvancedServo();
    auto standard = lib.CreateServo();
    advanced->Open(kAdvanced);
    standard->Open(kStandard);
    host.RunPending();
    advanced->SetPosition(0, 90);
    advanced->SetEngaged(0, true);
    ASSERT_TRUE(q.WireServo("ramped", {kAdvanced, 0}));
    ASSERT_TRUE(q.WireServo("fast", {kAdvanced, 1}));
    ASSERT_TRUE(q.WireServo("plain", {kStandard, 0}));
    EXPECT_FALSE(q.WireServo("bad", {kStandard, 8}));
    EXPECT_EQ(q.ServoAngle("ramped"), 90.0);   // where the board holds it
    EXPECT_EQ(q.ServoAngle("plain"), 0.0);

    // Ramping at 300 degrees a second; without ramping, and on the
    // standard board, at the servo's own 400.
    advanced->SetSpeedRamping(0, true);
    advanced->SetVelocityLimit(0, 300);
    advanced->SetPosition(0, 180);
    advanced->SetEngaged(1, true);
    advanced->SetVelocityLimit(1, 300);
    advanced->SetPosition(1, 180);
    standard->SetEngaged(0, true);
    standard->SetPosition(0, 180);
    q.Advance(200);
    EXPECT_NEAR(*q.ServoAngle("ramped"), 150, 1e-9);
    EXPECT_NEAR(*q.ServoAngle("fast"), 80, 1e-9);
    EXPECT_NEAR(*q.ServoAngle("plain"), 80, 1e-9);
    q.Advance(400);
    EXPECT_EQ(q.ServoAngle("ramped"), 180.0);   // and no further
    EXPECT_EQ(q.ServoAngle("plain"), 180.0);
    // A limit above the servo's own speed does not make it faster.
    advanced->SetVelocityLimit(0, 10000);
    advanced->SetPosition(0, 0);
    q.Advance(200);
    EXPECT_NEAR(*q.ServoAngle("ramped"), 100, 1e-9);
    // A disengaged servo, one whose position is no number, and one whose
    // board is unplugged stay where they are.
    standard->SetEngaged(0, false);
    standard->SetPosition(0, 20);
    lib.Board(kAdvanced).position[1] = std::nan("");
    q.Advance(200);
    EXPECT_EQ(q.ServoAngle("plain"), 180.0);
    EXPECT_EQ(q.ServoAngle("fast"), 180.0);
    lib.Unplug(kAdvanced);
    host.RunPending();
    const double ramped = *q.ServoAngle("ramped");
    q.Advance(200);
    EXPECT_EQ(q.ServoAngle("ramped"), ramped);
    EXPECT_EQ(q.Servos(), (std::vector<std::string>{"ramped", "fast", "plain"}));
}

TEST(VirtualQuadrant, ConfiguredWheelAndServosFollowTheSettings)
{
    Settings c;
    EXPECT_TRUE(ConfiguredWheels(c).empty());
    EXPECT_TRUE(ConfiguredServos(c).empty());
    c.MOTOR_TRIM = 400;
    c.MOTOR_NUMBER = 1;
    c.SERVO1_CPT_TRIM = 311;
    c.SERVO3_RUDDER_TRIM = 313;
    c.SERVO4_SPEEDBRAKE = 314;
    c.MULTI_SERVOS = 500;
    const auto wheels = ConfiguredWheels(c);
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(wheels[0].first, "trim");
    EXPECT_EQ(wheels[0].second, (VirtualQuadrant::MotorOutput{400, 1}));
    using S = VirtualQuadrant::ServoOutput;
    const std::vector<std::pair<std::string, S>> servos = {
        {"cpt", {311, 0}},       {"rudder", {313, 0}},   {"latch", {314, 0}},        {"multi-cpt", {500, 0}},
        {"multi-fo", {500, 1}}, {"multi-rudder", {500, 2}}, {"multi-latch", {500, 3}},
    };
    EXPECT_EQ(ConfiguredServos(c), servos);
}

// ---- the host's periodic step ----

struct Ticks : ITimerSink {
    std::vector<std::pair<uint64_t, TimerId>>* seen;
    TestHost* host;
    void OnTimer(TimerId id) override { seen->push_back({host->NowMs(), id}); }
};

TEST(VirtualQuadrant, TheHostStepsBesideItsTimersWithoutMovingThem)
{
    auto run = [](bool stepping) {
        TestHost host(0);
        std::vector<std::pair<uint64_t, TimerId>> seen;
        Ticks sink;
        sink.seen = &seen;
        sink.host = &host;
        host.Bind(&sink);
        host.SetTimer(TimerId::Main, true, 100);
        host.SetTimer(TimerId::Reconnect, true, 30);
        std::vector<uint64_t> steps;
        if (stepping)
            host.SetPeriodicStep(8, [&](uint64_t ms) { steps.push_back(host.NowMs() * 1000 + ms); });
        host.RunFor(250);
        return std::make_pair(seen, steps);
    };
    const auto [plain, none] = run(false);
    const auto [stepped, steps] = run(true);
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(plain, stepped);   // the same timers at the same times
    ASSERT_EQ(steps.size(), 31u);   // 8, 16, .. 248
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(steps[i], (8 * (i + 1)) * 1000 + 8);
}

// Steps that fell due while a handler slept are one step right after it.
TEST(VirtualQuadrant, TheHostStepRunsFirstAtATieAndCoversASleep)
{
    TestHost host(0);
    std::vector<std::string> order;
    struct Sink : ITimerSink {
        std::vector<std::string>* order;
        TestHost* host;
        void OnTimer(TimerId) override
        {
            order->push_back("timer " + std::to_string(host->NowMs()));
            if (host->NowMs() == 16)
                host->Sleep(30);   // a handler that blocks
        }
    } sink;
    sink.order = &order;
    sink.host = &host;
    host.Bind(&sink);
    host.SetTimer(TimerId::Main, true, 16);
    host.SetPeriodicStep(8, [&](uint64_t ms) {
        order.push_back("step " + std::to_string(host.NowMs()) + "+" + std::to_string(ms));
        host.Post([&] { order.push_back("event " + std::to_string(host.NowMs())); });
    });
    host.RunFor(56);
    EXPECT_EQ(order, (std::vector<std::string>{"step 8+8", "event 8", "step 16+8", "event 16", "timer 16",
                                               "step 46+30", "event 46", "step 48+2", "event 48", "timer 48",
                                               "step 56+8", "event 56"}));
    // Off again: nothing more.
    host.SetPeriodicStep(0, {});
    order.clear();
    host.RunFor(20);
    EXPECT_EQ(order, (std::vector<std::string>{"timer 64"}));
}

TEST(VirtualQuadrant, TheWorldsQuadrantStaysStillUntilTurnedOn)
{
    VirtualWorld world(0);
    world.boards.Plug(BoardKind::MotorControl, kMotor);
    auto motor = world.boards.CreateMotorControl();
    motor->Open(kMotor);
    world.host.RunPending();
    world.quadrant.Wire("t1", {kKit, 0, {{kMotor, 0}}});
    motor->SetVelocity(0, 30);
    world.host.RunFor(1000);
    EXPECT_EQ(world.quadrant.Position("t1"), 0.0);
    world.QuadrantOn();
    world.host.RunFor(1000);
    EXPECT_NEAR(*world.quadrant.Position("t1"), 194, 1);   // 200 less the ramp from rest
    world.QuadrantOff();
    world.host.RunFor(1000);
    EXPECT_NEAR(*world.quadrant.Position("t1"), 194, 1);
}

} // namespace
} // namespace zrk

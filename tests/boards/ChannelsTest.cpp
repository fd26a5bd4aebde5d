#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/TestHost.h"
#include "boards/Channels.h"
#include "boards/VirtualBoards.h"

namespace zrk {
namespace {

using Op = BoardCommand::Op;

struct Bench {
    TestHost host;
    VirtualBoardLibrary lib{host};
    std::unique_ptr<IMotorControl> motor = lib.CreateMotorControl();
    std::unique_ptr<IAdvancedServo> servo = lib.CreateAdvancedServo();
    std::unique_ptr<IServo> simple = lib.CreateServo();
    std::vector<std::string> log;
    ChannelLogFn sink = [this](const std::string& l) { log.push_back(l); };

    Bench()
    {
        lib.Plug(BoardKind::MotorControl, 1, "Motors");
        lib.Plug(BoardKind::AdvancedServo, 2, "Servos");
        lib.Plug(BoardKind::Servo, 3, "Simple");
        motor->Open(1);
        servo->Open(2);
        simple->Open(3);
        host.RunPending();
    }
};

TEST(Channels, CommandsReachOnlyAnAttachedWorkingBoard)
{
    Bench b;
    MotorChannel none;
    EXPECT_FALSE(none.SetVelocity(10));
    EXPECT_FALSE(none.Current().has_value());

    MotorChannel m(b.motor.get(), 1, b.sink);
    EXPECT_TRUE(m.SetVelocity(-40));
    EXPECT_EQ(b.lib.Board(1).commands, (std::vector<BoardCommand>{{Op::Velocity, 1, -40}}));
    EXPECT_EQ(m.Velocity(), -40);
    b.lib.Board(1).current[1] = 0.3;
    EXPECT_EQ(m.Current(), 0.3);

    // A board failing mid-command: nothing taken, nothing thrown.
    b.lib.Board(1).failCalls = true;
    EXPECT_FALSE(m.SetVelocity(10));
    EXPECT_FALSE(m.Current().has_value());
    b.lib.Board(1).failCalls = false;

    // Unplugged: commands do nothing until it is back.
    b.lib.Unplug(1);
    b.host.RunPending();
    EXPECT_FALSE(m.SetVelocity(20));
    EXPECT_FALSE(m.Velocity().has_value());
    b.lib.Plug(BoardKind::MotorControl, 1, "Motors");
    b.host.RunPending();
    EXPECT_TRUE(m.SetVelocity(20));
    EXPECT_TRUE(b.log.empty());
}

TEST(Channels, AValueThatIsNoNumberNeverReachesABoardAndIsLoggedOnce)
{
    Bench b;
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    MotorChannel m(b.motor.get(), 0, b.sink);
    ServoChannel s(b.servo.get(), 2, b.sink);
    EXPECT_FALSE(m.SetVelocity(nan));
    EXPECT_FALSE(m.SetVelocity(nan));
    EXPECT_FALSE(m.SetAcceleration(inf));
    EXPECT_FALSE(s.SetPosition(-inf));
    EXPECT_FALSE(s.SetRange(0, inf));
    EXPECT_TRUE(b.lib.Board(1).commands.empty());
    EXPECT_TRUE(b.lib.Board(2).commands.empty());
    EXPECT_EQ(b.log, (std::vector<std::string>{"Motors output 0: velocity nan is not a number - not sent",
                                               "Servos output 2: position -inf is not a number - not sent"}));
    // After a good value, a new bad one is reported again.
    EXPECT_TRUE(s.SetPosition(90));
    EXPECT_FALSE(s.SetPosition(inf));
    EXPECT_EQ(b.log.size(), 3u);
    EXPECT_EQ(b.lib.Board(2).commands, (std::vector<BoardCommand>{{Op::Position, 2, 90}}));
    EXPECT_THROW(RequireFinite(-inf, "servo position"), BoardError);
    EXPECT_EQ(RequireFinite(1.5, "servo position"), 1.5);
}

TEST(Channels, ASimpleServoTakesPositionsButHasNoRangeOrRamping)
{
    Bench b;
    ServoChannel s(b.simple.get(), 0, b.sink);
    EXPECT_TRUE(s.SetEngaged(true));
    EXPECT_TRUE(s.SetPosition(45));
    EXPECT_FALSE(s.SetRange(0, 180));
    EXPECT_FALSE(s.SetSpeedRamping(true));
    EXPECT_FALSE(s.SetVelocityLimit(300));
    EXPECT_EQ(b.lib.Board(3).commands,
              (std::vector<BoardCommand>{{Op::Engaged, 0, 1}, {Op::Position, 0, 45}}));
    EXPECT_EQ(s.Position(), 45);
}

} // namespace
} // namespace zrk

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "app/TestHost.h"
#include "boards/VirtualBoards.h"

namespace zrk {
namespace {

TEST(VirtualBoards, AttachHappensAsAnEventAfterOpenAndPlug)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    auto kit = lib.CreateInterfaceKit();
    int attaches = 0, detaches = 0;
    kit->OnAttach = [&] { ++attaches; };
    kit->OnDetach = [&] { ++detaches; };
    kit->Open(42);
    host.RunPending();
    EXPECT_EQ(attaches, 0);
    lib.Plug(BoardKind::InterfaceKit, 42, "Kit");
    EXPECT_FALSE(kit->Attached());   // not before the event is delivered
    host.RunPending();
    EXPECT_EQ(attaches, 1);
    EXPECT_TRUE(kit->Attached());
    EXPECT_EQ(kit->DeviceName(), "Kit");
    EXPECT_EQ(kit->SerialNumber(), 42);
    lib.Unplug(42);
    host.RunPending();
    EXPECT_EQ(detaches, 1);
    EXPECT_FALSE(kit->Attached());
}

TEST(VirtualBoards, AKindMismatchOrAClosedBoardNeverAttaches)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    lib.Plug(BoardKind::MotorControl, 7);
    auto servo = lib.CreateAdvancedServo();
    servo->Open(7);
    auto motor = lib.CreateMotorControl();
    motor->Open(7);
    motor->Close();   // before the attach event arrives
    host.RunPending();
    EXPECT_FALSE(servo->Attached());
    EXPECT_FALSE(motor->Attached());
    motor->Close();   // twice is harmless
}

TEST(VirtualBoards, SensorEventsHonourTheChangeTrigger)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    lib.Plug(BoardKind::InterfaceKit, 1);
    auto kit = lib.CreateInterfaceKit();
    std::vector<std::pair<int, int>> seen;
    std::vector<std::pair<int, bool>> inputs;
    kit->OnSensorChange = [&](int i, int v) { seen.push_back({i, v}); };
    kit->OnInputChange = [&](int i, bool v) { inputs.push_back({i, v}); };
    kit->Open(1);
    host.RunPending();
    kit->SetSensorChangeTrigger(2, 5);
    VirtualBoardState* s = lib.Find(1);
    s->Sensor(2, 5);     // moved by 5: not more than the trigger
    s->Sensor(2, 6);     // by 6 from the last report
    s->Sensor(2, 8);     // by 2 from the last report
    s->Sensor(9, 500);   // no such input
    s->Input(3, true);
    s->Input(3, true);   // no change
    host.RunPending();
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{2, 6}}));
    EXPECT_EQ(inputs, (std::vector<std::pair<int, bool>>{{3, true}}));
}

TEST(VirtualBoards, RecordsCommandsOnlyWhileAttachedAndCanFail)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    auto motor = lib.CreateMotorControl();
    motor->Open(5);
    motor->SetVelocity(0, 40);
    lib.Plug(BoardKind::MotorControl, 5);
    host.RunPending();
    motor->SetVelocity(0, -25);
    motor->SetAcceleration(1, 50);
    motor->SetVelocity(99, 10);   // out of range: ignored
    VirtualBoardState* s = lib.Find(5);
    EXPECT_EQ(s->commands, (std::vector<BoardCommand>{{BoardCommand::Op::Velocity, 0, -25},
                                                      {BoardCommand::Op::Acceleration, 1, 50}}));
    EXPECT_EQ(motor->Velocity(0), -25);
    s->current[0] = 0.4;
    EXPECT_DOUBLE_EQ(motor->Current(0), 0.4);
    s->failCalls = true;
    EXPECT_THROW(motor->SetVelocity(0, 0), BoardError);
    EXPECT_THROW(motor->Attached(), BoardError);
}

TEST(VirtualBoards, CommandsAreToldAsRepeatsOrNewsAndTheRecordStaysBounded)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    std::vector<std::pair<BoardCommand, bool>> told;
    std::vector<int> closed;
    lib.onCommand = [&](const VirtualBoardState&, const BoardCommand& c, bool repeated) {
        told.push_back({c, repeated});
    };
    lib.onClose = [&](const VirtualBoardState& b) { closed.push_back(b.deviceSerial); };
    lib.Plug(BoardKind::MotorControl, 5);
    auto motor = lib.CreateMotorControl();
    motor->Open(5);
    host.RunPending();
    using Op = BoardCommand::Op;
    motor->SetVelocity(0, 20);
    motor->SetVelocity(0, 20);    // the same again
    motor->SetVelocity(1, 20);    // another output
    motor->SetAcceleration(0, 20);   // another operation
    motor->SetVelocity(0, -20);
    motor->SetVelocity(0, std::nan(""));
    motor->SetVelocity(0, std::nan(""));
    lib.Unplug(5);   // a new session starts afresh
    host.RunPending();
    EXPECT_EQ(motor->Velocity(0), 0);   // no power, no motion
    lib.Plug(BoardKind::MotorControl, 5);
    host.RunPending();
    motor->SetVelocity(1, 20);
    ASSERT_EQ(told.size(), 8u);
    const bool repeats[] = {false, true, false, false, false, false, true, false};
    for (std::size_t i = 0; i < told.size(); ++i)
        EXPECT_EQ(told[i].second, repeats[i]) << i;
    EXPECT_EQ(told[3].first, (BoardCommand{Op::Acceleration, 0, 20}));

    // A day of commands keeps the newest only.
    VirtualBoardState* s = lib.Find(5);
    for (int i = 0; i < 100000; ++i)
        motor->SetVelocity(0, i % 100);
    EXPECT_GE(s->commands.size(), VirtualBoardState::kKeptCommands);
    EXPECT_LE(s->commands.size(), 2 * VirtualBoardState::kKeptCommands);
    EXPECT_EQ(s->commands.back(), (BoardCommand{Op::Velocity, 0, 99}));

    // Closing tells once, and only a board that was attached.
    motor->Close();
    motor->Close();
    auto never = lib.CreateMotorControl();
    never->Open(6);
    never->Close();
    EXPECT_EQ(closed, std::vector<int>{5});
}

TEST(VirtualBoards, EventsForADestroyedBoardAreDropped)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    lib.Plug(BoardKind::Servo, 3);
    {
        auto servo = lib.CreateServo();
        servo->OnAttach = [] { FAIL() << "attach after destruction"; };
        servo->Open(3);
    }
    host.RunPending();
    EXPECT_TRUE(lib.Controls().empty());
}

} // namespace
} // namespace zrk

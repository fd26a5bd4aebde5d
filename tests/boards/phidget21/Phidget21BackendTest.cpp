// The board backend over the fake phidget21 library: events marshalled onto
// the event loop, errors as BoardError with the library's words, missing
// functions, and controls closed while their events are on the way.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <numeric>
#include <set>
#include <thread>

#include "FakePhidget21.h"
#include "boards/Channels.h"
#include "drives/AutoThrottle.h"

namespace zrk::test {
namespace {

using namespace phidget21;

// The backend over the fake library, with the test host as its event loop:
// the library's threads post into it, the test thread runs it.
struct Backend {
    explicit Backend(std::unique_ptr<IDynamicLibrary> library = FakePhidget21::Load())
        : lib(std::move(library), host, [this](const std::string& line) { log.push_back(line); })
    {
    }
    // Lets the library make the callbacks asked for, then delivers them.
    void Settle()
    {
        fake.Flush();
        host.RunPending();
    }

    TestHost host;
    FakePhidget21 fake;
    std::vector<std::string> log;
    Phidget21BoardLibrary lib;
};

// Every call but the status polls, which come and go with the loop.
std::vector<std::string> Commands(FakePhidget21& fake)
{
    std::vector<std::string> out;
    for (std::string& c : fake.Calls())
        if (c.rfind("CPhidget_getDeviceStatus", 0) != 0)
            out.push_back(std::move(c));
    return out;
}

TEST(Phidget21Backend, EventsArriveOnTheLoopThreadInOrderAndCommandsReachTheBoard)
{
    Backend b;
    auto kit = b.lib.CreateInterfaceKit();
    const std::thread::id loopThread = std::this_thread::get_id();
    bool allOnLoop = true;
    std::vector<std::string> events;
    auto note = [&](const std::string& e) {
        allOnLoop = allOnLoop && std::this_thread::get_id() == loopThread;
        events.push_back(e);
    };
    auto identity = [&] { return kit->DeviceName() + " #" + std::to_string(kit->SerialNumber()); };
    kit->OnAttach = [&] { note("attach " + identity()); };
    kit->OnDetach = [&] { note("detach " + identity()); };
    kit->OnSensorChange = [&](int i, int v) { note("sensor " + std::to_string(i) + "=" + std::to_string(v)); };
    kit->OnInputChange = [&](int i, bool s) { note("input " + std::to_string(i) + "=" + std::to_string(s)); };

    kit->Open(100);
    b.fake.Plug(BoardKind::InterfaceKit, 100, "Quadrant card", 8);
    b.fake.Flush();
    // Called back already, but nothing reaches the controller before its
    // loop runs.
    EXPECT_TRUE(events.empty());
    EXPECT_FALSE(kit->Attached());
    b.host.RunPending();
    EXPECT_TRUE(kit->Attached());

    b.fake.Sensor(100, 2, 640);
    b.fake.Input(100, 5, true);
    b.fake.Sensor(100, 2, 650);
    b.Settle();
    b.fake.ClearCalls();
    kit->SetRatiometric(true);
    kit->SetSensorChangeTrigger(3, 7);
    kit->SetOutputState(1, true);
    EXPECT_EQ(kit->OutputCount(), 8);

    b.fake.Unplug(100);
    b.Settle();
    EXPECT_FALSE(kit->Attached());
    // The name and serial number stay known for the detach's log line.
    EXPECT_EQ(events, (std::vector<std::string>{"attach Quadrant card #100", "sensor 2=640", "input 5=1",
                                                "sensor 2=650", "detach Quadrant card #100"}));
    EXPECT_TRUE(allOnLoop);
    EXPECT_EQ(Commands(b.fake), (std::vector<std::string>{
                                    "CPhidgetInterfaceKit_setRatiometric 100 1",
                                    "CPhidgetInterfaceKit_setSensorChangeTrigger 100 3 7",
                                    "CPhidgetInterfaceKit_setOutputState 100 1 1",
                                    "CPhidgetInterfaceKit_getOutputCount 100",
                                    // The detach handler asks who has gone.
                                    "CPhidget_getDeviceName 100",
                                    "CPhidget_getSerialNumber 100",
                                }));
    EXPECT_TRUE(b.log.empty());
}

TEST(Phidget21Backend, RemoteOpeningPassesAddressPortSerialAndPassword)
{
    Backend b;
    auto servo = b.lib.CreateServo();
    servo->OpenRemote("192.168.1.20", 5001, 305, "");
    b.fake.Plug(BoardKind::Servo, 305);
    b.Settle();
    ASSERT_TRUE(servo->Attached());
    servo->SetEngaged(0, true);
    servo->SetPosition(0, 42.5);
    EXPECT_EQ(servo->Position(0), 42.5);
    servo->Close();
    servo->Close();   // harmless twice
    EXPECT_FALSE(servo->Attached());
    EXPECT_EQ(Commands(b.fake), (std::vector<std::string>{
                                    "CPhidgetServo_create -",
                                    "CPhidget_set_OnAttach_Handler -",
                                    "CPhidget_set_OnDetach_Handler -",
                                    "CPhidget_openRemoteIP - 305 \"192.168.1.20\" 5001 \"\"",
                                    "CPhidget_getDeviceName 305",
                                    "CPhidget_getSerialNumber 305",
                                    "CPhidgetServo_setEngaged 305 0 1",
                                    "CPhidgetServo_setPosition 305 0 42.5",
                                    "CPhidgetServo_getPosition 305 0",
                                    "CPhidget_close 305",
                                }));
}

// Four attached boards, one of each kind.
struct AllKinds : Backend {
    AllKinds()
    {
        fake.Plug(BoardKind::InterfaceKit, 100);
        fake.Plug(BoardKind::MotorControl, 200);
        fake.Plug(BoardKind::AdvancedServo, 300);
        fake.Plug(BoardKind::Servo, 400);
        kit->Open(100);
        motor->Open(200);
        advanced->Open(300);
        servo->Open(400);
        Settle();
    }
    std::unique_ptr<IInterfaceKit> kit = lib.CreateInterfaceKit();
    std::unique_ptr<IMotorControl> motor = lib.CreateMotorControl();
    std::unique_ptr<IAdvancedServo> advanced = lib.CreateAdvancedServo();
    std::unique_ptr<IServo> servo = lib.CreateServo();
};

TEST(Phidget21Backend, AFailingCallRaisesBoardErrorWithTheLibrarysDescription)
{
    const struct {
        const char* function;   // made to fail; null: the call itself is refused
        int code;
        std::function<void(AllKinds&)> call;
        const char* text;
    } cases[] = {
        {"CPhidgetMotorControl_setVelocity", kNotAttachedError, [](AllKinds& k) { k.motor->SetVelocity(0, 20); },
         "Phidget not physically attached."},
        {"CPhidgetMotorControl_getCurrent", kUnsupported, [](AllKinds& k) { k.motor->Current(1); }, "Not Supported."},
        {"CPhidgetAdvancedServo_setPositionMin", kInvalidArgument,
         [](AllKinds& k) { k.advanced->SetPositionMin(0, 1); }, "Invalid argument passed to function."},
        {"CPhidgetInterfaceKit_setOutputState", kNotAttachedError, [](AllKinds& k) { k.kit->SetOutputState(0, true); },
         "Phidget not physically attached."},
        {"CPhidgetServo_getPosition", kUnsupported, [](AllKinds& k) { k.servo->Position(0); }, "Not Supported."},
        {"CPhidget_open", kInvalidArgument, [](AllKinds& k) { k.lib.CreateMotorControl()->Open(201); },
         "Invalid argument passed to function."},
        // Refused by the board itself.
        {nullptr, kInvalidArgument, [](AllKinds& k) { k.motor->SetVelocity(0, 150); },
         "Invalid argument passed to function."},
        {nullptr, 14, [](AllKinds& k) { k.advanced->SetVelocityLimit(8, 300); }, "Index out of Bounds."},
    };
    for (const auto& c : cases) {
        AllKinds k;
        if (c.function)
            k.fake.Fail(c.function, c.code);
        try {
            c.call(k);
            ADD_FAILURE() << (c.function ? c.function : c.text) << ": no error raised";
        } catch (const Phidget21Error& e) {
            EXPECT_EQ(std::string(e.what()), c.text);
            EXPECT_EQ(e.Code(), c.code) << c.text;
        }
        // Without the library's words, the number.
        k.fake.Fail("CPhidget_getErrorDescription", kUnsupported);
        try {
            c.call(k);
            ADD_FAILURE() << c.text << ": no error raised the second time";
        } catch (const BoardError& e) {
            EXPECT_EQ(std::string(e.what()), "board library error " + std::to_string(c.code));
        }
    }
}

TEST(Phidget21Backend, ACommandToAnUnpluggedBoardDoesNothingThroughItsChannel)
{
    AllKinds k;
    MotorChannel motor(k.motor.get(), 1);
    ServoChannel servo(k.advanced.get(), 0);
    EXPECT_TRUE(motor.SetVelocity(30));
    EXPECT_TRUE(servo.SetPosition(90));
    k.fake.Unplug(200);
    k.fake.Unplug(300);
    // Gone before its detach has arrived: the board says so itself.
    k.fake.ClearCalls();
    EXPECT_FALSE(motor.SetVelocity(40));
    EXPECT_FALSE(servo.SetPosition(80));
    EXPECT_EQ(motor.Velocity(), std::nullopt);
    EXPECT_TRUE(k.fake.Calls("CPhidgetMotorControl_set").empty());
    EXPECT_TRUE(k.fake.Calls("CPhidgetAdvancedServo_set").empty());
    // Once the detach has arrived, the library is not even asked.
    k.Settle();
    k.fake.ClearCalls();
    EXPECT_FALSE(motor.SetVelocity(40));
    EXPECT_EQ(motor.Current(), std::nullopt);
    EXPECT_TRUE(k.fake.Calls().empty());
}

TEST(Phidget21Backend, AMissingFunctionIsLoggedOnceAndIdlesTheKindsThatNeedIt)
{
    Backend b(std::make_unique<Renamed>(Renamed::Names::Plain,
                                        std::set<std::string>{"CPhidgetMotorControl_setAcceleration",
                                                              "CPhidget_getErrorDescription"}));
    EXPECT_EQ(b.log, (std::vector<std::string>{
                         "Board library phidget21-test has no function CPhidget_getErrorDescription"
                         " - errors are reported by number",
                         "Board library phidget21-test has no function CPhidgetMotorControl_setAcceleration"
                         " - motor controllers stay idle",
                     }));
    EXPECT_FALSE(b.lib.Supports(BoardKind::MotorControl));
    EXPECT_TRUE(b.lib.Supports(BoardKind::InterfaceKit));

    b.fake.Plug(BoardKind::MotorControl, 200);
    b.fake.Plug(BoardKind::InterfaceKit, 100);
    auto motor = b.lib.CreateMotorControl();
    auto kit = b.lib.CreateInterfaceKit();
    motor->Open(200);
    kit->Open(100);
    b.Settle();
    EXPECT_FALSE(motor->Attached());
    EXPECT_TRUE(kit->Attached());
    EXPECT_TRUE(b.fake.Calls("CPhidgetMotorControl").empty());
    b.fake.Fail("CPhidgetInterfaceKit_setRatiometric", kNotAttachedError);
    try {
        kit->SetRatiometric(true);
        ADD_FAILURE() << "no error raised";
    } catch (const BoardError& e) {
        EXPECT_EQ(std::string(e.what()), "board library error 5");
    }
    EXPECT_EQ(b.log.size(), 2u);
}

TEST(Phidget21Backend, WithoutOpeningNoBoardCanAttach)
{
    Backend b(std::make_unique<Renamed>(Renamed::Names::Plain, std::set<std::string>{"CPhidget_open"}));
    EXPECT_EQ(b.log, std::vector<std::string>{"Board library phidget21-test has no function CPhidget_open"
                                              " - no board can attach"});
    for (BoardKind kind : {BoardKind::InterfaceKit, BoardKind::MotorControl, BoardKind::AdvancedServo, BoardKind::Servo})
        EXPECT_FALSE(b.lib.Supports(kind));
    b.fake.Plug(BoardKind::InterfaceKit, 100);
    auto kit = b.lib.CreateInterfaceKit();
    kit->Open(100);
    b.Settle();
    EXPECT_FALSE(kit->Attached());
}

TEST(Phidget21Backend, FunctionsExportedUnderStdcallDecoratedNamesAreFound)
{
    for (Renamed::Names names : {Renamed::Names::StdcallDecorated, Renamed::Names::MingwDecorated}) {
        auto renamed = std::make_unique<Renamed>(names);
        Renamed& r = *renamed;
        Backend b(std::move(renamed));
        EXPECT_TRUE(b.log.empty());
        const std::string u = names == Renamed::Names::StdcallDecorated ? "_" : "";
        for (const std::string& name :
             {u + "CPhidget_open@8", u + "CPhidget_openRemoteIP@20", u + "CPhidget_getErrorDescription@8",
              u + "CPhidgetMotorControl_setVelocity@16", u + "CPhidgetMotorControl_getCurrent@12",
              u + "CPhidgetInterfaceKit_set_OnSensorChange_Handler@12", u + "CPhidgetServo_create@4"})
            EXPECT_NE(std::find(r.asked.begin(), r.asked.end(), name), r.asked.end()) << name;
        b.fake.Plug(BoardKind::MotorControl, 200);
        auto motor = b.lib.CreateMotorControl();
        motor->Open(200);
        b.Settle();
        ASSERT_TRUE(motor->Attached());
        motor->SetVelocity(1, -25);
        EXPECT_EQ(motor->Velocity(1), -25);
    }
}

TEST(Phidget21Backend, AnUnreadableCurrentLeavesTheOverrideFlagAndIsLoggedOnce)
{
    Backend b;
    b.fake.Plug(BoardKind::MotorControl, 202);
    auto board = b.lib.CreateMotorControl();
    board->Open(202);
    b.Settle();
    LeverMotors motors;
    motors.pair[0] = MotorChannel(board.get(), 0);
    motors.pair[1] = MotorChannel(board.get(), 1);
    motors.pair[0].SetVelocity(40);
    motors.pair[1].SetVelocity(-40);
    const Settings cfg;
    std::array<uint8_t, 4> flags{};
    OverrideReadouts readouts;
    b.fake.SetCurrent(202, 0, 1.5);
    DetectManualOverride(cfg, false, motors, flags, readouts);
    EXPECT_EQ(flags, (std::array<uint8_t, 4>{1, 0, 0, 0}));

    // A board gone a moment ago is not worth a line.
    b.fake.SetCurrent(202, 0, 0);
    b.fake.Fail("CPhidgetMotorControl_getCurrent", kNotAttachedError);
    DetectManualOverride(cfg, false, motors, flags, readouts);
    EXPECT_TRUE(b.log.empty());
    // A board that cannot sense current: said once, the flags stay.
    b.fake.Fail("CPhidgetMotorControl_getCurrent", kUnsupported);
    for (int tick = 0; tick < 5; ++tick)
        DetectManualOverride(cfg, false, motors, flags, readouts);
    EXPECT_EQ(flags, (std::array<uint8_t, 4>{1, 0, 0, 0}));
    EXPECT_EQ(b.log, std::vector<std::string>{"Phidget Low Voltage Motor Controller Serial #202: motor current cannot"
                                              " be read (Not Supported.) - manual override is not detected on this"
                                              " board"});
}

TEST(Phidget21Backend, TenThousandSensorEventsFromTheReadThreadArriveInOrderAndNoneAfterTheDetach)
{
    constexpr int kEvents = 10000;
    Backend b;
    b.fake.Plug(BoardKind::InterfaceKit, 100);
    auto kit = b.lib.CreateInterfaceKit();
    kit->Open(100);
    b.Settle();
    ASSERT_TRUE(kit->Attached());

    const std::thread::id loopThread = std::this_thread::get_id();
    std::vector<int> values;
    values.reserve(kEvents);
    bool detached = false, allOnLoop = true;
    int afterDetach = 0;
    kit->OnSensorChange = [&](int input, int value) {
        allOnLoop = allOnLoop && input == 1 && std::this_thread::get_id() == loopThread;
        afterDetach += detached ? 1 : 0;
        values.push_back(value);
    };
    kit->OnDetach = [&] { detached = true; };

    // The loop runs while the read thread raises them.
    const auto start = std::chrono::steady_clock::now();
    b.fake.SensorBurst(100, 1, 0, kEvents);
    while (values.size() < std::size_t(kEvents) && std::chrono::steady_clock::now() - start < std::chrono::seconds(30)) {
        b.host.RunPending();
        std::this_thread::yield();
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::testing::Test::RecordProperty("events_per_second", std::to_string(int(kEvents / seconds)));

    // Unplugged: the read thread still has a sample on its way, which comes
    // after the detach.
    b.fake.Unplug(100);
    b.fake.Flush();
    b.fake.LateSensor(100, 1, -1);
    b.Settle();

    std::vector<int> expected(kEvents);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(values, expected);
    EXPECT_TRUE(detached);
    EXPECT_EQ(afterDetach, 0);
    EXPECT_TRUE(allOnLoop);
}

TEST(Phidget21Backend, AnAttachFromBeforeACloseDoesNotCountForTheNextOpening)
{
    Backend b;
    b.fake.Plug(BoardKind::MotorControl, 200);
    auto motor = b.lib.CreateMotorControl();
    int attaches = 0;
    motor->OnAttach = [&] { ++attaches; };
    motor->Open(200);
    b.fake.Flush();   // the attach is posted, not yet delivered
    motor->Close();
    b.fake.Unplug(200);
    motor->Open(200);
    b.Settle();
    EXPECT_EQ(attaches, 0);
    EXPECT_FALSE(motor->Attached());
    b.fake.Plug(BoardKind::MotorControl, 200);
    b.Settle();
    EXPECT_EQ(attaches, 1);
    EXPECT_TRUE(motor->Attached());
}

TEST(Phidget21Backend, ClosingWhileEventsAreOnTheWayNeverDeliversThem)
{
    Backend b;
    b.fake.Plug(BoardKind::InterfaceKit, 100);
    int lateEvents = 0, delivered = 0;
    for (int round = 0; round < 1000; ++round) {
        auto kit = b.lib.CreateInterfaceKit();
        bool closed = false;
        kit->OnSensorChange = [&](int, int value) {
            ++delivered;
            lateEvents += closed && value < 1000 ? 1 : 0;
        };
        kit->Open(100);
        b.Settle();
        ASSERT_TRUE(kit->Attached()) << round;
        b.fake.SensorBurst(100, 0, 0, 20);
        // Some delivered, some posted, some still with the library.
        b.host.RunPending();
        switch (round % 3) {
        case 0:   // destroyed at once
            kit.reset();
            closed = true;
            break;
        case 1:   // closed, then destroyed with its events still posted
            kit->Close();
            closed = true;
            b.fake.Flush();
            kit.reset();
            break;
        case 2:   // closed and opened again: the old session's events stay away
            kit->Close();
            closed = true;
            b.fake.Flush();
            kit->Open(100);
            b.Settle();
            EXPECT_TRUE(kit->Attached()) << round;
            b.fake.Sensor(100, 0, 1000);
            break;
        }
        b.Settle();
    }
    EXPECT_EQ(lateEvents, 0);
    EXPECT_GT(delivered, 0);
}

} // namespace
} // namespace zrk::test

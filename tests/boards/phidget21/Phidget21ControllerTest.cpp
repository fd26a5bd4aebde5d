// The whole controller on the board backend over the fake library, and the
// program's choice of its board library.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "FakePhidget21.h"

namespace zrk::test {
namespace {

constexpr const char* S = "PHIDGETS_SERIAL_NUMBERS";

// Whether `expected` occurs in `calls` in this order, other calls between.
bool InOrder(const std::vector<std::string>& calls, const std::vector<std::string>& expected)
{
    auto at = calls.begin();
    for (const std::string& e : expected) {
        at = std::find(at, calls.end(), e);
        if (at == calls.end())
            return false;
        ++at;
    }
    return true;
}

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(Phidget21Controller, ALeverMovedOnARealBoardReachesTheSimulator)
{
    RealBoardsRig rig;
    ASSERT_NE(dynamic_cast<Phidget21BoardLibrary*>(rig.library.get()), nullptr);
    rig.fake.Plug(BoardKind::InterfaceKit, 100, "Phidget InterfaceKit 8/8/8");
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    rig.Start(Config({{S, "INTERFACE1", "100"}, {"THROTTLES", "THROTTLE_1_IDLE", "100"},
                      {"THROTTLES", "THROTTLE_1_FULL", "900"}, {"THROTTLES", "CHANGE_TRIGGER_VALUE", "3"}}));
    rig.Settle(200);

    // The attach handler put the card into its working state.
    EXPECT_TRUE(Has(rig.Log(), "Phidget InterfaceKit 8/8/8 Connected. Serial #100"));
    EXPECT_TRUE(InOrder(rig.fake.Calls(), {
                                              "CPhidget_open - 100",
                                              "CPhidgetInterfaceKit_setRatiometric 100 1",
                                              "CPhidgetInterfaceKit_setSensorChangeTrigger 100 0 3",
                                              "CPhidgetInterfaceKit_setSensorChangeTrigger 100 3 3",
                                              "CPhidgetInterfaceKit_setSensorChangeTrigger 100 4 5",
                                              "CPhidgetInterfaceKit_setSensorChangeTrigger 100 7 5",
                                          }));

    rig.sim.ClearWrites();
    rig.fake.Sensor(100, 0, 500);
    rig.Settle(100);
    std::vector<std::string> writes;
    for (const FsuipcWrite& w : rig.sim.Writes())
        writes.push_back(w.Text());
    EXPECT_EQ(writes, std::vector<std::string>{"FSUIPC write 0x52FA 2 8192"});
    EXPECT_EQ(rig.form->TrackBar(1).Position, 500);
}

TEST(Phidget21Controller, ABoardUnpluggedMidDriveIsLeftAloneAndSetUpAgainWhenItReturns)
{
    RealBoardsRig rig;
    rig.fake.Plug(BoardKind::MotorControl, 204);
    rig.fake.Plug(BoardKind::AdvancedServo, 301);
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    rig.Start(Config({{"AIRCRAFT", "TYPE", "737"}, {S, "MOTOR_TRIM", "204"}, {S, "SERVO1_CPT_TRIM", "301"}}));
    rig.Settle(200);
    const std::vector<std::string> servoSetUp = {
        "CPhidgetAdvancedServo_setPositionMin 301 0 1",  "CPhidgetAdvancedServo_setPositionMax 301 0 180",
        "CPhidgetAdvancedServo_setEngaged 301 0 1",      "CPhidgetAdvancedServo_setSpeedRampingOn 301 0 1",
        "CPhidgetAdvancedServo_setVelocityLimit 301 0 300",
    };
    ASSERT_TRUE(InOrder(rig.fake.Calls(), servoSetUp));

    // The alternate trim runs the wheel's motor.
    rig.panelBus.simulator.set_altn_trim_motion(1);
    rig.Settle(300);
    const auto driven = rig.fake.Calls("CPhidgetMotorControl_setVelocity 204 1 ");
    ASSERT_FALSE(driven.empty());
    EXPECT_NE(driven.back(), "CPhidgetMotorControl_setVelocity 204 1 0");

    rig.fake.Unplug(204);
    rig.fake.Unplug(301);
    rig.Settle(100);
    const auto log = rig.Log();
    EXPECT_TRUE(Has(log, "Phidget Low Voltage Motor Controller Disconnected. Serial #204 Trim Motor"));
    EXPECT_TRUE(Has(log, "Phidget Advanced Servo Controller 8-motor Disconnected. Serial #301 CPT Trim"));
    // Still driving, but nothing goes to the boards that are gone.
    rig.fake.ClearCalls();
    rig.Settle(2000);
    EXPECT_TRUE(rig.fake.Calls("CPhidgetMotorControl").empty());
    EXPECT_TRUE(rig.fake.Calls("CPhidgetAdvancedServo").empty());

    rig.fake.Plug(BoardKind::MotorControl, 204);
    rig.fake.Plug(BoardKind::AdvancedServo, 301);
    rig.Settle(300);
    EXPECT_TRUE(Has(rig.Log(), "Phidget Advanced Servo Controller 8-motor Connected. Serial #301 CPT Trim"));
    EXPECT_TRUE(InOrder(rig.fake.Calls(), servoSetUp));
    const auto resumed = rig.fake.Calls("CPhidgetMotorControl_setVelocity 204 1 ");
    ASSERT_FALSE(resumed.empty());
    EXPECT_NE(resumed.back(), "CPhidgetMotorControl_setVelocity 204 1 0");
}

// The program's choice: forced virtual boards, the library beside the
// program, one that is missing, one that is damaged. Exactly one line each.
TEST(Phidget21Controller, TheProgramSaysInOneLineWhichBoardLibraryItUses)
{
    namespace fs = std::filesystem;
    const fs::path damaged = fs::temp_directory_path() / ("zrk-damaged-" + FakePhidget21::File());
    std::ofstream(damaged, std::ios::binary) << "not a library";
    const std::string here = ExecutableFolder();
    const struct {
        bool virtualBoards;
        std::string folder, file;
        bool real;
        std::string line;   // the start of the one line logged
    } cases[] = {
        {true, here, FakePhidget21::File(), false, "Virtual boards chosen (--virtual-boards) - boards stay idle"},
        {false, here, FakePhidget21::File(), true, "Board library "},
        {false, here, "zrk-no-such-board-library", false,
         "Board library zrk-no-such-board-library not found (beside the program or on the system's library path)"
         " - boards stay idle"},
        {false, damaged.parent_path().string(), damaged.filename().string(), false,
         "Board library " + damaged.string() + " could not be loaded ("},
    };
    for (const auto& c : cases) {
        TestHost host;
        std::vector<std::string> log;
        auto library = MakeBoardLibrary(host, c.virtualBoards, [&](const std::string& l) { log.push_back(l); },
                                        c.folder, c.file);
        ASSERT_TRUE(library);
        EXPECT_EQ(dynamic_cast<Phidget21BoardLibrary*>(library.get()) != nullptr, c.real) << c.line;
        ASSERT_EQ(log.size(), 1u) << c.line;
        EXPECT_EQ(log[0].substr(0, c.line.size()), c.line);
        if (c.real) {
            const std::string loaded = FakePhidget21::File() + " loaded";
            EXPECT_EQ(log[0].substr(log[0].size() - std::min(log[0].size(), loaded.size())), loaded);
        }
    }
    fs::remove(damaged);
}

TEST(Phidget21Controller, WithoutTheLibraryTheControllerRunsOnIdleBoards)
{
    VirtualWorld world;
    std::vector<std::string> libraryLog;
    auto library = MakeBoardLibrary(world.host, false, [&](const std::string& l) { libraryLog.push_back(l); },
                                    ExecutableFolder(), "zrk-no-such-board-library");
    EXPECT_EQ(libraryLog.size(), 1u);
    world.files.Put(kConfigPath, Config({{S, "INTERFACE1", "100"}, {S, "MOTOR_TRIM", "204"}}));
    TForm1 form(Ports{world.host, world.host, world.process, world.dialogs, world.files, *library, kExeFolder,
                      world.socket, world.panelBus, world.sim});
    world.host.Bind(&form);
    form.FormCreate();
    world.host.RunFor(5000);
    const auto lines = form.Memo1.Lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("Waiting for Devices to Connect...") != std::string::npos; }));
    EXPECT_FALSE(std::any_of(lines.begin(), lines.end(),
                             [](const std::string& l) { return l.find("Connected. Serial") != std::string::npos; }));
    EXPECT_TRUE(form.FormCloseQuery());
    form.FormClose();
    form.FormDestroy();
}

} // namespace
} // namespace zrk::test

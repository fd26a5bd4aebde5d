// The list of attached boards over the fake phidget21 library's manager:
// its callbacks marshalled onto the event loop, a library without the
// manager, and the boards report and the roster's kind check on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "FakePhidget21.h"
#include "app/BoardsReport.h"
#include "boards/BoardManager.h"

namespace zrk::test {
namespace {

using K = BoardKind;

struct Backend {
    explicit Backend(std::unique_ptr<IDynamicLibrary> library = FakePhidget21::Load())
        : lib(std::move(library), host, [this](const std::string& line) { log.push_back(line); })
    {
    }
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

std::vector<int> Serials(const IBoardManager& m)
{
    std::vector<int> out;
    for (const AttachedBoard& b : m.Boards())
        out.push_back(b.serial);
    return out;
}

TEST(Phidget21Manager, ListsEveryBoardAndFollowsAttachAndDetachOnTheLoopThread)
{
    Backend b;
    b.fake.PlugBoard(K::MotorControl, 200, "Motor board", 104);
    b.fake.PlugBoard(std::nullopt, 900, "Badge reader", 201);
    auto manager = b.lib.CreateManager();
    ASSERT_TRUE(manager->Available());
    // The boards there already are listed at once, and read through the
    // array the library hands out (and frees).
    EXPECT_EQ(manager->Boards(), (std::vector<AttachedBoard>{{200, K::MotorControl, "Motor board", 104},
                                                             {900, std::nullopt, "Badge reader", 201}}));
    EXPECT_EQ(b.fake.Calls("CPhidgetManager_").size(), 6u);
    EXPECT_EQ(b.fake.Calls("CPhidgetManager_freeAttachedDevicesArray").size(), 1u);

    const std::thread::id loopThread = std::this_thread::get_id();
    bool allOnLoop = true;
    std::vector<std::string> events;
    manager->Watch([&](const AttachedBoard& board, bool attached) {
        allOnLoop = allOnLoop && std::this_thread::get_id() == loopThread;
        events.push_back((attached ? "+" : "-") + std::to_string(board.serial) + " " + BoardKindName(board.kind));
    });
    // The library calls back the boards it found: they are listed already.
    b.Settle();
    EXPECT_TRUE(events.empty());

    b.fake.PlugBoard(K::AdvancedServo, 300, nullptr, 313);
    b.fake.PlugBoard(K::InterfaceKit, 100, nullptr, 825);
    b.fake.Flush();
    // Called back already, but the list changes only when the loop runs.
    EXPECT_EQ(Serials(*manager), (std::vector<int>{200, 900}));
    b.host.RunPending();
    EXPECT_EQ(Serials(*manager), (std::vector<int>{100, 200, 300, 900}));
    EXPECT_EQ(manager->Boards()[0], (AttachedBoard{100, K::InterfaceKit, "Phidget InterfaceKit 8/8/8", 825}));

    b.fake.Unplug(200);
    b.Settle();
    EXPECT_EQ(Serials(*manager), (std::vector<int>{100, 300, 900}));
    EXPECT_EQ(events, (std::vector<std::string>{"+300 advanced servo board", "+100 interface kit",
                                                "-200 motor controller"}));
    EXPECT_TRUE(allOnLoop);
}

TEST(Phidget21Manager, AManagerDestroyedWhileItsEventsAreOnTheWayNeverSeesThem)
{
    Backend b;
    auto manager = b.lib.CreateManager();
    int events = 0;
    manager->Watch([&](const AttachedBoard&, bool) { ++events; });
    for (int serial = 1; serial <= 50; ++serial)
        b.fake.Plug(K::MotorControl, serial);
    b.fake.Flush();
    manager.reset();
    b.host.RunPending();
    EXPECT_EQ(events, 0);
    // The library's handle was closed and deleted: the fake's own check at
    // the end of the test finds no handle alive.
    EXPECT_EQ(b.fake.Calls("CPhidgetManager_delete").size(), 1u);
}

TEST(Phidget21Manager, ALibraryWithoutTheManagerSaysSoOnceAndStillDrivesItsBoards)
{
    Backend b(std::make_unique<Renamed>(
        Renamed::Names::Plain,
        std::set<std::string>{"CPhidgetManager_open", "CPhidgetManager_getAttachedDevices", "CPhidget_getDeviceClass"}));
    EXPECT_EQ(b.log, std::vector<std::string>{"Board library phidget21-test has no functions CPhidget_getDeviceClass, "
                                              "CPhidgetManager_open and CPhidgetManager_getAttachedDevices - the list "
                                              "of attached boards is unavailable"});
    EXPECT_FALSE(b.lib.SupportsManager());
    for (int i = 0; i < 2; ++i) {
        auto manager = b.lib.CreateManager();
        EXPECT_FALSE(manager->Available());
        EXPECT_TRUE(manager->Boards().empty());
        EXPECT_EQ(BoardsReport(*manager, Settings{}), "The board library cannot list the attached boards\n");
    }
    EXPECT_EQ(b.log.size(), 1u);
    EXPECT_TRUE(b.fake.Calls("CPhidgetManager_").empty());

    b.fake.Plug(K::InterfaceKit, 100);
    auto kit = b.lib.CreateInterfaceKit();
    kit->Open(100);
    b.Settle();
    EXPECT_TRUE(kit->Attached());
}

TEST(Phidget21Manager, WithoutTheVersionFunctionBoardsAreListedWithoutVersion)
{
    Backend b(std::make_unique<Renamed>(Renamed::Names::Plain, std::set<std::string>{"CPhidget_getDeviceVersion"}));
    EXPECT_TRUE(b.log.empty());
    b.fake.PlugBoard(K::Servo, 400, nullptr, 313);
    auto manager = b.lib.CreateManager();
    ASSERT_EQ(manager->Boards().size(), 1u);
    EXPECT_EQ(manager->Boards()[0].version, 0);
    EXPECT_EQ(manager->Boards()[0].kind, K::Servo);
}

TEST(Phidget21Manager, AManagerTheLibraryCannotStartIsLoggedWithTheLibrarysReason)
{
    for (const char* function : {"CPhidgetManager_create", "CPhidgetManager_set_OnAttach_Handler", "CPhidgetManager_open"}) {
        Backend b;
        b.fake.Fail(function, 3);
        auto manager = b.lib.CreateManager();
        EXPECT_FALSE(manager->Available()) << function;
        EXPECT_EQ(b.log, std::vector<std::string>{"The board library could not list the attached boards: Unexpected "
                                                  "Error. Contact Phidgets Inc. for support."})
            << function;
        b.fake.Fail(function, 0);
        b.fake.Plug(K::MotorControl, 5);
        b.Settle();
        EXPECT_TRUE(manager->Boards().empty()) << function;
    }
}

// Six boards: three configured (one of them of the wrong kind for its
// role), three not; and a configured board that is not there.
struct ReportRig : Backend {
    ReportRig()
    {
        LoadDefaults(settings);
        settings.INTERFACE1 = 100;
        settings.MOTOR2_THROTTLES_1_2 = 202;
        settings.MOTOR_TRIM = 150;       // an interface kit
        settings.SERVO1_CPT_TRIM = 301;  // not plugged yet
        settings.SERVO1 = true;          // an advanced one, as the default file says
        fake.PlugBoard(K::InterfaceKit, 100, "Quadrant card", 825);
        fake.PlugBoard(K::MotorControl, 202, "Throttle board", 104);
        fake.PlugBoard(K::InterfaceKit, 150, "Spare card", 825);
        fake.PlugBoard(K::MotorControl, 203, "Spare motors", 104);
        fake.PlugBoard(K::AdvancedServo, 305, "Servo board", 313);
        fake.PlugBoard(std::nullopt, 900, "Badge reader", 201);
        manager = lib.CreateManager();
        Settle();
    }
    ~ReportRig() { manager.reset(); }
    std::string Report() const { return BoardsReport(*manager, settings); }

    Settings settings;
    std::unique_ptr<IBoardManager> manager;
};

TEST(Phidget21Manager, TheBoardsReportTellsEachBoardsRoleAndEveryMissingOrWrongRole)
{
    ReportRig r;
    EXPECT_EQ(r.Report(),
              "6 boards attached\n"
              "#100  interface kit  \"Quadrant card\" v825  -> Main interface card (888) [INTERFACE1]\n"
              "#150  interface kit  \"Spare card\" v825  -> unassigned (named for Trim wheel motor [MOTOR_TRIM], "
              "which takes motor controller)\n"
              "#202  motor controller  \"Throttle board\" v104  -> Throttle motors 1+2 [MOTOR2_THROTTLES_1_2]\n"
              "#203  motor controller  \"Spare motors\" v104  -> unassigned\n"
              "#305  advanced servo board  \"Servo board\" v313  -> unassigned\n"
              "#900  other board  \"Badge reader\" v201  -> unassigned\n"
              "wrong kind: Trim wheel motor (MOTOR_TRIM=150): board 150 is interface kit, not motor controller - it "
              "is not driven as Trim wheel motor\n"
              "missing: Captain's trim indicator [SERVO1_CPT_TRIM] board #301 is not attached\n");
    const BoardsMatch m = MatchBoards(r.manager->Boards(), r.settings);
    EXPECT_EQ(MissingBoardsHint(m),
              "2 configured boards are not found (Trim wheel motor #150, Captain's trim indicator #301) while 2 "
              "unassigned boards that could fill them are attached - open the Boards window to assign them");
}

TEST(Phidget21Manager, TheBoardsReportFollowsBoardsAsTheyComeAndGo)
{
    ReportRig r;
    r.fake.Unplug(202);
    r.fake.PlugBoard(K::Servo, 301, "Trim servo", 313);   // SERVO1=1: the roster opens an advanced one
    r.Settle();
    const std::string report = r.Report();
    EXPECT_NE(report.find("missing: Throttle motors 1+2 [MOTOR2_THROTTLES_1_2] board #202 is not attached\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("#202"), report.find("#202 is not attached")) << "no board line for #202";
    EXPECT_NE(report.find("wrong kind: Captain's trim indicator (SERVO1_CPT_TRIM=301): board 301 is servo board, "
                          "not advanced servo board - it is not driven as Captain's trim indicator; set "
                          "[SERVO_TYPE_ADVANCED] SERVO1=0 to use it\n"),
              std::string::npos)
        << report;

    r.settings.SERVO1 = false;
    r.settings.MOTOR_TRIM = 203;
    r.fake.PlugBoard(K::MotorControl, 202, "Throttle board", 104);
    r.Settle();
    EXPECT_EQ(r.Report(),
              "7 boards attached\n"
              "#100  interface kit  \"Quadrant card\" v825  -> Main interface card (888) [INTERFACE1]\n"
              "#150  interface kit  \"Spare card\" v825  -> unassigned\n"
              "#202  motor controller  \"Throttle board\" v104  -> Throttle motors 1+2 [MOTOR2_THROTTLES_1_2]\n"
              "#203  motor controller  \"Spare motors\" v104  -> Trim wheel motor [MOTOR_TRIM]\n"
              "#301  servo board  \"Trim servo\" v313  -> Captain's trim indicator [SERVO1_CPT_TRIM]\n"
              "#305  advanced servo board  \"Servo board\" v313  -> unassigned\n"
              "#900  other board  \"Badge reader\" v201  -> unassigned\n"
              "Every configured board is attached\n");
}

// The whole controller on the fake: a motor role configured with an
// interface kit's serial. The library never pairs the motor control with
// the kit, so no motor command goes to it; the roster says so in the log.
TEST(Phidget21Manager, TheRosterNeverDrivesAnInterfaceKitAsItsMotorRole)
{
    RealBoardsRig rig;
    rig.fake.Plug(K::InterfaceKit, 100);
    rig.fake.Plug(K::InterfaceKit, 202);
    TForm1& form = rig.Start(Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"},
                                     {"PHIDGETS_SERIAL_NUMBERS", "MOTOR2_THROTTLES_1_2", "202"}}));
    auto manager = rig.library->CreateManager();
    form.roster.WatchKinds(*manager);
    rig.Settle(3000);
    EXPECT_FALSE(form.roster.PhidgetMotorControl2->Attached());
    EXPECT_TRUE(rig.fake.Calls("CPhidgetMotorControl_setVelocity 202").empty());
    EXPECT_TRUE(rig.fake.Calls("CPhidgetMotorControl_setAcceleration 202").empty());
    const std::vector<std::string> log = rig.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "Throttle motors 1+2 (MOTOR2_THROTTLES_1_2=202): board 202 is interface kit, not motor "
                         "controller - it is not driven as Throttle motors 1+2"),
              1);
    form.roster.StopWatchingKinds();
}

} // namespace
} // namespace zrk::test

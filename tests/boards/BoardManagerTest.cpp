// The list of attached boards on the virtual bus, and the roster's check of
// the configured serials against it.
#include <gtest/gtest.h>

#include <algorithm>

#include "boards/BoardManager.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

constexpr const char* S = "PHIDGETS_SERIAL_NUMBERS";
using K = BoardKind;

std::vector<int> Serials(const IBoardManager& m)
{
    std::vector<int> out;
    for (const AttachedBoard& b : m.Boards())
        out.push_back(b.serial);
    return out;
}

TEST(BoardManager, ListsWhatIsPluggedAndFollowsPlugAndUnplugAsLoopEvents)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    lib.Plug(K::MotorControl, 300, "Motors", 2, 104);
    lib.Plug(K::InterfaceKit, 100);
    auto manager = lib.CreateManager();
    ASSERT_TRUE(manager->Available());
    // What was there before it existed is listed at once, by serial.
    EXPECT_EQ(manager->Boards(), (std::vector<AttachedBoard>{{100, K::InterfaceKit, "Phidget InterfaceKit 8/8/8", 0},
                                                             {300, K::MotorControl, "Motors", 104}}));
    std::vector<std::string> events;
    manager->Watch([&](const AttachedBoard& b, bool attached) {
        events.push_back((attached ? "+" : "-") + std::to_string(b.serial));
    });

    lib.Plug(K::AdvancedServo, 200);
    EXPECT_EQ(Serials(*manager), (std::vector<int>{100, 300}));   // not before the loop runs
    host.RunPending();
    EXPECT_EQ(Serials(*manager), (std::vector<int>{100, 200, 300}));
    lib.Unplug(100);
    lib.Unplug(100);   // nothing there any more: no second event
    host.RunPending();
    EXPECT_EQ(Serials(*manager), (std::vector<int>{200, 300}));
    // A device replaced at the same serial is listed as it is now.
    lib.Plug(K::Servo, 200, "Servo");
    host.RunPending();
    EXPECT_EQ(manager->Boards().front(), (AttachedBoard{200, K::Servo, "Servo", 0}));
    EXPECT_EQ(events, (std::vector<std::string>{"+200", "-100", "+200"}));
}

TEST(BoardManager, WatchersStopWhenTheyAskAndEventsOfADestroyedManagerAreDropped)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    auto manager = lib.CreateManager();
    int first = 0, second = 0;
    const int id = manager->Watch([&](const AttachedBoard&, bool) { ++first; });
    manager->Watch([&](const AttachedBoard&, bool) { ++second; });
    lib.Plug(K::MotorControl, 1);
    host.RunPending();
    manager->Unwatch(id);
    lib.Plug(K::MotorControl, 2);
    host.RunPending();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);

    lib.Plug(K::MotorControl, 3);
    manager.reset();
    host.RunPending();   // the posted event finds no manager, and touches none
    EXPECT_EQ(second, 2);
}

TEST(BoardManager, ALibraryThatCannotListItsBoardsGivesAnUnavailableManager)
{
    struct Plain : IBoardLibrary {
        std::unique_ptr<IInterfaceKit> CreateInterfaceKit() override { return nullptr; }
        std::unique_ptr<IMotorControl> CreateMotorControl() override { return nullptr; }
        std::unique_ptr<IAdvancedServo> CreateAdvancedServo() override { return nullptr; }
        std::unique_ptr<IServo> CreateServo() override { return nullptr; }
    } plain;
    auto manager = plain.CreateManager();
    ASSERT_TRUE(manager);
    EXPECT_FALSE(manager->Available());
    EXPECT_TRUE(manager->Boards().empty());
}

// A motor role whose serial is an interface kit: the roster's motor control
// never attaches to it, no command reaches the kit, and the log says so once.
TEST(BoardManager, TheRosterNeverDrivesAWrongKindBoardAsItsRoleAndSaysSoOnce)
{
    Rig rig;
    rig.boards.Plug(K::InterfaceKit, 202, "Kit");
    rig.boards.Plug(K::InterfaceKit, 100);
    rig.Start(Config({{S, "INTERFACE1", "100"}, {S, "MOTOR2_THROTTLES_1_2", "202"}, {S, "SERVO1_CPT_TRIM", "301"}}));
    auto manager = rig.boards.CreateManager();
    rig.form->roster.WatchKinds(*manager);
    // The roster stops watching before the manager goes, whatever fails.
    struct StopWatching {
        BoardRoster& roster;
        ~StopWatching() { roster.StopWatchingKinds(); }
    } stop{rig.form->roster};
    rig.host.RunFor(2000);

    VirtualBoardState& throttles = rig.boards.Board(202);
    EXPECT_EQ(throttles.kind(), K::MotorControl);
    EXPECT_FALSE(throttles.attached());
    EXPECT_TRUE(throttles.commands.empty());
    EXPECT_FALSE(rig.form->roster.PhidgetMotorControl2->Attached());
    const std::string line = "Throttle motors 1+2 (MOTOR2_THROTTLES_1_2=202): board 202 is interface kit, not motor "
                             "controller - it is not driven as Throttle motors 1+2";
    const std::vector<std::string> log = rig.Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), line), 1);

    // A servo of the simple kind plugged where the settings take an
    // advanced one is told of as it arrives; the next arrival repeats nothing.
    const std::size_t mark = rig.Log().size();
    rig.boards.Plug(K::Servo, 301);
    rig.boards.Plug(K::MotorControl, 999);
    rig.host.RunFor(100);
    const auto added = rig.LogSince(mark);
    ASSERT_EQ(added.size(), 1u) << (added.empty() ? "" : added.back());
    EXPECT_EQ(added[0].rfind("Captain's trim indicator (SERVO1_CPT_TRIM=301): board 301 is servo board", 0), 0u)
        << added[0];
}

} // namespace
} // namespace zrk::test

// The Boards window's model on virtual boards: roles and boards listed with
// their states and kept live, assigning only fitting boards, saving exactly
// the changed serial keys, and identify moving only the chosen board, only
// after a yes, never one the controller drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/BoardsPanel.h"
#include "app/VirtualWorld.h"
#include "app/demo/DemoCockpit.h"
#include "boards/BoardRoles.h"
#include "support/Rig.h"

namespace zrk {
namespace {

constexpr const char* kPath = "/q/CONFIG.INI";

class BoardsPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Six boards: three configured (one of them of the wrong kind for
        // its role), three not.
        w.boards.Plug(BoardKind::InterfaceKit, 11001, "PhidgetInterfaceKit 8/8/8");
        w.boards.Plug(BoardKind::MotorControl, 12002, "PhidgetMotorControl HC");
        w.boards.Plug(BoardKind::InterfaceKit, 12004, "PhidgetInterfaceKit 8/8/8");
        w.boards.Plug(BoardKind::MotorControl, 12009, "PhidgetMotorControl HC");
        w.boards.Plug(BoardKind::AdvancedServo, 13009, "PhidgetAdvancedServo 8-motor");
        w.boards.Plug(BoardKind::InterfaceKit, 11009, "PhidgetInterfaceKit 8/8/8");
        s.TYPE = "777";
        s.INTERFACE1 = 11001;
        s.MOTOR2_THROTTLES_1_2 = 12002;
        s.MOTOR_TRIM = 12004;          // an interface kit: the wrong kind
        s.SERVO1_CPT_TRIM = 13001;     // not attached
        manager = w.boards.CreateManager();
        w.host.RunFor(10);
        w.files.Put(kPath, "[PHIDGETS_SERIAL_NUMBERS]\r\n; the boards\r\nMOTOR_TRIM=12004\r\nINTERFACE1=11001\r\n"
                           "MOTOR2_THROTTLES_1_2=12002\r\nSERVO1_CPT_TRIM=13001\r\n[MAIN]\r\nIDLE_TIMEOUT=6\r\n");
        panel = std::make_unique<BoardsPanel>(BoardsPanel::Ports{
            w.boards, *manager, w.dialogs, w.files, kPath, s, [this](const std::string& l) { log.push_back(l); }});
    }

    int RoleIndex(const char* key) const
    {
        const auto& roles = panel->ShownRoles();
        for (std::size_t i = 0; i < roles.size(); ++i)
            if (std::string(roles[i]->key) == key)
                return int(i);
        return -1;
    }
    int BoardIndex(int serial) const
    {
        const auto& boards = panel->Match().attached;
        for (std::size_t i = 0; i < boards.size(); ++i)
            if (boards[i].serial == serial)
                return int(i);
        return -1;
    }
    std::string RoleLine(const char* key) const
    {
        const int i = RoleIndex(key);
        return i < 0 ? "<none>" : panel->State("RoleList").lines.at(std::size_t(i));
    }
    std::string BoardLine(int serial) const
    {
        const int i = BoardIndex(serial);
        return i < 0 ? "<none>" : panel->State("BoardList").lines.at(std::size_t(i));
    }
    bool Has(const std::string& line, const char* text) const { return line.find(text) != std::string::npos; }

    VirtualWorld w;
    Settings s;
    std::unique_ptr<IBoardManager> manager;
    std::unique_ptr<BoardsPanel> panel;
    std::vector<std::string> log;
};

TEST_F(BoardsPanelTest, EveryRoleAndBoardShowsItsStateLive)
{
    const struct {
        const char* key;
        const char* words;
    } roles[] = {{"INTERFACE1", "#11001 interface kit, attached"},
                 {"MOTOR2_THROTTLES_1_2", "#12002 motor controller, attached"},
                 {"MOTOR_TRIM", "wrong kind, not driven"},
                 {"SERVO1_CPT_TRIM", "#13001 missing"},
                 {"MOTOR_THROTTLE_1_SINGLE", ": not used"}};
    for (const auto& r : roles)
        EXPECT_TRUE(Has(RoleLine(r.key), r.words)) << RoleLine(r.key);
    EXPECT_TRUE(Has(RoleLine("INTERFACE1"), "Main interface card")) << "in the builder's words";

    ASSERT_EQ(panel->State("BoardList").lines.size(), 6u);
    EXPECT_TRUE(Has(BoardLine(12002), "Throttle motors 1+2"));
    for (int serial : {12009, 13009, 11009})
        EXPECT_TRUE(Has(BoardLine(serial), ": unassigned")) << BoardLine(serial);
    EXPECT_TRUE(Has(BoardLine(12004), "another kind")) << BoardLine(12004);

    // Live: a board leaves, a missing one arrives.
    w.boards.Unplug(12002);
    w.boards.Plug(BoardKind::Servo, 13001, "PhidgetServo 1-motor");
    w.host.RunFor(10);
    EXPECT_TRUE(Has(RoleLine("MOTOR2_THROTTLES_1_2"), "missing")) << RoleLine("MOTOR2_THROTTLES_1_2");
    EXPECT_TRUE(Has(RoleLine("SERVO1_CPT_TRIM"), "attached")) << RoleLine("SERVO1_CPT_TRIM");
    EXPECT_EQ(BoardLine(12002), "<none>");
}

TEST_F(BoardsPanelTest, OnlyAFittingBoardIsAssignedAndTheSaveWritesTheSerialKeysOnly)
{
    // A kit cannot be the trim motor: Assign stays off.
    ASSERT_TRUE(panel->Select("RoleList", RoleIndex("MOTOR_TRIM")));
    ASSERT_TRUE(panel->Select("BoardList", BoardIndex(11009)));
    EXPECT_FALSE(panel->State("AssignButton").enabled);
    EXPECT_FALSE(panel->Press("AssignButton"));

    // The spare motor controller can.
    ASSERT_TRUE(panel->Select("BoardList", BoardIndex(12009)));
    ASSERT_TRUE(panel->Press("AssignButton"));
    EXPECT_TRUE(Has(RoleLine("MOTOR_TRIM"), "#12009 motor controller, attached")) << RoleLine("MOTOR_TRIM");
    EXPECT_TRUE(Has(RoleLine("MOTOR_TRIM"), "not saved"));
    EXPECT_TRUE(Has(BoardLine(12009), "Trim wheel motor")) << BoardLine(12009);
    // Clearing a role.
    ASSERT_TRUE(panel->Select("RoleList", RoleIndex("SERVO1_CPT_TRIM")));
    ASSERT_TRUE(panel->Press("ClearButton"));
    EXPECT_TRUE(Has(RoleLine("SERVO1_CPT_TRIM"), ": not used"));
    // Nothing is written before the save, nor on its "No".
    EXPECT_EQ(w.files.WriteCount(), 0);
    w.dialogs.answers = {DialogAnswer::No, DialogAnswer::Yes};
    ASSERT_TRUE(panel->Press("SaveButton"));
    EXPECT_EQ(w.files.WriteCount(), 0);
    ASSERT_TRUE(panel->Press("SaveButton"));
    EXPECT_EQ(w.dialogs.questions.back(), "Save Board Changes ?");
    const FileRead saved = w.files.Read(kPath, 1 << 20);
    EXPECT_EQ(saved.bytes, "[PHIDGETS_SERIAL_NUMBERS]\r\n; the boards\r\nMOTOR_TRIM=12009\r\nINTERFACE1=11001\r\n"
                           "MOTOR2_THROTTLES_1_2=12002\r\nSERVO1_CPT_TRIM=0\r\n[MAIN]\r\nIDLE_TIMEOUT=6\r\n");
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(Has(log.back(), "Board roles saved to /q/CONFIG.INI; restart")) << log.back();
    EXPECT_TRUE(panel->Pending().empty());
    EXPECT_FALSE(panel->State("SaveButton").enabled);
    // The running settings are the start's until the restart.
    EXPECT_EQ(s.MOTOR_TRIM, 12004);

    // A failed save says why and keeps the changes.
    panel->Select("RoleList", RoleIndex("SERVO1_CPT_TRIM"));
    panel->Select("BoardList", BoardIndex(13009));
    ASSERT_TRUE(panel->Press("AssignButton"));
    w.files.FailWrites(MemoryFileSystem::Failure::WriteTemp);
    w.dialogs.answers = {DialogAnswer::Yes};
    ASSERT_TRUE(panel->Press("SaveButton"));
    EXPECT_EQ(w.dialogs.errors.size(), 1u);
    EXPECT_FALSE(panel->Pending().empty());
}

TEST_F(BoardsPanelTest, IdentifyMovesOnlyTheChosenBoardAfterAYes)
{
    ASSERT_TRUE(panel->Select("BoardList", BoardIndex(12009)));
    w.dialogs.answers = {DialogAnswer::No};
    ASSERT_TRUE(panel->Press("IdentifyButton"));
    w.host.RunFor(50);
    EXPECT_EQ(panel->Identifying(), 0);
    EXPECT_EQ(w.boards.Find(12009), nullptr) << "opened after a no";

    w.dialogs.answers = {DialogAnswer::Yes};
    panel->Tick(1000);
    ASSERT_TRUE(panel->Press("IdentifyButton"));
    w.host.RunFor(50);
    ASSERT_NE(w.boards.Find(12009), nullptr);
    EXPECT_DOUBLE_EQ(w.boards.Board(12009).velocity[0], BoardsPanel::kIdentifyVelocity);
    EXPECT_DOUBLE_EQ(w.boards.Board(12009).velocity[1], 0);
    // Stopped when its time is up (tick counts wrap).
    panel->Tick(1000 + BoardsPanel::kIdentifyMs - 1);
    EXPECT_EQ(panel->Identifying(), 12009);
    panel->Tick(1000 + BoardsPanel::kIdentifyMs);
    EXPECT_EQ(panel->Identifying(), 0);
    EXPECT_EQ(w.boards.Find(12009), nullptr) << "closed again";

    // A board the controller drives is never moved from here, nor asked about.
    const std::size_t asked = w.dialogs.questions.size();
    ASSERT_TRUE(panel->Select("BoardList", BoardIndex(12002)));
    ASSERT_TRUE(panel->Press("IdentifyButton"));
    EXPECT_EQ(w.dialogs.questions.size(), asked);
    EXPECT_EQ(panel->Identifying(), 0);
    EXPECT_TRUE(Has(panel->State("BoardsStatus").text, "not identified from here")) << panel->State("BoardsStatus").text;

    // A kit shows its inputs, without a question; closing the window stops it.
    ASSERT_TRUE(panel->Select("BoardList", BoardIndex(11009)));
    ASSERT_TRUE(panel->Press("IdentifyButton"));
    EXPECT_EQ(w.dialogs.questions.size(), asked);
    w.host.RunFor(50);
    w.boards.Board(11009).Input(3, true);
    w.host.RunFor(10);
    EXPECT_TRUE(Has(panel->State("BoardDetail").text, "#11009 inputs")) << panel->State("BoardDetail").text;
    EXPECT_TRUE(Has(panel->State("BoardDetail").text, " - - - 1")) << panel->State("BoardDetail").text;
    panel->Closed();
    EXPECT_EQ(panel->Identifying(), 0);
    EXPECT_EQ(panel->State("BoardDetail").text, "");
}

} // namespace
} // namespace zrk

namespace zrk {
namespace {

// The controller itself: the hint line at the start, once, and the window's
// model opened and closed.
TEST(BoardsAtStart, OneHintLineWhenAFittingBoardWaitsForAMissingRole)
{
    const struct {
        int spare;          // a board plugged in but configured nowhere
        BoardKind kind;
        bool hinted;
    } rows[] = {{12009, BoardKind::MotorControl, true}, {11009, BoardKind::InterfaceKit, false}, {0, {}, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.spare);
        test::Rig rig;
        if (r.spare)
            rig.boards.Plug(r.kind, r.spare);
        TForm1& form = rig.Start("[AIRCRAFT]\r\nTYPE=777\r\n[PHIDGETS_SERIAL_NUMBERS]\r\nMOTOR_TRIM=12001\r\n");
        rig.host.RunFor(TForm1::kBoardsHintAfterMs + 500);
        auto hints = [&rig] {
            int n = 0;
            for (const std::string& l : rig.Log())
                n += l.find("open the Boards window") != std::string::npos;
            return n;
        };
        EXPECT_EQ(hints(), r.hinted ? 1 : 0);
        rig.host.RunFor(5000);
        EXPECT_EQ(hints(), r.hinted ? 1 : 0) << "once only";

        EXPECT_EQ(form.Boards(), nullptr);
        BoardsPanel& panel = form.OpenBoards();
        EXPECT_EQ(&form.OpenBoards(), &panel);
        EXPECT_EQ(panel.Match().attached.size(), r.spare ? 1u : 0u);
        form.CloseBoards();
        EXPECT_EQ(form.Boards(), nullptr);
        form.FormDestroy();
    }
}

} // namespace
} // namespace zrk

namespace zrk {
namespace {

// The virtual cockpit's boards are listed as the real ones would be: every
// board the demo plugs fills its role of the demo's CONFIG.INI.
TEST(BoardsInTheDemo, EveryVirtualBoardFillsItsRole)
{
    TestHost host;
    VirtualProcessEnv process;
    VirtualDialogs dialogs;
    MemoryFileSystem files;
    VirtualBridgeSocket socket{host, VirtualBridgeSocket::Answer::Accept};
    DemoCockpit cockpit(host, host);
    std::string error;
    ASSERT_TRUE(DemoCockpit::PrepareFolder(files, "/demo", error)) << error;
    TForm1 form(cockpit.MakePorts(host, host, process, dialogs, files, "/demo", socket, 698));
    host.Bind(&form);
    form.FormCreate();
    ASSERT_EQ(cockpit.Wire(form), "");
    host.RunFor(TForm1::kBoardsHintAfterMs + 500);
    BoardsPanel& panel = form.OpenBoards();
    ASSERT_FALSE(panel.Match().attached.empty());
    for (const AttachedBoard& b : panel.Match().attached)
        EXPECT_FALSE(panel.Match().FilledBy(b.serial).empty()) << b.serial << " " << b.name;
    for (const RoleMatch& m : panel.Match().roles)
        EXPECT_NE(m.state, RoleState::Missing) << m.role->key;
    for (const std::string& line : form.Memo1.Lines())
        EXPECT_EQ(line.find("open the Boards window"), std::string::npos) << line;
    form.CloseBoards();
    form.FormDestroy();
}

} // namespace
} // namespace zrk

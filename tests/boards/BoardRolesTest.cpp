// The board roles as data, matching the attached boards against them, and
// assigning a board to a role with the save that follows.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/BoardsReport.h"
#include "boards/BoardAssignment.h"
#include "boards/BoardMatch.h"
#include "boards/BoardRoles.h"
#include "config/TextEncoding.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

constexpr const char* S = "PHIDGETS_SERIAL_NUMBERS";
using K = BoardKind;

Settings Defaults()
{
    Settings s;
    LoadDefaults(s);
    return s;
}

AttachedBoard Board(int serial, std::optional<BoardKind> kind) { return {serial, kind, "board", 100}; }

// The settings of a CONFIG.INI text, read as the program reads them.
Settings ReadIni(const std::string& text)
{
    MemoryFileSystem files;
    files.Put("/c/CONFIG.INI", text);
    return ReadBoardSettings(files, "/c/CONFIG.INI");
}

const BoardRole& Role(const char* key)
{
    const BoardRole* r = FindBoardRole(key);
    if (!r)
        throw std::out_of_range(key);
    return *r;
}

TEST(BoardRoles, EverySerialKeyOfTheSectionIsARoleAndNoOtherKeyIs)
{
    std::set<std::string> serialKeys;
    for (const SettingDef& d : SettingsTable())
        if (std::string(d.section) == S && std::string(d.key).rfind("REMOTE_", 0) != 0)
            serialKeys.insert(d.key);
    std::set<std::string> roleKeys;
    for (const BoardRole& r : BoardRoles()) {
        roleKeys.insert(r.key);
        EXPECT_FALSE(std::string(r.name).empty()) << r.key;
        EXPECT_NE(std::string(r.name), r.key) << "a builder's name, not the key";
        EXPECT_FALSE(std::string(r.purpose).empty()) << r.key;
        EXPECT_FALSE(r.kinds.empty()) << r.key;
    }
    EXPECT_EQ(roleKeys, serialKeys);
    EXPECT_EQ(BoardRoles().size(), 13u);
    EXPECT_EQ(FindBoardRole("remote_ip"), nullptr);
    EXPECT_EQ(FindBoardRole("motor2_throttles_1_2"), &Role("MOTOR2_THROTTLES_1_2"));
    EXPECT_STREQ(Role("MOTOR2_THROTTLES_1_2").name, "Throttle motors 1+2");
}

TEST(BoardRoles, OnlyThe747sOwnBoardsDependOnTheAircraftType)
{
    for (const BoardRole& r : BoardRoles()) {
        const bool only747 = r.key == std::string("INTERFACE1_PBRAKE_STAB") || r.key == std::string("MOTOR3_THROTTLES_3_4");
        EXPECT_TRUE(r.UsedOn(Aircraft::B747)) << r.key;
        EXPECT_EQ(r.UsedOn(Aircraft::B777), !only747) << r.key;
        EXPECT_EQ(r.UsedOn(Aircraft::B737), !only747) << r.key;
    }
    Settings s = Defaults();
    for (auto [type, aircraft] : {std::pair{"747", Aircraft::B747}, {"737", Aircraft::B737}, {"777", Aircraft::B777},
                                  {"A320", Aircraft::B777}}) {
        s.TYPE = type;
        EXPECT_EQ(AircraftOf(s), aircraft) << type;
    }
}

// The table against the roster itself: with a board of the kind the role
// says plugged at its serial, the roster opens a control of that kind with
// that serial, for either servo type where the role has one.
TEST(BoardRoles, TheRosterOpensEachRoleAsTheKindItsRoleSays)
{
    for (const BoardRole& role : BoardRoles()) {
        for (const char* advanced : {"1", "0"}) {
            if (!role.servoTypeKey && advanced == std::string("0"))
                continue;
            Rig rig;
            constexpr int kSerial = 4242;
            std::string config = Config({{"AIRCRAFT", "TYPE", "747"}, {S, role.key, "4242"}});
            if (role.servoTypeKey)
                config = [&] {
                    IniFile ini = IniFile::Parse(config);
                    ini.Write("SERVO_TYPE_ADVANCED", role.servoTypeKey, advanced);
                    return ini.Text();
                }();
            rig.Start(config);
            Settings s = rig.form->cfg;
            const BoardKind kind = role.OpenedAs(s);
            EXPECT_TRUE(role.CanBeFilledBy(kind)) << role.key;
            rig.boards.Plug(kind, kSerial);
            rig.host.RunFor(10);
            VirtualBoardState* opened = rig.boards.Find(kSerial);
            ASSERT_NE(opened, nullptr) << role.key;
            EXPECT_EQ(opened->kind(), kind) << role.key << " advanced=" << advanced;
            EXPECT_TRUE(opened->attached()) << role.key;
        }
    }
}

TEST(BoardMatch, EachRoleIsFilledMissingOfTheWrongKindOrNotUsed)
{
    struct Case {
        const char* what;
        const char* key;
        int serial;
        const char* type;
        std::optional<BoardKind> attachedKind;   // of the board at `serial`; nothing: none attached
        bool servoAdvanced;
        RoleState state;
    } cases[] = {
        {"configured and attached", "MOTOR2_THROTTLES_1_2", 202, "777", K::MotorControl, true, RoleState::Filled},
        {"configured, not attached", "MOTOR2_THROTTLES_1_2", 202, "777", std::nullopt, true, RoleState::Missing},
        {"an interface kit at a motor role", "MOTOR2_THROTTLES_1_2", 202, "777", K::InterfaceKit, true,
         RoleState::WrongKind},
        {"a device the controller does not drive", "INTERFACE1", 100, "777", std::nullopt, true, RoleState::Missing},
        {"serial 0", "MOTOR_TRIM", 0, "777", std::nullopt, true, RoleState::NotUsed},
        {"a negative serial", "MOTOR_TRIM", -3, "777", std::nullopt, true, RoleState::NotUsed},
        {"a 747 board on the 737", "MOTOR3_THROTTLES_3_4", 203, "737", K::MotorControl, true, RoleState::NotUsed},
        {"a 747 board on the 747", "MOTOR3_THROTTLES_3_4", 203, "747", K::MotorControl, true, RoleState::Filled},
        {"a simple servo where the type says advanced", "SERVO1_CPT_TRIM", 301, "777", K::Servo, true,
         RoleState::WrongKind},
        {"a simple servo where the type says simple", "SERVO1_CPT_TRIM", 301, "777", K::Servo, false,
         RoleState::Filled},
    };
    for (const Case& c : cases) {
        Settings s = Defaults();
        s.TYPE = c.type;
        s.SERVO1 = c.servoAdvanced;
        const BoardRole& role = Role(c.key);
        s.*std::get<int Settings::*>(role.setting->field) = c.serial;
        std::vector<AttachedBoard> attached = {Board(999, K::MotorControl)};
        if (c.attachedKind)
            attached.push_back(Board(c.serial, c.attachedKind));
        if (c.what == std::string("a device the controller does not drive"))
            attached.push_back(Board(555, std::nullopt));
        const BoardsMatch m = MatchBoards(attached, s);
        const RoleMatch& r = m.Of(role);
        EXPECT_EQ(r.state, c.state) << c.what;
        EXPECT_EQ(r.board.has_value(), c.attachedKind.has_value() && c.serial > 0) << c.what;
        // A board fills its role, or stays unassigned.
        const bool filled = c.state == RoleState::Filled;
        const bool unassigned = std::any_of(m.unassigned.begin(), m.unassigned.end(),
                                            [&](const AttachedBoard& b) { return b.serial == c.serial; });
        if (c.attachedKind) {
            EXPECT_EQ(unassigned, !filled) << c.what;
        }
        EXPECT_TRUE(std::any_of(m.unassigned.begin(), m.unassigned.end(),
                                [](const AttachedBoard& b) { return b.serial == 999; }))
            << c.what;
        for (const RoleMatch& other : m.roles) {
            if (other.role != &role) {
                EXPECT_EQ(other.state, RoleState::NotUsed) << c.what << " " << other.role->key;
            }
        }
    }
}

TEST(BoardMatch, TheTrimBoardCarryingTheSpeedbrakeMotorFillsBothRoles)
{
    Settings s = Defaults();
    s.MOTOR_TRIM = 204;
    s.MOTOR1_SPEEDBRAKE = 204;
    const BoardsMatch m = MatchBoards({Board(204, K::MotorControl)}, s);
    EXPECT_EQ(m.FilledBy(204), (std::vector<const BoardRole*>{&Role("MOTOR_TRIM"), &Role("MOTOR1_SPEEDBRAKE")}));
    EXPECT_TRUE(m.unassigned.empty());
}

TEST(BoardMatch, TheWrongKindLineSaysWhatTheBoardIsAndThatItIsNotDriven)
{
    Settings s = Defaults();
    s.MOTOR2_THROTTLES_1_2 = 100;
    s.SERVO2_FO_TRIM = 302;
    s.SERVO2 = true;
    const BoardsMatch m = MatchBoards({Board(100, K::InterfaceKit), Board(302, K::Servo)}, s);
    EXPECT_EQ(WrongKindLine(m.Of(Role("MOTOR2_THROTTLES_1_2"))),
              "Throttle motors 1+2 (MOTOR2_THROTTLES_1_2=100): board 100 is interface kit, not motor controller"
              " - it is not driven as Throttle motors 1+2");
    EXPECT_EQ(WrongKindLine(m.Of(Role("SERVO2_FO_TRIM"))),
              "First officer's trim indicator (SERVO2_FO_TRIM=302): board 302 is servo board, not advanced servo"
              " board - it is not driven as First officer's trim indicator; set [SERVO_TYPE_ADVANCED] SERVO2=0 to"
              " use it");
}

TEST(BoardMatch, TheStartHintComesOnlyWhenAnUnassignedBoardCouldFillAMissingRole)
{
    struct Case {
        const char* what;
        std::vector<AttachedBoard> attached;
        std::optional<std::string> hint;
    } cases[] = {
        {"all there", {Board(202, K::MotorControl), Board(204, K::MotorControl)}, std::nullopt},
        {"missing, nothing spare", {Board(204, K::MotorControl)}, std::nullopt},
        {"missing, only a spare of another kind", {Board(204, K::MotorControl), Board(7, K::InterfaceKit)},
         std::nullopt},
        {"missing, a fitting spare",
         {Board(204, K::MotorControl), Board(7, K::MotorControl)},
         "1 configured board is not found (Throttle motors 1+2 #202) while 1 unassigned board that could fill it"
         " is attached - open the Boards window to assign it"},
        {"both missing, two spares",
         {Board(7, K::MotorControl), Board(8, K::MotorControl)},
         "2 configured boards are not found (Trim wheel motor #204, Throttle motors 1+2 #202) while 2 unassigned"
         " boards that could fill them are attached - open the Boards window to assign them"},
        {"wrong kind, a fitting spare",
         {Board(202, K::InterfaceKit), Board(204, K::MotorControl), Board(9, K::MotorControl)},
         "1 configured board is not found (Throttle motors 1+2 #202) while 1 unassigned board that could fill it"
         " is attached - open the Boards window to assign it"},
    };
    Settings s = Defaults();
    s.MOTOR_TRIM = 204;
    s.MOTOR2_THROTTLES_1_2 = 202;
    for (const Case& c : cases)
        EXPECT_EQ(MissingBoardsHint(MatchBoards(c.attached, s)), c.hint) << c.what;
}

TEST(BoardAssignment, TheRoleTakesTheBoardsSerialOnlyForAFittingKind)
{
    const AttachedBoard motor = Board(202, K::MotorControl), kit = Board(100, K::InterfaceKit),
                        servo = Board(301, K::Servo), other = Board(5, std::nullopt);
    EXPECT_EQ(AssignedSerial(Role("MOTOR2_THROTTLES_1_2"), &motor), 202);
    EXPECT_EQ(AssignedSerial(Role("MOTOR2_THROTTLES_1_2"), &kit), std::nullopt);
    EXPECT_EQ(AssignedSerial(Role("MOTOR2_THROTTLES_1_2"), &other), std::nullopt);
    EXPECT_EQ(AssignedSerial(Role("MOTOR2_THROTTLES_1_2"), nullptr), 0);
    EXPECT_EQ(AssignedSerial(Role("INTERFACE1"), &kit), 100);
    EXPECT_EQ(AssignedSerial(Role("SERVO1_CPT_TRIM"), &servo), 301);
    EXPECT_EQ(AssignedSerial(Role("MULTI_SERVOS"), &servo), std::nullopt);
}

TEST(BoardAssignment, ABoardMovesFromItsOldRoleAndAServoRoleTakesItsType)
{
    Settings s = Defaults();
    s.MOTOR_TRIM = 204;
    s.MOTOR1_SPEEDBRAKE = 204;   // shares the trim board
    s.MOTOR2_THROTTLES_1_2 = 205;
    s.MOTOR_THROTTLE_1_SINGLE = 202;
    s.SERVO3 = true;
    struct Case {
        const char* what;
        const char* key;
        std::optional<AttachedBoard> board;
        std::optional<std::vector<SettingChange>> changes;
    } cases[] = {
        {"a fresh board", "MOTOR2_THROTTLES_1_2", Board(206, K::MotorControl),
         std::vector<SettingChange>{{S, "MOTOR2_THROTTLES_1_2", "206"}}},
        {"the board of another role moves", "MOTOR2_THROTTLES_1_2", Board(202, K::MotorControl),
         std::vector<SettingChange>{{S, "MOTOR2_THROTTLES_1_2", "202"}, {S, "MOTOR_THROTTLE_1_SINGLE", "0"}}},
        {"the trim board keeps carrying the speedbrake motor", "MOTOR1_SPEEDBRAKE", Board(204, K::MotorControl),
         std::vector<SettingChange>{}},
        {"the trim board given to the throttles leaves both its roles", "MOTOR2_THROTTLES_1_2",
         Board(204, K::MotorControl),
         std::vector<SettingChange>{{S, "MOTOR2_THROTTLES_1_2", "204"}, {S, "MOTOR_TRIM", "0"},
                                    {S, "MOTOR1_SPEEDBRAKE", "0"}}},
        {"cleared", "MOTOR2_THROTTLES_1_2", std::nullopt, std::vector<SettingChange>{{S, "MOTOR2_THROTTLES_1_2", "0"}}},
        {"a simple servo sets the type", "SERVO3_RUDDER_TRIM", Board(303, K::Servo),
         std::vector<SettingChange>{{S, "SERVO3_RUDDER_TRIM", "303"}, {"SERVO_TYPE_ADVANCED", "SERVO3", "0"}}},
        {"an advanced servo keeps the type", "SERVO3_RUDDER_TRIM", Board(303, K::AdvancedServo),
         std::vector<SettingChange>{{S, "SERVO3_RUDDER_TRIM", "303"}}},
        {"a kit cannot drive motors", "MOTOR2_THROTTLES_1_2", Board(100, K::InterfaceKit), std::nullopt},
    };
    for (const Case& c : cases) {
        const auto changes = AssignBoard(Role(c.key), c.board ? &*c.board : nullptr, s);
        EXPECT_EQ(changes, c.changes) << c.what;
        if (!changes)
            continue;
        // Applied, the settings match as the user meant.
        Settings after = s;
        ApplySettingChanges(*changes, after);
        const BoardsMatch m = MatchBoards(c.board ? std::vector<AttachedBoard>{*c.board} : std::vector<AttachedBoard>{},
                                          after);
        if (c.board) {
            EXPECT_EQ(m.Of(Role(c.key)).state, RoleState::Filled) << c.what;
            const auto fills = m.FilledBy(c.board->serial);
            EXPECT_LE(fills.size(), c.key == std::string("MOTOR1_SPEEDBRAKE") ? 2u : 1u) << c.what;
        } else {
            EXPECT_EQ(m.Of(Role(c.key)).state, RoleState::NotUsed) << c.what;
        }
    }
}

// The bytes of a hand-edited CONFIG.INI, with a comment, odd spacing, a
// key in another letter case and a last line without its end.
std::string HandEdited()
{
    return "[AIRCRAFT]\r\nTYPE=747\r\n\r\n[PHIDGETS_SERIAL_NUMBERS]\r\n// the 888 card\r\nINTERFACE1=100\r\n"
           "motor2_throttles_1_2 = 202\r\nMOTOR_THROTTLE_1_SINGLE=205\r\nREMOTE_888_Card=0\r\n\r\n"
           "[SERVO_TYPE_ADVANCED]\r\nSERVO1=1\r\n\r\n[FLAPS]\r\nFLAP_UP=12";
}

TEST(BoardAssignment, SavingChangesExactlyTheAssignedKeysLinesAndKeepsTheEncoding)
{
    for (TextEncoding encoding : {TextEncoding::Bytes, TextEncoding::Utf8Bom, TextEncoding::Utf16Le}) {
        MemoryFileSystem files;
        const std::string path = "/opt/zrk/CONFIG.INI";
        files.Put(path, EncodeText(encoding, HandEdited()));
        Settings s = ReadIni(HandEdited());
        const AttachedBoard motor = Board(205, K::MotorControl), simpleServo = Board(301, K::Servo);
        const auto changes = AssignBoard(Role("MOTOR2_THROTTLES_1_2"), &motor, s);
        ASSERT_TRUE(changes);
        auto servo = AssignBoard(Role("SERVO1_CPT_TRIM"), &simpleServo, s);
        ASSERT_TRUE(servo);
        std::vector<SettingChange> all = *changes;
        all.insert(all.end(), servo->begin(), servo->end());
        ASSERT_EQ(SaveSettingChanges(files, path, all), "");
        EXPECT_EQ(files.WriteCount(), 1);
        const DecodedText saved = DecodeText(files.Files().at(path));
        EXPECT_EQ(saved.encoding, encoding);
        // Line by line: the moved board's old role cleared, the servo added
        // to its section, everything else byte for byte.
        EXPECT_EQ(saved.text,
                  "[AIRCRAFT]\r\nTYPE=747\r\n\r\n[PHIDGETS_SERIAL_NUMBERS]\r\n// the 888 card\r\nINTERFACE1=100\r\n"
                  "motor2_throttles_1_2=205\r\nMOTOR_THROTTLE_1_SINGLE=0\r\nREMOTE_888_Card=0\r\n"
                  "SERVO1_CPT_TRIM=301\r\n\r\n"
                  "[SERVO_TYPE_ADVANCED]\r\nSERVO1=0\r\n\r\n[FLAPS]\r\nFLAP_UP=12");
    }
}

TEST(BoardAssignment, ASaveThatFailsOrMeetsNoSettingsFileLeavesTheFileAlone)
{
    const std::vector<SettingChange> change = {{S, "MOTOR_TRIM", "204"}};
    {
        MemoryFileSystem files;
        files.Put("/c/CONFIG.INI", HandEdited());
        files.FailWrites(MemoryFileSystem::Failure::Rename);
        EXPECT_NE(SaveSettingChanges(files, "/c/CONFIG.INI", change), "");
        EXPECT_EQ(files.Files().at("/c/CONFIG.INI"), HandEdited());
    }
    {
        MemoryFileSystem files;
        files.PutSpecial("/c/CONFIG.INI");
        EXPECT_NE(SaveSettingChanges(files, "/c/CONFIG.INI", change), "");
        EXPECT_EQ(files.WriteCount(), 0);
    }
    {
        MemoryFileSystem files;
        EXPECT_EQ(SaveSettingChanges(files, "/c/CONFIG.INI", change), "");
        EXPECT_EQ(files.Files().at("/c/CONFIG.INI"), "[PHIDGETS_SERIAL_NUMBERS]\r\nMOTOR_TRIM=204\r\n");
    }
}

} // namespace
} // namespace zrk::test

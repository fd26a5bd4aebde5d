#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "config/DefaultConfig.h"
#include "config/IniFile.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

using Op = BoardCommand::Op;

constexpr const char* S = "PHIDGETS_SERIAL_NUMBERS";

// Serials of the test quadrant.
constexpr int kKit = 100, kKit2 = 101, kMc1 = 201, kMc2 = 202, kMc3 = 203, kTrim = 204, kMc5 = 205,
              kMc6 = 206, kCpt = 301, kFo = 302, kRudder = 303, kSb = 304, kMulti = 305;

TEST(Roster, OpensEveryConfiguredBoardAndLogsArrivals)
{
    Rig rig;
    for (int s : {kMc1, kMc2, kTrim, kMc5, kMc6})
        rig.boards.Plug(BoardKind::MotorControl, s);
    rig.boards.Plug(BoardKind::InterfaceKit, kKit);
    for (int s : {kCpt, kFo, kRudder, kSb, kMulti})
        rig.boards.Plug(BoardKind::AdvancedServo, s);
    rig.Start(Config({{S, "INTERFACE1", "100"}, {S, "MOTOR1_SPEEDBRAKE", "201"}, {S, "MOTOR2_THROTTLES_1_2", "202"},
                      {S, "MOTOR_TRIM", "204"}, {S, "MOTOR_THROTTLE_1_SINGLE", "205"},
                      {S, "MOTOR_THROTTLE_2_SINGLE", "206"}, {S, "SERVO1_CPT_TRIM", "301"},
                      {S, "SERVO2_FO_TRIM", "302"}, {S, "SERVO3_RUDDER_TRIM", "303"}, {S, "SERVO4_SPEEDBRAKE", "304"},
                      {S, "MULTI_SERVOS", "305"}}));
    // Nothing is missing, so the reading phase reports nothing.
    const auto log = rig.Log();
    const std::vector<std::string> head(log.begin(), log.begin() + 5);
    EXPECT_EQ(head, (std::vector<std::string>{"Version : 2.07", "Aircraft Type : B777", "Reading Serial Numbers",
                                              "Reading Serial Numbers - Completed",
                                              "INFORMATION - Calibrate Flaps"}));
    EXPECT_EQ(log.back(), "SB Servo Open");
    const std::size_t mark = log.size();

    rig.host.RunFor(10);
    const std::string mc = VirtualBoardLibrary::DefaultName(BoardKind::MotorControl);
    const std::string adv = VirtualBoardLibrary::DefaultName(BoardKind::AdvancedServo);
    const std::string ik = VirtualBoardLibrary::DefaultName(BoardKind::InterfaceKit);
    // Boards announce themselves in the order they were opened.
    EXPECT_EQ(rig.LogSince(mark), (std::vector<std::string>{
                                      ik + " Connected. Serial #100",
                                      mc + " Connected. Serial #204 Trim Motor",
                                      adv + " Connected. Serial #301 CPT Trim",
                                      adv + " Connected. Serial #302 FO Trim",
                                      adv + " Connected. Serial #303 Rudder Trim",
                                      adv + " Connected. Serial #305 Multi Servos (Trim/SB)",
                                      mc + " Connected. Serial #201 Speedbrake",
                                      mc + " Connected. Serial #202 Throttles",
                                      mc + " Connected. Serial #205 Single Throttle L",
                                      mc + " Connected. Serial #206 Single Throttle R",
                                      adv + " Connected. Serial #304 Speedbrake",
                                  }));
    for (int s : {kKit, kMc1, kMc2, kTrim, kMc5, kMc6, kCpt, kFo, kRudder, kSb, kMulti}) {
        const VirtualBoardState* board = rig.boards.Find(s);
        ASSERT_NE(board, nullptr) << s << " was not opened";
        EXPECT_TRUE(board->attached()) << s;
    }
}

TEST(Roster, InterfaceKitTriggersAndPresenceFollowEveryAttach)
{
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, kKit, "Phidget InterfaceKit 8/8/8");
    rig.Start(Config({{S, "INTERFACE1", "100"}, {"THROTTLES", "CHANGE_TRIGGER_VALUE", "9"}}));
    rig.host.RunFor(10);
    VirtualBoardState* kit = rig.boards.Find(kKit);
    ASSERT_NE(kit, nullptr) << "the 888 card was not opened";
    ASSERT_TRUE(kit->attached());
    std::vector<BoardCommand> setup = {{Op::Ratiometric, 0, 1}};
    for (int i = 0; i < 8; ++i)
        setup.push_back({Op::SensorChangeTrigger, i, i < 4 ? 9.0 : 5.0});
    EXPECT_EQ(kit->commands, setup);

    // Unplugged and plugged again: logged both ways, and set up anew.
    kit->ClearCommands();
    const std::size_t mark = rig.Log().size();
    rig.boards.Unplug(kKit);
    rig.host.RunFor(10);
    EXPECT_FALSE(kit->attached());
    rig.boards.Plug(BoardKind::InterfaceKit, kKit, "Phidget InterfaceKit 8/8/8");
    rig.host.RunFor(10);
    EXPECT_EQ(rig.LogSince(mark), (std::vector<std::string>{"Phidget InterfaceKit 8/8/8 Disconnected. Serial #100",
                                                            "Phidget InterfaceKit 8/8/8 Connected. Serial #100"}));
    EXPECT_EQ(kit->commands, setup);
    EXPECT_TRUE(kit->ratiometric);
}

TEST(Roster, ServoBoardsTakeTheirStartingPositions)
{
    Rig rig;
    rig.boards.Plug(BoardKind::AdvancedServo, kCpt);
    rig.boards.Plug(BoardKind::AdvancedServo, kRudder);
    rig.boards.Plug(BoardKind::AdvancedServo, kSb);
    rig.boards.Plug(BoardKind::AdvancedServo, kMulti);
    rig.Start(Config({{S, "SERVO1_CPT_TRIM", "301"}, {S, "SERVO3_RUDDER_TRIM", "303"},
                                {S, "SERVO4_SPEEDBRAKE", "304"}, {S, "MULTI_SERVOS", "305"}, {"TRIM", "CPT_SERVO_MIN", "20"},
                                {"TRIM", "CPT_SERVO_MAX", "160"}, {"TRIM", "FO_SERVO_MIN", "0"}, {"TRIM", "FO_SERVO_MAX", "101"},
                                {"TRIM", "RUDDER_SERVO_MIN", "10"}, {"TRIM", "RUDDER_SERVO_MAX", "21"},
                                {"SPEEDBRAKE", "SPEEDBRAKE_SERVO_MIN", "0"}, {"SPEEDBRAKE", "SPEEDBRAKE_SERVO_MAX", "101"},
                                {"SPEEDBRAKE", "REVERSE_SERVO_DIRECTION_SPEEDBRAKE", "1"}}));
    rig.host.RunFor(10);
    for (int s : {kCpt, kRudder, kSb, kMulti})
        ASSERT_NE(rig.boards.Find(s), nullptr) << s << " was not opened";

    EXPECT_EQ(rig.boards.Board(kCpt).commands,
              (std::vector<BoardCommand>{{Op::PositionMin, 0, 1}, {Op::PositionMax, 0, 180}, {Op::Position, 0, 90},
                                         {Op::Engaged, 0, 1}, {Op::SpeedRamping, 0, 1},
                                         {Op::VelocityLimit, 0, 300}}));
    EXPECT_EQ(rig.boards.Board(kRudder).commands,
              (std::vector<BoardCommand>{{Op::PositionMin, 0, 10}, {Op::PositionMax, 0, 21},
                                         {Op::Position, 0, 15.5}, {Op::Engaged, 0, 1}, {Op::SpeedRamping, 0, 1},
                                         {Op::VelocityLimit, 0, 300}}));
    // The lift rests at its upper limit when its direction is reversed.
    EXPECT_EQ(rig.boards.Board(kSb).commands,
              (std::vector<BoardCommand>{{Op::Engaged, 0, 1}, {Op::PositionMin, 0, 0}, {Op::PositionMax, 0, 101},
                                         {Op::Position, 0, 101}, {Op::SpeedRamping, 0, 0},
                                         {Op::VelocityLimit, 0, 316}}));

    std::vector<BoardCommand> multi;
    const double ports[4][3] = {{1, 180, 90}, {1, 180, 50.5}, {10, 21, 15.5}, {0, 101, 50}};
    for (int p = 0; p < 4; ++p) {
        multi.push_back({Op::Engaged, p, 1});
        multi.push_back({Op::PositionMin, p, ports[p][0]});
        multi.push_back({Op::PositionMax, p, ports[p][1]});
        multi.push_back({Op::Position, p, ports[p][2]});
        multi.push_back({Op::SpeedRamping, p, 1});
        multi.push_back({Op::VelocityLimit, p, 300});
    }
    EXPECT_EQ(rig.boards.Board(kMulti).commands, multi);

    // A re-plugged servo returns to its midpoint.
    VirtualBoardState* cpt = rig.boards.Find(kCpt);
    cpt->ClearCommands();
    rig.boards.Unplug(kCpt);
    rig.host.RunFor(10);
    rig.boards.Plug(BoardKind::AdvancedServo, kCpt);
    rig.host.RunFor(10);
    ASSERT_EQ(cpt->commands.size(), 6u);
    EXPECT_EQ(cpt->commands[2], (BoardCommand{Op::Position, 0, 90}));
}

TEST(Roster, ServoLimitsFarApartStillGiveAFiniteRestPosition)
{
    // The difference of the limits overflows; the rest position must not.
    Rig rig;
    rig.boards.Plug(BoardKind::AdvancedServo, kRudder);
    rig.boards.Plug(BoardKind::AdvancedServo, kMulti);
    rig.Start(Config({{S, "SERVO3_RUDDER_TRIM", "303"}, {S, "MULTI_SERVOS", "305"},
                      {"TRIM", "RUDDER_SERVO_MIN", "1e308"}, {"TRIM", "RUDDER_SERVO_MAX", "-1e308"}}));
    rig.host.RunFor(10);
    for (int serial : {kRudder, kMulti}) {
        ASSERT_NE(rig.boards.Find(serial), nullptr) << serial << " was not opened";
        bool positioned = false;
        for (const BoardCommand& c : rig.boards.Board(serial).commands) {
            EXPECT_TRUE(std::isfinite(c.value)) << serial << " " << BoardCommandName(c.op);
            if (c.op == Op::Position && c.index == (serial == kMulti ? 2 : 0)) {
                EXPECT_EQ(c.value, 0.0);
                positioned = true;
            }
        }
        EXPECT_TRUE(positioned) << serial;
    }
    EXPECT_EQ(ServoMidpoint(20, 160), 90);
    EXPECT_EQ(ServoMidpoint(10, 21), 15.5);
}

TEST(Roster, SimpleServosAreOnlyEngagedAndChosenByTheirTypeFlag)
{
    Rig rig;
    for (int s : {kCpt, kFo, kRudder, kSb})
        rig.boards.Plug(BoardKind::Servo, s);
    rig.Start(Config({{S, "SERVO1_CPT_TRIM", "301"}, {S, "SERVO2_FO_TRIM", "302"}, {S, "SERVO3_RUDDER_TRIM", "303"},
                      {S, "SERVO4_SPEEDBRAKE", "304"}, {"SERVO_TYPE_ADVANCED", "SERVO1", "0"}, {"SERVO_TYPE_ADVANCED", "SERVO2", "0"}, {"SERVO_TYPE_ADVANCED", "SERVO3", "0"},
                      {"SERVO_TYPE_ADVANCED", "SERVO4", "0"}}));
    EXPECT_FALSE(rig.Logged("SB Servo Open"));
    const std::size_t mark = rig.Log().size();
    rig.host.RunFor(10);
    for (int s : {kCpt, kFo, kRudder, kSb}) {
        ASSERT_NE(rig.boards.Find(s), nullptr) << s << " was not opened";
        ASSERT_TRUE(rig.boards.Board(s).attached()) << s;
        EXPECT_EQ(rig.boards.Board(s).kind(), BoardKind::Servo);
        EXPECT_EQ(rig.boards.Board(s).commands, (std::vector<BoardCommand>{{Op::Engaged, 0, 1}}));
    }
    const std::string name = VirtualBoardLibrary::DefaultName(BoardKind::Servo);
    EXPECT_EQ(rig.LogSince(mark), (std::vector<std::string>{name + " Connected. Serial #301",
                                                            name + " Connected. Serial #302",
                                                            name + " Connected. Serial #303 Rudder Trim",
                                                            name + " Connected. Serial #304"}));
    rig.boards.Unplug(kRudder);
    rig.host.RunFor(10);
    EXPECT_EQ(rig.Log().back(), name + " Disconnected. Serial #303");
}

TEST(Roster, TheSecondInterfaceBoardAndThirdMotorBoardBelongToThe747Only)
{
    struct Case {
        const char* type;
        bool opened;
    } cases[] = {{"777", false}, {"737", false}, {"747", true}};
    for (const Case& c : cases) {
        Rig rig;
        rig.Start(Config({{"AIRCRAFT", "TYPE", c.type}, {S, "INTERFACE1_PBRAKE_STAB", "-5"},
                          {S, "MOTOR3_THROTTLES_3_4", "203"}}));
        // A negative second-board serial is still opened (for the 747).
        EXPECT_EQ(rig.boards.Find(-5) != nullptr, c.opened) << c.type;
        EXPECT_EQ(rig.boards.Find(kMc3) != nullptr, c.opened) << c.type;
        for (const std::string& l : rig.Log())
            EXPECT_EQ(l.find("Interface Board 2"), std::string::npos) << c.type;
    }
}

TEST(Roster, RemoteModeOpensOverTheNetworkOrNotAtAll)
{
    {
        Rig rig;
        rig.Start(Config({{S, "INTERFACE1", "100"}, {S, "MOTOR_TRIM", "204"}, {S, "REMOTE_888_Card", "1"},
                          {S, "REMOTE_IP", "192.0.2.7"}, {S, "REMOTE_PORT", "5002"}}));
        VirtualBoardState* kit = rig.boards.Find(kKit);
        ASSERT_TRUE(kit);
        EXPECT_TRUE(kit->remote());
        EXPECT_EQ(kit->remoteAddress(), "192.0.2.7");
        EXPECT_EQ(kit->remotePort(), 5002);
        ASSERT_NE(rig.boards.Find(kTrim), nullptr) << "the trim board was not opened";
        EXPECT_TRUE(rig.boards.Board(kTrim).remote());
        EXPECT_FALSE(rig.Logged("Remote 888 Card IP Address Not Specified"));
    }
    {
        Rig rig;
        rig.Start(Config({{S, "INTERFACE1", "100"}, {S, "SERVO4_SPEEDBRAKE", "304"}, {S, "REMOTE_888_Card", "1"}}));
        EXPECT_EQ(rig.boards.Find(kKit), nullptr);
        EXPECT_EQ(rig.boards.Find(kSb), nullptr);
        EXPECT_TRUE(rig.Logged("Remote 888 Card IP Address Not Specified"));
        // The lift servo is announced even though nothing is opened.
        EXPECT_TRUE(rig.Logged("SB Servo Open"));
    }
}

TEST(Roster, NegativeOrMissingSerialsOpenNothing)
{
    Rig rig;
    rig.Start(Config({{S, "INTERFACE1", "-1"}, {S, "MOTOR_TRIM", "-3"}, {S, "MULTI_SERVOS", "-4"}}));
    for (const VirtualBoardState* s : rig.boards.Controls())
        EXPECT_FALSE(s->opened());
    EXPECT_TRUE(rig.Logged("Interface Board 1 Serial No:  Not Specified"));
    // The reading phase only reports zeros.
    EXPECT_FALSE(rig.Logged("Interface Board Serial No: Not Specified"));
    EXPECT_FALSE(rig.Logged("Trim Motor Board Serial No: Not Specified"));
}

TEST(Roster, OnEveryKeysDefaultNoBoardIsOpenedAndTheProgramRunsOn)
{
    // A 747 file with no other key: every serial at its default of 0.
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, kKit);
    for (int s : {kMc1, kMc2, kMc3, kTrim})
        rig.boards.Plug(BoardKind::MotorControl, s);
    rig.boards.Plug(BoardKind::AdvancedServo, kMulti);
    rig.panelBus.aircraft.set_tq_connected_seen(1);
    rig.panelBus.aircraft.set_autothrottle_mode(1);
    rig.Start(Ini({"[AIRCRAFT]", "TYPE=747"}));
    rig.host.RunFor(2000);
    ASSERT_FALSE(rig.boards.Controls().empty());
    for (const VirtualBoardState* s : rig.boards.Controls()) {
        EXPECT_FALSE(s->opened()) << s->openedSerial();
        EXPECT_TRUE(s->commands.empty());
    }
    EXPECT_TRUE(rig.Logged("Interface Board 1 Serial No:  Not Specified"));
    EXPECT_TRUE(rig.Logged("Interface Board 2 Serial No (PBrake,Stab,Trim)  Not Specified"));
}

TEST(Roster, ABoardVanishingDuringSetupIsLoggedNotFatal)
{
    Rig rig;
    rig.boards.Plug(BoardKind::AdvancedServo, kMulti);
    rig.Start(Config({{S, "MULTI_SERVOS", "305"}}));
    ASSERT_NE(rig.boards.Find(kMulti), nullptr) << "the multi-servo board was not opened";
    rig.boards.Board(kMulti).failCalls = true;
    rig.host.RunFor(10);
    ASSERT_FALSE(rig.Log().empty());
    EXPECT_NE(rig.Log().back().find("set-up failed"), std::string::npos) << rig.Log().back();
}

TEST(Roster, CommandsToABoardThatIsNotAttachedAreIgnored)
{
    Rig rig;
    rig.Start(Config({{S, "MOTOR_TRIM", "204"}}));
    VirtualBoardState* trim = rig.boards.Find(kTrim);
    ASSERT_TRUE(trim);
    rig.form->roster.PhidgetMotorControl4->SetVelocity(1, 50);
    EXPECT_TRUE(trim->commands.empty());
    EXPECT_FALSE(rig.form->roster.PhidgetMotorControl4->Attached());
}

} // namespace
} // namespace zrk::test

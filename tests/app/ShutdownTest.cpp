#include <gtest/gtest.h>

#include <map>

#include "config/DefaultConfig.h"
#include "config/IniFile.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

// A user's file: comments, lower-case keys, a key of the saved subset
// missing from its section, a section of it missing from the file.
const std::string kUserFile = Ini({
    "// my quadrant",
    "[aircraft]",
    "type=737",
    "",
    "[THROTTLES]",
    "// throttle calibration",
    "throttle_1_idle=120",
    "THROTTLE_1_FULL=880",
    "",
    "[TRIM]",
    "NULL_ZONE=0.05",
    "PID_P=4000",
    "",
    "[PHIDGETS_SERIAL_NUMBERS]",
    "INTERFACE1=0",
});

TEST(Save, YesWritesTheSubsetInPlaceAndKeepsEverythingElse)
{
    Rig rig;
    TForm1& f = rig.Start(kUserFile);
    f.cfg.THROTTLE_1_IDLE = 130;
    f.cfg.TRIM_NULL_ZONE = 0.04;
    f.p_pid_p.Text = " 4500 ";
    f.aircraft_type.ItemIndex = 2;
    f.aircraft_typeClick();
    ASSERT_TRUE(f.ConfigChanged);
    rig.dialogs.answers = {DialogAnswer::Yes};

    EXPECT_TRUE(f.FormCloseQuery());
    EXPECT_EQ(rig.dialogs.questions, std::vector<std::string>{"Save Calibration Changes ?"});
    EXPECT_FALSE(f.ConfigChanged);

    const std::string saved = rig.ConfigFile();
    const IniFile ini = IniFile::Parse(saved);
    EXPECT_EQ(ini.Read("AIRCRAFT", "TYPE"), "747");
    EXPECT_EQ(ini.Read("THROTTLES", "THROTTLE_1_IDLE"), "130");
    EXPECT_EQ(ini.Read("THROTTLES", "THROTTLE_4_FULL"), "0");
    EXPECT_EQ(ini.Read("TRIM", "NULL_ZONE"), "0.04");
    EXPECT_EQ(ini.Read("TRIM", "PID_P"), "4500");      // read back trimmed, as a profile read does
    EXPECT_EQ(ini.Read("FLAPS", "FLAP_40"), "0");
    EXPECT_EQ(ini.Read("REVERSERS", "REVERSER_4_FULL"), "0");
    EXPECT_EQ(ini.Read("THROTTLES", "ENABLE_MANUAL_OVERRIDE"), "0");
    EXPECT_EQ(ini.Read("TRIM", "TRIM_TIME_DELAY_BETWEEN_MOTION"), "2000");
    // Rewritten in place, with the file's own spelling; comments kept.
    EXPECT_NE(saved.find("// my quadrant\r\n[aircraft]\r\ntype=747\r\n"), std::string::npos);
    EXPECT_NE(saved.find("// throttle calibration\r\nthrottle_1_idle=130\r\nTHROTTLE_1_FULL=880\r\n"),
              std::string::npos);
    EXPECT_NE(saved.find("INTERFACE1=0"), std::string::npos);
    // The saved subset lands in the order it is written: FLAP_15 before FLAP_10.
    EXPECT_LT(saved.find("FLAP_15="), saved.find("FLAP_10="));
    // Keys of the subset are not duplicated by a second save.
    rig.dialogs.answers = {DialogAnswer::Yes};
    f.Button10Click();
    EXPECT_EQ(rig.ConfigFile(), saved);
}

TEST(Save, NoClosesWithoutWritingAndCancelKeepsTheWindowOpen)
{
    struct Case {
        DialogAnswer answer;
        bool mayClose;
    } cases[] = {{DialogAnswer::No, true}, {DialogAnswer::Cancel, false}};
    for (const Case& c : cases) {
        Rig rig;
        TForm1& f = rig.Start(kUserFile);
        f.cfg.THROTTLE_1_IDLE = 999;
        f.ConfigChanged = true;
        const int writes = rig.files.WriteCount();
        rig.dialogs.answers = {c.answer};
        EXPECT_EQ(f.FormCloseQuery(), c.mayClose);
        EXPECT_EQ(rig.files.WriteCount(), writes);
        EXPECT_EQ(rig.ConfigFile(), kUserFile);
        EXPECT_TRUE(f.ConfigChanged);
    }
}

TEST(Save, NoChangeClosesWithoutAQuestion)
{
    Rig rig;
    TForm1& f = rig.Start(kUserFile);
    EXPECT_TRUE(f.FormCloseQuery());
    EXPECT_TRUE(rig.dialogs.questions.empty());
}

TEST(Save, TheNextStartShowsTheSavedValues)
{
    Rig rig;
    TForm1& f = rig.Start();
    f.cfg.SPEEDBRAKE_ARM = 512;
    f.cfg.MOTOR_ACCELERATION = 55;
    f.manual_override.Checked = true;
    f.p_pid_d.Text = "250";
    rig.dialogs.answers = {DialogAnswer::Yes};
    ASSERT_TRUE(f.Save_Config());
    // The log says where it went.
    EXPECT_TRUE(rig.Logged(std::string("Settings saved to ") + kConfigPath));

    Rig next;
    TForm1& g = next.Start(rig.ConfigFile());
    EXPECT_EQ(g.cfg.SPEEDBRAKE_ARM, 512);
    EXPECT_EQ(g.cfg.MOTOR_ACCELERATION, 55);
    EXPECT_TRUE(g.manual_override.Checked);
    EXPECT_EQ(g.p_pid_d.Text, "250");
    EXPECT_EQ(g.Label(75).Caption, "55");
}

TEST(Save, AFailedSaveIsReportedKeepsTheChangeAndTheOldFile)
{
    for (auto failure : {MemoryFileSystem::Failure::WriteTemp, MemoryFileSystem::Failure::Rename}) {
        Rig rig;
        TForm1& f = rig.Start(kUserFile);
        f.cfg.THROTTLE_1_IDLE = 130;
        f.ConfigChanged = true;
        rig.files.FailWrites(failure);
        rig.dialogs.answers = {DialogAnswer::Yes};

        EXPECT_FALSE(f.FormCloseQuery());
        EXPECT_TRUE(f.ConfigChanged);
        EXPECT_EQ(rig.ConfigFile(), kUserFile);
        ASSERT_EQ(rig.dialogs.errors.size(), 1u);
        EXPECT_EQ(rig.dialogs.errors[0].rfind("Settings not saved: ", 0), 0u);
        EXPECT_EQ(rig.Log().back(), rig.dialogs.errors[0]);

        // Once the disk is back, the same close saves.
        rig.files.FailWrites(MemoryFileSystem::Failure::None);
        rig.dialogs.answers = {DialogAnswer::Yes};
        EXPECT_TRUE(f.FormCloseQuery());
        EXPECT_EQ(IniFile::Parse(rig.ConfigFile()).Read("THROTTLES", "THROTTLE_1_IDLE"), "130");
        EXPECT_EQ(rig.Log().back(), std::string("Settings saved to ") + kConfigPath);
    }
}

TEST(Save, AMissingFileIsCreatedWithTheSubset)
{
    Rig rig;
    TForm1& f = rig.Start();
    rig.files.Remove(kConfigPath);
    rig.dialogs.answers = {DialogAnswer::Yes};
    ASSERT_TRUE(f.Save_Config());
    const IniFile ini = IniFile::Parse(rig.ConfigFile());
    EXPECT_EQ(ini.Read("AIRCRAFT", "TYPE"), "777");
    EXPECT_EQ(ini.Read("TRIM", "PID_I"), "3");
    EXPECT_FALSE(ini.Read("PHIDGETS_SERIAL_NUMBERS", "INTERFACE1"));
}

TEST(Shutdown, CloseStopsTheCycleTheTrimMotorAndEveryBoard)
{
    Rig rig;
    rig.boards.Plug(BoardKind::MotorControl, 77);
    rig.boards.Plug(BoardKind::MotorControl, 88);
    std::string text = DefaultConfigText();
    text.replace(text.find("MOTOR_TRIM=0"), 12, "MOTOR_TRIM=77");
    text.replace(text.find("MOTOR2_THROTTLES_1_2=0"), 22, "MOTOR2_THROTTLES_1_2=88");
    TForm1& f = rig.Start(text);
    rig.host.RunFor(200);
    VirtualBoardState* trim = &rig.boards.Board(77);
    VirtualBoardState* throttles = &rig.boards.Board(88);
    ASSERT_TRUE(trim && trim->attached());
    ASSERT_TRUE(throttles && throttles->attached());
    trim->ClearCommands();

    ASSERT_TRUE(f.FormCloseQuery());
    f.FormClose();
    EXPECT_FALSE(rig.host.TimerEnabled(TimerId::Main));
    EXPECT_EQ(trim->commands, (std::vector<BoardCommand>{{BoardCommand::Op::Velocity, 1, 0}}));
    EXPECT_FALSE(trim->opened());
    for (const VirtualBoardState* s : rig.boards.Controls())
        EXPECT_FALSE(s->opened());

    // Destroying repeats the stops on closed boards harmlessly, and only once.
    f.FormDestroy();
    f.FormDestroy();
    EXPECT_TRUE(f.Destroyed());
}

TEST(Shutdown, DestroyStopsTheThrottleMotorsOfAnAttachedBoard)
{
    Rig rig;
    rig.boards.Plug(BoardKind::MotorControl, 88);
    std::string text = DefaultConfigText();
    text.replace(text.find("MOTOR2_THROTTLES_1_2=0"), 22, "MOTOR2_THROTTLES_1_2=88");
    TForm1& f = rig.Start(text);
    rig.host.RunFor(100);
    VirtualBoardState* throttles = &rig.boards.Board(88);
    ASSERT_TRUE(throttles->attached());
    f.FormDestroy();
    EXPECT_EQ(throttles->commands, (std::vector<BoardCommand>{{BoardCommand::Op::Velocity, 1, 0},
                                                              {BoardCommand::Op::Velocity, 0, 0}}));
    EXPECT_FALSE(throttles->opened());
}

TEST(Shutdown, EveryDrivenMotorStopsBeforeItsBoardIsClosedOnEitherWayOut)
{
    // Speedbrake, throttles 1+2, throttles 3+4, trim, single throttle 1, 2.
    const int serials[] = {81, 82, 83, 84, 85, 86};
    for (const bool quitOrder : {false, true}) {
        Rig rig;
        for (int s : serials)
            rig.boards.Plug(BoardKind::MotorControl, s);
        TForm1& f = rig.Start(Config({{"AIRCRAFT", "TYPE", "747"},
                                      {"PHIDGETS_SERIAL_NUMBERS", "MOTOR1_SPEEDBRAKE", "81"},
                                      {"PHIDGETS_SERIAL_NUMBERS", "MOTOR2_THROTTLES_1_2", "82"},
                                      {"PHIDGETS_SERIAL_NUMBERS", "MOTOR3_THROTTLES_3_4", "83"},
                                      {"PHIDGETS_SERIAL_NUMBERS", "MOTOR_TRIM", "84"},
                                      {"PHIDGETS_SERIAL_NUMBERS", "MOTOR_THROTTLE_1_SINGLE", "85"},
                                      {"PHIDGETS_SERIAL_NUMBERS", "MOTOR_THROTTLE_2_SINGLE", "86"},
                                      {"MOTORS", "SPEEDBRAKE_MOTOR_CHANNEL", "1"}, {"TRIM", "MOTOR_NUMBER", "1"}}));
        rig.host.RunFor(100);
        // Every motor output of every board running.
        for (int s : serials) {
            ASSERT_TRUE(rig.boards.Board(s).attached()) << s;
            for (int o = 0; o < 4; ++o)
                rig.boards.Board(s).velocity[std::size_t(o)] = 40;
        }
        // Closed boards are no longer found by serial: keep them at hand.
        std::map<int, VirtualBoardState*> board;
        for (int s : serials)
            board[s] = &rig.boards.Board(s);
        if (quitOrder) {
            f.QuitOrder();
            rig.host.RunFor(100);
            ASSERT_TRUE(rig.host.Terminated());
            f.FormDestroy();
        } else {
            ASSERT_TRUE(f.FormCloseQuery());
            f.FormClose();
        }
        const struct {
            int serial, output;
        } driven[] = {{81, 1}, {82, 1}, {82, 0}, {83, 3}, {83, 2}, {84, 1}, {85, 0}, {86, 0}};
        for (const auto& d : driven) {
            const VirtualBoardState* b = board.at(d.serial);
            EXPECT_FALSE(b->opened()) << d.serial;
            // The stop is the last command that output received.
            bool found = false;
            for (auto it = b->commands.rbegin(); it != b->commands.rend() && !found; ++it)
                if (it->op == BoardCommand::Op::Velocity && it->index == d.output) {
                    EXPECT_EQ(it->value, 0) << d.serial << "/" << d.output << (quitOrder ? " quit" : " close");
                    found = true;
                }
            EXPECT_TRUE(found) << d.serial << "/" << d.output << (quitOrder ? " quit" : " close");
        }
    }
}

TEST(Shutdown, ABoardFailingDuringShutdownDoesNotStopIt)
{
    Rig rig;
    rig.boards.Plug(BoardKind::MotorControl, 77);
    std::string text = DefaultConfigText();
    text.replace(text.find("MOTOR_TRIM=0"), 12, "MOTOR_TRIM=77");
    TForm1& f = rig.Start(text);
    rig.host.RunFor(100);
    rig.boards.Board(77).failCalls = true;
    f.FormClose();
    f.FormDestroy();
    EXPECT_TRUE(f.Destroyed());
}

TEST(Shutdown, TheQuitOrderEndsTheBridgeAndTheProgramWithoutAQuestion)
{
    Rig rig;
    rig.process.processes = {"C:\\Sim\\NET_BRIDGE\\net_bridge.EXE", "C:\\Sim\\other.exe",
                             "C:\\NET_BRIDGE.exe\\x.exe"};
    TForm1& f = rig.Start();
    f.ConfigChanged = true;
    f.QuitOrder();
    EXPECT_EQ(rig.process.killRequests, std::vector<std::string>{"NET_BRIDGE.exe"});
    EXPECT_EQ(rig.process.killed, std::vector<std::string>{"C:\\Sim\\NET_BRIDGE\\net_bridge.EXE"});
    rig.host.RunFor(1000);
    EXPECT_TRUE(rig.host.Terminated());
    EXPECT_TRUE(rig.dialogs.questions.empty());
    f.FormDestroy();
    EXPECT_TRUE(rig.dialogs.questions.empty());
    EXPECT_EQ(rig.files.WriteCount(), 1);   // only the first start's default file
}

} // namespace
} // namespace zrk::test

#include <gtest/gtest.h>

#include "app/Entry.h"
#include "config/DefaultConfig.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

const std::vector<std::string> kSerialLines = {
    "Motor Controller 1 Serial No (SpeedBrake)  Not Specified",
    "Motor Controller 2 Serial No (Throttles 1+2) Not Specified",
    "Motor Controller  Serial No (Throttle 1 Single) Not Specified",
    "Motor Controller  Serial No (Throttle 2 Single) Not Specified",
    "Speedbrake Servo Board Serial No Not Specified",
    "Interface Board Serial No: Not Specified",
    "Trim Motor Board Serial No: Not Specified",
    "Servo Board 1 Serial No (CPT Trim)  Not Specified",
    "Servo Board 2 Serial No (FO Trim)  Not Specified",
    "Servo Board 3 Serial No (Rudder Trim)  Not Specified",
    "Multi Servo Board Serial No (Trim/SB)  Not Specified",
};

const std::vector<std::string> kReminders = {
    "INFORMATION - Calibrate Flaps",
    "INFORMATION - Calibrate Throttles",
    "INFORMATION - Calibrate Speedbrake",
    "INFORMATION - Calibrate Reversers",
};

// The log of a start on a file with no serial numbers; `written`: the
// default file was written first.
std::vector<std::string> FirstStartLog(const char* type, bool written)
{
    std::vector<std::string> l = {"Version : 2.07"};
    if (written)
        l.push_back(std::string("Settings saved to ") + kConfigPath);
    l.push_back(std::string("Aircraft Type : B") + type);
    l.push_back("Reading Serial Numbers");
    l.insert(l.end(), kSerialLines.begin(), kSerialLines.end());
    l.push_back("Reading Serial Numbers - Completed");
    l.insert(l.end(), kReminders.begin(), kReminders.end());
    l.push_back("Waiting for Devices to Connect...");
    l.push_back("Interface Board 1 Serial No:  Not Specified");
    return l;
}

TEST(Startup, FirstStartWritesTheDefaultFileAndLogsInOrder)
{
    Rig rig;
    TForm1& f = rig.Start();
    EXPECT_EQ(rig.ConfigFile(), DefaultConfigText());
    EXPECT_EQ(rig.Log(), FirstStartLog("777", true));
    EXPECT_EQ(f.Caption, "ZRK Throttle and Trim Controller : 2.07");
    EXPECT_FALSE(f.ConfigChanged);
    // A fresh file runs with the file's values, not the key defaults.
    EXPECT_EQ(f.cfg.MOTOR_SPEED_MAX, 100);
    EXPECT_EQ(f.cfg.THROTTLE_3_MOTOR_CHANNEL, 3);
    EXPECT_EQ(f.cfg.MOTOR_NUMBER, 1);
    EXPECT_TRUE(f.cfg.SERVO1);
    EXPECT_FALSE(f.cfg.SPEEDBRAKE_INSTALLED);
}

TEST(Startup, TheStatusBarShowsTheBridgeAndTheBoardsAttached)
{
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, 5001);
    rig.socket.SetListening(false);
    TForm1& f = rig.Start(Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "5001"},
                                  {"PHIDGETS_SERIAL_NUMBERS", "MOTOR_TRIM", "5002"}}));
    rig.host.RunFor(1100);
    EXPECT_EQ(f.StatusBar1.SimpleText, "FSUIPC Connected");
    EXPECT_EQ(f.StatusBar1.BridgeText, "Waiting for Bridge 127.0.0.1:698");
    EXPECT_EQ(f.StatusBar1.BoardsText, "Boards 1/2");

    // The trim motor's board plugged in, the bridge listening: both follow.
    rig.boards.Plug(BoardKind::MotorControl, 5002);
    rig.socket.SetListening(true);
    rig.host.RunFor(4100);
    EXPECT_EQ(f.StatusBar1.BridgeText, "Bridge Connected");
    EXPECT_EQ(f.StatusBar1.BoardsText, "Boards 2/2");
}

TEST(Startup, DefaultFileTextIsCrLfThroughoutAndKeepsItsTrailingBlank)
{
    const std::string t = DefaultConfigText();
    EXPECT_EQ(t.rfind("[AIRCRAFT]\r\nTYPE=777\r\n", 0), 0u);
    EXPECT_NE(t.find("// Sets a 'dead' zone. \r\n"), std::string::npos);
    EXPECT_EQ(t.substr(t.size() - 15), "FSUIPC_DATA=0\r\n");
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\n') {
            ASSERT_EQ(t[i - 1], '\r') << "at " << i;
        }
    }
}

TEST(Startup, A747FileWithOnlyTheTypeRunsOnEveryDefault)
{
    Rig rig;
    TForm1& f = rig.Start(Ini({"[AIRCRAFT]", "TYPE=747"}));
    EXPECT_EQ(f.aircraft_type.ItemIndex, 2);
    const Settings& c = f.cfg;
    EXPECT_EQ(c.THROTTLE_3_MOTOR_CHANNEL, 1);
    EXPECT_EQ(c.THROTTLE_4_MOTOR_CHANNEL, 0);
    EXPECT_EQ(c.MOTOR_SPEED_MAX, 60);
    EXPECT_EQ(c.MIN_MOTOR_SPEED_L, 7);
    EXPECT_EQ(c.MIN_MOTOR_SPEED_R, 7);
    EXPECT_EQ(c.MAX_MOTOR_SPEED_R, 100);
    EXPECT_EQ(c.TRIM_TIME_DELAY_BETWEEN_MOTION, 2000);
    EXPECT_EQ(c.IDLE_TIMEOUT, 14000);
    EXPECT_EQ(c.REMOTE_IP, "?");
    EXPECT_EQ(c.REMOTE_PORT, 5001);
    EXPECT_TRUE(c.SPEEDBRAKE_INSTALLED);
    EXPECT_DOUBLE_EQ(c.TRIM_NULL_ZONE, 0.04);
    EXPECT_DOUBLE_EQ(c.SPEED_SCALE, 0.5);
    EXPECT_DOUBLE_EQ(c.THROTTLE4_OVERRIDE_CURRENT, 0.28);
    EXPECT_DOUBLE_EQ(c.CPT_SERVO_MAX, 180);
    EXPECT_EQ(f.p_pid_p.Text, "5000");
    EXPECT_EQ(f.p_pid_i.Text, "3");
    EXPECT_EQ(f.p_pid_d.Text, "300");
    EXPECT_EQ(f.UpDown2.Position, 4);
    EXPECT_EQ(f.Label(41).Caption, "0.04");
    EXPECT_EQ(f.Label(44).Caption, "60");
    EXPECT_EQ(f.Label(78).Caption, "2000");
    EXPECT_TRUE(f.TrackBar(3).Visible);

    auto expected = FirstStartLog("747", false);
    expected.push_back("Interface Board 2 Serial No (PBrake,Stab,Trim)  Not Specified");
    EXPECT_EQ(rig.Log(), expected);
    // The user's file is not rewritten at start.
    EXPECT_EQ(rig.ConfigFile(), Ini({"[AIRCRAFT]", "TYPE=747"}));
}

TEST(Startup, AircraftTypeIsExactAndShowsTheLevers34OnlyFor747)
{
    struct Case {
        const char* type;
        int index;
        const char* logged;
    } cases[] = {
        {"747", 2, "Aircraft Type : B747"},
        {"737", 1, "Aircraft Type : B737"},
        {"777", 0, "Aircraft Type : B777"},
        {"b747", 0, "Aircraft Type : B777"},
        {"747 ", 2, "Aircraft Type : B747"},   // profile values are trimmed
        {"", 0, "Aircraft Type : B777"},
    };
    for (const Case& c : cases) {
        Rig rig;
        TForm1& f = rig.Start(Ini({"[AIRCRAFT]", (std::string("TYPE=") + c.type).c_str()}));
        EXPECT_EQ(f.aircraft_type.ItemIndex, c.index) << c.type;
        EXPECT_TRUE(rig.Logged(c.logged)) << c.type;
        EXPECT_EQ(f.TrackBar(4).Visible, c.index == 2);
        EXPECT_EQ(f.TrackBar(8).Visible, c.index == 2);
        EXPECT_TRUE(f.TrackBar(2).Visible);
        EXPECT_FALSE(f.ConfigChanged);
    }
}

TEST(Startup, CalibrationRemindersFollowTheirSums)
{
    struct Case {
        std::vector<const char*> lines;
        std::vector<std::string> reminders;
    } cases[] = {
        // FLAP_2 is not part of the flap sum.
        {{"[FLAPS]", "FLAP_2=1000", "[THROTTLES]", "THROTTLE_1_IDLE=1", "THROTTLE_2_FULL=1",
          "[SPEEDBRAKE]", "SPEEDBRAKE_UP=1", "[REVERSERS]", "REVERSER_2_FULL=2"},
         {"INFORMATION - Calibrate Flaps"}},
        // One throttle value of 1 is below 2.
        {{"[FLAPS]", "FLAP_40=28", "[THROTTLES]", "THROTTLE_1_IDLE=1", "[SPEEDBRAKE]", "SPEEDBRAKE_DN=1",
          "[REVERSERS]", "REVERSER_1_IDLE=1", "REVERSER_1_FULL=1"},
         {"INFORMATION - Calibrate Throttles"}},
        // All calibrated.
        {{"[FLAPS]", "FLAP_UP=10", "FLAP_30=18", "[THROTTLES]", "THROTTLE_2_IDLE=2", "[SPEEDBRAKE]",
          "SPEEDBRAKE_DN=1", "[REVERSERS]", "REVERSER_1_IDLE=2"},
         {}},
        // Huge values do not overflow into a negative sum.
        {{"[FLAPS]", "FLAP_UP=2147483647", "FLAP_1=2147483647", "[THROTTLES]", "THROTTLE_1_IDLE=2147483647",
          "THROTTLE_1_FULL=2147483647", "[SPEEDBRAKE]", "SPEEDBRAKE_DN=2147483647", "SPEEDBRAKE_UP=2147483647",
          "[REVERSERS]", "REVERSER_1_IDLE=2147483647", "REVERSER_1_FULL=2147483647"},
         {}},
    };
    for (const Case& c : cases) {
        std::string text;
        for (const char* l : c.lines)
            text += std::string(l) + "\r\n";
        Rig rig;
        rig.Start(text);
        std::vector<std::string> got;
        for (const std::string& l : rig.Log())
            if (l.rfind("INFORMATION", 0) == 0)
                got.push_back(l);
        EXPECT_EQ(got, c.reminders) << text;
    }
}

TEST(Startup, MalformedValuesTakeTheirDefaultsOrZero)
{
    Rig rig;
    TForm1& f = rig.Start(Ini({"[TRIM]", "MOTOR_SPEED_MAX=fast", "NULL_ZONE=abc", "CPT_SERVO_MAX=",
                               "[FINE_TUNING]", "SPEED_SCALE=half", "[THROTTLES]",
                               "THROTTLE1_OVERRIDE_CURRENT=0,3", "IDLE_TIMEOUT=99999999999",
                               "CHANGE_TRIGGER_VALUE= 7 ", "[PHIDGETS_SERIAL_NUMBERS]", "remote_888_card=1",
                               "[SPEEDBRAKE]", "SPEEDBRAKE_INSTALLED=yes"}));
    const Settings& c = f.cfg;
    EXPECT_EQ(c.MOTOR_SPEED_MAX, 60);            // not an integer: the default
    EXPECT_DOUBLE_EQ(c.TRIM_NULL_ZONE, 0);       // tolerant real: 0
    EXPECT_DOUBLE_EQ(c.CPT_SERVO_MAX, 0);
    EXPECT_DOUBLE_EQ(c.SPEED_SCALE, 0);
    EXPECT_DOUBLE_EQ(c.THROTTLE1_OVERRIDE_CURRENT, 0);
    EXPECT_EQ(c.IDLE_TIMEOUT, 14000);            // out of range: the default
    EXPECT_EQ(c.CHANGE_TRIGGER_VALUE, 7);
    EXPECT_TRUE(c.REMOTE_888_CARD);              // key matched in any letter case
    EXPECT_TRUE(c.SPEEDBRAKE_INSTALLED);         // not a number: the default (1)
    EXPECT_TRUE(rig.Logged("Remote 888 Card IP Address Not Specified"));
}

TEST(Startup, BridgeHostComesFromTheBridgeSettings)
{
    Rig rig;
    rig.files.Put("../NET_BRIDGE/Config.ini", "[server]\r\nserver_ip_address = 10.1.2.3\r\n");
    EXPECT_EQ(rig.Start().SERVER_IP_ADDRESS, "10.1.2.3");

    Rig missing;
    EXPECT_EQ(missing.Start().SERVER_IP_ADDRESS, "127.0.0.1");
}

TEST(Startup, AnUnwritableDefaultFileIsLoggedAndTheProgramRunsOnTheDefaultFileValues)
{
    Rig rig;
    rig.files.FailWrites(MemoryFileSystem::Failure::WriteTemp);
    TForm1& f = rig.Start();
    EXPECT_EQ(rig.ConfigFile(), "");
    ASSERT_FALSE(rig.Log().empty());
    bool reported = false;
    for (const std::string& l : rig.Log())
        reported = reported || l.find("default settings file could not be written") != std::string::npos;
    EXPECT_TRUE(reported);
    EXPECT_EQ(f.cfg.MOTOR_SPEED_MAX, 100);
    EXPECT_TRUE(rig.Logged("Waiting for Devices to Connect..."));
}

TEST(Startup, TimersStartInOrderAndTheMainCycleOnlyAfterStart)
{
    Rig rig;
    rig.sim.windowClass.clear();   // no simulator running
    rig.Start();
    const TestHost& h = rig.host;
    EXPECT_TRUE(h.TimerEnabled(TimerId::Timer1));
    EXPECT_TRUE(h.TimerEnabled(TimerId::Reconnect));
    EXPECT_TRUE(h.TimerEnabled(TimerId::Start));
    EXPECT_FALSE(h.TimerEnabled(TimerId::Main));
    EXPECT_EQ(h.TimerInterval(TimerId::Reconnect), 2000u);

    rig.host.RunFor(99);
    EXPECT_FALSE(h.TimerEnabled(TimerId::Main));
    rig.host.RunFor(1);
    EXPECT_TRUE(h.TimerEnabled(TimerId::Main));
    EXPECT_FALSE(h.TimerEnabled(TimerId::Start));
    EXPECT_FALSE(h.Minimized());
    rig.host.RunFor(1000);
    EXPECT_EQ(rig.form->StatusBar1.SimpleText, "Waiting for FSUIPC");
    EXPECT_FALSE(rig.form->FsuipcConnected);

    // The simulator comes up: the next second's try opens the link, and it
    // stays open even after the simulator has gone again.
    rig.sim.windowClass = "UIPCMAIN";
    rig.host.RunFor(1000);
    EXPECT_EQ(rig.form->StatusBar1.SimpleText, "FSUIPC Connected");
    rig.sim.windowClass.clear();
    rig.host.RunFor(3000);
    EXPECT_EQ(rig.form->StatusBar1.SimpleText, "FSUIPC Connected");
}

TEST(Startup, ARunningSimulatorIsLinkedDuringStart)
{
    Rig rig;
    rig.Start();
    EXPECT_TRUE(rig.form->FsuipcConnected);
}

TEST(Startup, StartMinimizedIsReadByTheDeferredStart)
{
    Rig rig;
    std::string text = DefaultConfigText();
    text.replace(text.find("START_MINIMIZED=0"), 17, "START_MINIMIZED=1");
    rig.Start(text);
    EXPECT_FALSE(rig.host.Minimized());
    rig.host.RunFor(100);
    EXPECT_TRUE(rig.host.Minimized());
    EXPECT_TRUE(rig.host.TimerEnabled(TimerId::Main));
}

TEST(Startup, FormCreateWaitsASecondBeforeTheFirstBridgeConnection)
{
    Rig rig;
    rig.sim.windowClass.clear();   // no simulator handshake to wait for
    const uint64_t before = rig.host.NowMs();
    rig.Start();
    EXPECT_EQ(rig.host.NowMs() - before, 1000u);
}

TEST(Entry, TheBridgeIsLaunchedOnlyWhenItIsNotRunning)
{
    TestHost host;
    VirtualProcessEnv env;
    env.bridgeRunning = true;
    EXPECT_FALSE(EnsureBridgeRunning(env, host));
    EXPECT_EQ(env.launches, 0);
    EXPECT_EQ(host.NowMs(), 1'000'000u);

    env.bridgeRunning = false;
    EXPECT_TRUE(EnsureBridgeRunning(env, host));
    EXPECT_EQ(env.launches, 1);
    EXPECT_EQ(host.NowMs(), 1'002'000u);
}

TEST(Entry, AStopRequestCutsTheStartupWaitsShort)
{
    TestHost host;
    uint64_t stopAt = UINT64_MAX;
    StoppableClock clock(host, [&] { return host.NowMs() >= stopAt; }, 20);
    VirtualProcessEnv env;
    // Without a request the bridge gets its full two seconds.
    EXPECT_TRUE(EnsureBridgeRunning(env, clock));
    EXPECT_EQ(host.NowMs(), 1'002'000u);
    // A request half a second in ends the wait at the next look.
    stopAt = host.NowMs() + 500;
    EXPECT_TRUE(EnsureBridgeRunning(env, clock));
    EXPECT_EQ(host.NowMs(), 1'002'500u);
    // From then on no sleep waits at all.
    clock.Sleep(1000);
    EXPECT_EQ(host.NowMs(), 1'002'500u);

    // A tick count that does not move still lets the sleep end on time.
    struct StuckClock : IClock {
        uint64_t slept = 0;
        uint32_t TickCount() override { return 7; }
        void Sleep(uint32_t ms) override { slept += ms; }
        LocalTime Now() override { return {}; }
    } stuck;
    StoppableClock overStuck(stuck, [] { return false; }, 30);
    overStuck.Sleep(1000);
    EXPECT_EQ(stuck.slept, 1000u);
}

} // namespace
} // namespace zrk::test

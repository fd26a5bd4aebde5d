#include <gtest/gtest.h>

#include "app/Scenario.h"
#include "app/VirtualWorld.h"

namespace zrk {
namespace {

std::vector<std::string> Trace(const std::string& text, std::string* error = nullptr)
{
    ScenarioRunner runner;
    std::vector<std::string> lines;
    const std::string e = runner.Run(text, [&](const std::string& l) { lines.push_back(l); });
    if (error)
        *error = e;
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& text)
{
    for (const std::string& l : lines)
        if (l == text)
            return true;
    return false;
}

const char* const kThrottle = "@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\n[THROTTLES]\n"
                              "THROTTLE_1_IDLE=100\nTHROTTLE_1_FULL=900\n@scenario\n0 plug kit 100\n";

TEST(Scenario, AMovedThrottleIsWrittenAtTheNextMainCycle)
{
    const auto lines = Trace(std::string(kThrottle) + "2050 sensor 100 0 500\n2100 end\n");
    EXPECT_TRUE(Has(lines, "     2100 fsuipc write 0x52FA 2 8192"));
    EXPECT_TRUE(Has(lines, "     1100 bridge ZRK_TQ_CONNECTED=1"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "     2100 bridge ZRK_TQ_CONNECTED=0");
    EXPECT_EQ(lines.back(), "     2100 board 100 closed");
}

TEST(Scenario, TheSameScenarioGivesTheSameTrace)
{
    const std::string s = std::string(kThrottle) + "2000 sensor 100 0 300\n3000 unplug 100\n25000 end\n";
    EXPECT_EQ(Trace(s), Trace(s));
}

TEST(Scenario, BridgeRecordsSnapshotFieldsAndClicks)
{
    // The quit order ends the run; a changed setting asks nothing.
    auto lines = Trace("@config\n@scenario\n1500 click aircraft_type 2\n1600 bridge KILL_TQ_CONTROLLER=1\n"
                       "9000 end\n");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "     1600 note the controller ended");
    EXPECT_EQ(lines.back(), "     1600 bridge ZRK_TQ_CONNECTED=0");   // the window is destroyed
    // Engine fire on the card's lamp outputs.
    lines = Trace("@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\n@scenario\n0 plug kit 100\n"
                  "1500 aircraft u8 8544 1\n1600 end\n");
    EXPECT_TRUE(Has(lines, "     1600 board 100 output[0]=1"));
    // Saving through the button: the question, and the file written only
    // when it is answered yes.
    for (const char* answer : {"yes", "no"}) {
        lines = Trace(std::string("@config\n@scenario\n1200 answer ") + answer + "\n1200 click Button10\n1300 end\n");
        EXPECT_TRUE(Has(lines, "     1200 note question Save Calibration Changes ?")) << answer;
        EXPECT_EQ(Has(lines, "     1200 note CONFIG.INI written"), std::string(answer) == "yes") << answer;
    }
}

// A motor on the two-motor board 200 and the main card 100, both plugged.
const char* const kMotorBoard = "@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\nMOTOR2_THROTTLES_1_2=200\n"
                                "[THROTTLES]\nTHROTTLE_1_IDLE=100\nTHROTTLE_1_FULL=900\n[MOTORS]\n"
                                "THROTTLE_1_MOTOR_CHANNEL=1\nTHROTTLE_2_MOTOR_CHANNEL=0\n"
                                "REVERSE_MOTOR_DIRECTION_1=1\n@scenario\n0 plug kit 100\n0 plug motor 200\n";

std::vector<std::string> BoardLines(const std::vector<std::string>& lines, const std::string& what)
{
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.find(what) != std::string::npos)
            out.push_back(l);
    return out;
}

TEST(Scenario, ABoardCommandIsTracedWhenItDiffersFromTheLastOfItsOutput)
{
    // The stop repeated every cycle shows once; output 0 and output 1 are
    // each news the first time; a new board session starts afresh.
    const auto lines = Trace(std::string(kMotorBoard) + "3000 unplug 200\n3000 plug motor 200\n3500 end\n");
    EXPECT_EQ(BoardLines(lines, "board 200"),
              (std::vector<std::string>{"     1300 board 200 velocity[1]=0", "     1300 board 200 velocity[0]=0",
                                        "     3100 board 200 velocity[1]=0", "     3100 board 200 velocity[0]=0",
                                        "     3500 board 200 closed"}));
}

TEST(Scenario, TheQuadrantMovesALeverThatTheDriveCommands)
{
    // Mode 1 with the command at full scale from 2000: the lever is to run
    // up from idle (100).
    auto drive = [](const std::string& quadrant) {
        return std::string(kMotorBoard) + "1500 sensor 100 0 100\n" + quadrant
               + "1500 aircraft i32 4775 100\n1500 aircraft f64 16354 100\n1500 aircraft u8 1784 1\n"
                 "2000 aircraft u8 453 1\n3000 end\n";
    };
    // Without the quadrant the lever stays where the scenario put it.
    std::string error;
    auto lines = Trace(drive(""), &error);
    ASSERT_EQ(error, "");
    EXPECT_TRUE(Has(lines, "     2100 board 200 velocity[1]=50"));
    EXPECT_TRUE(BoardLines(lines, "fsuipc write 0x52FA").empty());
    // With it the lever moves, the kit reports it and the simulator hears of it.
    lines = Trace(drive("1500 quadrant wire t1 100 0 200 1\n1500 quadrant trace 500\n"), &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(BoardLines(lines, "lever t1"),
              (std::vector<std::string>{"     1508 lever t1 100", "     2500 lever t1 218"}));   // 333 counts/s at 50 %
    EXPECT_TRUE(Has(lines, "     2200 fsuipc write 0x52FA 2 246"));
    // A hand moving it takes over from the motor, and holds it at the end.
    lines = Trace(drive("1500 quadrant wire t1 100 0 200 1\n1500 quadrant trace 500\n1500 hold t1\n"
                        "1500 move t1 500 1000\n"), &error);
    ASSERT_EQ(error, "");
    EXPECT_EQ(BoardLines(lines, "lever t1"), (std::vector<std::string>{"     1508 lever t1 103", "     2004 lever t1 302",
                                                                       "     2500 lever t1 500"}));
}

TEST(Scenario, ExpectationsAreCheckedInOrderAndNamedWhenUnmet)
{
    const std::string run = std::string(kThrottle) + "2050 sensor 100 0 500\n2100 end\n";
    const struct {
        const char* expectations;
        const char* error;
    } cases[] = {
        {"# expect:      2100 fsuipc write 0x52FA 2 8192\n", ""},
        {"# expect:      1100 bridge ZRK_TQ_CONNECTED=1\n# expect:      2100 fsuipc write 0x52FA 2 8192\n", ""},
        // Both lines are in the trace, but not in this order.
        {"# expect:      2100 fsuipc write 0x52FA 2 8192\n# expect:      1100 bridge ZRK_TQ_CONNECTED=1\n",
         "line 2: expected trace line not seen after the one before:      1100 bridge ZRK_TQ_CONNECTED=1"},
        {"# expect:      2100 fsuipc write 0x52FA 2 8191\n",
         "line 1: expected trace line not seen:      2100 fsuipc write 0x52FA 2 8191"},
        {"# expect-never: 0x52FA 2 8192\n",
         "line 1: a trace line holds \"0x52FA 2 8192\":      2100 fsuipc write 0x52FA 2 8192"},
        {"# expect-never: 0..2099 0x52FA\n", ""},
        {"# expect-lever: t1 in 0..10 at 100\n", "line 1: no step of the quadrant showed lever t1 from 100 to 107"},
        {"# expect-lever: t1 in 0..10 from 100 to 9000\n", "line 1: the run ended at 2100, before 9000"},
        {"# expect-lever: t1 in 0..10\n", "line 1: expect-lever: takes NAME in LO..HI from T0 to T1, NAME in LO..HI "
                                          "at T, or NAME reaches LO..HI [from T0] by T1 [without reversing] [then stays "
                                          "until T2]"},
        {"# expect-sometime: x\n", "line 1: unknown expectation form (expect:, expect-never:, expect-lever:, "
                                    "expect-wheel:, expect-servo:)"},
        {"# expected to pass: an ordinary comment\n", ""},
    };
    for (const auto& c : cases) {
        ScenarioRunner runner;
        runner.check = true;
        EXPECT_EQ(runner.Run(c.expectations + run, [](const std::string&) {}), c.error) << c.expectations;
    }
    // Without the checking mode the same file runs.
    ScenarioRunner plain;
    EXPECT_EQ(plain.Run(std::string(cases[3].expectations) + run, [](const std::string&) {}), "");
    // A mistake in the file is reported, whatever the expectations.
    ScenarioRunner mistaken;
    mistaken.check = true;
    EXPECT_EQ(mistaken.Run(std::string(cases[0].expectations) + run + "2200 jump\n", [](const std::string&) {}),
              "line 12: unknown stimulus jump");
}

TEST(Scenario, LeverExpectationsFollowTheLeverAtEveryStep)
{
    // The hand moves the lever up to 600 in a second, then back to 500.
    const std::string run = "@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\n@scenario\n0 plug kit 100\n"
                            "1500 quadrant wire t1 100 0\n1500 move t1 600 1000\n2500 move t1 500 500\n4000 end\n";
    const struct {
        const char* expectation;
        const char* error;
    } cases[] = {
        {"t1 reaches 590..610 from 1500 by 2500 without reversing, then stays until 2520", ""},
        {"t1 reaches 590..610 by 2400", "t1 not within 590..610 by 2400 at 2404 (reading 542)"},
        {"t1 reaches 590..610 by 2500, then stays until 2600", "t1 left 590..610 after reaching it at 2556 (reading 589)"},
        {"t1 reaches 700..800 from 1500 by 3500 without reversing", "t1 reversed before reaching 700..800 at 2508 (reading 598)"},
        {"t1 reaches 495..505 from 2500 by 3500 without reversing", ""},
        {"t1 in 500..500 from 3000 to 4000", ""},
        {"t1 in 0..599 from 1500 to 4000", "t1 outside 0..599 at 2500 (reading 600)"},
        {"t2 in 0..10 at 2000", "no step of the quadrant showed lever t2 from 2000 to 2007"},
    };
    for (const auto& c : cases) {
        ScenarioRunner runner;
        runner.check = true;
        runner.trace = false;
        const std::string error = runner.Run(std::string("# expect-lever: ") + c.expectation + "\n" + run,
                                             [](const std::string&) {});
        EXPECT_EQ(error, *c.error ? std::string("line 1: ") + c.error : "") << c.expectation;
    }
}

// The trim board 400 (wheel on output 1) and the four-channel servo board
// 500, both plugged, with the quadrant on.
const char* const kTrimAndServos = "@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\nMOTOR_TRIM=400\n"
                                   "MULTI_SERVOS=500\n[TRIM]\nMOTOR_NUMBER=1\n@scenario\n0 plug kit 100\n"
                                   "0 plug motor 400\n0 plug advservo 500\n1500 quadrant on\n";

TEST(Scenario, WheelsAndServosAreTracedOnlyWhenAskedFor)
{
    std::string error;
    // The levers only, as before.
    auto lines = Trace(std::string(kTrimAndServos) + "1500 quadrant trace 100\n2000 end\n", &error);
    ASSERT_EQ(error, "");
    EXPECT_TRUE(Has(lines, "     1508 lever speedbrake 0"));
    EXPECT_TRUE(BoardLines(lines, " wheel ").empty());
    EXPECT_TRUE(BoardLines(lines, " servo ").empty());
    // Asked for: each part when it changed. The captain's pointer stands at
    // 4 units of 15 (1 + 4 * 179 / 15 = 48.7), the latch channel in the
    // middle of its travel.
    lines = Trace(std::string(kTrimAndServos) + "1500 quadrant trace 100 wheels servos\n2000 end\n", &error);
    ASSERT_EQ(error, "");
    EXPECT_TRUE(BoardLines(lines, " lever ").empty());
    EXPECT_EQ(BoardLines(lines, "1508 wheel"), std::vector<std::string>{"     1508 wheel trim 0"});
    EXPECT_TRUE(Has(lines, "     1508 servo multi-cpt 49"));
    EXPECT_TRUE(Has(lines, "     1508 servo multi-latch 90"));
    EXPECT_EQ(BoardLines(lines, " servo multi-cpt").size(), 1u);   // it stands still
}

TEST(Scenario, WheelAndServoExpectations)
{
    // The alternate trim turns the wheel from the cycle at 2100.
    const std::string run = std::string(kTrimAndServos) + "2000 simulator u8 1170 1\n3000 end\n";
    const struct {
        const char* expectation;
        const char* error;
    } cases[] = {
        {"# expect-wheel: trim in 0..0 from 1500 to 2100", ""},
        {"# expect-wheel: trim reaches 90..3600 from 2100 by 3000 without reversing", ""},
        {"# expect-wheel: trim in 0..0 from 1500 to 3000", "trim outside 0..0 at 2116 (reading 1)"},
        {"# expect-wheel: trim reaches -20..-10 by 2500", "trim not within -20..-10 by 2500 at 2508 (reading 40)"},
        {"# expect-servo: multi-cpt in 48..49 from 1500 to 3000", ""},
        {"# expect-servo: latch in 0..1 at 2000", "no step of the quadrant showed servo latch from 2000 to 2007"},
        {"# expect-servo: multi-cpt in 48..49", "expect-servo: takes NAME in LO..HI from T0 to T1, NAME in LO..HI "
                                                "at T, or NAME reaches LO..HI [from T0] by T1 [without reversing] "
                                                "[then stays until T2]"},
    };
    for (const auto& c : cases) {
        ScenarioRunner runner;
        runner.check = true;
        runner.trace = false;
        const std::string error = runner.Run(std::string(c.expectation) + "\n" + run, [](const std::string&) {});
        EXPECT_EQ(error, *c.error ? std::string("line 1: ") + c.error : "") << c.expectation;
    }
}

TEST(Scenario, SpeedbrakeButtonsAndWhatTheWindowShows)
{
    const struct {
        const char* button;
        const char* log;    // the button's log line, if any
        const char* shown;  // Label59 at the next cycle
    } cases[] = {
        {"Button7", "Speedbrake Deploy", "DEPLOY"},
        {"Button8", "Speedbrake Retract", "RETRACT"},
        {"Button9", "Speedbrake Stop", "STOPPED"},
        {"Button2", nullptr, "STOPPED"},
        {"Button3", nullptr, "STOPPED"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto lines = Trace(std::string("@config\n@scenario\n2000 click ") + c.button
                                     + "\n2150 show Label59 Label23 Shape1\n2200 end\n",
                                 &error);
        ASSERT_EQ(error, "") << c.button;
        const auto logged = BoardLines(lines, "     2000 log");
        EXPECT_EQ(logged, c.log ? std::vector<std::string>{"     2000 log 14:46:42 : " + std::string(c.log)}
                                : std::vector<std::string>{})
            << c.button;
        EXPECT_TRUE(Has(lines, std::string("     2150 note Label59 ") + c.shown)) << c.button;
        EXPECT_TRUE(Has(lines, "     2150 note Label23 S/B NOT ARMED")) << c.button;
        EXPECT_TRUE(Has(lines, "     2150 note Shape1 8421504")) << c.button;
    }
    // A hidden label says so.
    const auto lines = Trace("@config\n@scenario\n2000 show Label33\n2100 end\n");
    EXPECT_TRUE(Has(lines, "     2000 note Label33 FWD (hidden)"));
}

TEST(Scenario, TheVirtualWorldsRecordersStayBounded)
{
    // A day's run sends and calls far more than this; each record keeps
    // its newest entries only.
    VirtualWorld world;
    world.socket.Connect("bridge", 698);
    world.host.RunPending();
    ASSERT_TRUE(world.socket.Connected());
    const uint8_t unit[3] = {1, 2, 3};
    uint8_t buffer[8];
    for (int i = 0; i < 20000; ++i) {
        world.panelBus.Operation3();
        world.socket.Send(unit, i % 3 + 1);
        world.socket.Receive(buffer, sizeof buffer);
    }
    for (int i = 0; i < 9000; ++i)
        world.socket.Connect("bridge", 698);
    const auto within = [](std::size_t size, std::size_t keep) { return size >= keep && size <= 2 * keep; };
    EXPECT_TRUE(within(world.panelBus.operations.size(), VirtualPanelBus::kKeptOperations));
    EXPECT_TRUE(within(world.socket.SentUnits().size(), VirtualBridgeSocket::kKeptEntries));
    EXPECT_EQ(world.socket.SentUnits().back().size(), std::size_t(19999 % 3 + 1));   // the newest kept
    EXPECT_TRUE(within(world.socket.ReadRequests().size(), VirtualBridgeSocket::kKeptEntries));
    EXPECT_TRUE(within(world.socket.Attempts().size(), VirtualBridgeSocket::kKeptEntries));
}

TEST(Scenario, MistakesAreReportedWithTheirLine)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"5 plug kit 1\n", "line 1: stimuli go after @scenario"},
        {"@scenario\nfoo bar\n", "line 2: a stimulus is a time in ms and a command"},
        {"@scenario\n100 end\n50 end\n", "line 3: times must not go backwards"},
        {"@scenario\n100 jump\n", "line 2: unknown stimulus jump"},
        {"@scenario\n100 sensor 5 0 1\n", "line 2: no board opened with serial 5"},
        {"@scenario\n100 aircraft u8 18207 1\n", "line 2: offset 18207 lies outside the record"},
        {"@scenario\n100 aircraft f64 18200 1\n", "line 2: offset 18200 lies outside the record"},
        {"@scenario\n100 plug robot 5\n", "line 2: plug takes a kind (kit, motor, advservo, servo) and a serial number"},
    };
    for (const auto& c : cases) {
        std::string error;
        Trace(c.text, &error);
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(Scenario, StimuliOutOfRangeAreRefusedWithTheirLine)
{
    // A kit 100 opened and plugged (lines 1-5); the stimulus is line 6.
    const std::string prefix = "@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\n@scenario\n0 plug kit 100\n";
    const struct {
        std::string stimulus;
        const char* error;
    } cases[] = {
        {"1000000000000 end", "time 1000000000000 lies beyond the longest run, 86400000 ms (24 hours)"},
        {"100 input 100 8 1", "input index 8 out of range 0..7"},
        {"100 input 100 -1 1", "input index -1 out of range 0..7"},
        {"100 sensor 100 8 1", "input index 8 out of range 0..7"},
        {"100 input 100 0 2", "input state 2 is neither 0 nor 1"},
        {"100 sensor 100 0 5000", "sensor value 5000 out of range 0..1000"},
        {"100 sensor 100 0 -1", "sensor value -1 out of range 0..1000"},
        {"100 fsuipc 0x10000 1 0", "offset 0x10000 with size 1 lies outside the offset space 0x0000..0xFFFF"},
        {"100 fsuipc 0xFFFF 2 0", "offset 0xFFFF with size 2 lies outside the offset space 0x0000..0xFFFF"},
        {"100 fsuipc -1 1 0", "offset -1 with size 1 lies outside the offset space 0x0000..0xFFFF"},
        {"100 fsuipc 0x52FA 2 70000", "value 70000 does not fit 2 bytes (-32768..65535)"},
        {"100 aircraft u8 0 256", "value 256 does not fit a u8 field (-128..255)"},
        {"100 simulator i32 0 0x100000000", "value 0x100000000 does not fit a i32 field (-2147483648..4294967295)"},
        {"100 answer maybe", "answer takes yes, no or cancel"},
        {"100 answer", "answer takes yes, no or cancel"},
        {"100 bridge-listen 2", "bridge-listen takes 0 or 1"},
        {"100 click mode 3", "mode item 3 out of range 0..2"},
        {"100 click aircraft_type -1", "aircraft_type item -1 out of range 0..2"},
        {"100 trackbar 1 1001", "position 1001 out of range 0..1000 of track bar 1"},
        {"100 plug kit 0", "serial number 0 out of range 1..2147483647"},
        {"100 unplug 4294967396", "serial number 4294967396 out of range 1..2147483647"},
        {"100 sensor 4294967396 0 1", "no board opened with serial 4294967396"},
        {"100 current 100 0 1", "no such board or motor"},
        {"100 current 100 0 nan", "current nan out of range 0..100 A"},
        {"100 bridge " + std::string(101, 'N') + "=1",
         "a bridge record holds a name of up to 100 bytes and a value of up to 255"},
        {"100 bridge N=" + std::string(256, 'v'),
         "a bridge record holds a name of up to 100 bytes and a value of up to 255"},
        {"100 hold throttle1", "no lever throttle1 is wired"},
        {"100 move throttle1 10 10", "no lever throttle1 is wired"},
        {"100 release", "release takes a lever name"},
        {"100 quadrant wire t1 100 8", "input index 8 out of range 0..7"},
        {"100 quadrant wire t1 100 0 200", "quadrant wire takes a lever name, a kit serial and input, then motor "
                                           "serials and outputs in pairs"},
        {"100 quadrant wire t1 100 0 200 8", "motor index 8 out of range 0..7"},
        {"100 quadrant wire t1 0 0", "serial number 0 out of range 1..2147483647"},
        {"100 quadrant wire t/1 100 0", "quadrant wire takes a lever name, a kit serial and input, then motor "
                                        "serials and outputs in pairs"},
        {"100 quadrant trace -1", "quadrant trace takes an interval in ms (0 for none)"},
        {"100 quadrant sideways", "quadrant takes on, off, wire, wheel, servo or trace"},
        {"100 quadrant trace 100 levers wheel", "quadrant trace takes levers, wheels or servos after its interval, "
                                                "not wheel"},
        {"100 quadrant wheel w 0 1", "serial number 0 out of range 1..2147483647"},
        {"100 quadrant wheel w 400 8", "output index 8 out of range 0..7"},
        {"100 quadrant servo s 500", "quadrant servo takes a name, a board serial and an output"},
        {"100 click Button11", "unknown or hidden control Button11"},
        {"100 show", "show takes the controls to show (Label1 .. Label99, Shape1, Shape2)"},
        {"100 show Label23 Label100", "unknown control Label100 (show takes Label1 .. Label99, Shape1, Shape2)"},
        {"100 show Shape3", "unknown control Shape3 (show takes Label1 .. Label99, Shape1, Shape2)"},
    };
    for (const auto& c : cases) {
        ScenarioRunner runner;
        const std::string error = runner.Run(prefix + c.stimulus + "\n", [](const std::string&) {});
        EXPECT_EQ(error, std::string("line 6: ") + c.error) << c.stimulus;
        // Refused before time is run up to it.
        EXPECT_LT(runner.ElapsedMs(), 2000u) << c.stimulus;
    }
    // The edges themselves are accepted.
    for (const char* stimulus : {"100 sensor 100 7 1000", "100 fsuipc 0xFFFE 2 -32768",
                                 "100 aircraft u8 0 -128", "100 bridge N=1", "100 answer cancel"}) {
        ScenarioRunner runner;
        runner.trace = false;
        EXPECT_EQ(runner.Run(prefix + stimulus + "\n", [](const std::string&) {}), "") << stimulus;
    }
}

} // namespace
} // namespace zrk

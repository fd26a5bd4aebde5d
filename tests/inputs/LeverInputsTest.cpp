#include <gtest/gtest.h>

#include "support/Rig.h"

namespace zrk::test {
namespace {

constexpr const char* T = "THROTTLES";
constexpr const char* R = "REVERSERS";
constexpr const char* SB = "SPEEDBRAKE";

// A controller started with the given settings; lever events are fed
// straight to the handlers, as the interface kits deliver them.
struct Levers : Rig {
    explicit Levers(std::initializer_list<std::array<const char*, 3>> keys)
    {
        Start(test::Config(keys));
    }
    TForm1& f() { return *form; }
    void Main(int input, int value) { form->PhidgetInterfaceKit2SensorChange(input, value); }
    void Second(int input, int value) { form->PhidgetInterfaceKit1SensorChange(input, value); }
};

TEST(LeverInputs, ThrottleNullZoneAndDialogMirror)
{
    // FULL 16383 makes one position one unit.
    Levers l({{T, "THROTTLE_1_IDLE", "0"}, {T, "THROTTLE_1_FULL", "1000"}, {T, "THROTTLE_1_NULL_ZONE", "3"}});
    l.f().cfg.THROTTLE_1_FULL = 16383;   // a calibration changed on screen takes effect at once
    l.Main(0, 100);
    EXPECT_EQ(l.f().throttle_out_1, 100);
    EXPECT_EQ(l.f().Form2.Label(9).Caption, "100");
    struct Step {
        int pos;
        int16_t out;
    } steps[] = {{103, 100}, {104, 104}, {101, 104}, {100, 100}};
    for (const Step& s : steps) {
        l.Main(0, s.pos);
        EXPECT_EQ(l.f().throttle_out_1, s.out) << s.pos;
        EXPECT_EQ(l.f().Label(1).Caption, std::to_string(s.pos));   // the raw label always follows
        EXPECT_EQ(l.f().Label(19).Caption, std::to_string(s.out));
    }
}

TEST(LeverInputs, IdleOverrideAtSpeedInTheFastModes)
{
    const struct {
        uint8_t mode;
        double speed;
        int pos;
        int16_t out;
        const char* label;
    } cases[] = {
        // 16.383 units a position: 152 scales to 2490.2, 153 to 2506.6.
        {9, 90, 152, 0, "2490"},   // below 2500 at speed: idle, the label keeps the value
        {9, 90, 153, 2507, "2507"},
        {9, 84.9, 152, 2490, "2490"},
        {1, 85, 100, 0, "1638"},
        {0, 200, 100, 1638, "1638"},
    };
    for (const auto& c : cases) {
        Levers l({{T, "THROTTLE_2_IDLE", "0"}, {T, "THROTTLE_2_FULL", "1000"}});
        l.f().Aircraft.set_autothrottle_mode(c.mode);
        l.f().Simulator.set_speed_value(c.speed);
        l.Main(1, c.pos);
        EXPECT_EQ(l.f().throttle_out_2, c.out) << int(c.mode) << " " << c.speed << " " << c.pos;
        EXPECT_EQ(l.f().Label(21).Caption, c.label);
    }
}

TEST(LeverInputs, ReverserOnTheGroundCommandsReverseAndDisengagesTheAutothrottle)
{
    Levers l({{R, "REVERSER_1_OFF", "100"}, {R, "REVERSER_1_IDLE", "150"}, {R, "REVERSER_1_FULL", "600"}});
    l.host.RunFor(10);
    l.socket.ClearSent();
    l.f().Aircraft.set_on_ground(1);
    l.f().Aircraft.set_mcp_autothrottle_engaged(1);
    l.f().Simulator.set_speed_value(61);
    l.Main(4, 375);
    EXPECT_EQ(l.f().throttle_out_1, -2950);
    EXPECT_EQ(l.f().Label(26).Caption, "-2950");
    l.Main(4, 400);
    l.f().Simulator.set_speed_value(60);
    l.Main(4, 420);
    l.host.RunPending();
    EXPECT_EQ(l.Sent(), (std::vector<std::string>{"MCP_AUTOTHROTTLE_ENGAGED=0", "MCP_AUTOTHROTTLE_ENGAGED=0"}));
    // Stowed on the ground: 0.
    l.Main(4, 100);
    EXPECT_EQ(l.f().throttle_out_1, 0);
    // Airborne the command is left alone.
    l.f().Aircraft.set_on_ground(0);
    l.f().throttle_out_1 = 777;
    l.Main(4, 375);
    EXPECT_EQ(l.f().throttle_out_1, 777);
}

TEST(LeverInputs, ALockedOutReverserOnlyMovesItsTrackBar)
{
    Levers l({{R, "REVERSER_1_OFF", "100"}, {R, "REVERSER_1_IDLE", "150"}, {R, "REVERSER_1_FULL", "600"}});
    l.f().Aircraft.set_on_ground(1);
    l.f().Aircraft.set_reverser_lockout_1(1);
    l.Main(4, 375);
    EXPECT_EQ(l.f().TrackBar(5).Position, 375);
    EXPECT_EQ(l.f().Label(5).Caption, "375");
    EXPECT_EQ(l.f().Label(26).Caption, "");
    EXPECT_EQ(l.f().throttle_out_1, 0);
}

TEST(LeverInputs, InputSixIsTheSpeedbrakeOnThe777AndReverserThreeOnThe747)
{
    {
        Levers l({{SB, "SPEEDBRAKE_ARM", "300"}, {SB, "SPEEDBRAKE_UP", "800"}});
        l.f().Aircraft.set_on_ground(1);
        l.Main(6, 800);
        EXPECT_EQ(l.f().spoiler_out, 16383);
        EXPECT_EQ(l.f().TrackBar(9).Position, 800);
        EXPECT_EQ(l.f().TrackBar(7).Position, 0);
    }
    {
        Levers l({{"AIRCRAFT", "TYPE", "747"}, {"LOG", "FSUIPC_DATA", "1"}, {SB, "SPEEDBRAKE_ARM", "300"},
                  {SB, "SPEEDBRAKE_UP", "800"}, {R, "REVERSER_3_OFF", "100"}, {R, "REVERSER_3_IDLE", "150"},
                  {R, "REVERSER_3_FULL", "600"}});
        l.f().Aircraft.set_on_ground(1);
        l.f().throttle_out_3 = 4000;
        l.Main(6, 375);
        EXPECT_EQ(l.f().spoiler_out, 0);
        EXPECT_EQ(l.f().Label(28).Caption, "2950");
        EXPECT_EQ(l.f().throttle_out_3, 4000);   // shown and logged, not commanded
        EXPECT_EQ(l.Log().back(), "Throttle 3 Value = 4000");
        // The 747's speedbrake comes from the second board.
        l.Second(6, 800);
        EXPECT_EQ(l.f().spoiler_out, 16383);
    }
}

TEST(LeverInputs, SpeedbrakeArmWindowAndInflightCeiling)
{
    Levers l({{SB, "SPEEDBRAKE_ARM", "300"}, {SB, "SPEEDBRAKE_UP", "800"}, {SB, "MAX_INFLIGHT_SPOILER", "8000"}});
    l.Main(6, 800);
    EXPECT_EQ(l.f().Label(30).Caption, "16383");
    EXPECT_EQ(l.f().spoiler_out, 8000);   // airborne
    l.f().Aircraft.set_on_ground(1);
    l.Main(6, 799);
    l.Main(6, 800);
    EXPECT_EQ(l.f().spoiler_out, 16383);
    l.Main(6, 270);
    EXPECT_EQ(l.f().spoiler_out, 4800);
    EXPECT_EQ(l.f().spoiler_arm_out, 1);
    EXPECT_TRUE(l.f().sb_lever_armed);
    EXPECT_EQ(l.f().Form5.Label(1).Caption, "270");
    l.Main(6, 269);
    EXPECT_EQ(l.f().spoiler_out, 0);
    EXPECT_EQ(l.f().spoiler_arm_out, 0);
    EXPECT_FALSE(l.f().sb_lever_armed);
}

TEST(LeverInputs, InTheTestModesTheThrottleTrackBarKeepsItsHandSetPosition)
{
    Levers l({{T, "THROTTLE_1_IDLE", "100"}, {T, "THROTTLE_1_FULL", "900"}});
    l.f().mode.ItemIndex = 2;   // TEST  MOTORS
    l.f().TrackBar(1).Position = 500;
    l.Main(0, 900);
    EXPECT_EQ(l.f().TrackBar(1).Position, 500);
    EXPECT_EQ(l.f().Label(1).Caption, "500");
    EXPECT_EQ(l.f().throttle_out_1, 8192);
    // Reversers always follow their levers.
    l.Main(4, 321);
    EXPECT_EQ(l.f().TrackBar(5).Position, 321);
}

TEST(LeverInputs, UncalibratedLeversAndOutOfRangeReadingsAreSafe)
{
    Levers l({});
    l.host.RunFor(10);
    l.socket.ClearSent();
    const auto everyInput = [&](std::initializer_list<int> values) {
        for (int input = -1; input < 12; ++input) {
            for (int value : values) {
                l.Main(input, value);
                l.Second(input, value);
            }
        }
        l.host.RunPending();
    };
    // Readings far above the range: the flap track bar takes its top, which
    // an uncalibrated flap lever reports as no detent.
    everyInput({500, 1000, 5000});
    EXPECT_EQ(l.f().throttle_out_1, 0);
    EXPECT_EQ(l.f().TrackBar(10).Position, 1000);   // clamped to the track bar's range
    EXPECT_EQ(l.f().Label(60).Caption, "FLAPS UNKNOWN");
    EXPECT_EQ(l.Sent(), std::vector<std::string>{});
    // Below the range it takes the bottom: UP, from either board, each time.
    everyInput({-5, 0});
    EXPECT_EQ(l.f().TrackBar(10).Position, 0);
    EXPECT_EQ(l.f().Label(60).Caption, "FLAPS UP");
    EXPECT_EQ(l.Sent(), std::vector<std::string>(4, "COMMANDED_FLAP_POSITION=0"));
    // Between detents the label keeps the last one.
    everyInput({5000});
    EXPECT_EQ(l.f().Label(60).Caption, "FLAPS UP");
    EXPECT_EQ(l.Sent().size(), 4u);
}

TEST(LeverInputs, EveryFlapDetentFromItsCalibrationKey)
{
    // Each key at its own position, 60 apart; the lever is on the main card.
    const char* keys[] = {"FLAP_UP", "FLAP_1",  "FLAP_2",  "FLAP_5",  "FLAP_10", "FLAP_15",
                          "FLAP_17", "FLAP_18", "FLAP_20", "FLAP_25", "FLAP_30", "FLAP_40"};
    std::string config = test::Config({});
    std::vector<std::string> positions;
    for (int i = 0; i < 12; ++i)
        positions.push_back(std::to_string(100 + 60 * i));
    {
        IniFile ini = IniFile::Parse(config);
        for (int i = 0; i < 12; ++i)
            ini.Write("FLAPS", keys[i], positions[std::size_t(i)]);
        config = ini.Text();
    }
    Rig rig;
    rig.Start(config);
    rig.host.RunFor(10);
    rig.socket.ClearSent();
    const char* numbers[] = {"0", "1", "2", "5", "10", "15", "17", "18", "20", "25", "30", "40"};
    for (int i = 0; i < 12; ++i) {
        rig.form->PhidgetInterfaceKit2SensorChange(7, std::stoi(positions[std::size_t(i)]));
        EXPECT_EQ(rig.form->Label(60).Caption, i == 0 ? std::string("FLAPS UP") : std::string("FLAPS ") + numbers[i]);
        EXPECT_EQ(rig.form->Form4.Label(21).Caption, positions[std::size_t(i)]);
    }
    rig.host.RunPending();
    ASSERT_EQ(rig.Sent().size(), 12u);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(rig.Sent()[std::size_t(i)], std::string("COMMANDED_FLAP_POSITION=") + numbers[i]);
}

TEST(LeverInputs, SwitchesAndFlapsOfThe747ReachTheBridgeFromBothBoards)
{
    constexpr const char* kSer = "PHIDGETS_SERIAL_NUMBERS";
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, 100);
    rig.boards.Plug(BoardKind::InterfaceKit, 200);
    rig.Start(Config({{"AIRCRAFT", "TYPE", "747"},
                      {kSer, "INTERFACE1", "100"},
                      {kSer, "INTERFACE1_PBRAKE_STAB", "200"},
                      {"SWITCHES", "REVERSE_FUEL_CUTOFF_2", "1"},
                      {"SWITCHES", "REVERSE_PARKING_BRAKE", "1"},
                      {"FLAPS", "FLAP_UP", "100"},
                      {"FLAPS", "FLAP_10", "300"},
                      {"FLAPS", "FLAPS_NULLZONE", "10"}}));
    rig.host.RunFor(10);
    rig.socket.ClearSent();
    VirtualBoardState* mainCard = &rig.boards.Board(100);
    VirtualBoardState* second = &rig.boards.Board(200);
    ASSERT_TRUE(mainCard && second);

    mainCard->Input(0, true);
    mainCard->Input(1, true);
    mainCard->Input(1, false);
    mainCard->Input(6, true);
    mainCard->Input(6, false);   // a push-button's release sends nothing
    second->Input(3, true);      // nothing but the parking brake on the second board
    second->Input(7, true);
    // The second board's FLAP_10 window is FLAPS_NULLZONE wide; a lever
    // resting in it re-sends its detent with every reported movement.
    second->Sensor(7, 285);
    second->Sensor(7, 295);
    second->Sensor(7, 303);
    mainCard->Sensor(7, 300);   // reverser 4 on the 747, no flap
    rig.host.RunFor(10);

    EXPECT_EQ(rig.Sent(), (std::vector<std::string>{
                              "ENGINE_L_FUEL_CONTROL_SWITCH=0",
                              "ENGINE_R_FUEL_CONTROL_SWITCH=1",
                              "ENGINE_R_FUEL_CONTROL_SWITCH=0",
                              "MF=567",
                              "PARKING_BRAKE=1",
                              "COMMANDED_FLAP_POSITION=10",
                              "COMMANDED_FLAP_POSITION=10",
                          }));
    EXPECT_EQ(rig.form->Label(46).FontColor, 0x0000FF);   // red: closed
    EXPECT_EQ(rig.form->Label(53).FontColor, 0x808080);   // grey: open again
    EXPECT_EQ(rig.form->Label(58).FontColor, 0x0000FF);
    EXPECT_EQ(rig.form->Label(54).FontColor, 0);           // never changed
    EXPECT_EQ(rig.form->Label(60).Caption, "FLAPS 10");
    EXPECT_EQ(rig.form->TrackBar(8).Position, 300);

    // Closing the window stops the switch handlers with the lever handlers.
    rig.form->FormClose();
    EXPECT_FALSE(rig.form->roster.PhidgetInterfaceKit1->OnInputChange);
    EXPECT_FALSE(rig.form->roster.PhidgetInterfaceKit2->OnInputChange);
}

TEST(LeverInputs, BoardEventsReachTheHandlersUntilTheWindowCloses)
{
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, 100);
    rig.Start(Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"}}));
    rig.host.RunFor(10);
    rig.boards.Board(100).Sensor(7, 640);
    rig.host.RunFor(10);
    EXPECT_EQ(rig.form->TrackBar(10).Position, 640);
    // One event still on its way when the window closes, one after: neither
    // reaches the handlers.
    VirtualBoardState* kit = &rig.boards.Board(100);
    kit->Sensor(7, 700);
    rig.form->FormClose();
    kit->Sensor(7, 800);
    rig.host.RunFor(10);
    EXPECT_EQ(rig.form->TrackBar(10).Position, 640);
    EXPECT_EQ(rig.form->Label(17).Caption, "640");
    EXPECT_FALSE(rig.form->roster.PhidgetInterfaceKit2->OnSensorChange);
    EXPECT_EQ(rig.boards.Find(100), nullptr);   // closed
}

} // namespace
} // namespace zrk::test

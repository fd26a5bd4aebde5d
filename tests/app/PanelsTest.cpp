#include <gtest/gtest.h>

#include <map>

#include "support/Rig.h"

namespace zrk::test {
namespace {

constexpr const char* T = "THROTTLES";
constexpr const char* SB = "SPEEDBRAKE";
constexpr const char* IM = "INPUT_MAPPING";

struct Window : Rig {
    explicit Window(std::initializer_list<std::array<const char*, 3>> keys = {}) { Start(test::Config(keys)); }
    TForm1& f() { return *form; }
    void Main(int input, int value) { form->PhidgetInterfaceKit2SensorChange(input, value); }
    void Second(int input, int value) { form->PhidgetInterfaceKit1SensorChange(input, value); }
};

// ---------------------------------------------------------------- calibration dialogs

TEST(CalibrationDialogs, OpeningButtonsFillTheValueLabelsShowModelessAndMarkAChange)
{
    Window w({{T, "THROTTLE_2_FULL", "880"},
              {T, "THROTTLE_3_IDLE", "130"},
              {"REVERSERS", "REVERSER_4_IDLE", "444"},
              {"FLAPS", "FLAP_17", "517"},
              {SB, "SPEEDBRAKE_ARM", "300"}});
    const struct {
        const char* button;
        CalibrationDialog TForm1::*dialog;
        int label;
        const char* shows;
    } cases[] = {
        {"Button4", &TForm1::Form2, 2, "880"},
        {"Button4", &TForm1::Form2, 7, "130"},
        {"Button5", &TForm1::Form3, 16, "444"},
        {"Button1", &TForm1::Form4, 24, "517"},
        {"Button6", &TForm1::Form5, 14, "300"},
    };
    for (const auto& c : cases) {
        CalibrationDialog& d = w.f().*c.dialog;
        d.Label(c.label).Caption = "stale";
        w.f().ConfigChanged = false;
        ASSERT_TRUE(w.f().Click(c.button));
        EXPECT_TRUE(d.Visible) << c.button;
        EXPECT_EQ(d.Label(c.label).Caption, c.shows) << c.button;
        EXPECT_TRUE(w.f().ConfigChanged) << c.button;
    }
    // Modeless: the main window and the levers keep working.
    w.Main(0, 250);
    EXPECT_EQ(w.f().TrackBar(1).Position, 250);
    // CLOSE hides, and keeps what was captured.
    EXPECT_TRUE(w.f().Click("Form2.Button3"));
    EXPECT_FALSE(w.f().Form2.Visible);
    EXPECT_FALSE(w.f().Click("Form2.Button1"));   // a hidden dialog takes no clicks
    EXPECT_EQ(w.f().cfg.THROTTLE_1_FULL, 0);
}

TEST(CalibrationDialogs, OpeningFlapsAndClosingUnchangedStillAsksToSave)
{
    Window w;
    ASSERT_FALSE(w.f().ConfigChanged);
    w.f().Click("Button1");
    w.f().Click("Form4.Button3");
    w.dialogs.answers = {DialogAnswer::No};
    EXPECT_TRUE(w.f().FormCloseQuery());
    EXPECT_EQ(w.dialogs.questions, std::vector<std::string>{"Save Calibration Changes ?"});
}

TEST(CalibrationDialogs, ThrottleAndReverserCapturesTakeTheTrackBarsOfTheAircraftType)
{
    for (const char* type : {"777", "747"}) {
        const bool is747 = std::string(type) == "747";
        Window w({{"AIRCRAFT", "TYPE", type},
                  {"REVERSERS", "REVERSER_3_OFF", "33"},
                  {"REVERSERS", "REVERSER_4_OFF", "44"}});
        // The levers report; on the 747 inputs 6 and 7 are reversers 3, 4.
        for (int input = 0; input < 8; ++input)
            w.Main(input, 100 + 10 * input);
        if (!is747) {
            // The 777's reverser sliders 3 and 4 are hidden; they hold
            // whatever stood there, which the capture must not take.
            w.f().TrackBar(7).Position = 500;
            w.f().TrackBar(8).Position = 600;
        }
        w.f().TrackBar(3).Position = 720;   // throttle 3 and 4: captured on every type
        w.f().TrackBar(4).Position = 730;
        w.f().Click("Button4");
        w.f().Click("Form2.Button1");
        EXPECT_EQ(w.f().cfg.THROTTLE_1_FULL, 100);
        EXPECT_EQ(w.f().cfg.THROTTLE_2_FULL, 110);
        EXPECT_EQ(w.f().cfg.THROTTLE_3_FULL, 720);
        EXPECT_EQ(w.f().cfg.THROTTLE_4_FULL, 730);
        EXPECT_EQ(w.f().Form2.Label(4).Caption, "730");
        EXPECT_EQ(w.f().cfg.THROTTLE_4_IDLE, 0);

        w.f().Click("Button5");
        w.f().ConfigChanged = false;
        w.f().Click("Form3.Button1");
        EXPECT_TRUE(w.f().ConfigChanged);
        EXPECT_EQ(w.f().cfg.REVERSER_1_OFF, 140);
        EXPECT_EQ(w.f().cfg.REVERSER_2_OFF, 150);
        EXPECT_EQ(w.f().cfg.REVERSER_3_OFF, is747 ? 160 : 33) << type;
        EXPECT_EQ(w.f().cfg.REVERSER_4_OFF, is747 ? 170 : 44) << type;
        // The dialog shows every reverser's stored point.
        EXPECT_EQ(w.f().Form3.Label(3).Caption, is747 ? "160" : "33");
        EXPECT_EQ(w.f().Form3.Label(4).Caption, is747 ? "170" : "44");
    }
}

TEST(CalibrationDialogs, FlapAndSpeedbrakeCapturesTakeTheLiveLabel)
{
    Window w({{"FLAPS", "FLAP_17", "517"}});
    w.f().Click("Button1");
    w.Main(7, 412);   // the flap lever rests at 412
    EXPECT_EQ(w.f().Form4.Label(21).Caption, "412");
    EXPECT_TRUE(w.f().Click("Form4.Button8"));   // SET on FLAPS 5
    EXPECT_EQ(w.f().cfg.FLAP_5, 412);
    EXPECT_EQ(w.f().Form4.Label(4).Caption, "412");
    EXPECT_TRUE(w.f().Click("Form4.Button22"));   // CLEAR on FLAPS 17
    EXPECT_EQ(w.f().cfg.FLAP_17, 0);
    EXPECT_EQ(w.f().Form4.Label(24).Caption, "0");
    // The cleared detent never matches again.
    w.Main(7, 517);
    EXPECT_NE(w.f().Label(60).Caption, "FLAPS 17");

    w.f().Click("Button6");
    const struct {
        int pos;
        const char* button;
        int Settings::*setting;
        int label;
    } steps[] = {{120, "Form5.Button1", &Settings::SPEEDBRAKE_DN, 2},
                 {300, "Form5.Button4", &Settings::SPEEDBRAKE_ARM, 14},
                 {800, "Form5.Button2", &Settings::SPEEDBRAKE_UP, 6}};
    for (const auto& s : steps) {
        w.Main(6, s.pos);
        EXPECT_TRUE(w.f().Click(s.button));
        EXPECT_EQ(w.f().cfg.*s.setting, s.pos) << s.button;
        EXPECT_EQ(w.f().Form5.Label(s.label).Caption, std::to_string(s.pos)) << s.button;
    }
}

TEST(CalibrationDialogs, BeforeTheLeverEverReportedTheCaptureTakesTheShownZero)
{
    // Every flap and speedbrake capture, each over a point set before.
    const struct {
        const char* open;
        CalibrationDialog TForm1::*dialog;
        const char* button;
        int Settings::*setting;
        int label;
        const char* section;
        const char* key;
    } cases[] = {
        {"Button1", &TForm1::Form4, "Form4.Button1", &Settings::FLAP_UP, 1, "FLAPS", "FLAP_UP"},
        {"Button1", &TForm1::Form4, "Form4.Button23", &Settings::FLAP_17, 24, "FLAPS", "FLAP_17"},
        {"Button1", &TForm1::Form4, "Form4.Button20", &Settings::FLAP_40, 20, "FLAPS", "FLAP_40"},
        {"Button6", &TForm1::Form5, "Form5.Button1", &Settings::SPEEDBRAKE_DN, 2, SB, "SPEEDBRAKE_DN"},
        {"Button6", &TForm1::Form5, "Form5.Button4", &Settings::SPEEDBRAKE_ARM, 14, SB, "SPEEDBRAKE_ARM"},
        {"Button6", &TForm1::Form5, "Form5.Button2", &Settings::SPEEDBRAKE_UP, 6, SB, "SPEEDBRAKE_UP"},
    };
    for (const auto& c : cases) {
        Window w({{c.section, c.key, "345"}});
        ASSERT_EQ(w.f().cfg.*c.setting, 345) << c.button;
        const std::size_t mark = w.f().Memo1.Lines().size();
        w.f().Click(c.open);
        w.f().ConfigChanged = false;
        EXPECT_TRUE(w.f().Click(c.button));
        EXPECT_EQ(w.f().cfg.*c.setting, 0) << c.button;
        EXPECT_EQ((w.f().*c.dialog).Label(c.label).Caption, "0") << c.button;
        EXPECT_TRUE(w.f().ConfigChanged) << c.button;
        EXPECT_EQ(w.LogSince(mark), std::vector<std::string>{}) << c.button;
    }
}

TEST(CalibrationDialogs, LiveThrottleLabelLagsInTheNullZoneButTheCaptureTakesTheTrackBar)
{
    Window w({{T, "THROTTLE_1_IDLE", "0"}, {T, "THROTTLE_1_FULL", "1000"}, {T, "THROTTLE_1_NULL_ZONE", "100"}});
    w.f().Click("Button4");
    w.Main(0, 500);   // 8192, accepted
    EXPECT_EQ(w.f().Form2.Label(9).Caption, "500");
    w.Main(0, 505);   // 8273: within 100 of 8192, held
    EXPECT_EQ(w.f().Form2.Label(9).Caption, "500");
    EXPECT_EQ(w.f().TrackBar(1).Position, 505);
    w.f().Click("Form2.Button1");
    EXPECT_EQ(w.f().cfg.THROTTLE_1_FULL, 505);
    EXPECT_EQ(w.f().Form2.Label(1).Caption, "505");
}

TEST(CalibrationDialogs, ClicksOnNoSuchControlAreRefused)
{
    Window w;
    w.f().Click("Button1");
    for (const char* name : {"", "Button", "Button0", "Button11", "Button04", "Form4.", "Form4.Button",
                             "Form4.Button26", "Form4.Button03", "Form1.Button1", "Form6.Button1", "Form4Button1",
                             "Form4.Button1.x", "button1", "UpDown1"})
        EXPECT_FALSE(w.f().Click(name)) << name;
    EXPECT_TRUE(w.f().Form4.Visible);
    EXPECT_EQ(w.f().cfg.FLAP_UP, 0);
}

// ---------------------------------------------------------------- test panel

TEST(TestPanel, InAutomaticADraggedSliderComputesNothing)
{
    Window w({{T, "THROTTLE_1_IDLE", "0"}, {T, "THROTTLE_1_FULL", "1000"}});
    w.Main(0, 200);
    const int16_t before = w.f().throttle_out_1;
    EXPECT_TRUE(w.f().SetTrackBar(1, 800));
    EXPECT_EQ(w.f().TrackBar(1).Position, 800);
    EXPECT_EQ(w.f().throttle_out_1, before);
    EXPECT_EQ(w.f().Label(1).Caption, "200");
    // The next reading of the lever puts the slider back.
    w.Main(0, 210);
    EXPECT_EQ(w.f().TrackBar(1).Position, 210);
}

TEST(TestPanel, InTestFsASliderSendsWhatTheSameRawReadingWould)
{
    const std::initializer_list<std::array<const char*, 3>> cal = {{T, "THROTTLE_2_IDLE", "100"},
                                                                   {T, "THROTTLE_2_FULL", "900"}};
    Window lever(cal), slider(cal);
    lever.Main(1, 500);
    ASSERT_TRUE(slider.f().SelectRadio("mode", 1));
    EXPECT_TRUE(slider.f().SetTrackBar(2, 500));
    EXPECT_EQ(slider.f().throttle_out_2, 8192);
    EXPECT_EQ(slider.f().throttle_out_2, lever.f().throttle_out_2);
    EXPECT_EQ(slider.f().Label(21).Caption, lever.f().Label(21).Caption);
    EXPECT_EQ(slider.f().Label(2).Caption, "500");
    EXPECT_EQ(slider.f().Form2.Label(10).Caption, "500");
    // Both reach the simulator alike at the next main cycle.
    lever.f().mainTimer();
    slider.f().mainTimer();
    EXPECT_EQ(slider.f().sender.sent.throttle[1], 8192);
    EXPECT_EQ(lever.f().sender.sent.throttle[1], 8192);
}

TEST(TestPanel, TheSpeedbrakeSliderFeedsTheCardOfTheAircraftType)
{
    // With the speedbrake mapped to input 0, the 747's slider reaches it on
    // the second board; the main card's input 0 is throttle 1.
    const struct {
        const char* type;
        const char* speedbrakeInput;
        const char* scaled;   // Label30 after TrackBar9 at 300 (the ARM position)
    } cases[] = {
        {"747", "0", "4800"},
        {"747", "6", ""},       // input 0 of the second board is nothing then
        {"777", "6", "4800"},   // input 6 of the main card
        {"777", "0", ""},
    };
    for (const auto& c : cases) {
        Window w({{"AIRCRAFT", "TYPE", c.type},
                  {IM, "SPEEDBRAKE_INPUT_CHANNEL", c.speedbrakeInput},
                  {SB, "SPEEDBRAKE_ARM", "300"},
                  {SB, "SPEEDBRAKE_UP", "800"},
                  {T, "THROTTLE_1_IDLE", "0"},
                  {T, "THROTTLE_1_FULL", "1000"}});
        w.f().SelectRadio("mode", 1);
        w.f().SetTrackBar(9, 300);
        EXPECT_EQ(w.f().Label(30).Caption, c.scaled) << c.type << " input " << c.speedbrakeInput;
        EXPECT_EQ(w.f().throttle_out_1, 0) << c.type;
    }
}

TEST(TestPanel, TrimSlidersRunTheFlapAndSpeedbrakeHandlers)
{
    Window w({{SB, "SPEEDBRAKE_ARM", "300"}, {SB, "SPEEDBRAKE_UP", "800"}});
    w.host.RunFor(10);
    w.f().SelectRadio("mode", 1);
    w.f().TrackBar(9).Position = 300;
    w.f().TrackBar(10).Position = 5;
    w.socket.ClearSent();
    // TrackBar12 hands over TrackBar9's position, TrackBar11 TrackBar10's.
    EXPECT_TRUE(w.f().SetTrackBar(12, -1745));
    EXPECT_EQ(w.f().Label(30).Caption, "4800");
    EXPECT_TRUE(w.f().SetTrackBar(11, 16383));
    EXPECT_EQ(w.f().Label(60).Caption, "FLAPS UP");
    w.host.RunPending();
    EXPECT_EQ(w.Sent(), std::vector<std::string>{"COMMANDED_FLAP_POSITION=0"});
    EXPECT_EQ(w.f().TrackBar(11).Position, 16383);
    EXPECT_FALSE(w.f().SetTrackBar(0, 1));
    EXPECT_FALSE(w.f().SetTrackBar(13, 1));
    // A drag beyond the end stops at the end.
    EXPECT_TRUE(w.f().SetTrackBar(12, 99999));
    EXPECT_EQ(w.f().TrackBar(12).Position, 1745);
}

TEST(TestPanel, InTestMotorsTheSlidersCommandTheLeversAndRunNoHandler)
{
    Window w({{T, "THROTTLE_2_IDLE", "0"}, {T, "THROTTLE_2_FULL", "1000"}});
    w.f().SelectRadio("mode", 2);
    w.f().SetTrackBar(2, 1000);
    EXPECT_EQ(w.f().throttle_out_2, 0);
    w.f().mainTimer();
    EXPECT_DOUBLE_EQ(w.f().autoThrottle.Target(1), 16383);
    EXPECT_DOUBLE_EQ(w.f().autoThrottle.Target(2), 15383);
}

TEST(TestPanel, ALeverReadingOnASliderRunsNoSliderHandler)
{
    // A hand-set throttle slider stays in both test modes; in AUTOMATIC the
    // lever takes it back.
    for (int mode : {0, 1, 2}) {
        Window w({{T, "THROTTLE_1_IDLE", "0"}, {T, "THROTTLE_1_FULL", "1000"}});
        w.f().SelectRadio("mode", mode);
        w.f().SetTrackBar(1, 600);
        w.Main(0, 100);
        EXPECT_EQ(w.f().TrackBar(1).Position, mode == 0 ? 100 : 600) << mode;
        EXPECT_EQ(w.f().Label(1).Caption, mode == 0 ? "100" : "600") << mode;
    }
    // In TEST FS a flap reading is sent once, not once more through its
    // slider.
    {
        Window w;
        w.host.RunFor(10);
        w.f().SelectRadio("mode", 1);
        w.socket.ClearSent();
        w.Main(7, 5);
        w.host.RunPending();
        EXPECT_EQ(w.Sent(), std::vector<std::string>{"COMMANDED_FLAP_POSITION=0"});
    }
    // On the 747 the second board's speedbrake reading is not fed back as
    // that board's input 0 (here the flap lever's input).
    {
        Window w({{"AIRCRAFT", "TYPE", "747"}, {IM, "FLAPS_INPUT_CHANNEL", "0"}});
        w.f().SelectRadio("mode", 1);
        w.Second(6, 420);
        EXPECT_EQ(w.f().TrackBar(9).Position, 420);
        EXPECT_EQ(w.f().TrackBar(10).Position, 0);
        EXPECT_EQ(w.f().Form4.Label(21).Caption, "0");   // not written
    }
}

TEST(TestPanel, TheAircraftTypeShowsTheControlsOfLevers3And4)
{
    Window w;
    w.f().ConfigChanged = false;
    EXPECT_FALSE(w.f().TrackBar(3).Visible);
    EXPECT_FALSE(w.f().SetTrackBar(8, 10));   // hidden
    ASSERT_TRUE(w.f().SelectRadio("aircraft_type", 2));
    EXPECT_TRUE(w.f().ConfigChanged);
    for (int n : {3, 4, 7, 8})
        EXPECT_TRUE(w.f().TrackBar(n).Visible) << n;
    for (int n : {11, 12, 15, 16, 3, 4, 7, 8, 24, 25, 28, 29, 64, 65, 72, 73})
        EXPECT_TRUE(w.f().Label(n).Visible) << n;
    EXPECT_TRUE(w.f().SetTrackBar(8, 10));
    w.f().SelectRadio("aircraft_type", 1);
    EXPECT_FALSE(w.f().TrackBar(4).Visible);
    EXPECT_FALSE(w.f().Label(73).Visible);
    // The mode group shares the handler.
    w.f().ConfigChanged = false;
    w.f().SelectRadio("mode", 2);
    EXPECT_TRUE(w.f().ConfigChanged);
    EXPECT_FALSE(w.f().SelectRadio("mode", 3));
    EXPECT_FALSE(w.f().SelectRadio("aircraft_type", -1));
    EXPECT_FALSE(w.f().SelectRadio("Memo1", 0));
    EXPECT_EQ(w.f().mode.ItemIndex, 2);
}

// ---------------------------------------------------------------- trim tuning

TEST(TrimTuning, UpDownsStoreTheirSettingsWithinTheirRanges)
{
    const struct {
        const char* control;
        int position;
        int shown;   // the position after the click
        int label;
        const char* text;
    } cases[] = {
        {"UpDown2", 4, 4, 41, "0.04"},  {"UpDown2", 1000, 1000, 41, "10"}, {"UpDown2", 29, 29, 41, "0.29"},
        {"UpDown2", 0, 1, 41, "0.01"},  {"UpDown1", 1, 1, 40, "1"},        {"UpDown1", 7, 1, 40, "1"},
        {"UpDown1", 0, 0, 40, "0"},     {"UpDown5", 35, 35, 44, "35"},     {"UpDown5", 101, 100, 44, "100"},
        {"UpDown6", 20, 20, 75, "20"},  {"UpDown3", 300, 300, 78, "300"},  {"UpDown3", 50, 100, 78, "100"},
        {"UpDown3", 20000, 10000, 78, "10000"},
    };
    for (const auto& c : cases) {
        Window w;
        ASSERT_FALSE(w.f().ConfigChanged);
        ASSERT_TRUE(w.f().SetUpDown(c.control, c.position));
        EXPECT_TRUE(w.f().ConfigChanged) << c.control;
        EXPECT_EQ(w.f().Label(c.label).Caption, c.text) << c.control << " " << c.position;
        const UpDownModel& m = std::string(c.control) == "UpDown1"   ? w.f().UpDown1
                               : std::string(c.control) == "UpDown2" ? w.f().UpDown2
                               : std::string(c.control) == "UpDown3" ? w.f().UpDown3
                               : std::string(c.control) == "UpDown5" ? w.f().UpDown5
                                                                     : w.f().UpDown6;
        EXPECT_EQ(m.Position, c.shown) << c.control << " " << c.position;
    }
    Window w;
    w.f().SetUpDown("UpDown2", 4);
    EXPECT_DOUBLE_EQ(w.f().cfg.TRIM_NULL_ZONE, 0.04);
    w.f().SetUpDown("UpDown2", 1000);
    EXPECT_DOUBLE_EQ(w.f().cfg.TRIM_NULL_ZONE, 10.0);
    EXPECT_FALSE(w.f().SetUpDown("UpDown4", 1));
}

TEST(TrimTuning, StartUpShowsSettingsOutsideARangeAtItsEnd)
{
    Window w({{"TRIM", "MOTOR_SPEED_MAX", "250"}, {"TRIM", "NULL_ZONE", "0.001"}, {"TRIM", "MOTOR_ACCELERATION", "0"}});
    EXPECT_EQ(w.f().UpDown5.Position, 100);
    EXPECT_EQ(w.f().Label(44).Caption, "250");   // the setting itself is kept until a click
    EXPECT_EQ(w.f().cfg.MOTOR_SPEED_MAX, 250);
    EXPECT_EQ(w.f().UpDown2.Position, 1);
    EXPECT_EQ(w.f().Label(41).Caption, "0.001");
    EXPECT_EQ(w.f().UpDown6.Position, 1);
    EXPECT_FALSE(w.f().ConfigChanged);
}

TEST(TrimTuning, PidBoxesTakeAnyOneLineTextAndMarkAChange)
{
    Window w;
    EXPECT_TRUE(w.f().SetEdit("p_pid_d", "300"));   // unchanged text is no change
    EXPECT_FALSE(w.f().ConfigChanged);
    EXPECT_TRUE(w.f().SetEdit("p_pid_i", "three"));
    EXPECT_TRUE(w.f().ConfigChanged);
    EXPECT_EQ(w.f().p_pid_i.Text, "three");
    const std::size_t mark = w.Log().size();
    EXPECT_FALSE(w.f().SetEdit("p_pid_p", std::string(TForm1::kMaxEditText + 1, '1')));
    EXPECT_FALSE(w.f().SetEdit("p_pid_p", "50\n[AIRCRAFT]"));
    EXPECT_EQ(w.f().p_pid_p.Text, "5000");
    EXPECT_EQ(w.LogSince(mark).size(), 2u);
    EXPECT_TRUE(w.f().SetEdit("p_pid_p", std::string(TForm1::kMaxEditText, '1')));
    EXPECT_FALSE(w.f().SetEdit("p_pid_x", "1"));
}

TEST(TrimTuning, ManualOverrideCheckBoxIsOfferedForSaving)
{
    Window w;
    EXPECT_TRUE(w.f().SetCheck("manual_override", false));
    EXPECT_FALSE(w.f().ConfigChanged);
    EXPECT_TRUE(w.f().SetCheck("manual_override", true));
    EXPECT_TRUE(w.f().ConfigChanged);
    EXPECT_FALSE(w.f().SetCheck("override", true));
}

// ---------------------------------------------------------------- saving

TEST(SaveConfig, EveryCaptureAndTuningValueIsSavedAndNothingElseChanges)
{
    Window w;
    const std::string before = w.ConfigFile();
    w.f().SelectRadio("aircraft_type", 2);
    for (int input = 0; input < 8; ++input)
        w.Main(input, 200 + input);
    w.f().Click("Button4");
    w.f().Click("Form2.Button2");
    w.f().Click("Button5");
    w.f().Click("Form3.Button2");
    w.f().Click("Button1");
    w.Second(7, 615);
    w.f().Click("Form4.Button20");   // SET FLAPS 40
    w.f().Click("Button6");
    w.Second(6, 777);
    w.f().Click("Form5.Button2");
    w.f().SetUpDown("UpDown1", 1);
    w.f().SetUpDown("UpDown2", 7);
    w.f().SetUpDown("UpDown5", 55);
    w.f().SetUpDown("UpDown6", 66);
    w.f().SetUpDown("UpDown3", 1300);
    w.f().SetEdit("p_pid_p", "12.5");
    w.f().SetEdit("p_pid_i", "not a number");
    w.f().SetEdit("p_pid_d", " 9 ");
    w.f().SetCheck("manual_override", true);
    w.dialogs.answers = {DialogAnswer::Yes};
    ASSERT_TRUE(w.f().Click("Button10"));
    EXPECT_FALSE(w.f().ConfigChanged);

    // Every line of the saved subset in its place with its new value, the
    // keys the default file lacks at the ends of their sections, every other
    // line as it was.
    const std::map<std::string, std::string> changed = {
        {"TYPE=777", "TYPE=747"},
        {"THROTTLE_1_IDLE=0", "THROTTLE_1_IDLE=200"},
        {"THROTTLE_2_IDLE=0", "THROTTLE_2_IDLE=201"},
        {"THROTTLE_3_IDLE=0", "THROTTLE_3_IDLE=202"},
        {"THROTTLE_4_IDLE=0", "THROTTLE_4_IDLE=203"},
        {"REVERSER_1_FULL=0", "REVERSER_1_FULL=204"},
        {"REVERSER_2_FULL=0", "REVERSER_2_FULL=205"},
        {"REVERSER_3_FULL=0", "REVERSER_3_FULL=206"},
        {"REVERSER_4_FULL=0", "REVERSER_4_FULL=207"},
        {"FLAP_40=0", "FLAP_40=615"},
        {"SPEEDBRAKE_UP=0", "SPEEDBRAKE_UP=777"},
        {"REVERSE_MOTOR_DIRECTION=0", "REVERSE_MOTOR_DIRECTION=1"},   // only [TRIM] has it bare
        {"NULL_ZONE=0.04", "NULL_ZONE=0.07"},                         // [FINE_TUNING]'s is 0
        {"MOTOR_SPEED_MAX=100", "MOTOR_SPEED_MAX=55"},
        {"MOTOR_ACCELERATION=100", "MOTOR_ACCELERATION=66"},
        {"TRIM_TIME_DELAY_BETWEEN_MOTION=1000", "TRIM_TIME_DELAY_BETWEEN_MOTION=1300"},
    };
    std::string expected;
    std::size_t start = 0;
    for (std::size_t end; (end = before.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = before.substr(start, end - start);
        const auto c = changed.find(line);
        expected += (c == changed.end() ? line : c->second) + "\r\n";
        if (line == "CHANGE_TRIGGER_VALUE=5")
            expected += "ENABLE_MANUAL_OVERRIDE=1\r\n";
        if (line == "REVERSE_RUDDER_DIRECTION=0")
            expected += "PID_P=12.5\r\nPID_I=not a number\r\nPID_D= 9 \r\n";
    }
    EXPECT_EQ(w.ConfigFile(), expected);
}

} // namespace
} // namespace zrk::test

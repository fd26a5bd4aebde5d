#include "app/WindowLayout.h"

#include <array>
#include <tuple>
#include <utility>

namespace zrk {

const ControlDesign* FormDesign::Find(std::string_view controlName) const
{
    for (const ControlDesign& c : controls)
        if (c.name == controlName)
            return &c;
    return nullptr;
}

namespace {

// Appends controls to a form; every control goes into the panel opened last.
class FormBuilder {
public:
    explicit FormBuilder(FormDesign& form) : form_(form) {}

    ControlDesign& Add(ControlKind kind, std::string name, std::string caption, Bounds bounds,
                     unsigned anchors = kAnchorTopLeft)
    {
        ControlDesign c;
        c.kind = kind;
        c.name = std::move(name);
        c.caption = std::move(caption);
        c.group = group_;
        c.bounds = bounds;
        c.anchors = anchors;
        form_.controls.push_back(std::move(c));
        return form_.controls.back();
    }
    // A panel on the form; the controls after it sit in it.
    ControlDesign& Panel(std::string name, std::string title, Bounds bounds, unsigned anchors)
    {
        group_.clear();
        ControlDesign& p = Add(ControlKind::Panel, name, std::move(title), bounds, anchors);
        group_ = std::move(name);
        return p;
    }
    // Back to the form itself.
    void Form() { group_.clear(); }

    ControlDesign& Caption(std::string name, std::string text, Bounds b, unsigned anchors = kAnchorTopLeft)
    {
        return Add(ControlKind::Label, std::move(name), std::move(text), b, anchors);
    }
    ControlDesign& Heading(std::string name, std::string text, Bounds b, unsigned anchors = kAnchorTopLeft)
    {
        ControlDesign& c = Add(ControlKind::Label, std::move(name), std::move(text), b, anchors);
        c.style = LabelStyle::Heading;
        c.align = TextAlign::Center;
        return c;
    }
    ControlDesign& Readout(std::string name, std::string text, Bounds b, unsigned anchors = kAnchorTopLeft)
    {
        ControlDesign& c = Add(ControlKind::Label, std::move(name), std::move(text), b, anchors);
        c.style = LabelStyle::Readout;
        c.align = TextAlign::Center;
        return c;
    }
    ControlDesign& Button(std::string name, std::string text, Bounds b, unsigned anchors = kAnchorTopLeft)
    {
        return Add(ControlKind::Button, std::move(name), std::move(text), b, anchors);
    }
    ControlDesign& Lamp(std::string name, Bounds b) { return Add(ControlKind::Shape, std::move(name), "", b); }
    ControlDesign& Ranged(ControlKind kind, std::string name, Bounds b, int min, int max, int step,
                        unsigned anchors = kAnchorTopLeft)
    {
        ControlDesign& c = Add(kind, std::move(name), "", b, anchors);
        c.min = min;
        c.max = max;
        c.step = step;
        return c;
    }

private:
    FormDesign& form_;
    std::string group_;
};

std::string Num(const char* prefix, int n)
{
    return prefix + std::to_string(n);
}

// ---------------------------------------------------------------- main window

// The test panel's columns: slider, then the four value columns.
constexpr int kRowCaptionX = 10, kRowCaptionW = 86;
constexpr int kSliderX = 98, kSliderW = 248;
constexpr int kRawX = 352, kRawW = 58;
constexpr int kToFsX = 414, kToFsW = 112;
constexpr int kFromAtX = 530, kFromAtW = 62;
constexpr int kToMotorX = 596, kToMotorW = 64;
constexpr int kFirstRowY = 50, kRowPitch = 26, kRowH = 22;

struct TestRow {
    const char* caption;
    // The row caption's name: the four of levers 3 and 4 are components
    // that the aircraft type hides; the others are fixed texts.
    const char* captionName;
    int trackBar;
    int min, max;
    // Value labels of the four columns; 0 where the row has none.
    int raw, toFs, fromAt, toMotor;
};

constexpr std::array<TestRow, 12> kTestRows{{
    {"Throttle 1", "caption_throttle_1", 1, 0, 1000, 1, 19, 68, 70},
    {"Throttle 2", "caption_throttle_2", 2, 0, 1000, 2, 21, 66, 71},
    {"Throttle 3", "Label11", 3, 0, 1000, 3, 24, 65, 72},
    {"Throttle 4", "Label12", 4, 0, 1000, 4, 25, 64, 73},
    {"Reverser 1", "caption_reverser_1", 5, 0, 1000, 5, 26, 0, 0},
    {"Reverser 2", "caption_reverser_2", 6, 0, 1000, 6, 27, 0, 0},
    {"Reverser 3", "Label15", 7, 0, 1000, 7, 28, 0, 0},
    {"Reverser 4", "Label16", 8, 0, 1000, 8, 29, 0, 0},
    // The speedbrake's "To Motor" value is its motor's velocity.
    {"SpeedBrake", "caption_speedbrake", 9, 0, 1000, 20, 30, 0, 77},
    // The flap lever's "To FS" value is the detent it commands.
    {"Flaps", "caption_flaps", 10, 0, 1000, 17, 60, 0, 0},
    {"Elev Trim", "caption_elev_trim", 11, -16383, 16383, 0, 0, 0, 0},
    {"Rudder Trim", "caption_rudder_trim", 12, -1745, 1745, 0, 0, 0, 0},
}};

void AddTestPanel(FormBuilder& b)
{
    b.Panel("panel_test", "Test Panel", {8, 8, 670, 362}, kAnchorLeft | kAnchorTop | kAnchorRight);
    constexpr int headY = 28, headH = 18;
    b.Heading("heading_ph_raw", "PH Raw", {kRawX, headY, kRawW, headH}, kAnchorTopRight);
    b.Heading("heading_to_fs", "To FS", {kToFsX, headY, kToFsW, headH}, kAnchorTopRight);
    b.Heading("heading_from_at", "From A/T", {kFromAtX, headY, kFromAtW, headH}, kAnchorTopRight);
    b.Heading("heading_to_motor", "To Motor", {kToMotorX, headY, kToMotorW, headH}, kAnchorTopRight);
    for (std::size_t i = 0; i < kTestRows.size(); ++i) {
        const TestRow& r = kTestRows[i];
        const int y = kFirstRowY + int(i) * kRowPitch;
        b.Caption(r.captionName, r.caption, {kRowCaptionX, y, kRowCaptionW, kRowH});
        b.Ranged(ControlKind::TrackBar, Num("TrackBar", r.trackBar), {kSliderX, y, kSliderW, kRowH}, r.min, r.max,
                 1, kAnchorLeft | kAnchorTop | kAnchorRight);
        const std::pair<int, Bounds> values[] = {
            {r.raw, {kRawX, y, kRawW, kRowH}},
            {r.toFs, {kToFsX, y, kToFsW, kRowH}},
            {r.fromAt, {kFromAtX, y, kFromAtW, kRowH}},
            {r.toMotor, {kToMotorX, y, kToMotorW, kRowH}},
        };
        for (const auto& [label, bounds] : values)
            if (label != 0)
                b.Readout(Num("Label", label), "", bounds, kAnchorTopRight);
    }
}

void AddLog(FormBuilder& b)
{
    b.Panel("panel_log", "Messages", {8, 378, 670, 254}, kAnchorAll);
    b.Add(ControlKind::Memo, "Memo1", "", {8, 30, 654, 216}, kAnchorAll);
}

void AddSelectors(FormBuilder& b)
{
    b.Form();
    ControlDesign& mode = b.Add(ControlKind::RadioGroup, "mode", "Mode", {686, 8, 300, 108}, kAnchorTopRight);
    mode.items = {"AUTOMATIC", "TEST FS", "TEST  MOTORS"};
    ControlDesign& type =
        b.Add(ControlKind::RadioGroup, "aircraft_type", "Aircraft Type", {686, 124, 300, 60}, kAnchorTopRight);
    type.items = {"777", "737", "747"};
    type.columns = 3;
}

void AddCalibration(FormBuilder& b)
{
    b.Panel("panel_calibration", "Calibration", {686, 192, 300, 156}, kAnchorTopRight);
    b.Button("Button4", "Calibrate Throttles", {12, 30, 276, 28});
    b.Button("Button5", "Calibrate Reversers", {12, 60, 276, 28});
    b.Button("Button1", "Calibrate Flaps", {12, 90, 276, 28});
    b.Button("Button6", "Calibrate Speedbrake Arm", {12, 120, 276, 28});
}

void AddSpeedbrakeTest(FormBuilder& b)
{
    b.Panel("panel_speedbrake", "SpeedBrake Test", {686, 356, 300, 134}, kAnchorTopRight);
    b.Button("Button7", "Deploy", {12, 30, 88, 28});
    b.Button("Button8", "Retract", {106, 30, 88, 28});
    b.Button("Button9", "Stop", {200, 30, 88, 28});
    b.Caption("caption_latch", "Latch", {12, 70, 44, 20});
    b.Lamp("Shape1", {60, 68, 24, 24});
    b.Lamp("Shape2", {90, 68, 24, 24});
    b.Button("Button2", "UP", {150, 66, 64, 28});
    b.Button("Button3", "DN", {224, 66, 64, 28});
    b.Readout("Label59", "STOPPED", {12, 102, 130, 24});
    b.Readout("Label23", "S/B NOT ARMED", {148, 102, 140, 24});
}

void AddLamps(FormBuilder& b)
{
    b.Panel("panel_lamps", "Switches", {686, 498, 300, 106}, kAnchorTopRight);
    struct LampColumn {
        const char* caption;
        const char* captionName;
        const char* lamp;
        int label;
        const char* state;
    };
    static const LampColumn columns[] = {
        {"Fuel 1", "caption_fuel_1", "fuel1", 46, "RUN"}, {"Fuel 2", "caption_fuel_2", "fuel2", 53, "RUN"},
        {"Fuel 3", "caption_fuel_3", "fuel3", 54, "RUN"}, {"Fuel 4", "caption_fuel_4", "fuel4", 55, "RUN"},
        {"P. Brake", "caption_parking_brake", "parkingbrake", 58, "SET"},
    };
    int x = 10;
    for (const LampColumn& c : columns) {
        b.Caption(c.captionName, c.caption, {x, 28, 54, 18}).align = TextAlign::Center;
        b.Lamp(c.lamp, {x + 15, 48, 24, 24});
        b.Caption(Num("Label", c.label), c.state, {x, 78, 54, 18}).align = TextAlign::Center;
        x += 56;
    }
}

void AddTrimMotors(FormBuilder& b)
{
    b.Panel("panel_trim", "Trim Motors", {994, 8, 338, 190}, kAnchorTopRight);
    struct TuningRow {
        const char* caption;
        const char* captionName;
        int label;
        const char* upDown;
        int min, max, step;
    };
    static const TuningRow rows[] = {
        {"Reverse Motor =", "caption_reverse_motor", 40, "UpDown1", 0, 1, 1},
        {"Null Zone     =", "caption_null_zone", 41, "UpDown2", 1, 1000, 1},
        {"Max Motor Spd =", "caption_max_motor_speed", 44, "UpDown5", 1, 100, 1},
        {"Motor Accel   =", "caption_motor_accel", 75, "UpDown6", 1, 100, 1},
        {"Dir Chg Delay =", "caption_dir_change_delay", 78, "UpDown3", 100, 10000, 100},
    };
    int y = 30;
    for (const TuningRow& r : rows) {
        b.Caption(r.captionName, r.caption, {12, y, 120, 22});
        b.Readout(Num("Label", r.label), "", {136, y, 70, 22});
        b.Ranged(ControlKind::UpDown, r.upDown, {214, y, 110, 22}, r.min, r.max, r.step);
        y += 26;
    }
    b.Caption("caption_pid", "PID =", {12, y, 120, 22});
    b.Add(ControlKind::Edit, "p_pid_p", "", {136, y, 60, 22});
    b.Add(ControlKind::Edit, "p_pid_i", "", {200, y, 60, 22});
    b.Add(ControlKind::Edit, "p_pid_d", "", {264, y, 60, 22});
}

void AddTrimReadouts(FormBuilder& b)
{
    b.Panel("panel_trim_readouts", "Trim Readouts", {994, 206, 338, 138}, kAnchorTopRight);
    // Stabiliser trim wheel: the simulator's trim, the modelled wheel, the
    // motor command and its direction.
    b.Caption("caption_sim_trim", "Sim Trim", {12, 30, 80, 22});
    b.Readout("Label43", "", {96, 30, 70, 22});
    b.Caption("caption_wheel_pos", "Wheel Pos", {12, 56, 80, 22});
    b.Readout("Label42", "", {96, 56, 70, 22});
    b.Caption("caption_motor_cmd", "Motor Cmd", {12, 82, 80, 22});
    b.Readout("Label61", "", {96, 82, 70, 22});
    for (const auto& [name, text, x] : {std::tuple{"Label33", "FWD", 96}, std::tuple{"Label34", "BKD", 134}}) {
        ControlDesign& tag = b.Add(ControlKind::Label, name, text, {x, 108, 32, 22});
        tag.style = LabelStyle::Tag;
        tag.align = TextAlign::Center;
    }
    // Trim indicator servos.
    b.Caption("caption_cpt_servo", "CPT Servo", {178, 30, 84, 22});
    b.Readout("Label52", "", {264, 30, 62, 22});
    b.Caption("caption_fo_servo", "FO Servo", {178, 56, 84, 22});
    b.Readout("Label45", "", {264, 56, 62, 22});
    b.Caption("caption_rudder_trim_value", "Rudder Trim", {178, 82, 84, 22});
    b.Readout("Label50", "", {264, 82, 62, 22});
    b.Caption("caption_rudder_servo", "Rudder Servo", {178, 108, 84, 22});
    b.Readout("Label49", "", {264, 108, 62, 22});
}

void AddSimulatorThrottles(FormBuilder& b)
{
    b.Panel("panel_sim_throttles", "Simulator Throttles", {994, 352, 338, 60}, kAnchorTopRight);
    b.Caption("caption_engine_left", "Left", {12, 30, 40, 22});
    b.Readout("engine_l_throttle_pos", "", {56, 30, 100, 22});
    b.Caption("caption_engine_right", "Right", {178, 30, 40, 22});
    b.Readout("engine_r_throttle_pos", "", {222, 30, 104, 22});
}

void AddFireAndOverride(FormBuilder& b)
{
    b.Panel("panel_fire", "Eng Fire", {994, 420, 160, 96}, kAnchorTopRight);
    b.Caption("caption_fire_1", "ENG 1", {12, 30, 62, 18}).align = TextAlign::Center;
    b.Lamp("Shape3", {29, 52, 28, 28});
    b.Caption("caption_fire_2", "ENG 2", {86, 30, 62, 18}).align = TextAlign::Center;
    b.Lamp("Shape4", {103, 52, 28, 28});

    // Hidden in the shipped layout: the override detection is switched by
    // CONFIG.INI alone.
    b.Panel("panel_override", "Manual Override", {1162, 420, 170, 96}, kAnchorTopRight).visible = false;
    b.Add(ControlKind::CheckBox, "manual_override", "Enable", {12, 28, 150, 20});
    b.Caption("caption_current_1", "Mtr1 Current  =", {12, 50, 100, 20});
    b.Readout("current1", "", {114, 50, 46, 20});
    b.Caption("caption_current_2", "Mtr2 Current  =", {12, 72, 100, 20});
    b.Readout("current2", "", {114, 72, 46, 20});
}

FormDesign MakeMainWindow()
{
    FormDesign f;
    f.name = "Form1";
    f.caption = "ZRK Throttle and Trim Controller";
    f.width = 1340;
    f.height = 662;
    FormBuilder b(f);
    AddTestPanel(b);
    AddLog(b);
    AddSelectors(b);
    AddCalibration(b);
    AddSpeedbrakeTest(b);
    AddLamps(b);
    AddTrimMotors(b);
    AddTrimReadouts(b);
    AddSimulatorThrottles(b);
    AddFireAndOverride(b);
    b.Form();
    b.Button("Button10", "Save Config", {994, 592, 338, 40}, kAnchorRight | kAnchorBottom);
    b.Add(ControlKind::StatusBar, "StatusBar1", "", {0, 640, 1340, 22}, kAnchorLeft | kAnchorRight | kAnchorBottom);
    return f;
}

// ---------------------------------------------------------------- dialogs

// Throttles and reversers: one column per lever, one row per calibration
// point, the live reading on top.
struct LeverDialogRow {
    const char* caption;
    const char* captionName;
    int firstLabel;   // labels firstLabel .. firstLabel + 3 for levers 1..4
};

void AddLeverGrid(FormBuilder& b, const char* lever, const std::vector<LeverDialogRow>& rows)
{
    constexpr int colX = 108, colPitch = 84, colW = 78, rowH = 24;
    for (int n = 1; n <= 4; ++n)
        b.Heading(Num("heading_lever_", n), std::string(lever) + " " + std::to_string(n),
                  {colX + (n - 1) * colPitch, 12, colW, 20});
    // Live readings, written by the lever handlers (design texts name the
    // lever until its first reading).
    b.Caption("caption_current", "Current", {12, 40, 90, rowH});
    for (int n = 1; n <= 4; ++n)
        b.Readout(Num("Label", 8 + n), std::string(lever) + " " + std::to_string(n),
                  {colX + (n - 1) * colPitch, 40, colW, rowH});
    int y = 70;
    for (const LeverDialogRow& r : rows) {
        b.Caption(r.captionName, r.caption, {12, y, 90, rowH});
        for (int n = 0; n < 4; ++n)
            b.Readout(Num("Label", r.firstLabel + n), "0", {colX + n * colPitch, y, colW, rowH});
        y += 30;
    }
}

FormDesign MakeThrottleDialog()
{
    FormDesign f;
    f.name = "Form2";
    f.caption = "Throttle Calibration";
    f.width = 450;
    f.height = 182;
    f.centred = true;
    f.closeButton = "Button3";
    FormBuilder b(f);
    AddLeverGrid(b, "Throttle", {{"FULL", "caption_full", 1}, {"IDLE", "caption_idle", 5}});
    b.Button("Button1", "Set FULL Throttle", {12, 140, 140, 30});
    b.Button("Button2", "Set IDLE Throttle", {158, 140, 140, 30});
    b.Button("Button3", "CLOSE", {338, 140, 100, 30});
    return f;
}

FormDesign MakeReverserDialog()
{
    FormDesign f;
    f.name = "Form3";
    f.caption = "Reversers Calibration";
    f.width = 450;
    f.height = 250;
    f.centred = true;
    f.closeButton = "Button3";
    FormBuilder b(f);
    AddLeverGrid(b, "Reverser", {{"OFF", "caption_off", 1}, {"IDLE", "caption_idle", 13}, {"FULL", "caption_full", 5}});
    b.Button("Button1", "Set Reverse OFF", {12, 170, 136, 30});
    b.Button("Button4", "Set Reversee IDLE", {154, 170, 136, 30});
    b.Button("Button2", "Set FULL Reverse", {296, 170, 142, 30});
    b.Button("Button3", "CLOSE", {338, 208, 100, 30});
    return f;
}

FormDesign MakeFlapDialog()
{
    FormDesign f;
    f.name = "Form4";
    f.caption = "Flap Calibration";
    f.width = 494;
    f.height = 356;
    f.left = 320;
    f.top = 120;
    f.closeButton = "Button3";
    FormBuilder b(f);
    struct Detent {
        int caption;
        const char* text;
        int value, set, clear;
    };
    static const Detent detents[] = {
        {9, "  FLAPS UP", 1, 1, 2},      {10, "  FLAPS 1", 2, 4, 5},     {11, "  FLAPS 2", 3, 6, 7},
        {12, "  FLAPS 5", 4, 8, 9},      {13, "  FLAPS 10", 5, 10, 11},  {14, "  FLAPS 15", 6, 14, 13},
        {23, "  FLAPS 17", 24, 23, 22},  {25, "  FLAPS 18", 26, 25, 24}, {15, "  FLAPS 20", 7, 12, 15},
        {16, "  FLAPS 25", 8, 16, 17},   {17, "  FLAPS 30", 19, 18, 19}, {18, "  FLAPS 40", 20, 20, 21},
    };
    int y = 12;
    for (const Detent& d : detents) {
        b.Caption(Num("Label", d.caption), d.text, {12, y, 100, 24});
        b.Readout(Num("Label", d.value), "0", {116, y, 70, 24});
        b.Button(Num("Button", d.set), "SET", {192, y, 70, 24});
        b.Button(Num("Button", d.clear), "CLEAR", {268, y, 70, 24});
        y += 28;
    }
    b.Heading("caption_current_position", "Current Position", {360, 12, 122, 20});
    b.Readout("Label21", "0", {360, 36, 122, 28});
    b.Button("Button3", "CLOSE", {360, 320, 122, 24});
    return f;
}

FormDesign MakeSpeedbrakeDialog()
{
    FormDesign f;
    f.name = "Form5";
    f.caption = "Speedbrake Calibration";
    f.width = 378;
    f.height = 198;
    f.centred = true;
    f.closeButton = "Button3";
    FormBuilder b(f);
    b.Heading("caption_current_position", "Current Position", {12, 14, 120, 20});
    b.Readout("Label1", "0", {136, 12, 70, 24});
    struct Point {
        const char* caption;
        const char* captionName;
        int label;
        int button;
        const char* buttonText;
    };
    static const Point points[] = {
        {"DOWN", "caption_down", 2, 1, "Set Speedbrake DOWN"},
        {"ARM", "caption_arm", 14, 4, "Set Speedbrake ARM"},
        {"FULL UP", "caption_full_up", 6, 2, "Set Speedbrake FULL UP"},
    };
    int y = 50;
    for (const Point& p : points) {
        b.Caption(p.captionName, p.caption, {12, y + 1, 80, 24});
        b.Readout(Num("Label", p.label), "0", {96, y + 1, 70, 24});
        b.Button(Num("Button", p.button), p.buttonText, {176, y, 190, 26});
        y += 32;
    }
    b.Button("Button3", "CLOSE", {266, 156, 100, 30});
    return f;
}

} // namespace

const FormDesign& MainWindowLayout()
{
    static const FormDesign form = MakeMainWindow();
    return form;
}

const std::vector<FormDesign>& DialogLayouts()
{
    static const std::vector<FormDesign> dialogs = {MakeThrottleDialog(), MakeReverserDialog(), MakeFlapDialog(),
                                                  MakeSpeedbrakeDialog()};
    return dialogs;
}

int ControlId(const FormDesign& form, std::string_view controlName)
{
    for (std::size_t i = 0; i < form.controls.size(); ++i)
        if (form.controls[i].name == controlName)
            return kFirstControlId + int(i);
    return 0;
}

const FormDesign* FindFormLayout(std::string_view formName)
{
    if (formName == MainWindowLayout().name)
        return &MainWindowLayout();
    for (const FormDesign& d : DialogLayouts())
        if (d.name == formName)
            return &d;
    return nullptr;
}

} // namespace zrk

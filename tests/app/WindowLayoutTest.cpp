// The window description: every control the controller's handlers and the
// user need is there once, where it belongs, with its range; and the
// binding finds the model behind each control.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/WindowBinding.h"
#include "app/WindowLayout.h"
#include "config/TrimTuning.h"
#include "support/Rig.h"

namespace zrk::test {
namespace {

const ControlDesign& Find(const FormDesign& form, const std::string& name)
{
    const ControlDesign* c = form.Find(name);
    if (!c) {
        ADD_FAILURE() << form.name << " has no control " << name;
        static const ControlDesign none;
        return none;
    }
    return *c;
}

std::vector<const FormDesign*> AllForms()
{
    std::vector<const FormDesign*> forms{&MainWindowLayout()};
    for (const FormDesign& d : DialogLayouts())
        forms.push_back(&d);
    return forms;
}

// ---------------------------------------------------------------- geometry

TEST(WindowLayout, NamesAreUniqueAndEveryControlSitsInsideItsPanelWithoutOverlapping)
{
    for (const FormDesign* f : AllForms()) {
        SCOPED_TRACE(f->name);
        std::set<std::string> names;
        std::set<int> ids;
        std::map<std::string, std::vector<const ControlDesign*>> byGroup;
        for (const ControlDesign& c : f->controls) {
            EXPECT_TRUE(names.insert(c.name).second) << "twice: " << c.name;
            // Native windows find a control by its id: one per name.
            const int id = ControlId(*f, c.name);
            EXPECT_GE(id, kFirstControlId) << c.name;
            EXPECT_TRUE(ids.insert(id).second) << "id twice: " << c.name;
            EXPECT_EQ(&f->controls[std::size_t(id - kFirstControlId)], &c) << c.name;
            byGroup[c.group].push_back(&c);
            if (c.group.empty()) {
                EXPECT_TRUE((Bounds{0, 0, f->width, f->height}.Contains(c.bounds))) << c.name;
                continue;
            }
            // The panel comes first (tab order), and the control lies below
            // its title bar.
            const ControlDesign* panel = f->Find(c.group);
            ASSERT_NE(panel, nullptr) << c.name << " in " << c.group;
            EXPECT_LT(panel - f->controls.data(), &c - f->controls.data()) << c.name;
            EXPECT_EQ(panel->kind, ControlKind::Panel) << c.group;
            EXPECT_TRUE(panel->bounds.Contains(c.bounds)) << c.name;
            EXPECT_GE(c.bounds.top, kPanelTitleHeight) << c.name;
        }
        for (const auto& [group, controls] : byGroup)
            for (std::size_t i = 0; i < controls.size(); ++i)
                for (std::size_t j = i + 1; j < controls.size(); ++j)
                    EXPECT_FALSE(controls[i]->bounds.Overlaps(controls[j]->bounds))
                        << controls[i]->name << " and " << controls[j]->name;
        EXPECT_EQ(ControlId(*f, "NoSuchControl"), 0);
    }
}

TEST(WindowLayout, TheMainWindowFitsA1366x768Screen)
{
    // The screen less a task bar (40), the window's title bar (30) and its
    // menu bar (22); the form's height holds the status bar.
    const FormDesign& f = MainWindowLayout();
    EXPECT_LE(f.width, 1366 - 16);
    EXPECT_LE(f.height, 768 - 40 - 30 - 22);
    const ControlDesign& status = Find(f, "StatusBar1");
    EXPECT_EQ(status.bounds.Bottom(), f.height);
    EXPECT_EQ(status.bounds.width, f.width);
}

// ---------------------------------------------------------------- test panel

TEST(WindowLayout, TheTestPanelHasTwelveRowsWithTheirCaptionsRangesAndValueColumns)
{
    const FormDesign& f = MainWindowLayout();
    struct Row {
        int trackBar;
        const char* caption;
        int min, max;
        int raw, toFs, fromAt, toMotor;   // value labels, 0: none
    };
    const Row rows[] = {
        {1, "Throttle 1", 0, 1000, 1, 19, 68, 70},      {2, "Throttle 2", 0, 1000, 2, 21, 66, 71},
        {3, "Throttle 3", 0, 1000, 3, 24, 65, 72},      {4, "Throttle 4", 0, 1000, 4, 25, 64, 73},
        {5, "Reverser 1", 0, 1000, 5, 26, 0, 0},        {6, "Reverser 2", 0, 1000, 6, 27, 0, 0},
        {7, "Reverser 3", 0, 1000, 7, 28, 0, 0},        {8, "Reverser 4", 0, 1000, 8, 29, 0, 0},
        {9, "SpeedBrake", 0, 1000, 20, 30, 0, 77},      {10, "Flaps", 0, 1000, 17, 60, 0, 0},
        {11, "Elev Trim", -16383, 16383, 0, 0, 0, 0},   {12, "Rudder Trim", -1745, 1745, 0, 0, 0, 0},
    };
    const char* const headings[] = {"PH Raw", "To FS", "From A/T", "To Motor"};
    std::map<std::string, const ControlDesign*> heading;
    for (const ControlDesign& c : f.controls)
        if (c.group == "panel_test" && c.style == LabelStyle::Heading)
            heading[c.caption] = &c;
    for (const char* h : headings)
        ASSERT_TRUE(heading.count(h)) << h;

    int lastTop = -1;
    for (const Row& r : rows) {
        const ControlDesign& bar = Find(f, "TrackBar" + std::to_string(r.trackBar));
        SCOPED_TRACE(bar.name);
        EXPECT_EQ(bar.kind, ControlKind::TrackBar);
        EXPECT_EQ(bar.group, "panel_test");
        EXPECT_EQ(bar.min, r.min);
        EXPECT_EQ(bar.max, r.max);
        EXPECT_EQ(bar.step, 1);
        EXPECT_GT(bar.bounds.top, lastTop) << "rows in order";
        lastTop = bar.bounds.top;
        // The row's caption: the label left of the slider on its line.
        std::vector<std::string> captions;
        for (const ControlDesign& c : f.controls)
            if (c.group == "panel_test" && c.kind == ControlKind::Label && c.bounds.top == bar.bounds.top
                && c.bounds.Right() <= bar.bounds.left)
                captions.push_back(c.caption);
        EXPECT_EQ(captions, std::vector<std::string>{r.caption});
        // Each value label on the slider's line, under its column's heading.
        const int labels[] = {r.raw, r.toFs, r.fromAt, r.toMotor};
        for (int col = 0; col < 4; ++col) {
            if (labels[col] == 0)
                continue;
            const ControlDesign& v = Find(f, "Label" + std::to_string(labels[col]));
            EXPECT_EQ(v.group, "panel_test") << v.name;
            EXPECT_EQ(v.bounds.top, bar.bounds.top) << v.name;
            EXPECT_EQ(v.bounds.left, heading[headings[col]]->bounds.left) << v.name << " under " << headings[col];
        }
    }
    // The rows of levers 3 and 4 name their captions as the aircraft type
    // handler knows them.
    for (const auto& [name, text] : {std::pair{"Label11", "Throttle 3"}, std::pair{"Label12", "Throttle 4"},
                                     std::pair{"Label15", "Reverser 3"}, std::pair{"Label16", "Reverser 4"}})
        EXPECT_EQ(Find(f, name).caption, text);
}

TEST(WindowLayout, TheSelectorsHaveTheirItems)
{
    const FormDesign& f = MainWindowLayout();
    EXPECT_EQ(Find(f, "mode").items, (std::vector<std::string>{"AUTOMATIC", "TEST FS", "TEST  MOTORS"}));
    EXPECT_EQ(Find(f, "aircraft_type").items, (std::vector<std::string>{"777", "737", "747"}));
    // And they are the controller's.
    Rig rig;
    TForm1& form = rig.Start();
    EXPECT_EQ(Find(f, "mode").items, form.mode.Items);
    EXPECT_EQ(Find(f, "aircraft_type").items, form.aircraft_type.Items);
    form.FormDestroy();
}

// ---------------------------------------------------------------- panels

struct Named {
    const char* name;
    ControlKind kind;
    const char* caption;   // nullptr: written by the controller
    const char* group;
};

TEST(WindowLayout, EveryButtonLampAndReadoutOfTheMainWindowIsInItsPanel)
{
    const Named controls[] = {
        {"Button4", ControlKind::Button, "Calibrate Throttles", "panel_calibration"},
        {"Button5", ControlKind::Button, "Calibrate Reversers", "panel_calibration"},
        {"Button1", ControlKind::Button, "Calibrate Flaps", "panel_calibration"},
        {"Button6", ControlKind::Button, "Calibrate Speedbrake Arm", "panel_calibration"},
        {"Button7", ControlKind::Button, "Deploy", "panel_speedbrake"},
        {"Button8", ControlKind::Button, "Retract", "panel_speedbrake"},
        {"Button9", ControlKind::Button, "Stop", "panel_speedbrake"},
        {"Button2", ControlKind::Button, "UP", "panel_speedbrake"},
        {"Button3", ControlKind::Button, "DN", "panel_speedbrake"},
        {"Label59", ControlKind::Label, nullptr, "panel_speedbrake"},
        {"Label23", ControlKind::Label, nullptr, "panel_speedbrake"},
        {"Shape1", ControlKind::Shape, nullptr, "panel_speedbrake"},
        {"Shape2", ControlKind::Shape, nullptr, "panel_speedbrake"},
        {"caption_latch", ControlKind::Label, "Latch", "panel_speedbrake"},
        {"Shape3", ControlKind::Shape, nullptr, "panel_fire"},
        {"Shape4", ControlKind::Shape, nullptr, "panel_fire"},
        {"manual_override", ControlKind::CheckBox, "Enable", "panel_override"},
        {"current1", ControlKind::Label, nullptr, "panel_override"},
        {"current2", ControlKind::Label, nullptr, "panel_override"},
        {"fuel1", ControlKind::Shape, nullptr, "panel_lamps"},
        {"fuel2", ControlKind::Shape, nullptr, "panel_lamps"},
        {"fuel3", ControlKind::Shape, nullptr, "panel_lamps"},
        {"fuel4", ControlKind::Shape, nullptr, "panel_lamps"},
        {"parkingbrake", ControlKind::Shape, nullptr, "panel_lamps"},
        {"Label46", ControlKind::Label, "RUN", "panel_lamps"},
        {"Label53", ControlKind::Label, "RUN", "panel_lamps"},
        {"Label54", ControlKind::Label, "RUN", "panel_lamps"},
        {"Label55", ControlKind::Label, "RUN", "panel_lamps"},
        {"Label58", ControlKind::Label, "SET", "panel_lamps"},
        {"Label43", ControlKind::Label, nullptr, "panel_trim_readouts"},
        {"Label42", ControlKind::Label, nullptr, "panel_trim_readouts"},
        {"Label61", ControlKind::Label, nullptr, "panel_trim_readouts"},
        {"Label33", ControlKind::Label, "FWD", "panel_trim_readouts"},
        {"Label34", ControlKind::Label, "BKD", "panel_trim_readouts"},
        {"Label52", ControlKind::Label, nullptr, "panel_trim_readouts"},
        {"Label45", ControlKind::Label, nullptr, "panel_trim_readouts"},
        {"Label50", ControlKind::Label, nullptr, "panel_trim_readouts"},
        {"Label49", ControlKind::Label, nullptr, "panel_trim_readouts"},
        {"engine_l_throttle_pos", ControlKind::Label, nullptr, "panel_sim_throttles"},
        {"engine_r_throttle_pos", ControlKind::Label, nullptr, "panel_sim_throttles"},
        {"p_pid_p", ControlKind::Edit, nullptr, "panel_trim"},
        {"p_pid_i", ControlKind::Edit, nullptr, "panel_trim"},
        {"p_pid_d", ControlKind::Edit, nullptr, "panel_trim"},
        {"Memo1", ControlKind::Memo, nullptr, "panel_log"},
        {"Button10", ControlKind::Button, "Save Config", ""},
        {"StatusBar1", ControlKind::StatusBar, nullptr, ""},
        {"mode", ControlKind::RadioGroup, nullptr, ""},
        {"aircraft_type", ControlKind::RadioGroup, nullptr, ""},
    };
    const FormDesign& f = MainWindowLayout();
    for (const Named& n : controls) {
        const ControlDesign& c = Find(f, n.name);
        EXPECT_EQ(c.kind, n.kind) << n.name;
        EXPECT_EQ(c.group, n.group) << n.name;
        if (n.caption) {
            EXPECT_EQ(c.caption, n.caption) << n.name;
        }
    }
    const std::map<std::string, std::string> titles = {
        {"panel_speedbrake", "SpeedBrake Test"}, {"panel_trim", "Trim Motors"}, {"panel_override", "Manual Override"},
        {"panel_fire", "Eng Fire"}, {"panel_test", "Test Panel"}};
    for (const auto& [panel, title] : titles)
        EXPECT_EQ(Find(f, panel).caption, title);
    // Hidden in the shipped layout.
    EXPECT_FALSE(Find(f, "panel_override").visible);
}

TEST(WindowLayout, TheTrimMotorControlsHaveTheRangesAndStepsTheTuningTakes)
{
    const FormDesign& f = MainWindowLayout();
    struct UpDown {
        const char* name;
        const char* caption;
        int label, min, max, step;
    };
    const UpDown rows[] = {
        {"UpDown1", "Reverse Motor =", 40, 0, 1, 1},   {"UpDown2", "Null Zone     =", 41, 1, 1000, 1},
        {"UpDown5", "Max Motor Spd =", 44, 1, 100, 1}, {"UpDown6", "Motor Accel   =", 75, 1, 100, 1},
        {"UpDown3", "Dir Chg Delay =", 78, 100, 10000, 100},
    };
    for (const UpDown& r : rows) {
        const ControlDesign& u = Find(f, r.name);
        SCOPED_TRACE(r.name);
        EXPECT_EQ(u.kind, ControlKind::UpDown);
        EXPECT_EQ(u.group, "panel_trim");
        EXPECT_EQ(u.min, r.min);
        EXPECT_EQ(u.max, r.max);
        EXPECT_EQ(u.step, r.step);
        // The controller's own table agrees.
        const TuningControl* t = FindTuningControl(r.name);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->min, u.min);
        EXPECT_EQ(t->max, u.max);
        EXPECT_EQ(t->step, u.step);
        // Caption, value label and control share a line.
        const ControlDesign& value = Find(f, "Label" + std::to_string(r.label));
        EXPECT_EQ(value.bounds.top, u.bounds.top);
        int captions = 0;
        for (const ControlDesign& c : f.controls)
            if (c.group == "panel_trim" && c.caption == r.caption && c.bounds.top == u.bounds.top)
                ++captions;
        EXPECT_EQ(captions, 1);
    }
}

// ---------------------------------------------------------------- dialogs

TEST(WindowLayout, TheCalibrationDialogsHaveTheirLabelsAndButtons)
{
    struct Dialog {
        const char* name;
        const char* caption;
        bool centred;
        std::vector<int> labels;
        std::map<std::string, std::string> buttons;
    };
    const Dialog dialogs[] = {
        {"Form2", "Throttle Calibration", true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12},
         {{"Button1", "Set FULL Throttle"}, {"Button2", "Set IDLE Throttle"}, {"Button3", "CLOSE"}}},
        {"Form3", "Reversers Calibration", true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         {{"Button1", "Set Reverse OFF"}, {"Button4", "Set Reversee IDLE"}, {"Button2", "Set FULL Reverse"},
          {"Button3", "CLOSE"}}},
        {"Form4", "Flap Calibration", false, {21}, {{"Button3", "CLOSE"}}},
        {"Form5", "Speedbrake Calibration", true, {1, 2, 14, 6},
         {{"Button1", "Set Speedbrake DOWN"}, {"Button4", "Set Speedbrake ARM"}, {"Button2", "Set Speedbrake FULL UP"},
          {"Button3", "CLOSE"}}},
    };
    ASSERT_EQ(DialogLayouts().size(), 4u);
    for (const Dialog& d : dialogs) {
        const FormDesign* f = FindFormLayout(d.name);
        ASSERT_NE(f, nullptr) << d.name;
        SCOPED_TRACE(d.name);
        EXPECT_EQ(f->caption, d.caption);
        EXPECT_EQ(f->centred, d.centred);
        EXPECT_EQ(f->closeButton, "Button3");
        for (int n : d.labels)
            EXPECT_EQ(Find(*f, "Label" + std::to_string(n)).kind, ControlKind::Label) << n;
        for (const auto& [button, caption] : d.buttons) {
            EXPECT_EQ(Find(*f, button).caption, caption);
        }
    }
    // Live readings start on their design texts.
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(Find(*FindFormLayout("Form2"), "Label" + std::to_string(8 + n)).caption,
                  "Throttle " + std::to_string(n));
        EXPECT_EQ(Find(*FindFormLayout("Form3"), "Label" + std::to_string(8 + n)).caption,
                  "Reverser " + std::to_string(n));
    }
    EXPECT_EQ(Find(*FindFormLayout("Form4"), "Label21").caption, "0");
    EXPECT_EQ(Find(*FindFormLayout("Form5"), "Label1").caption, "0");
}

TEST(WindowLayout, EachFlapDetentHasItsRowOfCaptionValueSetAndClear)
{
    struct Detent {
        int caption;
        const char* text;
        int value, set, clear;
    };
    const Detent detents[] = {
        {9, "  FLAPS UP", 1, 1, 2},     {10, "  FLAPS 1", 2, 4, 5},     {11, "  FLAPS 2", 3, 6, 7},
        {12, "  FLAPS 5", 4, 8, 9},     {13, "  FLAPS 10", 5, 10, 11},  {14, "  FLAPS 15", 6, 14, 13},
        {23, "  FLAPS 17", 24, 23, 22}, {25, "  FLAPS 18", 26, 25, 24}, {15, "  FLAPS 20", 7, 12, 15},
        {16, "  FLAPS 25", 8, 16, 17},  {17, "  FLAPS 30", 19, 18, 19}, {18, "  FLAPS 40", 20, 20, 21},
    };
    const FormDesign& f = *FindFormLayout("Form4");
    for (const Detent& d : detents) {
        SCOPED_TRACE(d.text);
        const ControlDesign& caption = Find(f, "Label" + std::to_string(d.caption));
        EXPECT_EQ(caption.caption, d.text);
        const int top = caption.bounds.top;
        EXPECT_EQ(Find(f, "Label" + std::to_string(d.value)).bounds.top, top);
        const ControlDesign& set = Find(f, "Button" + std::to_string(d.set));
        const ControlDesign& clear = Find(f, "Button" + std::to_string(d.clear));
        EXPECT_EQ(set.caption, "SET");
        EXPECT_EQ(clear.caption, "CLEAR");
        EXPECT_EQ(set.bounds.top, top);
        EXPECT_EQ(clear.bounds.top, top);
    }
}

// ---------------------------------------------------------------- binding

TEST(WindowBinding, EveryControlWithAModelFindsTheControllersOwn)
{
    Rig rig;
    TForm1& form = rig.Start();
    for (const FormDesign* f : AllForms()) {
        for (const ControlDesign& c : f->controls) {
            const ControlModel m = BindControl(form, f->name, c.name);
            SCOPED_TRACE(f->name + "." + c.name);
            switch (c.kind) {
            case ControlKind::TrackBar: EXPECT_NE(m.trackBar, nullptr); break;
            case ControlKind::UpDown: EXPECT_NE(m.upDown, nullptr); break;
            case ControlKind::Edit: EXPECT_NE(m.edit, nullptr); break;
            case ControlKind::CheckBox: EXPECT_NE(m.checkBox, nullptr); break;
            case ControlKind::RadioGroup: EXPECT_NE(m.radioGroup, nullptr); break;
            case ControlKind::Shape: EXPECT_NE(m.shape, nullptr); break;
            case ControlKind::Memo: EXPECT_NE(m.memo, nullptr); break;
            case ControlKind::StatusBar: EXPECT_NE(m.statusBar, nullptr); break;
            case ControlKind::Label:
                // Readouts are written by the controller; fixed texts have
                // descriptive names and no model.
                if (c.style == LabelStyle::Readout || c.name.rfind("Label", 0) == 0) {
                    EXPECT_NE(m.label, nullptr);
                } else {
                    EXPECT_FALSE(m.Bound());
                }
                break;
            case ControlKind::Panel:
            case ControlKind::Button: EXPECT_FALSE(m.Bound()); break;
            case ControlKind::Lever:
            case ControlKind::Toggle:
            case ControlKind::Wheel:
            case ControlKind::Dial:
            case ControlKind::List:
            case ControlKind::Chart: ADD_FAILURE() << "a kind of the Quadrant, Boards and Charts windows only"; break;
            }
        }
    }
    // The very models the handlers write.
    EXPECT_EQ(BindControl(form, "Form1", "Label41").label, &form.Label(41));
    EXPECT_EQ(BindControl(form, "Form1", "TrackBar12").trackBar, &form.TrackBar(12));
    EXPECT_EQ(BindControl(form, "Form1", "fuel3").shape, &form.fuel3);
    EXPECT_EQ(BindControl(form, "Form4", "Label21").label, &form.Form4.Label(21));
    EXPECT_EQ(BindControl(form, "Form2", "Label9").label, &form.Form2.Label(9));
    EXPECT_EQ(BindDialog(form, "Form5"), &form.Form5);
    form.FormDestroy();
}

TEST(WindowBinding, NamesOutsideTheModelsFindNothing)
{
    Rig rig;
    TForm1& form = rig.Start();
    // Numbers past the ends of the models' tables, leading zeros, other
    // forms: nothing, rather than a model out of bounds.
    for (const char* name : {"Label0", "Label100", "Label1000", "Label01", "Label", "Label4x", "TrackBar0",
                             "TrackBar13", "TrackBar01", "UpDown4", "fuel5", "Shape5", ""})
        EXPECT_FALSE(BindControl(form, "Form1", name).Bound()) << name;
    EXPECT_FALSE(BindControl(form, "Form2", "Label40").Bound());
    EXPECT_TRUE(BindControl(form, "Form2", "Label39").Bound());
    EXPECT_FALSE(BindControl(form, "Form6", "Label1").Bound());
    EXPECT_FALSE(BindControl(form, "Form2", "TrackBar1").Bound());
    EXPECT_EQ(BindDialog(form, "Form1"), nullptr);
    EXPECT_EQ(TrackBarNumber("TrackBar7"), 7);
    EXPECT_EQ(TrackBarNumber("TrackBar-1"), 0);
    EXPECT_EQ(ActionName("Form1", "Button4"), "Button4");
    EXPECT_EQ(ActionName("Form4", "Button8"), "Form4.Button8");
    form.FormDestroy();
}

TEST(WindowBinding, LabelsShowTheirDesignTextUntilWrittenAndFollowTheirModelsVisibility)
{
    const ControlDesign& caption = Find(MainWindowLayout(), "Label11");
    LabelModel m;
    EXPECT_EQ(LabelText(caption, &m), "Throttle 3");
    EXPECT_EQ(LabelText(caption, nullptr), "Throttle 3");
    m.Caption = "x";
    EXPECT_EQ(LabelText(caption, &m), "x");

    ControlModel bound;
    bound.label = &m;
    EXPECT_TRUE(ControlVisible(caption, bound));
    m.Visible = false;
    EXPECT_FALSE(ControlVisible(caption, bound));
    // A control the shipped layout hides stays hidden.
    const ControlDesign& panel = Find(MainWindowLayout(), "panel_override");
    EXPECT_FALSE(ControlVisible(panel, ControlModel{}));
}

} // namespace
} // namespace zrk::test

#include "app/WindowBinding.h"

#include <charconv>

#include "app/CalibrationDialogs.h"
#include "app/TForm1.h"

namespace zrk {

namespace {

// n of "<prefix><n>" written without leading zeros, within first..last;
// 0 otherwise (no control of these families is numbered 0).
int NumberAfter(std::string_view name, std::string_view prefix, int first, int last)
{
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
        return 0;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.size() > 3 || digits.front() == '0')
        return 0;
    int n = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || n < first || n > last)
        return 0;
    return n;
}

// The main window's labels are numbered 1 .. 99, a dialog's 1 .. 39.
constexpr int kMainLabels = 99;
constexpr int kDialogLabels = 39;

ControlModel BindMain(const TForm1& f, std::string_view c)
{
    ControlModel m;
    if (int n = NumberAfter(c, "Label", 1, kMainLabels)) {
        m.label = &f.Label(n);
    } else if (int t = TrackBarNumber(c)) {
        m.trackBar = &f.TrackBar(t);
    } else if (c == "current1") {
        m.label = &f.current1;
    } else if (c == "current2") {
        m.label = &f.current2;
    } else if (c == "engine_l_throttle_pos") {
        m.label = &f.engine_l_throttle_pos;
    } else if (c == "engine_r_throttle_pos") {
        m.label = &f.engine_r_throttle_pos;
    } else if (c == "Shape1") {
        m.shape = &f.Shape1;
    } else if (c == "Shape2") {
        m.shape = &f.Shape2;
    } else if (c == "Shape3") {
        m.shape = &f.Shape3;
    } else if (c == "Shape4") {
        m.shape = &f.Shape4;
    } else if (c == "fuel1") {
        m.shape = &f.fuel1;
    } else if (c == "fuel2") {
        m.shape = &f.fuel2;
    } else if (c == "fuel3") {
        m.shape = &f.fuel3;
    } else if (c == "fuel4") {
        m.shape = &f.fuel4;
    } else if (c == "parkingbrake") {
        m.shape = &f.parkingbrake;
    } else if (c == "p_pid_p") {
        m.edit = &f.p_pid_p;
    } else if (c == "p_pid_i") {
        m.edit = &f.p_pid_i;
    } else if (c == "p_pid_d") {
        m.edit = &f.p_pid_d;
    } else if (c == "UpDown1") {
        m.upDown = &f.UpDown1;
    } else if (c == "UpDown2") {
        m.upDown = &f.UpDown2;
    } else if (c == "UpDown3") {
        m.upDown = &f.UpDown3;
    } else if (c == "UpDown5") {
        m.upDown = &f.UpDown5;
    } else if (c == "UpDown6") {
        m.upDown = &f.UpDown6;
    } else if (c == "manual_override") {
        m.checkBox = &f.manual_override;
    } else if (c == "mode") {
        m.radioGroup = &f.mode;
    } else if (c == "aircraft_type") {
        m.radioGroup = &f.aircraft_type;
    } else if (c == "Memo1") {
        m.memo = &f.Memo1;
    } else if (c == "StatusBar1") {
        m.statusBar = &f.StatusBar1;
    }
    return m;
}

} // namespace

int TrackBarNumber(std::string_view control)
{
    return NumberAfter(control, "TrackBar", 1, 12);
}

const CalibrationDialog* BindDialog(const TForm1& form, std::string_view formName)
{
    if (formName == "Form2")
        return &form.Form2;
    if (formName == "Form3")
        return &form.Form3;
    if (formName == "Form4")
        return &form.Form4;
    if (formName == "Form5")
        return &form.Form5;
    return nullptr;
}

ControlModel BindControl(const TForm1& form, std::string_view formName, std::string_view control)
{
    if (formName == "Form1")
        return BindMain(form, control);
    ControlModel m;
    if (const CalibrationDialog* d = BindDialog(form, formName))
        if (int n = NumberAfter(control, "Label", 1, kDialogLabels))
            m.label = &d->Label(n);
    return m;
}

std::string LabelText(const ControlDesign& design, const LabelModel* model)
{
    if (model && !model->Caption.empty())
        return model->Caption;
    return design.caption;
}

bool ControlVisible(const ControlDesign& design, const ControlModel& model)
{
    if (!design.visible)
        return false;
    if (model.trackBar)
        return model.trackBar->Visible;
    if (model.label)
        return model.label->Visible;
    return true;
}

std::string ActionName(std::string_view formName, std::string_view control)
{
    if (formName == "Form1")
        return std::string(control);
    return std::string(formName) + "." + std::string(control);
}

} // namespace zrk

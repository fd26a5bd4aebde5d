// User actions on the window and its dialogs, by control name, as the
// renderers and the scenario runner forward them: each sets the control's
// model as the user left it and runs the control's handler.
#include <algorithm>
#include <utility>

#include "app/TForm1.h"
#include "config/TrimTuning.h"

namespace zrk {

namespace {

using Handler = void (TForm1::*)();

// "Button12" -> 12; nothing for any other text.
std::optional<int> ButtonNumber(std::string_view name)
{
    constexpr std::string_view prefix = "Button";
    if (name.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    const std::string_view digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 3 || digits[0] == '0'
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int n = 0;
    for (char c : digits)
        n = n * 10 + (c - '0');
    return n;
}

} // namespace

bool TForm1::Click(const std::string& control)
{
    Announce("click " + control);
    // A dialog's button: "Form4.Button8". A hidden dialog has no buttons to
    // press.
    if (const std::size_t dot = control.find('.'); dot != std::string::npos) {
        static const std::pair<const char*, CalibrationForm> kDialogs[] = {
            {"Form2", CalibrationForm::Throttles},
            {"Form3", CalibrationForm::Reversers},
            {"Form4", CalibrationForm::Flaps},
            {"Form5", CalibrationForm::Speedbrake}};
        const std::string_view dialog = std::string_view(control).substr(0, dot);
        const auto button = ButtonNumber(std::string_view(control).substr(dot + 1));
        for (const auto& [name, form] : kDialogs)
            if (dialog == name)
                return button && Dialog(form).Visible && DialogButtonClick(form, *button);
        return false;
    }

    static const std::pair<const char*, Handler> kButtons[] = {
        {"Button4", &TForm1::Button4Click},   // Calibrate Throttles
        {"Button5", &TForm1::Button5Click},   // Calibrate Reversers
        {"Button1", &TForm1::Button1Click},   // Calibrate Flaps
        {"Button6", &TForm1::Button6Click},   // Calibrate Speedbrake Arm
        {"Button10", &TForm1::Button10Click}, // Save Config
        {"Button7", &TForm1::Button7Click},   // SpeedBrake Test: Deploy
        {"Button8", &TForm1::Button8Click},   //   Retract
        {"Button9", &TForm1::Button9Click},   //   Stop
        {"Button2", &TForm1::Button2Click},   //   UP
        {"Button3", &TForm1::Button3Click},   //   DN
    };
    for (const auto& [name, handler] : kButtons) {
        if (control == name) {
            (this->*handler)();
            return true;
        }
    }
    return false;
}

bool TForm1::SetTrackBar(int n, int position)
{
    Announce("trackbar " + std::to_string(n) + " " + std::to_string(position));
    if (n < 1 || n > 12 || !TrackBar(n).Visible)
        return false;
    TrackBarModel& bar = TrackBar(n);
    const int p = std::clamp(position, bar.Min, bar.Max);
    // A slider raises its change event only when its position changes.
    if (p == bar.Position)
        return true;
    bar.Position = p;
    // A switch rather than a table of member pointers: GCC's bounds
    // sanitizer misreads indexing into such a table.
    switch (n) {
    case 1: TrackBar1Change(); break;
    case 2: TrackBar2Change(); break;
    case 3: TrackBar3Change(); break;
    case 4: TrackBar4Change(); break;
    case 5: TrackBar5Change(); break;
    case 6: TrackBar6Change(); break;
    case 7: TrackBar7Change(); break;
    case 8: TrackBar8Change(); break;
    case 9: TrackBar9Change(); break;
    case 10: TrackBar10Change(); break;
    case 11: TrackBar10Change(); break;   // the elevator trim slider
    default: TrackBar9Change(); break;    // 12, the rudder trim slider
    }
    return true;
}

bool TForm1::SetUpDown(const std::string& name, int position)
{
    Announce("updown " + name + " " + std::to_string(position));
    static const std::pair<const char*, Handler> kClick[] = {
        {"UpDown1", &TForm1::UpDown1Click}, {"UpDown2", &TForm1::UpDown2Click},
        {"UpDown5", &TForm1::UpDown5Click}, {"UpDown6", &TForm1::UpDown6Click},
        {"UpDown3", &TForm1::UpDown3Click}};
    const TuningControl* control = FindTuningControl(name);
    UpDownModel* updown = UpDownNamed(name);
    if (!control || !updown)
        return false;
    updown->Position = std::clamp(position, control->min, control->max);
    for (const auto& [n, handler] : kClick)
        if (name == n)
            (this->*handler)();
    return true;
}

bool TForm1::SetEdit(const std::string& name, const std::string& text)
{
    Announce("edit " + name + " " + text);
    EditModel* edit = name == "p_pid_p" ? &p_pid_p : name == "p_pid_i" ? &p_pid_i : name == "p_pid_d" ? &p_pid_d
                                                                                                     : nullptr;
    if (!edit)
        return false;
    // A one-line box of bounded size: CONFIG.INI keeps the text on one line
    // exactly as typed.
    if (text.size() > kMaxEditText || text.find_first_of("\r\n") != std::string::npos) {
        Log("PID text refused for " + name + ": one line of at most " + std::to_string(kMaxEditText)
            + " characters");
        return false;
    }
    if (edit->Text == text)
        return true;
    edit->Text = text;
    p_pid_dChange();
    return true;
}

bool TForm1::SetCheck(const std::string& name, bool checked)
{
    Announce("check " + name + (checked ? " 1" : " 0"));
    if (name != "manual_override")
        return false;
    // Its state is saved with the settings, so a change is offered for
    // saving like every other one.
    if (manual_override.Checked != checked) {
        manual_override.Checked = checked;
        ConfigChanged = true;
    }
    return true;
}

bool TForm1::SelectRadio(const std::string& group, int index)
{
    Announce("radio " + group + " " + std::to_string(index));
    RadioGroupModel* radio = group == "mode" ? &mode : group == "aircraft_type" ? &aircraft_type : nullptr;
    if (!radio || index < 0 || index >= int(radio->Items.size()))
        return false;
    radio->ItemIndex = index;
    aircraft_typeClick();   // the handler of both groups
    return true;
}

} // namespace zrk

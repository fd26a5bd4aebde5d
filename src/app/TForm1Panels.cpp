// The handlers of the calibration dialogs, the test panel and the trim
// tuning panel.
#include "app/TForm1.h"
#include "config/Convert.h"
#include "config/TrimTuning.h"
#include "inputs/TestPanel.h"

namespace zrk {

namespace {

constexpr int kTestFs = 1;

} // namespace

// ---------------------------------------------------------------- calibration dialogs

CalibrationDialog& TForm1::Dialog(CalibrationForm form)
{
    switch (form) {
    case CalibrationForm::Throttles: return Form2;
    case CalibrationForm::Reversers: return Form3;
    case CalibrationForm::Flaps: return Form4;
    case CalibrationForm::Speedbrake: break;
    }
    return Form5;
}

void TForm1::ShowCalibration(CalibrationForm form)
{
    CalibrationDialog& dialog = Dialog(form);
    for (const PointLabel& p : PointLabels(form))
        dialog.Label(p.label).Caption = SafeIntToStr(cfg.*p.setting);
}

void TForm1::OpenCalibration(CalibrationForm form)
{
    ShowCalibration(form);
    Dialog(form).Visible = true;
    // Merely opening a dialog makes closing the window offer to save.
    ConfigChanged = true;
}

void TForm1::Button4Click() { OpenCalibration(CalibrationForm::Throttles); }
void TForm1::Button5Click() { OpenCalibration(CalibrationForm::Reversers); }
void TForm1::Button1Click() { OpenCalibration(CalibrationForm::Flaps); }
void TForm1::Button6Click() { OpenCalibration(CalibrationForm::Speedbrake); }

bool TForm1::DialogButtonClick(CalibrationForm form, int button)
{
    CalibrationDialog& dialog = Dialog(form);
    if (button == kCalibrationCloseButton) {
        dialog.Visible = false;   // the captures stay
        return true;
    }
    const auto points = CapturePoints(form, button, aircraft_type.ItemIndex);
    if (!points)
        return false;
    CaptureSources from;
    for (int n = 1; n <= int(from.trackBars.size()); ++n)
        from.trackBars[std::size_t(n - 1)] = TrackBar(n).Position;
    if (const int live = CaptureLiveLabel(form))
        from.liveText = dialog.Label(live).Caption;
    if (!ApplyCapture(*points, from, cfg)) {
        Log(dialog.Caption + ": the lever position \"" + from.liveText + "\" is no number - nothing captured");
        return true;
    }
    ShowCalibration(form);
    ConfigChanged = true;
    return true;
}

// ---------------------------------------------------------------- test panel

void TForm1::TestPanelChange(int trackBar)
{
    if (mode.ItemIndex != kTestFs)
        return;
    const auto in = TestPanelInput(trackBar, aircraft_type.ItemIndex);
    if (!in)
        return;
    const int position = TrackBar(in->trackBar).Position;
    if (in->card == InterfaceCard::Second)
        PhidgetInterfaceKit1SensorChange(in->input, position);
    else
        PhidgetInterfaceKit2SensorChange(in->input, position);
}

void TForm1::TrackBar1Change() { TestPanelChange(1); }
void TForm1::TrackBar2Change() { TestPanelChange(2); }
void TForm1::TrackBar3Change() { TestPanelChange(3); }
void TForm1::TrackBar4Change() { TestPanelChange(4); }
void TForm1::TrackBar5Change() { TestPanelChange(5); }
void TForm1::TrackBar6Change() { TestPanelChange(6); }
void TForm1::TrackBar7Change() { TestPanelChange(7); }
void TForm1::TrackBar8Change() { TestPanelChange(8); }
void TForm1::TrackBar9Change() { TestPanelChange(9); }
void TForm1::TrackBar10Change() { TestPanelChange(10); }

// ---------------------------------------------------------------- trim tuning

UpDownModel* TForm1::UpDownNamed(std::string_view name)
{
    if (name == "UpDown1")
        return &UpDown1;
    if (name == "UpDown2")
        return &UpDown2;
    if (name == "UpDown3")
        return &UpDown3;
    if (name == "UpDown5")
        return &UpDown5;
    if (name == "UpDown6")
        return &UpDown6;
    return nullptr;
}

void TForm1::TuningClick(std::string_view control)
{
    const TuningControl* c = FindTuningControl(control);
    const UpDownModel* updown = UpDownNamed(control);
    if (!c || !updown)
        return;
    ApplyTuning(*c, updown->Position, cfg);
    ShowTrimTuningLabels();
    ConfigChanged = true;
}

void TForm1::UpDown1Click() { TuningClick("UpDown1"); }
void TForm1::UpDown2Click() { TuningClick("UpDown2"); }
void TForm1::UpDown5Click() { TuningClick("UpDown5"); }
void TForm1::UpDown6Click() { TuningClick("UpDown6"); }
void TForm1::UpDown3Click() { TuningClick("UpDown3"); }

void TForm1::p_pid_dChange()
{
    // The PID step reads the boxes themselves; saving takes their texts.
    ConfigChanged = true;
}

} // namespace zrk

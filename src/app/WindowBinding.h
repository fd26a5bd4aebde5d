#pragma once
#include <string>
#include <string_view>

#include "app/WindowLayout.h"
#include "app/WindowModel.h"

namespace zrk {

class TForm1;
class CalibrationDialog;

// The model behind one control of the window description, found by the
// form's and the control's names, so that a renderer keeps its widgets in
// step with the controller without knowing its fields. At most one member
// is set; all are null for fixed texts and buttons, which have no model.
// The renderer only reads these: every change goes through the
// controller's action methods.
struct ControlModel {
    const LabelModel* label = nullptr;
    const ShapeModel* shape = nullptr;
    const TrackBarModel* trackBar = nullptr;
    const EditModel* edit = nullptr;
    const UpDownModel* upDown = nullptr;
    const CheckBoxModel* checkBox = nullptr;
    const RadioGroupModel* radioGroup = nullptr;
    const MemoModel* memo = nullptr;
    const StatusBarModel* statusBar = nullptr;

    bool Bound() const
    {
        return label || shape || trackBar || edit || upDown || checkBox || radioGroup || memo || statusBar;
    }
};

// The model of control `control` on form `form` ("Form1" .. "Form5").
ControlModel BindControl(const TForm1& form, std::string_view formName, std::string_view control);

// The calibration dialog "Form2" .. "Form5"; nullptr for any other name.
const CalibrationDialog* BindDialog(const TForm1& form, std::string_view formName);

// The number n of "TrackBar<n>" (1 .. 12); 0 for any other name.
int TrackBarNumber(std::string_view control);

// The text a label shows: its model's caption, or while that is empty (a
// label no handler has written yet) the text the form is designed with.
std::string LabelText(const ControlDesign& design, const LabelModel* model);

// Whether a control shows: the shipped layout's choice, and its model's
// own visibility where the model has one (track bars and labels).
bool ControlVisible(const ControlDesign& design, const ControlModel& model);

// The name an action method takes for a control: the bare name on the main
// window, "Form4.Button8" on a dialog.
std::string ActionName(std::string_view formName, std::string_view control);

} // namespace zrk

#pragma once
#include <QString>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "app/WindowBinding.h"
#include "app/WindowLayout.h"

class QStatusBar;
class QWidget;

namespace zrk {

class AnchorArea;
class TForm1;

// Builds the Qt widgets of one form of the window description, keeps them
// in step with the controller's models and forwards the user's actions to
// the controller's action methods. It decides nothing itself.
class FormRenderer {
public:
    // Draws `design` into `root`, whose design size is the form's (less the
    // status bar, which goes into `statusBar` when given). `afterAction`
    // runs after every forwarded action, so the owner can refresh every
    // form at once (an action on one form may change another).
    FormRenderer(const FormDesign& design, TForm1& form, AnchorArea& root, QStatusBar* statusBar,
                 std::function<void()> afterAction);

    // Brings every widget in line with its model. Programmatic changes are
    // made with the widget's signals blocked, so nothing here is taken for
    // a user's action.
    void Refresh();

    const FormDesign& Design() const { return design_; }
    // The widget drawn for a control; nullptr for an unknown name.
    QWidget* Widget(std::string_view control) const;

private:
    struct Drawn {
        const ControlDesign* design;
        ControlModel model;
        QWidget* widget;
        std::function<void()> refresh;
    };

    // Makes the widget of one control and the step that refreshes it.
    QWidget* Build(const ControlDesign& c, const ControlModel& model, QWidget* parent, QStatusBar* statusBar,
                   std::function<void()>& refresh);
    void Act(const std::function<bool()>& action);

    const FormDesign& design_;
    TForm1& form_;
    std::function<void()> afterAction_;
    std::vector<Drawn> drawn_;
    std::map<std::string, QWidget*, std::less<>> byName_;
};

} // namespace zrk

#pragma once
#include <array>
#include <cstddef>
#include <string>

#include "app/WindowModel.h"

namespace zrk {

// The model of a calibration dialog: its caption and its labels by number.
// The lever handlers mirror raw readings into these labels, open or not.
class CalibrationDialog {
public:
    explicit CalibrationDialog(std::string caption) : Caption(std::move(caption)) {}
    LabelModel& Label(int n) { return labels_.at(std::size_t(n)); }
    const LabelModel& Label(int n) const { return labels_.at(std::size_t(n)); }

    std::string Caption;
    // Shown modeless by its calibration button, hidden by its CLOSE button;
    // a hidden dialog's buttons take no clicks.
    bool Visible = false;

private:
    std::array<LabelModel, 40> labels_{};
};

} // namespace zrk

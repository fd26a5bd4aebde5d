#pragma once
#include <string_view>

#include "config/Settings.h"

namespace zrk {

// The up-down controls of the "Trim Motors" panel: each stands for one trim
// setting, within a range and with a step.
struct TuningControl {
    const char* name;   // "UpDown1", "UpDown2", "UpDown5", "UpDown6", "UpDown3"
    int min, max, step;
};

// The control of that name; nullptr for another name.
const TuningControl* FindTuningControl(std::string_view name);

// Stores the setting the control stands for at `position`, brought into the
// control's range first: UpDown1 the trim motor's direction (position not
// 0), UpDown2 the trim null zone in hundredths, UpDown5 the highest motor
// speed, UpDown6 the acceleration, UpDown3 the delay before a reversal in ms.
void ApplyTuning(const TuningControl& control, int position, Settings& cfg);

// The position that shows the current setting, within the control's range
// (a setting outside it, from an edited file, shows at the nearer end). The
// null zone shows as the whole part of its hundredths: 0.04 gives 4.
int TuningPosition(const TuningControl& control, const Settings& cfg);

} // namespace zrk

#include "config/TrimTuning.h"

#include <algorithm>
#include <array>

namespace zrk {

namespace {

const std::array<TuningControl, 5> kControls = {{
    {"UpDown1", 0, 1, 1},
    {"UpDown2", 1, 1000, 1},
    {"UpDown5", 1, 100, 1},
    {"UpDown6", 1, 100, 1},
    {"UpDown3", 100, 10000, 100},
}};

bool Is(const TuningControl& c, std::string_view name) { return std::string_view(c.name) == name; }

// Hundredths of the null zone, whole part. The small allowance keeps 0.29
// (28.999... in binary) at 29; anything that is no number or far out of
// range gives 0 and is then brought into the range.
int NullZoneHundredths(double nullZone)
{
    const double scaled = nullZone * 100.0;
    if (!(scaled > -2e9 && scaled < 2e9))
        return 0;
    return int(scaled + (scaled >= 0 ? 1e-9 : -1e-9));
}

} // namespace

const TuningControl* FindTuningControl(std::string_view name)
{
    for (const TuningControl& c : kControls)
        if (Is(c, name))
            return &c;
    return nullptr;
}

void ApplyTuning(const TuningControl& control, int position, Settings& cfg)
{
    const int p = std::clamp(position, control.min, control.max);
    if (Is(control, "UpDown1"))
        cfg.TRIM_REVERSE_MOTOR_DIRECTION = p != 0;
    else if (Is(control, "UpDown2"))
        cfg.TRIM_NULL_ZONE = p * 0.01;
    else if (Is(control, "UpDown5"))
        cfg.MOTOR_SPEED_MAX = p;
    else if (Is(control, "UpDown6"))
        cfg.MOTOR_ACCELERATION = p;
    else if (Is(control, "UpDown3"))
        cfg.TRIM_TIME_DELAY_BETWEEN_MOTION = p;
}

int TuningPosition(const TuningControl& control, const Settings& cfg)
{
    int p = 0;
    if (Is(control, "UpDown1"))
        p = cfg.TRIM_REVERSE_MOTOR_DIRECTION ? 1 : 0;
    else if (Is(control, "UpDown2"))
        p = NullZoneHundredths(cfg.TRIM_NULL_ZONE);
    else if (Is(control, "UpDown5"))
        p = cfg.MOTOR_SPEED_MAX;
    else if (Is(control, "UpDown6"))
        p = cfg.MOTOR_ACCELERATION;
    else if (Is(control, "UpDown3"))
        p = cfg.TRIM_TIME_DELAY_BETWEEN_MOTION;
    return std::clamp(p, control.min, control.max);
}

} // namespace zrk

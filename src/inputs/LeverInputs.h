#pragma once
#include <cstdint>
#include <optional>

#include "config/LeverSettings.h"

namespace zrk {

// From a lever's raw position to the command the main cycle sends: the
// arithmetic of the sensor handlers, without the window.

struct ThrottleReading {
    int32_t value;    // scaled and rounded, 0..16383
    int16_t command;  // what the throttle command field takes
};
// A throttle reading that moved beyond the lever's null zone around `last`
// (which it then replaces); nothing otherwise. Near idle at speed in the
// fast autothrottle modes (`idleAtSpeed`), the command is idle.
std::optional<ThrottleReading> ReadThrottle(const ThrottleSettings& t, int pos, int32_t& last, bool idleAtSpeed);

// A reverser reading that moved beyond its null zone: the reverse thrust
// magnitude, 0..FULL_REVERSE_VALUE (updating `last`).
std::optional<int32_t> ReadReverser(const ReverserSettings& r, int fullReverse, int pos, int32_t& last);

struct SpeedbrakeReading {
    bool armed;        // in the ARM window
    int16_t armOut;    // 1 while the command is the armed value
    int32_t value;     // 0, 4800 or up to 16383
    int16_t command;   // limited in flight to the largest in-flight value
};
SpeedbrakeReading ReadSpeedbrake(int pos, int arm, int up, bool reversed, bool airborne, int maxInflight);

} // namespace zrk

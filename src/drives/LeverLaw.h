#pragma once
#include <cstdint>
#include <optional>

namespace zrk {

// The speed law of the motorised throttle levers: from a commanded lever
// position and the lever's reading to a motor acceleration and velocity.
// Pure functions, one call per lever and cycle.

struct LeverLawInput {
    double target = 0;       // commanded position, lever scale 0..16383
    int idle = 0, full = 0;  // the lever's calibration (raw positions)
    int position = 0;        // the lever's reading (raw)
    uint8_t atMode = 0;      // autothrottle mode
    int ceiling = 0;         // speed ceiling (see SpeedCeiling)
    int speedAdjust = 0;     // the lever's speed offset
    int nullZone = 0;        // dead band of the speed command
    int minSpeed = 0;        // smallest non-zero speed (throttles 1 and 2)
    int maxSpeed = 100;      // absolute limit (throttles 1 and 2)
    double speedScale = 0;   // position error to speed (throttles 1 and 2)
    bool motorDirection = false;   // true: the speed is sent as it is
};

struct LeverLawOutput {
    double acceleration = 0;
    double speed = 0;      // the speed command C, before the direction flag
    double velocity = 0;   // what the motor receives
};

// The speed ceiling: the fast one in take-off/go-around (mode 1), and in
// retard (mode 3) where `fastInRetard` (single-motor boards, throttles 3
// and 4); the slow one otherwise.
int SpeedCeiling(uint8_t atMode, bool fastInRetard, int togaSpeed, int spdSpeed);

// Throttles 1 and 2: proportional speed with idle hold-down, scale,
// ceiling, offset, dead band, minimum and maximum. Nothing for a lever
// without a calibrated span: its motor is to be stopped.
std::optional<LeverLawOutput> InnerLeverLaw(const LeverLawInput& in);

// Throttles 3 and 4 (the 747's third board), whose calibration runs the
// other way: no idle hold-down, no scale and no minimum speed.
std::optional<LeverLawOutput> OuterLeverLaw(const LeverLawInput& in);

// The commanded lever position from the autothrottle's thrust command:
// 16383 / (full - zero) * (command - zero), rounded. Nothing when the
// scale has no span or the snapshot holds no usable number.
std::optional<double> CommandedPosition(double command, double fullScale, double zero);

} // namespace zrk

#pragma once
#include <array>
#include <cstdint>
#include <optional>

#include "boards/Channels.h"
#include "bridge/Snapshots.h"
#include "config/Settings.h"

namespace zrk {

// What the lever drive needs of the window and the clock, each cycle.
struct AutoThrottleInputs {
    uint32_t now = 0;
    std::array<int, 4> lever{};   // raw positions of throttles 1..4 (their track bars)
    int mode = 0;                 // operating mode: 0 AUTOMATIC, 1 TEST FS, 2 TEST MOTORS
    int aircraftType = 0;         // 0 777, 1 737, 2 747
};

// What the lever drive shows; the module puts it on the window.
struct AutoThrottleReadouts {
    // "From A/T": commanded positions of throttles 1..4.
    std::array<int64_t, 4> fromAT{};
    // "To Motor" of throttles 1..4, where this cycle gave one.
    std::array<std::optional<int64_t>, 4> toMotor;
    // Status lamps, refreshed unless the motors are inhibited.
    bool lampsShown = false;
    std::array<int, 4> fuel{};
    int parkingBrake = 0;
};

// Lamp colours of the window.
inline constexpr int kLampRed = 255;
inline constexpr int kLampGrey = 13881029;

// The autothrottle lever drive: while the autothrottle is engaged, each
// throttle lever's motor is driven so that the lever follows the commanded
// thrust. The loop closes through the lever's reading.
class AutoThrottle {
public:
    // The mode-3 hold, run by the main cycle before the drives: after a
    // retard the levers stay driven toward idle for `IDLE_TIMEOUT` ms.
    // Writes the held mode into the snapshot copy.
    void RetardLatch(uint32_t now, int idleTimeout, AircraftSnapshot& aircraft);
    bool retard_latch = false;
    uint32_t retard_latch_since = 0;

    // Commanded positions, the inhibit stop, TEST MOTORS and the lamps:
    // everything before the speedbrake cycle. False when the motors are
    // inhibited, which ends the routine.
    bool Prepare(const AutoThrottleInputs& in, AircraftSnapshot& aircraft,
                 LeverMotors& motors, AutoThrottleReadouts& out);
    // Drives (or stops) the lever motors; after the speedbrake cycle.
    void Drive(const Settings& cfg, const AutoThrottleInputs& in, const AircraftSnapshot& aircraft,
               LeverMotors& motors, AutoThrottleReadouts& out);

    // This cycle's commanded position of throttle n (1..4); 0 where the
    // command had no usable scale (the lever is then not driven).
    double Target(int n) const { return target_.at(std::size_t(n - 1)).value_or(0.0); }

private:
    void DriveInner(int n, MotorChannel& motor, bool singleBoard, const Settings& cfg,
                    const AutoThrottleInputs& in, const AircraftSnapshot& aircraft, AutoThrottleReadouts& out);
    void DriveOuter(int n, const Settings& cfg, const AutoThrottleInputs& in, const AircraftSnapshot& aircraft,
                    LeverMotors& motors, AutoThrottleReadouts& out);

    std::array<std::optional<double>, 4> target_{};
};

// Motor currents shown for throttles 1 and 2 ("current1", "current2").
struct OverrideReadouts {
    std::array<std::optional<double>, 2> current;
};

// Detects a pilot holding a driven lever by its motor current, on the
// two-motor board(s): sets flags[n-1] to 1 above the lever's threshold, to
// 0 below it; a stopped motor or a failed read leaves the flag as it is.
void DetectManualOverride(const Settings& cfg, bool is747, LeverMotors& motors, std::array<uint8_t, 4>& flags,
                          OverrideReadouts& out);

// Stops every lever motor and the speedbrake motor, as at shutdown.
void StopLeverMotors(LeverMotors& motors);

} // namespace zrk

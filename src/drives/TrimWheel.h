#pragma once
#include <cstdint>

#include "boards/Channels.h"
#include "bridge/Snapshots.h"
#include "config/Settings.h"

namespace zrk {

// The simulator's stabiliser trim value in stab units: (v + 5040) / 1260,
// limited to 0..17.
double StabUnits(int16_t value);

struct PidGains {
    double kp = 0, ki = 0, kd = 0;
};
// The PID's memory between steps.
struct PidMemory {
    double prevError = 0;
    double integral = 0;
};

// One step of the trim motor's PID: from set point and process value (stab
// units) to a motor speed in percent, limited to the smaller of
// `motorSpeedMax` and `speedLimit`. A dead band of `nullZone` clears the
// integral; the integral grows only while the output is not saturated. A
// step of dt 0 (milliseconds) returns 0 and changes nothing.
double PID_Control_Trim_Motor(PidMemory& memory, double dt, double processValue, double setPoint,
                              double speedLimit, const PidGains& gains, double nullZone, int motorSpeedMax);

// Exponential smoothing over n samples: a step larger than 2 / (n + 1) is
// taken in part (rounded to 7 decimals), a smaller one at once.
double SmoothTrimCommand(int n, double newValue, double oldValue);

// What the trim wheel shows.
struct TrimWheelReadouts {
    double simulatorUnits = 0;   // Label43
    double wheelPosition = 0;    // Label42
    double motorOutput = 0;      // Label61; > 0 shows "BKD", < 0 "FWD"
};

// The stabiliser trim wheel: its motor turns the wheel whenever the
// simulated trim moves, under a PID loop that closes on a modelled wheel
// position (the wheel has no sensor), or at speed while the alternate trim
// runs.
class TrimWheel {
public:
    // One main-cycle step. `simulator` is the cycle's copy; a held-back
    // alternate trim motion is cleared in it.
    TrimWheelReadouts Move_Stab_Trim_Wheel(uint32_t now, const Settings& cfg, const PidGains& gains,
                                           const AircraftSnapshot& aircraft, SimulatorSnapshot& simulator,
                                           MotorChannel& motor);

    double trim_wheel_position = 0;
    PidMemory pid;
    uint32_t trim_last_time = 0;
    double trim_last_output = 0;
    double trim_motor_command = 0;
    double trim_motor_output = 0;
    int altn_trim_last = 0;
    uint32_t altn_trim_last_motion = 0;
    // Whether the last step tracked the simulator's trim.
    bool trim_tracking = false;
};

} // namespace zrk

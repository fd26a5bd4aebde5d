#include "drives/TrimWheel.h"

#include <algorithm>
#include <cmath>

#include "inputs/LeverScaling.h"

namespace zrk {

double StabUnits(int16_t value)
{
    return std::clamp((double(value) + 5040.0) / 1260.0, 0.0, 17.0);
}

double PID_Control_Trim_Motor(PidMemory& memory, double dt, double processValue, double setPoint,
                              double speedLimit, const PidGains& gains, double nullZone, int motorSpeedMax)
{
    if (dt == 0)
        return 0;
    double e = setPoint - processValue;
    if (std::fabs(processValue - setPoint) < nullZone) {
        e = 0;
        memory.integral = 0;
    }
    const double derivative = (e - memory.prevError) / dt;
    double out = gains.kp * e + gains.ki * memory.integral + gains.kd * derivative;
    const double outLimit = std::max(300.0, 20000.0 * std::fabs(e));
    out = std::clamp(out, -outLimit, outLimit);
    const double m = RoundHalfEven(std::min(double(motorSpeedMax), speedLimit));
    if (out > m)
        out = m;
    else if (out < -m)
        out = -m;
    else
        memory.integral += e * dt;
    // A limit below zero (a hostile setting) must not invert the clamp.
    const double integralLimit = std::fabs(m);
    memory.integral = std::clamp(memory.integral, -integralLimit, integralLimit);
    memory.prevError = e;
    // Gains that are no number (or overflow) give no speed rather than a
    // value no board can take.
    return std::isfinite(out) ? out : 0;
}

double SmoothTrimCommand(int n, double newValue, double oldValue)
{
    const double a = 2.0 / (n + 1);
    if (std::fabs(newValue - oldValue) > a)
        return std::round((oldValue + (newValue - oldValue) * a) * 1e7) / 1e7;
    return newValue;
}

TrimWheelReadouts TrimWheel::Move_Stab_Trim_Wheel(uint32_t now, const Settings& cfg, const PidGains& gains,
                                                  const AircraftSnapshot& a, SimulatorSnapshot& simulator,
                                                  MotorChannel& motor)
{
    // Speed by the aircraft's trim speed flags.
    const bool slowFlag = a.trim_slow_flag_1() == 1 || a.trim_slow_flag_2() == 1 || a.trim_slow_flag_3() == 1
                          || a.trim_slow_flag_4() == 1;
    double speed = cfg.MOTOR_SPEED_MAX;
    if (slowFlag && a.trim_speed_select() == 0)
        speed *= 0.375;
    else if (slowFlag && a.trim_speed_select() > 0)
        speed *= 0.5;
    else if (a.trim_speed_select() == 0 && a.trim_track_request() != 1)
        speed *= 0.75;

    const double target = StabUnits(simulator.stab_trim_value());
    double out = 0;
    const auto pidStep = [&](double setPoint, double process) {
        const double dt = double(uint32_t(now - trim_last_time));
        return PID_Control_Trim_Motor(pid, dt, process, setPoint, speed, gains, cfg.TRIM_NULL_ZONE,
                                      cfg.MOTOR_SPEED_MAX);
    };

    const bool tracking = (a.trim_track_inhibit() == 0 && (a.trim_slow_flag_4() == 1 || a.trim_slow_flag_3() == 1))
                          || (a.trim_hold() == 0 && a.trim_track_request() == 1);
    if (tracking) {
        // Tracking that (re)starts takes up no error of what went before:
        // an alternate-trim step leaves an error of 100 behind, which the
        // derivative would turn into a run the wrong way while the
        // simulator's trim stands still.
        if (!trim_tracking)
            pid.prevError = 0;
        const double dt = double(uint32_t(now - trim_last_time));
        out = pidStep(target, trim_wheel_position);
        if (trim_last_time > 0) {
            // 0.02 stab units per percent-second. The model never passes
            // the set point in one step: a step beyond it would make the
            // loop hunt around the null zone for ever (the reversal lock
            // holds the motor back while the model swings), and the wheel
            // would creep on with the simulator's trim standing still.
            double step = 0.02 * out * dt / 1000.0;
            const double error = target - trim_wheel_position;
            if ((step > 0 && error > 0 && step > error) || (step < 0 && error < 0 && step < error))
                step = error;
            trim_wheel_position += step;
        }
        trim_last_time = now;
    } else if (a.trim_hold() == 0) {
        trim_wheel_position = target;
        int motion = simulator.altn_trim_motion();
        // The alternate trim may reverse only after a pause.
        if (motion != 0 && altn_trim_last != 0 && motion != altn_trim_last) {
            if (int64_t(uint32_t(now - altn_trim_last_motion)) < int64_t(cfg.TRIM_TIME_DELAY_BETWEEN_MOTION)) {
                motion = 0;
                simulator.set_altn_trim_motion(0);
            } else {
                altn_trim_last = motion;
            }
        }
        if (motion == 1 || motion == 2) {
            out = motion == 1 ? pidStep(100, 0) : pidStep(0, 100);
            trim_last_time = now;
            altn_trim_last = motion;
            altn_trim_last_motion = now;
        }
    }

    trim_tracking = tracking;

    // The motor changes direction only after a cycle at rest.
    if ((trim_last_output < 0 && out > 0) || (trim_last_output > 0 && out < 0))
        out = 0;
    else
        trim_last_output = out;

    trim_motor_command = SmoothTrimCommand(out != 0 ? 5 : 2, out, trim_motor_command);
    trim_motor_output = cfg.TRIM_REVERSE_MOTOR_DIRECTION ? -trim_motor_command : trim_motor_command;

    if (cfg.MOTOR_TRIM > 0 && motor.Attached()) {
        motor.SetAcceleration(cfg.MOTOR_ACCELERATION);
        motor.SetVelocity(RoundHalfEven(trim_motor_output));
    }
    return {target, trim_wheel_position, trim_motor_output};
}

} // namespace zrk

#include "drives/AutoThrottle.h"

#include <cmath>
#include <iterator>

#include "config/LeverSettings.h"
#include "drives/LeverLaw.h"
#include "inputs/LeverScaling.h"

namespace zrk {

namespace {

constexpr int kTestFs = 1, kTestMotors = 2;
constexpr int k747 = 2;

// Throttles 1 and 3 follow the left engine, 2 and 4 the right one.
bool LeftEngine(int n) { return n == 1 || n == 3; }

int64_t Shown(double v) { return RoundHalfEven(v); }

// What the speed law takes for throttle n, common to both lever pairs.
LeverLawInput LawInput(int n, double target, bool fastInRetard, const Settings& cfg, const AutoThrottleInputs& in,
                       const AircraftSnapshot& aircraft)
{
    const ThrottleSettings t = Throttle(cfg, n);
    const uint8_t atMode = aircraft.autothrottle_mode();
    LeverLawInput l;
    l.target = target;
    l.idle = t.idle;
    l.full = t.full;
    l.position = in.lever[std::size_t(n - 1)];
    l.atMode = atMode;
    l.ceiling = SpeedCeiling(atMode, fastInRetard, cfg.DEFAULT_TOGA_SPEED, cfg.DEFAULT_SPD_SPEED);
    l.speedAdjust = t.speedAdjust;
    l.nullZone = cfg.FINE_TUNING_NULL_ZONE;
    l.motorDirection = t.motorDirection;
    return l;
}

} // namespace

void AutoThrottle::RetardLatch(uint32_t now, int idleTimeout, AircraftSnapshot& aircraft)
{
    const uint8_t atMode = aircraft.autothrottle_mode();
    if (atMode == 3) {
        retard_latch = true;
        retard_latch_since = now;
    }
    if (atMode != 0 && atMode != 3 && atMode != 9)
        retard_latch = false;
    if (retard_latch) {
        aircraft.set_autothrottle_mode(3);
        if (int64_t(uint32_t(now - retard_latch_since)) > int64_t(idleTimeout))
            retard_latch = false;
    }
}

bool AutoThrottle::Prepare(const AutoThrottleInputs& in, AircraftSnapshot& aircraft,
                           LeverMotors& motors, AutoThrottleReadouts& out)
{
    // Commanded positions.
    const uint8_t atMode = aircraft.autothrottle_mode();
    const bool firstZero = aircraft.at_ref_select_a() == 0 && aircraft.at_ref_select_b() == 1 && atMode != 7;
    for (int n = 1; n <= 4; ++n) {
        std::optional<double>& t = target_[std::size_t(n - 1)];
        const double full = LeftEngine(n) ? aircraft.at_full_left() : aircraft.at_full_right();
        const double command = LeftEngine(n) ? aircraft.at_command_left() : aircraft.at_command_right();
        if (firstZero)
            t = CommandedPosition(command, full, aircraft.at_idle_ref());
        else if (atMode == 9 || retard_latch)
            t = 0.0;
        else
            t = CommandedPosition(command, full, aircraft.at_idle_ref_alt());
        out.fromAT[std::size_t(n - 1)] = t ? Shown(*t) : 0;
    }

    // Motor inhibit: every lever motor stops, and nothing else runs.
    if (aircraft.motors_inhibit() == 1) {
        motors.pairOutputs[0].SetVelocity(0);
        motors.pairOutputs[1].SetVelocity(0);
        if (in.mode == kTestFs) {
            motors.pairOutputs[2].SetVelocity(0);
            motors.pairOutputs[3].SetVelocity(0);
        }
        // The configured outputs too, wherever they are wired, and the
        // third board's levers: an inhibit means every lever motor.
        for (MotorChannel& m : motors.pair) {
            const int o = m.Output();
            if (o < 0 || o > 3 || (o > 1 && in.mode != kTestFs))
                m.SetVelocity(0);
        }
        for (MotorChannel& m : motors.single)
            m.SetVelocity(0);
        for (MotorChannel& m : motors.outer)
            m.SetVelocity(0);
        // The speedbrake motor too, installed or not: the speedbrake cycle
        // drives a configured board either way, and it does not run while
        // the inhibit lasts, so a motion under way would run on unbounded.
        motors.speedbrake.SetVelocity(0);
        return false;
    }

    // TEST MOTORS: the sliders command the levers.
    if (in.mode == kTestMotors) {
        for (int n = 1; n <= 4; ++n)
            target_[std::size_t(n - 1)] = 16383.0 - in.lever[std::size_t(n - 1)];
        aircraft.set_at_engaged_left(1);
        aircraft.set_at_engaged_right(1);
        aircraft.set_autothrottle_mode(1);
    }

    // Status lamps.
    out.lampsShown = true;
    const uint8_t fuel[4] = {aircraft.fuel_control_light_1(), aircraft.fuel_control_light_2(),
                             aircraft.fuel_control_light_3(), aircraft.fuel_control_light_4()};
    for (std::size_t i = 0; i < 4; ++i)
        out.fuel[i] = fuel[i] == 1 ? kLampRed : kLampGrey;
    out.parkingBrake = aircraft.parking_brake_light() == 1 ? kLampRed : kLampGrey;
    return true;
}

void AutoThrottle::Drive(const Settings& cfg, const AutoThrottleInputs& in, const AircraftSnapshot& aircraft,
                         LeverMotors& motors, AutoThrottleReadouts& out)
{
    const uint8_t atMode = aircraft.autothrottle_mode();
    const bool driving = (atMode != 0 && atMode != 9) || retard_latch;
    if (!driving) {
        if (motors.pair[0].Attached()) {
            for (int n = 1; n <= 2; ++n) {
                motors.pair[n - 1].SetVelocity(0);
                out.toMotor[std::size_t(n - 1)] = 0;
            }
        }
        if (in.aircraftType == k747 && motors.outer[0].Attached()) {
            for (int n = 3; n <= 4; ++n) {
                motors.outer[n - 3].SetVelocity(0);
                out.toMotor[std::size_t(n - 1)] = 0;
            }
        }
        for (MotorChannel& m : motors.single)
            m.SetVelocity(0);
        return;
    }

    DriveInner(1, motors.pair[0], false, cfg, in, aircraft, out);
    DriveInner(2, motors.pair[1], false, cfg, in, aircraft, out);
    if (motors.single[0].Attached())
        DriveInner(1, motors.single[0], true, cfg, in, aircraft, out);
    if (motors.single[1].Attached())
        DriveInner(2, motors.single[1], true, cfg, in, aircraft, out);

    if (motors.outer[0].Attached() && (in.aircraftType == k747 || in.mode == kTestMotors)) {
        DriveOuter(3, cfg, in, aircraft, motors, out);
        DriveOuter(4, cfg, in, aircraft, motors, out);
    }
}

void AutoThrottle::DriveInner(int n, MotorChannel& motor, bool singleBoard, const Settings& cfg,
                              const AutoThrottleInputs& in, const AircraftSnapshot& aircraft,
                              AutoThrottleReadouts& out)
{
    const std::size_t i = std::size_t(n - 1);
    const bool engaged = n == 1 ? aircraft.at_engaged_left() == 1 && aircraft.at_override_left() == 0
                                : aircraft.at_engaged_right() == 1 && aircraft.at_override_right() == 0;
    std::optional<LeverLawOutput> law;
    if (engaged && target_[i]) {
        LeverLawInput l = LawInput(n, *target_[i], singleBoard, cfg, in, aircraft);
        l.minSpeed = cfg.MIN_MOTOR_SPEED_L;
        l.maxSpeed = cfg.MAX_MOTOR_SPEED_L;
        l.speedScale = cfg.SPEED_SCALE;
        law = InnerLeverLaw(l);
    }
    if (law) {
        motor.SetAcceleration(law->acceleration);
        motor.SetVelocity(law->velocity);
    } else {
        // Not engaged, or no usable scale: the lever stays where it is.
        motor.SetVelocity(0);
    }
    if (const std::optional<double> v = motor.Velocity())
        out.toMotor[i] = Shown(*v);
}

void AutoThrottle::DriveOuter(int n, const Settings& cfg, const AutoThrottleInputs& in,
                              const AircraftSnapshot& aircraft, LeverMotors& motors, AutoThrottleReadouts& out)
{
    const std::size_t i = std::size_t(n - 1);
    MotorChannel& motor = motors.outer[n - 3];
    // Both outer levers engage on the left flag; each has its own override.
    const bool engaged = aircraft.at_engaged_left() == 1
                         && (n == 3 ? aircraft.at_override_left() : aircraft.at_override_right()) == 0;
    std::optional<LeverLawOutput> law;
    if (engaged && target_[i])
        law = OuterLeverLaw(LawInput(n, *target_[i], true, cfg, in, aircraft));
    if (law) {
        motor.SetAcceleration(law->acceleration);
        motor.SetVelocity(law->velocity);
        out.toMotor[i] = Shown(law->speed);
    } else {
        motor.SetVelocity(0);
        out.toMotor[i] = 0;
    }
}

void DetectManualOverride(const Settings& cfg, bool is747, LeverMotors& motors, std::array<uint8_t, 4>& flags,
                          OverrideReadouts& out)
{
    if (!motors.pair[0].Attached())
        return;
    const int last = is747 ? 4 : 2;
    for (int n = 1; n <= last; ++n) {
        MotorChannel& motor = n <= 2 ? motors.pair[n - 1] : motors.outer[n - 3];
        const std::optional<double> velocity = motor.Velocity();
        if (!velocity || *velocity == 0)
            continue;
        const std::optional<double> current = motor.Current();
        if (!current)
            continue;
        if (n <= 2)
            out.current[std::size_t(n - 1)] = *current;
        flags[std::size_t(n - 1)] = *current > Throttle(cfg, n).overrideCurrent ? 1 : 0;
    }
}

void StopLeverMotors(LeverMotors& motors)
{
    // Each motor the drives command, once, even where two levers share
    // an output.
    MotorChannel* const all[] = {&motors.pair[0],   &motors.pair[1],  &motors.single[0], &motors.single[1],
                                 &motors.outer[0],  &motors.outer[1], &motors.speedbrake};
    for (std::size_t i = 0; i < std::size(all); ++i) {
        bool stopped = false;
        for (std::size_t j = 0; j < i; ++j)
            stopped = stopped || (all[j]->Board() == all[i]->Board() && all[j]->Output() == all[i]->Output());
        if (!stopped)
            all[i]->SetVelocity(0);
    }
}

} // namespace zrk

#include "drives/Speedbrake.h"

#include "drives/AutoThrottle.h"
#include "inputs/LeverScaling.h"

namespace zrk {

namespace {

constexpr int kTestFs = 1;

ServoChannel& Latch(const Settings& cfg, SpeedbrakeHardware& hw)
{
    return cfg.SERVO4 ? hw.latchAdvanced : hw.latchStandard;
}

bool Advanced(int32_t v) { return v >= 4001 && v <= 16383; }

} // namespace

double LatchUp(const Settings& cfg)
{
    return cfg.REVERSE_SERVO_DIRECTION_SPEEDBRAKE ? cfg.SPEEDBRAKE_SERVO_MIN : cfg.SPEEDBRAKE_SERVO_MAX;
}

double LatchDown(const Settings& cfg)
{
    return cfg.REVERSE_SERVO_DIRECTION_SPEEDBRAKE ? cfg.SPEEDBRAKE_SERVO_MAX : cfg.SPEEDBRAKE_SERVO_MIN;
}

void Speedbrake::Motion(const Settings& cfg, SpeedbrakeHardware& hw, SpeedbrakeReadouts& out)
{
    if (sb_deploy || sb_retract) {
        // The latch stands UP while the motor moves the lever.
        ServoChannel& latch = Latch(cfg, hw);
        if (latch.Attached()) {
            latch.SetPosition(LatchUp(cfg));
            if (const auto p = latch.Position())
                out.toMotor = RoundHalfEven(*p);
            if (cfg.SERVO4)
                out.log.push_back("SB Servo Position");
        }
        if (hw.multi.Attached()) {
            hw.multi.SetPosition(LatchUp(cfg));
            out.log.push_back("SB Servo Position");
        }
        const double speed = hw.sharedTrimBoard ? cfg.SPEEDBRAKE_MOTOR_SPEED : 100;
        const double up = cfg.REVERSE_MOTOR_DIRECTION_SPEEDBRAKE ? speed : -speed;
        hw.motor.SetAcceleration(100);
        hw.motor.SetVelocity(sb_deploy ? up : -up);
    } else {
        hw.motor.SetAcceleration(100);
        hw.motor.SetVelocity(0);
    }
    if (hw.motor.Attached())
        if (const auto v = hw.motor.Velocity())
            out.toMotor = RoundHalfEven(*v);
}

bool Speedbrake::ReverseDeploy(const Settings& cfg, const SpeedbrakeInputs& in, const AircraftSnapshot& a,
                               const SimulatorSnapshot& s) const
{
    const auto atIdle = [&](int n, int idle) { return in.reversers[std::size_t(n - 1)] >= int64_t(idle) - 10; };
    const bool reverser = atIdle(1, cfg.REVERSER_1_IDLE) || atIdle(2, cfg.REVERSER_2_IDLE)
                          || (in.mode == kTestFs && (atIdle(3, cfg.REVERSER_3_IDLE) || atIdle(4, cfg.REVERSER_4_IDLE)));
    return a.speedbrake_auto_inhibit() == 0 && reverser && s.sim_throttle_1() < 2000 && s.speed_value() >= 60
           && a.on_ground() == 1 && a.speedbrake_reverse_deploy_enable() == 1;
}

void Speedbrake::Cycle(const Settings& cfg, const SpeedbrakeInputs& in, const AircraftSnapshot& a,
                       const SimulatorSnapshot& s, SpeedbrakeHardware& hw, bool& armed, SpeedbrakeReadouts& out)
{
    // Texts.
    out.armedText = armed ? "S/B ARMED" : "S/B NOT ARMED";
    out.motionText = sb_deploy ? "DEPLOY" : sb_retract ? "RETRACT" : "STOPPED";

    // Latch lamps: the four-channel board paints last.
    const auto paint = [&](const ServoChannel& servo) {
        if (const auto p = servo.Position()) {
            const bool up = *p == LatchUp(cfg);
            out.latchUpLamp = up ? kLampRed : kLatchGrey;
            out.latchDownLamp = up ? kLatchGrey : kLampRed;
        }
    };
    if (cfg.SPEEDBRAKE_INSTALLED && Latch(cfg, hw).Attached())
        paint(Latch(cfg, hw));
    if (hw.multi.Attached())
        paint(hw.multi);

    Motion(cfg, hw, out);

    out.engineL = s.sim_throttle_1();
    out.engineR = s.sim_throttle_2();

    // Landing deploy.
    if (a.speedbrake_auto_inhibit() == 0 && armed && s.auto_deploy_gate() > 14999 && s.speed_value() > 85
        && (s.sim_throttle_1() < 4000 || s.sim_throttle_2() < 4000) && a.on_ground() == 1) {
        sb_deploy = true;
        armed = false;
    }
    // Armed from the simulator.
    if (a.speedbrake_arm_cmd() == 1 && !sb_deploy)
        armed = true;
    // Below the arm detent.
    const int64_t p = in.lever;
    if (p <= int64_t(cfg.SPEEDBRAKE_ARM) - 30)
        armed = false;

    // End points.
    const bool reversed = cfg.SPEEDBRAKE_REVERSE_INPUT_DIRECTION;
    const bool atUp = reversed ? p <= int64_t(cfg.SPEEDBRAKE_UP) + 30 : p >= int64_t(cfg.SPEEDBRAKE_UP) - 30;
    const bool atDown = reversed ? p >= int64_t(cfg.SPEEDBRAKE_DN) - 20 : p <= int64_t(cfg.SPEEDBRAKE_DN) + 20;
    if (sb_deploy && atUp) {
        hw.motor.SetAcceleration(100);
        hw.motor.SetVelocity(0);
        sb_deploy = sb_retract = false;
        armed = false;
    }
    if (sb_retract && atDown) {
        hw.motor.SetVelocity(0);
        Latch(cfg, hw).SetPosition(LatchDown(cfg));
        hw.multi.SetPosition(LatchDown(cfg));
        sb_retract = sb_deploy = false;
        armed = false;
    }

    // Reverse-thrust deploy, thrust retract, and the deploy again: reverse
    // thrust wins over a retract found in the same cycle.
    const auto reverseDeploy = [&] {
        if (ReverseDeploy(cfg, in, a, s)) {
            sb_deploy = true;
            sb_retract = false;
            armed = false;
        }
    };
    reverseDeploy();
    const bool leverUp = reversed ? p < int64_t(cfg.SPEEDBRAKE_DN) - 20 : p > int64_t(cfg.SPEEDBRAKE_DN) + 20;
    const bool thrust = Advanced(s.sim_throttle_1()) || Advanced(s.sim_throttle_2())
                        || (in.mode == kTestFs && (Advanced(s.sim_throttle_3()) || Advanced(s.sim_throttle_4())));
    if (a.speedbrake_auto_inhibit() == 0 && leverUp && !armed && thrust && a.on_ground() == 1) {
        sb_retract = true;
        sb_deploy = false;
    }
    reverseDeploy();

    // Past the arm detent on the way down: the motor stops next cycle.
    const bool pastArm = reversed ? p > int64_t(cfg.SPEEDBRAKE_ARM) + 30 : p < int64_t(cfg.SPEEDBRAKE_ARM) - 30;
    if (sb_retract && pastArm) {
        sb_deploy = sb_retract = false;
        armed = false;
    }

    // Time limit.
    if (sb_deploy != sb_deploy_prev || sb_retract != sb_retract_prev)
        sb_motion_start = in.now;
    bool timedOut = false;
    if (int64_t(uint32_t(in.now - sb_motion_start)) > int64_t(cfg.SPEEDBRAKE_MAX_DEPLOY_TIME)
        && (sb_deploy || sb_retract)) {
        sb_deploy = sb_retract = false;
        sb_deploy_prev = sb_retract_prev = false;
        armed = false;
        timedOut = true;
        // A condition that stands (reverse thrust held with the lever
        // already up) starts the motion again at once and times it out
        // every few seconds: the log says so once for the whole episode.
        if (!sb_timeout_reported)
            out.log.push_back("Speedbrake Stop - Motor Timeout");
        sb_timeout_reported = true;
    }
    // The episode ends with a cycle that leaves the drive at rest.
    if (!timedOut && !sb_deploy && !sb_retract)
        sb_timeout_reported = false;
    sb_deploy_prev = sb_deploy;
    sb_retract_prev = sb_retract;
}

std::string Speedbrake::Deploy()
{
    sb_deploy = true;
    sb_retract = false;
    sb_timeout_reported = false;
    return "Speedbrake Deploy";
}

std::string Speedbrake::Retract()
{
    sb_deploy = false;
    sb_retract = true;
    sb_timeout_reported = false;
    return "Speedbrake Retract";
}

std::string Speedbrake::Stop()
{
    sb_deploy = sb_retract = false;
    sb_timeout_reported = false;
    return "Speedbrake Stop";
}

void Speedbrake::Up(const Settings& cfg, SpeedbrakeHardware& hw)
{
    if (!hw.latchAdvanced.Attached() && !hw.latchStandard.Attached()) {
        // No latch: the motor runs for this one cycle; the next stops it.
        hw.motor.SetAcceleration(100);
        hw.motor.SetVelocity(cfg.SPEEDBRAKE_MOTOR_SPEED);
    } else {
        Latch(cfg, hw).SetPosition(LatchUp(cfg));
    }
    hw.multi.SetPosition(LatchUp(cfg));
}

bool Speedbrake::Dn(const Settings& cfg, SpeedbrakeHardware& hw)
{
    if (!hw.latchAdvanced.Attached() && !hw.latchStandard.Attached())
        return false;
    Latch(cfg, hw).SetPosition(LatchDown(cfg));
    return true;
}

} // namespace zrk

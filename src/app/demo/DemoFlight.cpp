#include "app/demo/DemoFlight.h"

#include <algorithm>
#include <cmath>

namespace zrk {

namespace {

// Raw lever positions of the demo quadrant's calibration (see
// DemoCockpit::ConfigText).
constexpr double kIdle = 100, kTaxiThrust = 420;
constexpr double kReverserOff = 100, kReverserFull = 900;
constexpr double kSpeedbrakeDown = 100, kSpeedbrakeArm = 250;
constexpr double kFlapsUp = 100, kFlaps10 = 400, kFlaps20 = 550, kFlaps30 = 850;

// Stabiliser trim: 420 of the simulator's value a unit.
constexpr double kTrimUnit = 420;

// Linear from `a` at `t0` to `b` at `t1`, held outside.
double Ramp(double t, double t0, double t1, double a, double b)
{
    if (t <= t0)
        return a;
    if (t >= t1)
        return b;
    return a + (b - a) * (t - t0) / (t1 - t0);
}

const std::array<DemoFlight::Phase, DemoFlight::kPhaseCount> kPhases = {{
    {"taxi out", 0},
    {"take-off", 30},
    {"climb", 60},
    {"cruise", 100},
    {"descent", 125},
    {"retard", 166},
    {"landing", 175},
    {"reverse thrust", 185},
    {"taxi in", 200},
}};

} // namespace

const std::array<DemoFlight::Phase, DemoFlight::kPhaseCount>& DemoFlight::Phases()
{
    return kPhases;
}

DemoFlight::State DemoFlight::At(double t)
{
    State s;
    t = std::clamp(t, 0.0, kLoopSeconds);
    for (int i = 0; i < kPhaseCount; ++i)
        if (t >= kPhases[std::size_t(i)].startS)
            s.phase = i;

    s.onGround = t < 50 || t >= 175;
    if (t < 30)
        s.speedKt = 12;
    else if (t < 60)
        s.speedKt = Ramp(t, 30, 60, 0, 170);
    else if (t < 100)
        s.speedKt = Ramp(t, 60, 100, 170, 250);
    else if (t < 125)
        s.speedKt = 250;
    else if (t < 175)
        s.speedKt = Ramp(t, 125, 175, 250, 140);
    else if (t < 200)
        s.speedKt = Ramp(t, 175, 200, 140, 20);
    else
        s.speedKt = Ramp(t, 200, 205, 20, 15);

    // The autothrottle: TOGA for the take-off, speed for climb, cruise and
    // descent, the retard before touchdown; the levers then stay held at
    // idle for IDLE_TIMEOUT while it is still engaged.
    s.atEngaged = t >= 30 && t < 200;
    if (t >= 30 && t < 166)
        s.atMode = 1;
    else if (t >= 166 && t < 170)
        s.atMode = 3;
    if (t < 60)
        s.atCommand = t >= 30 ? 100 : 0;
    else if (t < 100)
        s.atCommand = 85;
    else if (t < 125)
        s.atCommand = 70;
    else
        s.atCommand = 35;

    s.autoDeployGate = t >= 175 && t < 200 ? 15000 : 0;

    // Trim: nose up through the climb, back for cruise and descent, set
    // for the flare, back to the take-off setting on the ground.
    double units = 4;
    if (t < 60)
        units = 4;
    else if (t < 90)
        units = Ramp(t, 60, 90, 4, 8);
    else if (t < 125)
        units = Ramp(t, 90, 110, 8, 7);
    else if (t < 175)
        units = Ramp(t, 125, 160, 7, 5) + Ramp(t, 165, 175, 0, 1);
    else
        units = Ramp(t, 200, 220, 6, 4);
    s.stabTrim = int16_t(std::lround(units * kTrimUnit));
    s.trimTrackRequest = t >= 60 && t < 175;
    s.rudderTrim = int16_t(std::lround(t >= 60 && t < 175 ? 600 * std::sin((t - 60) / 115 * 3.14159265) : 0));
    return s;
}

const std::vector<DemoFlight::HandAction>& DemoFlight::HandActions()
{
    static const std::vector<HandAction> actions = {
        {5, "flaps", kFlaps10, 2},
        {75, "flaps", kFlapsUp, 3},
        {150, "flaps", kFlaps20, 2},
        {155, "speedbrake", kSpeedbrakeArm, 1},
        {160, "flaps", kFlaps30, 2},
        {186, "reverser1", kReverserFull, 1.5},
        {186, "reverser2", kReverserFull, 1.5},
        {186, "reverser3", kReverserFull, 1.5},
        {186, "reverser4", kReverserFull, 1.5},
        {197, "reverser1", kReverserOff, 1.5},
        {197, "reverser2", kReverserOff, 1.5},
        {197, "reverser3", kReverserOff, 1.5},
        {197, "reverser4", kReverserOff, 1.5},
        {205, "throttle1", kTaxiThrust, 2},
        {205, "throttle2", kTaxiThrust, 2},
        {205, "throttle3", kTaxiThrust, 2},
        {205, "throttle4", kTaxiThrust, 2},
        {215, "throttle1", kIdle, 2},
        {215, "throttle2", kIdle, 2},
        {215, "throttle3", kIdle, 2},
        {215, "throttle4", kIdle, 2},
        {225, "flaps", kFlapsUp, 3},
    };
    return actions;
}

const std::vector<std::pair<const char*, double>>& DemoFlight::RestPositions()
{
    static const std::vector<std::pair<const char*, double>> rest = {
        {"throttle1", kIdle},         {"throttle2", kIdle},         {"throttle3", kIdle},
        {"throttle4", kIdle},         {"reverser1", kReverserOff},  {"reverser2", kReverserOff},
        {"reverser3", kReverserOff},  {"reverser4", kReverserOff},  {"speedbrake", kSpeedbrakeDown},
        {"flaps", kFlapsUp},
    };
    return rest;
}

void DemoFlight::Advance(uint64_t ms)
{
    if (!paused_) {
        t_ += double(ms) / 1000.0 * speed_;
        if (t_ >= kLoopSeconds) {
            t_ = std::fmod(t_, kLoopSeconds);
            ++loops_;
            disconnected_ = false;
        }
    }
    const int phase = PhaseIndex();
    if (phase != lastPhase_) {
        lastPhase_ = phase;
        if (onPhase)
            onPhase(std::string("Demo flight: ") + PhaseName());
    }
}

int DemoFlight::PhaseIndex() const
{
    return At(t_).phase;
}

const char* DemoFlight::PhaseName() const
{
    return kPhases[std::size_t(PhaseIndex())].name;
}

void DemoFlight::SetSpeed(double factor)
{
    if (!std::isfinite(factor))
        return;
    speed_ = std::clamp(factor, kMinSpeed, kMaxSpeed);
}

void DemoFlight::Restart()
{
    t_ = 0;
    disconnected_ = false;
    lastPhase_ = -1;
}

void DemoFlight::BridgeMessage(const std::string& message)
{
    // The bridge passes the disconnect on to the aircraft's mode panel.
    if (message == "MCP_AUTOTHROTTLE_ENGAGED=0" && At(t_).atEngaged)
        disconnected_ = true;
    if (message == "ZRK_TQ_CONNECTED=1")
        controllerSeen_ = true;
    else if (message == "ZRK_TQ_CONNECTED=0")
        controllerSeen_ = false;
}

void DemoFlight::Fill(AircraftSnapshot& a, SimulatorSnapshot& s) const
{
    const State st = At(t_);
    const bool engaged = st.atEngaged && !disconnected_;
    a.set_tq_connected_seen(controllerSeen_ ? 1 : 0);
    a.set_on_ground(st.onGround ? 1 : 0);
    a.set_autothrottle_mode(engaged ? st.atMode : 0);
    a.set_at_engaged_left(engaged ? 1 : 0);
    a.set_at_engaged_right(engaged ? 1 : 0);
    a.set_mcp_autothrottle_engaged(engaged ? 1 : 0);
    a.set_at_full_left(100);
    a.set_at_full_right(100);
    a.set_at_command_left(st.atCommand);
    a.set_at_command_right(st.atCommand);
    // Throttles 1 and 3 are the left side, 2 and 4 the right one.
    a.set_at_override_left(override_[0] || override_[2] ? 1 : 0);
    a.set_at_override_right(override_[1] || override_[3] ? 1 : 0);
    a.set_trim_track_request(st.trimTrackRequest ? 1 : 0);
    a.set_speedbrake_arm_cmd(st.speedbrakeArmed ? 1 : 0);
    a.set_parking_brake_light(st.phase == 0 && t_ < 3 ? 1 : 0);

    s.set_speed_value(st.speedKt);
    s.set_stab_trim_value(st.stabTrim);
    s.set_rudder_trim_value(st.rudderTrim);
    s.set_auto_deploy_gate(st.autoDeployGate);
    const auto forward = [](int32_t v) { return std::clamp<int32_t>(v, 0, 16383); };
    s.set_sim_throttle_1(forward(throttle_[0]));
    s.set_sim_throttle_2(forward(throttle_[1]));
    s.set_sim_throttle_3(forward(throttle_[0]));
    s.set_sim_throttle_4(forward(throttle_[1]));
}

} // namespace zrk

#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bridge/Snapshots.h"

namespace zrk {

// A scripted flight of a few minutes that stands in for the aircraft behind
// the bridge's data library: taxi, take-off with the autothrottle in TOGA,
// climb with the trim moving, cruise, descent with the autothrottle
// retarding, landing with the speedbrake armed, reverse thrust, taxi in.
// It loops.
//
// What the aircraft reports is a pure function of flight time (At), plus
// the two ways the controller acts on it as a real bridge would pass on:
// an override flag written to the simulator makes the aircraft report the
// override, and the "MCP_AUTOTHROTTLE_ENGAGED=0" message disengages the
// autothrottle until the next loop.
class DemoFlight {
public:
    // One stretch of the flight.
    struct Phase {
        const char* name;
        double startS;   // flight time at which it starts
    };
    static constexpr int kPhaseCount = 9;
    static const std::array<Phase, kPhaseCount>& Phases();
    // The length of one loop, in seconds of flight time.
    static constexpr double kLoopSeconds = 240.0;
    static constexpr double kMinSpeed = 0.25, kMaxSpeed = 16.0;

    // What the aircraft reports at flight time `t` (seconds into a loop),
    // with the autothrottle as scripted.
    struct State {
        int phase = 0;
        bool onGround = true;
        double speedKt = 0;
        uint8_t atMode = 0;          // 0 off, 1 speed/TOGA (levers to the command), 2 retard
        bool atEngaged = false;
        double atCommand = 0;        // 0..100 of full scale
        bool speedbrakeArmed = false;
        int32_t autoDeployGate = 0;
        int16_t stabTrim = 0;
        bool trimTrackRequest = false;
        int16_t rudderTrim = 0;
    };
    static State At(double t);

    // What the pilot's hand does on the quadrant at a moment of the flight:
    // moves `lever` to raw `position` over `seconds` of flight time.
    struct HandAction {
        double t;
        const char* lever;
        double position;
        double seconds;
    };
    static const std::vector<HandAction>& HandActions();
    // Where each lever rests at the start of a loop.
    static const std::vector<std::pair<const char*, double>>& RestPositions();

    // Runs `ms` of wall time: flight time moves by ms * Speed() unless
    // paused, and wraps at the end of a loop.
    void Advance(uint64_t ms);
    double TimeS() const { return t_; }
    int PhaseIndex() const;
    const char* PhaseName() const;
    uint64_t Loops() const { return loops_; }

    bool Paused() const { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }
    double Speed() const { return speed_; }
    // Clamped to kMinSpeed..kMaxSpeed.
    void SetSpeed(double factor);
    // Back to the start of the taxi, autothrottle reconnected.
    void Restart();

    // The controller's override flags of throttles 1..4 as the simulator
    // holds them.
    void SetOverrideFlags(const std::array<uint8_t, 4>& flags) { override_ = flags; }
    // A message the controller sent to the bridge ("NAME=VALUE"). As a
    // real bridge does, "ZRK_TQ_CONNECTED=1" is noted in the aircraft data
    // (tq_connected_seen), so the controller stops repeating it; "=0"
    // clears the note. A restart of the flight keeps it: it belongs to the
    // connection, not to the flight.
    void BridgeMessage(const std::string& message);
    bool ControllerSeen() const { return controllerSeen_; }
    // The throttle commands the controller wrote to the simulator for
    // engines 1 and 2 (negative in reverse): the simulator's throttles
    // follow them, 3 and 4 with 1 and 2.
    void SetThrottleCommands(int32_t left, int32_t right) { throttle_ = {left, right}; }
    bool AutothrottleDisconnected() const { return disconnected_; }

    // Fills both records as the library would hand them out now.
    void Fill(AircraftSnapshot& aircraft, SimulatorSnapshot& simulator) const;

    // Called with a line at the start of every phase ("Demo flight: climb").
    std::function<void(const std::string&)> onPhase;

private:
    double t_ = 0;
    double speed_ = 1.0;
    bool paused_ = false;
    bool disconnected_ = false;
    bool controllerSeen_ = false;
    uint64_t loops_ = 0;
    int lastPhase_ = -1;
    std::array<uint8_t, 4> override_{};
    std::array<int32_t, 2> throttle_{};
};

} // namespace zrk

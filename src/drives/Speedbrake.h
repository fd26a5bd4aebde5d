#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "boards/Channels.h"
#include "bridge/Snapshots.h"
#include "config/Settings.h"

namespace zrk {

struct SpeedbrakeInputs {
    uint32_t now = 0;
    int lever = 0;                  // raw speedbrake position (its track bar)
    std::array<int, 4> reversers{}; // raw reverser positions
    int mode = 0;                   // operating mode; 1 is TEST FS
};

inline constexpr int kLatchGrey = 8421504;

struct SpeedbrakeReadouts {
    std::string armedText;                  // Label23
    std::string motionText;                 // Label59
    std::optional<int> latchUpLamp, latchDownLamp;   // Shape1, Shape2
    std::optional<int64_t> toMotor;         // Label77
    int32_t engineL = 0, engineR = 0;       // engine_l/r_throttle_pos
    std::vector<std::string> log;           // lines for the log
};

// The motorised speedbrake lever: deploys on landing and on reverse
// thrust, retracts when thrust is advanced on the ground, stops at its end
// points or after a time limit; a latch servo holds it while it moves.
class Speedbrake {
public:
    // One main-cycle step. `armed` is the controller's armed flag, which
    // the lever input handling shares.
    void Cycle(const Settings& cfg, const SpeedbrakeInputs& in, const AircraftSnapshot& aircraft,
               const SimulatorSnapshot& simulator, SpeedbrakeHardware& hw, bool& armed, SpeedbrakeReadouts& out);

    // The test buttons; each returns its log line, where it has one. Each
    // starts a new motion episode: its time-out is reported again.
    std::string Deploy();
    std::string Retract();
    std::string Stop();
    void Up(const Settings& cfg, SpeedbrakeHardware& hw);
    // True when the latch went down (the lamps then show it away from UP).
    bool Dn(const Settings& cfg, SpeedbrakeHardware& hw);

    bool sb_deploy = false, sb_retract = false;
    bool sb_deploy_prev = false, sb_retract_prev = false;
    uint32_t sb_motion_start = 0;
    // The time-out of the current episode has been logged; the episode
    // lasts until the drive rests for a cycle or a test button is pressed.
    bool sb_timeout_reported = false;

private:
    void Motion(const Settings& cfg, SpeedbrakeHardware& hw, SpeedbrakeReadouts& out);
    bool ReverseDeploy(const Settings& cfg, const SpeedbrakeInputs& in, const AircraftSnapshot& aircraft,
                       const SimulatorSnapshot& simulator) const;
};

// The latch servo's UP and DN positions.
double LatchUp(const Settings& cfg);
double LatchDown(const Settings& cfg);

} // namespace zrk

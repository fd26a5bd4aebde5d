// The conditions around the drives' thresholds: on the ground or not,
// armed or not, which autothrottle mode, which lever, which board. Every
// lever of a fixture gets settings of its own, so that one lever judged by
// another's settings shows.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/TestHost.h"
#include "boards/VirtualBoards.h"
#include "drives/AutoThrottle.h"
#include "drives/Speedbrake.h"
#include "drives/TrimWheel.h"

namespace zrk {
namespace {

constexpr int kAutomatic = 0, kTestFs = 1, kTestMotors = 2;
constexpr int k737 = 1, k747 = 2;

// ---------------------------------------------------------------------------
// Speedbrake

// The speedbrake lever's state machine with no boards: only its flags are
// looked at. Calibrated DN 100, ARM 140, UP 800 (with reversed input DN 900,
// ARM 860, UP 200): the arm detent close above the stowed end, so that a
// lever just up from stowed is not yet past the arm detent on its way down.
// The reversers' idle detents differ: 500, 510, 520, 530.
struct SpeedbrakeLever {
    Settings cfg;
    SpeedbrakeHardware hw;
    Speedbrake sb;
    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    SpeedbrakeInputs in;
    bool armed = false;

    SpeedbrakeLever()
    {
        cfg.SPEEDBRAKE_DN = 100;
        cfg.SPEEDBRAKE_ARM = 140;
        cfg.SPEEDBRAKE_UP = 800;
        cfg.SPEEDBRAKE_MAX_DEPLOY_TIME = 4000;
        cfg.REVERSER_1_IDLE = 500;
        cfg.REVERSER_2_IDLE = 510;
        cfg.REVERSER_3_IDLE = 520;
        cfg.REVERSER_4_IDLE = 530;
        in.now = 50000;
        in.lever = 500;
        in.mode = kAutomatic;
        aircraft.set_on_ground(1);
    }
    void ReverseInput()
    {
        cfg.SPEEDBRAKE_REVERSE_INPUT_DIRECTION = true;
        cfg.SPEEDBRAKE_DN = 900;
        cfg.SPEEDBRAKE_ARM = 860;
        cfg.SPEEDBRAKE_UP = 200;
    }
    void Cycle()
    {
        SpeedbrakeReadouts out;
        sb.Cycle(cfg, in, aircraft, simulator, hw, armed, out);
        in.now += 100;
    }
};

using LeverSetup = std::function<void(SpeedbrakeLever&)>;

TEST(DriveGuards, ReverseThrustDeploysOnlyOnTheGroundWithEveryConditionMet)
{
    // Every row starts from a lever up from stowed, thrust at idle, 80 of
    // speed, on the ground, the automatic functions and the reverse deploy
    // enabled, every reverser stowed.
    const struct {
        const char* what;
        LeverSetup setup;
        bool deploy;
    } rows[] = {
        {"reverser 1 at its detent less 10", [](auto& l) { l.in.reversers[0] = 490; }, true},
        {"reverser 2 at its own detent less 10", [](auto& l) { l.in.reversers[1] = 500; }, true},
        {"reverser 2 short of its own detent", [](auto& l) { l.in.reversers[1] = 499; }, false},
        {"in the air", [](auto& l) { l.in.reversers[0] = 490, l.aircraft.set_on_ground(0); }, false},
        {"on-ground flag other than 1", [](auto& l) { l.in.reversers[0] = 490, l.aircraft.set_on_ground(2); }, false},
        {"automatic functions inhibited",
         [](auto& l) { l.in.reversers[0] = 490, l.aircraft.set_speedbrake_auto_inhibit(1); }, false},
        {"reverse deploy not enabled",
         [](auto& l) { l.in.reversers[0] = 490, l.aircraft.set_speedbrake_reverse_deploy_enable(0); }, false},
        {"reverser 3 in AUTOMATIC", [](auto& l) { l.in.reversers[2] = 900; }, false},
        {"reverser 3 in TEST FS", [](auto& l) { l.in.reversers[2] = 510, l.in.mode = kTestFs; }, true},
        {"reverser 3 in TEST FS, short of its detent", [](auto& l) { l.in.reversers[2] = 509, l.in.mode = kTestFs; },
         false},
        {"reverser 4 in TEST FS", [](auto& l) { l.in.reversers[3] = 520, l.in.mode = kTestFs; }, true},
        {"reverser 4 in TEST FS, short of its detent", [](auto& l) { l.in.reversers[3] = 519, l.in.mode = kTestFs; },
         false},
        {"reverser 4 in TEST MOTORS", [](auto& l) { l.in.reversers[3] = 900, l.in.mode = kTestMotors; }, false},
    };
    for (const auto& r : rows) {
        SpeedbrakeLever l;
        l.simulator.set_speed_value(80);
        l.simulator.set_sim_throttle_1(1000);
        l.aircraft.set_speedbrake_reverse_deploy_enable(1);
        r.setup(l);
        l.Cycle();
        EXPECT_EQ(l.sb.sb_deploy, r.deploy) << r.what;
        EXPECT_FALSE(l.sb.sb_retract) << r.what;
    }
}

TEST(DriveGuards, ThrustRetractsOnlyADisarmedLeverUpFromStowedOnTheGround)
{
    // Every row starts from a disarmed lever at 500, throttle 2 advanced, on
    // the ground.
    const struct {
        const char* what;
        LeverSetup setup;
        bool retract;
    } rows[] = {
        {"throttle 2 advanced", [](auto&) {}, true},
        {"armed, lever in the arm detent", [](auto& l) { l.armed = true, l.in.lever = 140; }, false},
        {"armed, lever up", [](auto& l) { l.armed = true; }, false},
        {"armed by the simulator's command", [](auto& l) { l.aircraft.set_speedbrake_arm_cmd(1); }, false},
        {"in the air", [](auto& l) { l.aircraft.set_on_ground(0); }, false},
        {"automatic functions inhibited", [](auto& l) { l.aircraft.set_speedbrake_auto_inhibit(1); }, false},
        {"lever just up from stowed", [](auto& l) { l.in.lever = 121; }, true},
        {"lever stowed", [](auto& l) { l.in.lever = 120; }, false},
        {"throttle 1 advanced instead",
         [](auto& l) { l.simulator.set_sim_throttle_2(0), l.simulator.set_sim_throttle_1(4001); }, true},
        {"throttle 3 advanced in AUTOMATIC",
         [](auto& l) { l.simulator.set_sim_throttle_2(0), l.simulator.set_sim_throttle_3(8000); }, false},
        {"throttle 3 advanced in TEST FS",
         [](auto& l) { l.simulator.set_sim_throttle_2(0), l.simulator.set_sim_throttle_3(8000), l.in.mode = kTestFs; },
         true},
        {"throttle 3 beyond full in TEST FS",
         [](auto& l) { l.simulator.set_sim_throttle_2(0), l.simulator.set_sim_throttle_3(16384), l.in.mode = kTestFs; },
         false},
        {"throttle 4 advanced in TEST FS",
         [](auto& l) { l.simulator.set_sim_throttle_2(0), l.simulator.set_sim_throttle_4(4001), l.in.mode = kTestFs; },
         true},
        {"throttle 4 advanced in TEST MOTORS",
         [](auto& l) {
             l.simulator.set_sim_throttle_2(0), l.simulator.set_sim_throttle_4(8000), l.in.mode = kTestMotors;
         },
         false},
        {"reversed input: lever just up from stowed", [](auto& l) { l.ReverseInput(), l.in.lever = 879; }, true},
        {"reversed input: lever stowed", [](auto& l) { l.ReverseInput(), l.in.lever = 880; }, false},
        {"reversed input: armed in the arm detent",
         [](auto& l) { l.ReverseInput(), l.in.lever = 860, l.armed = true; }, false},
    };
    for (const auto& r : rows) {
        SpeedbrakeLever l;
        l.simulator.set_sim_throttle_2(8000);
        r.setup(l);
        const bool wasArmed = l.armed;
        l.Cycle();
        EXPECT_EQ(l.sb.sb_retract, r.retract) << r.what;
        EXPECT_FALSE(l.sb.sb_deploy) << r.what;
        if (wasArmed) {
            EXPECT_TRUE(l.armed) << r.what << ": advancing thrust does not disarm";
        }
    }

    // A retract also ends a deploy under way.
    SpeedbrakeLever l;
    l.sb.Deploy();
    l.simulator.set_sim_throttle_1(9000);
    l.Cycle();
    EXPECT_TRUE(l.sb.sb_retract);
    EXPECT_FALSE(l.sb.sb_deploy);
}

TEST(DriveGuards, LandingDeployNeedsArmedOnTheGroundAtIdleWithTheGateOpen)
{
    // Every row starts from an armed lever in its detent, 100 of speed,
    // throttle 1 below 4000 and throttle 2 at 4000 (neither idle nor
    // advanced), the gate at 15000, on the ground.
    const struct {
        const char* what;
        LeverSetup setup;
        bool deploy;
    } rows[] = {
        {"every condition met", [](auto&) {}, true},
        {"not armed", [](auto& l) { l.armed = false; }, false},
        {"in the air", [](auto& l) { l.aircraft.set_on_ground(0); }, false},
        {"automatic functions inhibited", [](auto& l) { l.aircraft.set_speedbrake_auto_inhibit(1); }, false},
        {"gate at 14999", [](auto& l) { l.simulator.set_auto_deploy_gate(14999); }, false},
        {"neither throttle below 4000", [](auto& l) { l.simulator.set_sim_throttle_1(4000); }, false},
        {"throttle 2 below 4000 instead",
         [](auto& l) { l.simulator.set_sim_throttle_1(4000), l.simulator.set_sim_throttle_2(3999); }, true},
    };
    for (const auto& r : rows) {
        SpeedbrakeLever l;
        l.armed = true;
        l.in.lever = 140;
        l.simulator.set_speed_value(100);
        l.simulator.set_sim_throttle_1(3999);
        l.simulator.set_sim_throttle_2(4000);
        l.simulator.set_auto_deploy_gate(15000);
        r.setup(l);
        const bool wasArmed = l.armed;
        l.Cycle();
        EXPECT_EQ(l.sb.sb_deploy, r.deploy) << r.what;
        EXPECT_EQ(l.armed, wasArmed && !r.deploy) << r.what;
    }
}

TEST(DriveGuards, TheSimulatorArmsALeverAboveTheArmDetentThatIsNotDeploying)
{
    const struct {
        const char* what;
        uint8_t command;
        bool deploying;
        int lever;
        bool armed;
    } rows[] = {
        {"arm command", 1, false, 140, true},
        {"arm command while deploying", 1, true, 500, false},
        {"arm command with the lever below the detent", 1, false, 110, false},
        {"arm command other than 1", 2, false, 140, false},
    };
    for (const auto& r : rows) {
        SpeedbrakeLever l;
        l.aircraft.set_speedbrake_arm_cmd(r.command);
        if (r.deploying)
            l.sb.Deploy();
        l.in.lever = r.lever;
        l.Cycle();
        EXPECT_EQ(l.armed, r.armed) << r.what;
    }
}

} // namespace
} // namespace zrk

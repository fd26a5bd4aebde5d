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

// ---------------------------------------------------------------------------
// Retard hold and commanded positions

TEST(DriveGuards, OnlyModesZeroThreeAndNineKeepTheRetardHold)
{
    constexpr int kIdleTimeout = 3000;
    for (int mode = 0; mode <= 255; ++mode) {
        if (mode > 12 && mode < 255)
            continue;
        const bool holds = mode == 0 || mode == 3 || mode == 9;
        AutoThrottle at;
        AircraftSnapshot a;
        a.set_autothrottle_mode(3);
        at.RetardLatch(10000, kIdleTimeout, a);
        ASSERT_TRUE(at.retard_latch);

        a.set_autothrottle_mode(uint8_t(mode));
        at.RetardLatch(10100, kIdleTimeout, a);
        EXPECT_EQ(at.retard_latch, holds) << mode;
        EXPECT_EQ(a.autothrottle_mode(), holds ? 3 : uint8_t(mode)) << mode;
        if (!holds || mode == 3)
            continue;

        // Held for IDLE_TIMEOUT after the last mode-3 tick; the tick in
        // which it runs out still sees mode 3.
        a.set_autothrottle_mode(uint8_t(mode));
        at.RetardLatch(10000 + kIdleTimeout, kIdleTimeout, a);
        EXPECT_TRUE(at.retard_latch) << mode;
        a.set_autothrottle_mode(uint8_t(mode));
        at.RetardLatch(10000 + kIdleTimeout + 1, kIdleTimeout, a);
        EXPECT_FALSE(at.retard_latch) << mode;
        EXPECT_EQ(a.autothrottle_mode(), 3) << mode;
        a.set_autothrottle_mode(uint8_t(mode));
        at.RetardLatch(10000 + kIdleTimeout + 100, kIdleTimeout, a);
        EXPECT_EQ(a.autothrottle_mode(), uint8_t(mode)) << mode;
    }
}

TEST(DriveGuards, TheReferenceSelectorsAndTheModeChooseTheZeroOfTheCommand)
{
    // Left engine: full scale 100, command 50; right engine: 200 and 120.
    // The first zero point is 20, the alternate one 10.
    enum Zero { First, Alternate, Idle };
    const std::array<double, 2> first = {6144, 9102};       // 16383/80*30, 16383/180*100
    const std::array<double, 2> alternate = {7281, 9485};   // 16383/90*40, 16383/190*110
    const struct {
        uint8_t selectA, selectB, mode;
        bool latch;
        Zero zero;
    } rows[] = {
        {0, 1, 2, false, First},     {0, 1, 7, false, Alternate}, {0, 1, 9, false, First},
        {0, 1, 0, true, First},      {1, 1, 2, false, Alternate}, {0, 0, 2, false, Alternate},
        {1, 0, 1, false, Alternate}, {0, 2, 2, false, Alternate}, {1, 1, 0, false, Alternate},
        {1, 1, 9, false, Idle},      {0, 0, 0, true, Idle},       {0, 1, 7, true, Idle},
        {0, 0, 3, true, Idle},
    };
    for (const auto& r : rows) {
        AutoThrottle at;
        at.retard_latch = r.latch;
        AircraftSnapshot a;
        a.set_at_full_left(100);
        a.set_at_command_left(50);
        a.set_at_full_right(200);
        a.set_at_command_right(120);
        a.set_at_idle_ref(20);
        a.set_at_idle_ref_alt(10);
        a.set_at_ref_select_a(r.selectA);
        a.set_at_ref_select_b(r.selectB);
        a.set_autothrottle_mode(r.mode);
        Settings cfg;
        AutoThrottleInputs in;
        LeverMotors motors;
        AutoThrottleReadouts out;
        ASSERT_TRUE(at.Prepare(in, a, motors, out));
        for (int n = 1; n <= 4; ++n) {
            const std::size_t side = (n == 1 || n == 3) ? 0 : 1;
            const double expected = r.zero == First ? first[side] : r.zero == Alternate ? alternate[side] : 0;
            EXPECT_EQ(at.Target(n), expected) << "throttle " << n << " select " << int(r.selectA) << int(r.selectB)
                                              << " mode " << int(r.mode) << " latch " << r.latch;
            EXPECT_EQ(out.fromAT[std::size_t(n - 1)], int64_t(expected)) << "throttle " << n;
        }
    }
}

TEST(DriveGuards, InTestMotorsEachSliderCommandsItsOwnLever)
{
    AutoThrottle at;
    AircraftSnapshot a;
    Settings cfg;
    AutoThrottleInputs in;
    in.mode = kTestMotors;
    in.lever = {100, 2000, 3000, 16383};
    LeverMotors motors;
    AutoThrottleReadouts out;
    ASSERT_TRUE(at.Prepare(in, a, motors, out));
    EXPECT_EQ(at.Target(1), 16283);
    EXPECT_EQ(at.Target(2), 14383);
    EXPECT_EQ(at.Target(3), 13383);
    EXPECT_EQ(at.Target(4), 0);
    EXPECT_EQ(a.at_engaged_left(), 1);
    EXPECT_EQ(a.at_engaged_right(), 1);
    EXPECT_EQ(a.autothrottle_mode(), 1);
}

// ---------------------------------------------------------------------------
// Lever drive and override detection

// A 747 quadrant's lever motors on virtual boards: throttles 1 and 2 on
// outputs 1 and 0 of the two-motor board and on the two single-motor
// boards, throttles 3 and 4 on outputs 1 and 0 of the third board. Each
// lever has a calibration, speed offset, direction flag and override
// threshold of its own; the outer pair is calibrated the other way round.
struct LeverDrive {
    static constexpr int kPair = 202, kOuter = 203, kSingle1 = 205, kSingle2 = 206;

    TestHost host;
    VirtualBoardLibrary lib{host};
    std::unique_ptr<IMotorControl> pairBoard = lib.CreateMotorControl();
    std::unique_ptr<IMotorControl> outerBoard = lib.CreateMotorControl();
    std::unique_ptr<IMotorControl> single1Board = lib.CreateMotorControl();
    std::unique_ptr<IMotorControl> single2Board = lib.CreateMotorControl();
    Settings cfg;
    LeverMotors motors;
    AutoThrottle at;
    AircraftSnapshot aircraft;
    AutoThrottleInputs in;
    AutoThrottleReadouts out;

    LeverDrive()
    {
        for (int s : {kPair, kOuter, kSingle1, kSingle2})
            lib.Plug(BoardKind::MotorControl, s);
        pairBoard->Open(kPair);
        outerBoard->Open(kOuter);
        single1Board->Open(kSingle1);
        single2Board->Open(kSingle2);
        host.RunPending();
        motors.pair[0] = MotorChannel(pairBoard.get(), 1);
        motors.pair[1] = MotorChannel(pairBoard.get(), 0);
        for (int o = 0; o < 4; ++o)
            motors.pairOutputs[o] = MotorChannel(pairBoard.get(), o);
        motors.single[0] = MotorChannel(single1Board.get(), 0);
        motors.single[1] = MotorChannel(single2Board.get(), 0);
        motors.outer[0] = MotorChannel(outerBoard.get(), 1);
        motors.outer[1] = MotorChannel(outerBoard.get(), 0);

        cfg.THROTTLE_1_IDLE = 100, cfg.THROTTLE_1_FULL = 900;
        cfg.THROTTLE_2_IDLE = 200, cfg.THROTTLE_2_FULL = 700;
        cfg.THROTTLE_3_IDLE = 900, cfg.THROTTLE_3_FULL = 100;
        cfg.THROTTLE_4_IDLE = 800, cfg.THROTTLE_4_FULL = 150;
        cfg.THROTTLE_1_SPEED_ADJUST = 1, cfg.THROTTLE_2_SPEED_ADJUST = 2;
        cfg.THROTTLE_3_SPEED_ADJUST = 3, cfg.THROTTLE_4_SPEED_ADJUST = 4;
        cfg.REVERSE_MOTOR_DIRECTION_1 = true, cfg.REVERSE_MOTOR_DIRECTION_2 = false;
        cfg.REVERSE_MOTOR_DIRECTION_3 = true, cfg.REVERSE_MOTOR_DIRECTION_4 = false;
        cfg.THROTTLE1_OVERRIDE_CURRENT = 0.2, cfg.THROTTLE2_OVERRIDE_CURRENT = 0.4;
        cfg.THROTTLE3_OVERRIDE_CURRENT = 0.6, cfg.THROTTLE4_OVERRIDE_CURRENT = 0.8;
        cfg.DEFAULT_TOGA_SPEED = 50;
        cfg.DEFAULT_SPD_SPEED = 20;
        cfg.MIN_MOTOR_SPEED_L = 7;
        cfg.MAX_MOTOR_SPEED_L = 100;
        cfg.SPEED_SCALE = 0.5;

        // Full thrust commanded on both sides, from a zero of 0.
        aircraft.set_at_engaged_left(1);
        aircraft.set_at_engaged_right(1);
        aircraft.set_at_full_left(100);
        aircraft.set_at_full_right(100);
        aircraft.set_at_command_left(100);
        aircraft.set_at_command_right(100);
        in.aircraftType = k747;
        in.mode = kAutomatic;
    }
    // The board opened with `serial`; a failed test, not a crash, when none is.
    VirtualBoardState& Board(int serial)
    {
        VirtualBoardState* board = lib.Find(serial);
        if (!board)
            throw std::runtime_error("board " + std::to_string(serial) + " was not opened");
        return *board;
    }
    void NoSpeedOffsets()
    {
        cfg.THROTTLE_1_SPEED_ADJUST = cfg.THROTTLE_2_SPEED_ADJUST = 0;
        cfg.THROTTLE_3_SPEED_ADJUST = cfg.THROTTLE_4_SPEED_ADJUST = 0;
    }
    // Every lever at its idle calibration: far from full thrust.
    void AtIdle() { in.lever = {cfg.THROTTLE_1_IDLE, cfg.THROTTLE_2_IDLE, cfg.THROTTLE_3_IDLE, cfg.THROTTLE_4_IDLE}; }
    void Run(uint8_t mode)
    {
        aircraft.set_autothrottle_mode(mode);
        out = {};
        ASSERT_TRUE(at.Prepare(in, aircraft, motors, out));
        at.Drive(cfg, in, aircraft, motors, out);
    }
    // Velocities of throttles 1..4 on the two-motor and third boards, then
    // of throttles 1 and 2 on the single-motor boards.
    std::array<double, 6> Velocities()
    {
        return {Board(kPair).velocity[1],  Board(kPair).velocity[0],    Board(kOuter).velocity[1],
                Board(kOuter).velocity[0], Board(kSingle1).velocity[0], Board(kSingle2).velocity[0]};
    }
};

TEST(DriveGuards, EachLeverIsDrivenByItsOwnCalibrationOffsetAndDirection)
{
    LeverDrive d;
    // A few counts short of each lever's full calibration.
    d.in.lever = {880, 672, 112, 141};
    d.Run(2);
    // Throttle 1: (900 - 880) * 0.5 = 10, + 1, sent as it is. Throttle 2:
    // (700 - 672) * 0.5 = 14, + 2, negated. Throttle 3: 112 - 100 = 12,
    // + 3, as it is. Throttle 4: 141 - 150 = -9, - 4, negated.
    EXPECT_EQ(d.Velocities(), (std::array<double, 6>{11, -16, 15, 13, 11, -16}));
    EXPECT_EQ(d.out.toMotor[0], 11);
    EXPECT_EQ(d.out.toMotor[1], -16);
    EXPECT_EQ(d.out.toMotor[2], 15);
    EXPECT_EQ(d.out.toMotor[3], -13);
}

TEST(DriveGuards, TheModeDecidesWhetherAndHowFastTheLeversAreDriven)
{
    for (int mode = 0; mode <= 12; ++mode) {
        LeverDrive d;
        d.NoSpeedOffsets();
        d.AtIdle();
        // Every motor left running by an earlier cycle.
        for (int s : {LeverDrive::kPair, LeverDrive::kOuter})
            d.Board(s).velocity[0] = d.Board(s).velocity[1] = 33;
        for (int s : {LeverDrive::kSingle1, LeverDrive::kSingle2})
            d.Board(s).velocity[0] = 33;
        // The first zero point: full thrust is commanded in modes 0 and 9
        // too, so that only the mode can stop the levers.
        d.aircraft.set_at_ref_select_b(1);
        d.Run(uint8_t(mode));
        ASSERT_EQ(d.at.Target(1), 16383) << mode;
        const bool driven = mode != 0 && mode != 9;
        // The two-motor board is fast in take-off/go-around only; the
        // single-motor boards and the third board in retard too.
        const double pair = !driven ? 0 : mode == 1 ? 50 : 20;
        const double other = !driven ? 0 : mode == 1 || mode == 3 ? 50 : 20;
        // Throttles 1 and 3 send their speed as it is, 2 and 4 negated.
        EXPECT_EQ(d.Velocities(), (std::array<double, 6>{pair, -pair, other, -other, other, -other})) << mode;
        if (driven) {
            const double acceleration = mode == 1 || mode == 3 ? 50 : 25;
            EXPECT_EQ(d.Board(LeverDrive::kPair).acceleration[1], acceleration) << mode;
            EXPECT_EQ(d.Board(LeverDrive::kOuter).acceleration[0], acceleration) << mode;
        }
    }
}

TEST(DriveGuards, TheThirdBoardIsDrivenOnA747OrInTestMotorsOnly)
{
    const struct {
        int aircraftType, mode;
        bool driven;
    } rows[] = {
        {k747, kAutomatic, true},  {k747, kTestFs, true},     {k737, kAutomatic, false},
        {0, kTestFs, false},       {k737, kTestMotors, true},
    };
    for (const auto& r : rows) {
        LeverDrive d;
        d.AtIdle();
        d.in.aircraftType = r.aircraftType;
        d.in.mode = r.mode;
        d.Run(2);
        const auto v = d.Velocities();
        EXPECT_EQ(v[2] != 0, r.driven) << r.aircraftType << " " << r.mode;
        EXPECT_EQ(v[3] != 0, r.driven) << r.aircraftType << " " << r.mode;
        EXPECT_NE(v[0], 0) << r.aircraftType << " " << r.mode;
    }
}

TEST(DriveGuards, EachSideEngagesItsOwnLevers)
{
    const struct {
        uint8_t engagedLeft, engagedRight, overrideLeft, overrideRight;
        std::array<bool, 4> driven;
    } rows[] = {
        {1, 1, 0, 0, {true, true, true, true}},   {0, 1, 0, 0, {false, true, false, false}},
        {1, 0, 0, 0, {true, false, true, true}},  {1, 1, 1, 0, {false, true, false, true}},
        {1, 1, 0, 1, {true, false, true, false}}, {2, 1, 0, 0, {false, true, false, false}},
    };
    for (const auto& r : rows) {
        LeverDrive d;
        d.AtIdle();
        d.aircraft.set_at_engaged_left(r.engagedLeft);
        d.aircraft.set_at_engaged_right(r.engagedRight);
        d.aircraft.set_at_override_left(r.overrideLeft);
        d.aircraft.set_at_override_right(r.overrideRight);
        d.Run(1);
        const auto v = d.Velocities();
        const std::string row = std::to_string(r.engagedLeft) + std::to_string(r.engagedRight)
                                + std::to_string(r.overrideLeft) + std::to_string(r.overrideRight);
        for (std::size_t n = 0; n < 4; ++n)
            EXPECT_EQ(v[n] != 0, r.driven[n]) << row << " throttle " << n + 1;
        EXPECT_EQ(v[4] != 0, r.driven[0]) << row << " single-motor throttle 1";
        EXPECT_EQ(v[5] != 0, r.driven[1]) << row << " single-motor throttle 2";
    }
}

TEST(DriveGuards, EachLeversOverrideIsJudgedAgainstItsOwnThreshold)
{
    // Thresholds 0.2, 0.4, 0.6 and 0.8 A; 9 marks a flag left as it was.
    const struct {
        const char* what;
        std::array<double, 4> current;
        std::array<uint8_t, 4> flags;
        bool is747 = true;
        int stopped = 0;   // a lever whose motor stands still
    } rows[] = {
        {"0.3 A each", {0.3, 0.3, 0.3, 0.3}, {1, 0, 0, 0}},
        {"0.5 A each", {0.5, 0.5, 0.5, 0.5}, {1, 1, 0, 0}},
        {"0.7 A each", {0.7, 0.7, 0.7, 0.7}, {1, 1, 1, 0}},
        {"0.9 A each", {0.9, 0.9, 0.9, 0.9}, {1, 1, 1, 1}},
        {"just above each threshold", {0.21, 0.41, 0.61, 0.81}, {1, 1, 1, 1}},
        {"each at its threshold", {0.2, 0.4, 0.6, 0.8}, {0, 0, 0, 0}},
        {"falling across the levers", {0.9, 0.5, 0.3, 0.1}, {1, 1, 0, 0}},
        {"not a 747", {0.9, 0.9, 0.9, 0.9}, {1, 1, 9, 9}, false},
        {"throttle 2 at rest", {0.9, 0.9, 0.9, 0.9}, {1, 9, 1, 1}, true, 2},
        {"throttle 3 at rest", {0.9, 0.9, 0.9, 0.9}, {1, 1, 9, 1}, true, 3},
    };
    for (const auto& r : rows) {
        LeverDrive d;
        VirtualBoardState& pair = d.Board(LeverDrive::kPair);
        VirtualBoardState& outer = d.Board(LeverDrive::kOuter);
        VirtualBoardState* boards[] = {&pair, &pair, &outer, &outer};
        const std::size_t outputs[] = {1, 0, 1, 0};
        for (std::size_t n = 0; n < 4; ++n) {
            boards[n]->velocity[outputs[n]] = int(n + 1) == r.stopped ? 0 : 30;
            boards[n]->current[outputs[n]] = r.current[n];
        }
        std::array<uint8_t, 4> flags = {9, 9, 9, 9};
        OverrideReadouts shown;
        DetectManualOverride(d.cfg, r.is747, d.motors, flags, shown);
        EXPECT_EQ(flags, r.flags) << r.what;
        EXPECT_EQ(shown.current[0], r.stopped == 1 ? std::nullopt : std::optional<double>(r.current[0])) << r.what;
        EXPECT_EQ(shown.current[1], r.stopped == 2 ? std::nullopt : std::optional<double>(r.current[1])) << r.what;
    }

    // Without the two-motor board nothing is judged, not even the third
    // board's levers.
    LeverDrive d;
    d.lib.Unplug(LeverDrive::kPair);
    d.host.RunPending();
    d.Board(LeverDrive::kOuter).velocity = {30, 30};
    d.Board(LeverDrive::kOuter).current = {0.9, 0.9};
    std::array<uint8_t, 4> flags = {9, 9, 9, 9};
    OverrideReadouts shown;
    DetectManualOverride(d.cfg, true, d.motors, flags, shown);
    EXPECT_EQ(flags, (std::array<uint8_t, 4>{9, 9, 9, 9}));
}

// ---------------------------------------------------------------------------
// Trim wheel

// A trim wheel without a board (only its state and readouts are looked
// at), at a base speed of 80, with a gain that saturates the PID at any
// error and no derivative term.
struct Wheel {
    Settings cfg;
    TrimWheel wheel;
    AircraftSnapshot aircraft;
    SimulatorSnapshot simulator;
    MotorChannel motor;
    const PidGains gains{5000, 0, 0};

    Wheel()
    {
        cfg.MOTOR_SPEED_MAX = 80;
        cfg.TRIM_NULL_ZONE = 0.04;
        cfg.TRIM_TIME_DELAY_BETWEEN_MOTION = 2000;
    }
    TrimWheelReadouts Step() { return wheel.Move_Stab_Trim_Wheel(100000, cfg, gains, aircraft, simulator, motor); }
};

using WheelSetup = std::function<void(AircraftSnapshot&, SimulatorSnapshot&)>;

TEST(DriveGuards, TheTrimSpeedFollowsTheSlowFlagsAndTheSpeedSelection)
{
    // The output saturates at the speed: the wheel is far from the
    // simulator's trim while tracking, and the alternate trim runs while
    // not.
    const struct {
        const char* what;
        WheelSetup setup;
        double speed;
    } rows[] = {
        {"no flag, speed selected", [](auto& a, auto&) { a.set_trim_speed_select(1); }, 80},
        {"no flag, slow selected", [](auto&, auto&) {}, 60},
        {"no flag, slow selected, tracking requested", [](auto& a, auto&) { a.set_trim_track_request(1); }, 80},
        {"flag 1, slow selected", [](auto& a, auto&) { a.set_trim_slow_flag_1(1); }, 30},
        {"flag 2, slow selected", [](auto& a, auto&) { a.set_trim_slow_flag_2(1); }, 30},
        {"flag 3, slow selected (tracks)", [](auto& a, auto&) { a.set_trim_slow_flag_3(1); }, 30},
        {"flag 4, slow selected (tracks)", [](auto& a, auto&) { a.set_trim_slow_flag_4(1); }, 30},
        {"flag 1, slow selected, tracking requested",
         [](auto& a, auto&) { a.set_trim_slow_flag_1(1), a.set_trim_track_request(1); }, 30},
        {"flag 1, speed selected", [](auto& a, auto&) { a.set_trim_slow_flag_1(1), a.set_trim_speed_select(2); }, 40},
        {"flag 4, speed selected", [](auto& a, auto&) { a.set_trim_slow_flag_4(1), a.set_trim_speed_select(1); }, 40},
        {"every flag at 2, slow selected",
         [](auto& a, auto&) {
             a.set_trim_slow_flag_1(2), a.set_trim_slow_flag_2(2), a.set_trim_slow_flag_3(2), a.set_trim_slow_flag_4(2);
         },
         60},
        {"flag 1, negative selection", [](auto& a, auto&) { a.set_trim_slow_flag_1(1), a.set_trim_speed_select(-1); },
         80},
    };
    for (const auto& r : rows) {
        Wheel w;
        w.simulator.set_stab_trim_value(16380);   // 17 units; the model starts at 0
        w.simulator.set_altn_trim_motion(1);
        r.setup(w.aircraft, w.simulator);
        w.Step();
        EXPECT_EQ(w.wheel.trim_last_output, r.speed) << r.what;
    }

    // A fractional speed is rounded, halves to even: 60 * 0.375 = 22.5.
    Wheel w;
    w.cfg.MOTOR_SPEED_MAX = 60;
    w.aircraft.set_trim_slow_flag_2(1);
    w.simulator.set_altn_trim_motion(1);
    w.Step();
    EXPECT_EQ(w.wheel.trim_last_output, 22);
}

TEST(DriveGuards, TrackingHoldAndTheAlternateTrimDecideWhatTheWheelDoes)
{
    // The model stands at 10 units, the simulator's trim at 4: tracking
    // drives down and keeps the model; otherwise the model snaps to 4 and
    // only the alternate trim moves the wheel; a hold keeps both still.
    enum Model { Kept, Snapped };
    const struct {
        const char* what;
        WheelSetup setup;
        Model model;
        int direction;
    } rows[] = {
        {"tracking requested", [](auto& a, auto&) { a.set_trim_track_request(1); }, Kept, -1},
        {"tracking beats the alternate trim",
         [](auto& a, auto& s) { a.set_trim_track_request(1), s.set_altn_trim_motion(1); }, Kept, -1},
        {"tracking request on hold", [](auto& a, auto&) { a.set_trim_track_request(1), a.set_trim_hold(1); }, Kept, 0},
        {"alternate trim on hold", [](auto& a, auto& s) { a.set_trim_hold(1), s.set_altn_trim_motion(1); }, Kept, 0},
        {"tracking request other than 1", [](auto& a, auto&) { a.set_trim_track_request(2); }, Snapped, 0},
        {"nothing", [](auto&, auto&) {}, Snapped, 0},
        {"alternate trim 1", [](auto&, auto& s) { s.set_altn_trim_motion(1); }, Snapped, 1},
        {"alternate trim 2", [](auto&, auto& s) { s.set_altn_trim_motion(2); }, Snapped, -1},
        {"alternate trim 3", [](auto&, auto& s) { s.set_altn_trim_motion(3); }, Snapped, 0},
        {"flag 3", [](auto& a, auto&) { a.set_trim_slow_flag_3(1); }, Kept, -1},
        {"flag 4", [](auto& a, auto&) { a.set_trim_slow_flag_4(1); }, Kept, -1},
        {"flag 3 at 2", [](auto& a, auto&) { a.set_trim_slow_flag_3(2); }, Snapped, 0},
        {"flags 1 and 2 do not track",
         [](auto& a, auto&) { a.set_trim_slow_flag_1(1), a.set_trim_slow_flag_2(1); }, Snapped, 0},
        {"flag 4 inhibited", [](auto& a, auto&) { a.set_trim_slow_flag_4(1), a.set_trim_track_inhibit(1); }, Snapped,
         0},
        {"flag 3 inhibited, on hold",
         [](auto& a, auto&) { a.set_trim_slow_flag_3(1), a.set_trim_track_inhibit(1), a.set_trim_hold(1); }, Kept, 0},
        {"flag 3 on hold", [](auto& a, auto&) { a.set_trim_slow_flag_3(1), a.set_trim_hold(1); }, Kept, -1},
        {"flag 4 inhibited, tracking requested",
         [](auto& a, auto&) { a.set_trim_slow_flag_4(1), a.set_trim_track_inhibit(1), a.set_trim_track_request(1); },
         Kept, -1},
    };
    for (const auto& r : rows) {
        Wheel w;
        w.wheel.trim_wheel_position = 10;
        w.simulator.set_stab_trim_value(0);   // 4 units
        r.setup(w.aircraft, w.simulator);
        const TrimWheelReadouts out = w.Step();
        EXPECT_EQ(out.wheelPosition, r.model == Kept ? 10 : 4) << r.what;
        const double passed = w.wheel.trim_last_output;
        EXPECT_EQ((passed > 0) - (passed < 0), r.direction) << r.what;
    }
}

} // namespace
} // namespace zrk

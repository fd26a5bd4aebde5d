#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "drives/LeverLaw.h"

namespace zrk {
namespace {

// A lever of throttles 1 and 2 with the default tuning: scale 0.5, TOGA 50,
// SPD 20, minimum 7, maximum 100, no offset, no dead band.
LeverLawInput Inner(double target, int idle, int full, int pos, uint8_t mode)
{
    LeverLawInput in;
    in.target = target;
    in.idle = idle;
    in.full = full;
    in.position = pos;
    in.atMode = mode;
    in.ceiling = SpeedCeiling(mode, false, 50, 20);
    in.minSpeed = 7;
    in.maxSpeed = 100;
    in.speedScale = 0.5;
    return in;
}

TEST(LeverLaw, InnerLeversWorkedCases)
{
    struct Row {
        const char* what;
        LeverLawInput in;
        double acceleration, velocity;
    };
    auto with = [](LeverLawInput in, auto change) {
        change(in);
        return in;
    };
    const Row rows[] = {
        {"TOGA: far below full, fast ceiling", Inner(16383, 1000, 3000, 1000, 1), 50, -50},
        {"speed mode: slow ceiling", Inner(16383, 1000, 3000, 1000, 2), 25, -20},
        {"retard on the two-motor board: slow ceiling", Inner(16383, 1000, 3000, 1000, 3), 50, -20},
        {"8 counts to go: raised to the minimum", Inner(16383, 100, 900, 892, 2), 15, -7},
        {"direction flag sends the speed as it is",
         with(Inner(16383, 100, 900, 892, 2), [](auto& i) { i.motorDirection = true; }), 15, 7},
        {"at target, offset 3 inside a dead band of 5",
         with(Inner(16383, 100, 900, 900, 2), [](auto& i) { i.speedAdjust = 3, i.nullZone = 5; }), 15, 0},
        {"at target, offset 3 without dead band: the minimum, downward",
         with(Inner(16383, 100, 900, 900, 2), [](auto& i) { i.speedAdjust = 3; }), 15, 7},
        {"offset added when moving up",
         with(Inner(16383, 1000, 3000, 1000, 1), [](auto& i) { i.speedAdjust = 4; }), 50, -54},
        {"idle hold-down: 2 below idle, aimed 5 beyond it", Inner(0, 100, 900, 98, 2), 15, 7},
        {"idle hold-down, calibrated the other way", Inner(0, 900, 100, 902, 2), 15, -7},
        {"command 0 above idle: pulled to idle", Inner(0, 100, 900, 500, 1), 50, 50},
        {"maximum below the ceiling",
         with(Inner(16383, 1000, 3000, 1000, 1), [](auto& i) { i.maxSpeed = 30; }), 50, -30},
    };
    for (const Row& r : rows) {
        const auto out = InnerLeverLaw(r.in);
        ASSERT_TRUE(out.has_value()) << r.what;
        EXPECT_EQ(out->acceleration, r.acceleration) << r.what;
        EXPECT_EQ(out->velocity + 0.0, r.velocity) << r.what;
    }
}

TEST(LeverLaw, OuterLeversHaveNoMinimumAndTheFastCeilingInRetard)
{
    auto outer = [](double target, int pos, uint8_t mode, int nullZone = 0) {
        LeverLawInput in;
        in.target = target;
        in.idle = 900;
        in.full = 100;
        in.position = pos;
        in.atMode = mode;
        in.ceiling = SpeedCeiling(mode, true, 50, 20);
        in.nullZone = nullZone;
        return *OuterLeverLaw(in);
    };
    struct Row {
        double target;
        int pos;
        uint8_t mode;
        double acceleration, speed;
    } rows[] = {
        {16383, 500, 1, 50, 50}, {16383, 500, 3, 50, 50}, {16383, 500, 2, 25, 20},
        {0, 500, 1, 50, -50},    {16383, 103, 2, 25, 3},
    };
    for (const Row& r : rows) {
        const LeverLawOutput o = outer(r.target, r.pos, r.mode);
        EXPECT_EQ(o.acceleration, r.acceleration) << r.target << " " << r.pos;
        EXPECT_EQ(o.speed, r.speed) << r.target << " " << r.pos;
        EXPECT_EQ(o.velocity, -r.speed) << r.target << " " << r.pos;
    }
    EXPECT_EQ(outer(16383, 103, 2, 5).speed, 0);
}

TEST(LeverLaw, CeilingsByModeAndBoardKind)
{
    EXPECT_EQ(SpeedCeiling(1, false, 50, 20), 50);
    EXPECT_EQ(SpeedCeiling(3, false, 50, 20), 20);
    EXPECT_EQ(SpeedCeiling(3, true, 50, 20), 50);
    EXPECT_EQ(SpeedCeiling(2, true, 50, 20), 20);
    EXPECT_EQ(SpeedCeiling(0, true, 50, 20), 20);
}

TEST(LeverLaw, NoSpanOrNoNumberMeansNoDrive)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(InnerLeverLaw(Inner(8000, 0, 0, 500, 1)).has_value());
    EXPECT_FALSE(InnerLeverLaw(Inner(nan, 100, 900, 500, 1)).has_value());
    LeverLawInput o = Inner(8000, 400, 400, 500, 1);
    EXPECT_FALSE(OuterLeverLaw(o).has_value());

    EXPECT_EQ(CommandedPosition(50, 100, 0), 8192);      // 8191.5, halves to even
    EXPECT_EQ(CommandedPosition(100, 100, 0), 16383);
    EXPECT_EQ(CommandedPosition(-20, 100, 20), -8192);   // not limited to 0..16383
    EXPECT_FALSE(CommandedPosition(50, 0, 0).has_value());   // empty snapshot
    EXPECT_FALSE(CommandedPosition(nan, 100, 0).has_value());
    EXPECT_FALSE(CommandedPosition(1, inf, 0).has_value());
    EXPECT_FALSE(CommandedPosition(1e308, 1e-308, 0).has_value());
}

} // namespace
} // namespace zrk

#include <gtest/gtest.h>

#include "inputs/LeverScaling.h"

namespace zrk {
namespace {

TEST(LeverScaling, RoundsHalvesToEven)
{
    const struct {
        double in;
        int32_t out;
    } cases[] = {{8191.5, 8192}, {4096.5, 4096}, {4095.75, 4096}, {12287.25, 12287}, {-2.5, -2},
                 {-3.5, -4},     {0.49999, 0},   {1e12, INT32_MAX},  {-1e12, INT32_MIN}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfEven(c.in), c.out) << c.in;
    EXPECT_EQ(Low16(70000), int16_t(70000 - 65536));
    EXPECT_EQ(Low16(-5900), -5900);
}

TEST(LeverScaling, ThrottleWorkedValuesEitherWayRound)
{
    const struct {
        int pos, idle, full;
        int32_t sent;
    } cases[] = {
        {500, 100, 900, 8192}, {300, 100, 900, 4096}, {950, 100, 900, 16383}, {80, 100, 900, 0},
        {500, 900, 100, 8192}, {700, 900, 100, 4096}, {300, 900, 100, 12287}, {50, 900, 100, 16383},
        {1000, 900, 100, 0},
        // Uncalibrated: no span, no fault.
        {500, 0, 0, 0}, {0, 0, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfEven(ScaleThrottle(c.pos, c.idle, c.full)), c.sent)
            << c.pos << " " << c.idle << " " << c.full;
}

TEST(LeverScaling, ReverserFollowsItsCalibration)
{
    const struct {
        int pos, off, idle, full;
        int32_t r;
    } cases[] = {
        {375, 100, 150, 600, 2950}, {120, 100, 150, 600, 0},  {600, 100, 150, 600, 5900},
        {700, 100, 150, 600, 5900}, {150, 100, 150, 600, 0},
        // Calibrated the other way round.
        {325, 600, 550, 100, 2950}, {580, 600, 550, 100, 0}, {50, 600, 550, 100, 5900},
        // Uncalibrated (all zero), or IDLE equal to FULL: no span, no fault.
        {500, 0, 0, 0, 0}, {500, 100, 600, 600, 0}, {500, 600, 100, 100, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfEven(ScaleReverser(c.pos, c.off, c.idle, c.full, 5900)), c.r)
            << c.pos << " " << c.off << " " << c.idle << " " << c.full;
}

TEST(LeverScaling, AReverserNeverCommandsMoreThanTheLeverRangeNorForwardThrust)
{
    // OFF 100, IDLE 150, FULL 600; the full-reverse magnitude as the file
    // may hold it.
    const struct {
        int pos, fullReverse;
        int32_t r;
    } cases[] = {
        {600, -5900, 0}, {375, -5900, 0}, {120, -5900, 0},
        {600, 40000, 16383}, {375, 40000, 8192},
        {600, 0, 0}, {600, 16383, 16383},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfEven(ScaleReverser(c.pos, 100, 150, 600, c.fullReverse)), c.r)
            << c.pos << " " << c.fullReverse;
}

TEST(LeverScaling, SpeedbrakeArmWindow)
{
    const struct {
        int pos;
        bool reversed;
        int arm, up;
        int32_t r;
        bool armed;
    } cases[] = {
        {270, false, 300, 800, 4800, true}, {329, false, 300, 800, 4800, true}, {269, false, 300, 800, 0, false},
        {330, false, 300, 800, 5495, false}, {800, false, 300, 800, 16383, false},
        {900, false, 300, 800, 16383, false},
        // UP below ARM.
        {330, true, 300, 0, 4800, true}, {271, true, 300, 0, 4800, true}, {331, true, 300, 0, 0, false},
        {0, true, 300, 0, 16383, false},
        // UP on the wrong side: factor 0, so 4800 beyond the window towards UP.
        {500, false, 300, 200, 4800, false}, {100, false, 300, 200, 0, false},
    };
    for (const auto& c : cases) {
        const SpeedbrakeResult s = ScaleSpeedbrake(c.pos, c.arm, c.up, c.reversed);
        EXPECT_EQ(RoundHalfEven(s.value), c.r) << c.pos << (c.reversed ? " rev" : "");
        EXPECT_EQ(s.armed, c.armed) << c.pos << (c.reversed ? " rev" : "");
    }
}

TEST(LeverScaling, NullZoneAcceptsOnlyMovesBeyondIt)
{
    EXPECT_FALSE(ChangeAccepted(103, 100, 3));
    EXPECT_TRUE(ChangeAccepted(104, 100, 3));
    EXPECT_TRUE(ChangeAccepted(96, 100, 3));
    EXPECT_FALSE(ChangeAccepted(97, 100, 3));
    EXPECT_FALSE(ChangeAccepted(100, 100, 0));
    EXPECT_TRUE(ChangeAccepted(101, 100, 0));
    EXPECT_FALSE(ChangeAccepted(INT32_MAX, INT32_MAX - 1, INT32_MAX));   // no overflow
}

} // namespace
} // namespace zrk

#include <gtest/gtest.h>

#include <climits>

#include "inputs/FlapDetents.h"

namespace zrk {
namespace {

constexpr auto Main = InterfaceCard::Main;
constexpr auto Second = InterfaceCard::Second;
constexpr int kNone = -1;

// Detent positions in list order: UP, 1, 2, 5, 10, 15, 17, 18, 20, 25, 30, 40.
FlapSettings Flaps(std::array<int, kFlapDetentCount> detents, bool reversed = false, int nullZone = 30)
{
    FlapSettings s;
    s.detents = detents;
    s.reversed = reversed;
    s.nullZone = nullZone;
    return s;
}

int Found(const FlapSettings& s, InterfaceCard card, int pos)
{
    const auto d = DetectFlapDetent(s, card, pos);
    return d ? d->number : kNone;
}

const char* CardName(InterfaceCard c)
{
    return c == Main ? "main card" : "second board";
}

TEST(FlapDetents, WindowsByCardAndDirection)
{
    const FlapSettings fresh = Flaps({});
    const FlapSettings up100 = Flaps({100, 140});
    const FlapSettings flap10 = Flaps({0, 0, 0, 0, 300});
    const FlapSettings flap10Narrow = Flaps({0, 0, 0, 0, 300}, false, 10);
    const FlapSettings falling = Flaps({900}, true);
    const FlapSettings fallingUncalibrated = Flaps({0, 0, 0, 0, 300}, true);
    const FlapSettings fallingWithOne = Flaps({900, 800}, true);
    // Detents at or below UP when the value grows towards 40.
    const FlapSettings belowUp = Flaps({500, 0, 0, 450, 500});
    // 15 positions apart on the main card: the overlap is the earlier one's.
    const FlapSettings close = Flaps({0, 0, 0, 0, 300, 315});
    const struct {
        const char* what;
        const FlapSettings& s;
        InterfaceCard card;
        std::vector<int> positions;
        int detent;
    } cases[] = {
        {"fresh: UP up to 10", fresh, Main, {-5, 0, 10}, 0},
        {"fresh: UP up to 10", fresh, Second, {0, 10}, 0},
        {"fresh: nothing above 10", fresh, Main, {11, 500, 1000}, kNone},
        {"fresh: nothing above 10", fresh, Second, {11, 1000}, kNone},
        {"UP one-sided window", up100, Second, {0, 100, 110}, 0},
        {"FLAP_1 on the second board", up100, Second, {130, 140, 150}, 1},
        {"FLAP_1 on the second board", up100, Second, {111, 129, 151}, kNone},
        {"FLAP_1 on the main card", up100, Main, {120, 140, 160}, 1},
        {"FLAP_1 on the main card", up100, Main, {111, 119, 161}, kNone},
        {"FLAP_10, null zone 30", flap10, Second, {270, 300, 330}, 10},
        {"FLAP_10, null zone 30", flap10, Second, {269, 331}, kNone},
        {"FLAP_10, null zone 10", flap10Narrow, Second, {290, 310}, 10},
        {"FLAP_10, null zone 10", flap10Narrow, Second, {270, 289, 311, 330}, kNone},
        {"FLAP_10, main card ignores the null zone", flap10Narrow, Main, {270, 330}, 10},
        {"FLAP_10, main card ignores the null zone", flap10Narrow, Main, {269, 331}, kNone},
        {"falling: UP from 890", falling, Main, {890, 950, 1000}, 0},
        {"falling: UP from 890", falling, Second, {890, 1000}, 0},
        {"falling: below UP's window", falling, Main, {889, 500, 0}, kNone},
        {"falling, UP uncalibrated: never UP", fallingUncalibrated, Main, {0, 5, 10, 1000}, kNone},
        {"falling, detent below UP", fallingWithOne, Main, {780, 800, 820}, 1},
        {"falling, detent below UP", fallingWithOne, Second, {790, 810}, 1},
        {"falling, detent below UP", fallingWithOne, Second, {789, 811}, kNone},
        {"at or below UP never matches", belowUp, Main, {511, 515, 530}, kNone},
        {"at or below UP never matches", belowUp, Second, {511, 515}, kNone},
        {"below UP the lever is UP", belowUp, Main, {430, 450, 510}, 0},
        {"overlap belongs to the earlier detent", close, Main, {270, 310, 315, 330}, 10},
        {"overlap belongs to the earlier detent", close, Main, {331, 345}, 15},
        {"overlap belongs to the earlier detent", close, Main, {346}, kNone},
    };
    for (const auto& c : cases)
        for (int pos : c.positions)
            EXPECT_EQ(Found(c.s, c.card, pos), c.detent) << c.what << ", " << CardName(c.card) << ", pos " << pos;
}

TEST(FlapDetents, EveryDetentsHalfWidthOnEitherCardInEitherDirection)
{
    // 80 positions apart, so that no two windows touch.
    const std::array<int, kFlapDetentCount> rising = {20, 100, 180, 260, 340, 420, 500, 580, 660, 740, 820, 900};
    const int number[kFlapDetentCount] = {0, 1, 2, 5, 10, 15, 17, 18, 20, 25, 30, 40};
    const int nullZone = 25;
    const int halfWidth[2][kFlapDetentCount] = {
        {0, 20, 20, 20, 30, 30, 30, 30, 30, 30, 30, 30},                                  // main card
        {0, 10, 10, 20, nullZone, nullZone, nullZone, nullZone, nullZone, nullZone, nullZone, nullZone},   // second
    };
    for (bool reversed : {false, true}) {
        // The falling lever is the rising one seen from the other end.
        std::array<int, kFlapDetentCount> at = rising;
        if (reversed)
            for (int& d : at)
                d = 1000 - d;
        const FlapSettings s = Flaps(at, reversed, nullZone);
        for (InterfaceCard card : {Main, Second}) {
            for (int i = 1; i < kFlapDetentCount; ++i) {
                const int d = at[std::size_t(i)];
                const int h = halfWidth[card == Main ? 0 : 1][i];
                SCOPED_TRACE(std::string(CardName(card)) + (reversed ? ", falling" : ", rising") + ", FLAPS "
                             + std::to_string(number[i]));
                for (int pos : {d - h, d, d + h})
                    EXPECT_EQ(Found(s, card, pos), number[i]) << pos;
                for (int pos : {d - h - 1, d + h + 1})
                    EXPECT_EQ(Found(s, card, pos), kNone) << pos;
            }
        }
    }
}

TEST(FlapDetents, ExtremeCalibrationValuesAreSafe)
{
    const struct {
        const char* what;
        FlapSettings s;
        InterfaceCard card;
        int pos;
        int detent;
    } cases[] = {
        {"UP at the top of the range", Flaps({INT_MAX}), Main, 1000, 0},
        {"UP at the top, falling", Flaps({INT_MAX}, true), Main, 1000, kNone},
        {"UP at the bottom, falling", Flaps({INT_MIN}, true), Main, 0, kNone},
        {"huge null zone", Flaps({0, 0, 0, 0, 300}, false, INT_MAX), Second, 1000, 10},
        {"negative null zone", Flaps({0, 0, 0, 0, 300}, false, INT_MIN), Second, 300, kNone},
        {"detent at the top of the range", Flaps({0, INT_MAX}), Main, 1000, kNone},
        {"detent at the top, falling", Flaps({0, INT_MAX}, true), Main, 1000, kNone},
        {"position out of range", Flaps({0, 0, 0, 0, 300}), Main, INT_MAX, kNone},
        {"position out of range, falling", Flaps({900}, true), Main, INT_MIN, kNone},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Found(c.s, c.card, c.pos), c.detent) << c.what;
}

} // namespace
} // namespace zrk

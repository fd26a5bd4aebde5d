#include "inputs/FlapDetents.h"

#include <cstdint>

namespace zrk {

namespace {

constexpr int kDetentNumber[kFlapDetentCount] = {0, 1, 2, 5, 10, 15, 17, 18, 20, 25, 30, 40};

// UP's window reaches this far from its position, on the lever's side only.
constexpr int64_t kUpWindow = 10;

// Half-width of the window of detent i (1..11, after UP) for the card.
int64_t HalfWidth(InterfaceCard card, int i, int nullZone)
{
    const int number = kDetentNumber[i];
    if (card == InterfaceCard::Second) {
        if (number <= 2)
            return 10;
        if (number == 5)
            return 20;
        return nullZone;
    }
    return number <= 5 ? 20 : 30;
}

FlapDetent Detent(int i)
{
    const std::string n = std::to_string(kDetentNumber[i]);
    return FlapDetent{kDetentNumber[i], "COMMANDED_FLAP_POSITION=" + n, i == 0 ? "FLAPS UP" : "FLAPS " + n};
}

} // namespace

FlapSettings FlapSettingsOf(const Settings& cfg)
{
    FlapSettings s;
    s.reversed = cfg.FLAPS_REVERSE_INPUT_DIRECTION;
    s.detents = {cfg.FLAP_UP, cfg.FLAP_1,  cfg.FLAP_2,  cfg.FLAP_5,  cfg.FLAP_10, cfg.FLAP_15,
                 cfg.FLAP_17, cfg.FLAP_18, cfg.FLAP_20, cfg.FLAP_25, cfg.FLAP_30, cfg.FLAP_40};
    s.nullZone = cfg.FLAPS_NULLZONE;
    return s;
}

std::optional<FlapDetent> DetectFlapDetent(const FlapSettings& s, InterfaceCard card, int pos)
{
    // Calibration values come from the file unchecked: 64-bit sums keep
    // the window edges of extreme values from overflowing.
    const int64_t p = pos;
    const int64_t up = s.detents[0];
    if (!s.reversed) {
        // Everything up to just past UP is UP, calibrated or not.
        if (p <= up + kUpWindow)
            return Detent(0);
    } else if (up > 0 && p >= up - kUpWindow) {
        return Detent(0);
    }
    // A detent counts only on the lever's side of UP (growing values), or
    // when calibrated at all (falling values).
    const int64_t floor = s.reversed ? 0 : up;
    for (int i = 1; i < kFlapDetentCount; ++i) {
        const int64_t d = s.detents[std::size_t(i)];
        const int64_t h = HalfWidth(card, i, s.nullZone);
        if (d > floor && d - h <= p && p <= d + h)
            return Detent(i);
    }
    return std::nullopt;
}

} // namespace zrk

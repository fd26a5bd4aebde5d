#pragma once
#include <array>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "inputs/InterfaceCard.h"

namespace zrk {

// The flap lever reports a detent, not a proportional value: its raw
// position is compared with the calibrated position of each of twelve
// detents. A position inside a detent's window reports that detent on every
// event, also when it is the same as before.

inline constexpr int kFlapDetentCount = 12;

struct FlapSettings {
    // [FLAPS] REVERSE_INPUT_DIRECTION: the raw value falls from UP towards 40.
    bool reversed = false;
    // FLAP_UP, FLAP_1, FLAP_2, FLAP_5, FLAP_10 .. FLAP_40: raw positions,
    // 0 for a detent that is not calibrated.
    std::array<int, kFlapDetentCount> detents{};
    // FLAPS_NULLZONE: half-width of the windows of detents 10 to 40 on the
    // second board.
    int nullZone = 0;
};
FlapSettings FlapSettingsOf(const Settings& cfg);

struct FlapDetent {
    int number = 0;        // 0 for UP, else 1, 2, 5, 10, 15, 17, 18, 20, 25, 30 or 40
    std::string message;   // COMMANDED_FLAP_POSITION=<number>
    std::string label;     // "FLAPS UP", "FLAPS <number>"
};

// The detent whose window holds `pos`, for an event delivered by `card`
// (the windows are narrower on the second board); nothing between windows.
// Where windows overlap, the detent nearer UP in the list wins.
std::optional<FlapDetent> DetectFlapDetent(const FlapSettings& s, InterfaceCard card, int pos);

} // namespace zrk

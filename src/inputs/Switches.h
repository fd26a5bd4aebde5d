#pragma once
#include <array>
#include <optional>
#include <string>

#include "config/Settings.h"
#include "inputs/InterfaceCard.h"

namespace zrk {

// The switches and push-buttons on the interface kits' digital inputs:
// which message a change sends to the bridge and how its indicator label
// is coloured. Every change is reported as it comes, with no memory of the
// previous state.

// Font colours of the indicator labels, as 0x00BBGGRR.
inline constexpr int kSwitchClosedColor = 0x0000FF;   // red, RGB 255,0,0
inline constexpr int kSwitchOpenColor = 0x808080;     // grey, RGB 128,128,128

// The settings that swap a switch's messages.
struct SwitchSettings {
    std::array<bool, 4> reverseFuelCutoff{};   // [SWITCHES] REVERSE_FUEL_CUTOFF_1..4
    bool reverseParkingBrakeSecond = false;    // [SWITCHES] REVERSE_PARKING_BRAKE
    bool parkingBrakeOnMain = false;           // [USER] PARKING_BRAKE: main input 3 of the 777/737
    bool reverseParkingBrakeMain = false;      // [USER] REVERSE_PARKING_BRAKE
    bool reverseAltnTrim = false;              // [TRIM] REVERSE_ALTN_TRIM
};
SwitchSettings SwitchSettingsOf(const Settings& cfg);

// What one switch change shows and sends.
struct SwitchReport {
    int label = 0;        // the indicator label's number, 0 for none
    int labelColor = 0;   // its font colour, when there is a label
    std::string message;  // NAME=VALUE for the bridge
};

// The report for input `index` of `card` changing to `closed`; nothing for
// an input without a switch, or a state that sends nothing (a push-button's
// release). `is747` picks the main card's table.
std::optional<SwitchReport> SwitchChange(const SwitchSettings& s, InterfaceCard card, bool is747, int index,
                                         bool closed);

} // namespace zrk

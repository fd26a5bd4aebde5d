#pragma once
#include <optional>

#include "inputs/InterfaceCard.h"

namespace zrk {

// In mode TEST FS the sliders of the test panel stand in for the levers:
// a slider's change handler hands a track bar's position to a lever handler
// as if a board had reported it. The input numbers are fixed (they match
// the default input mapping, not the configured one).
struct SliderInput {
    InterfaceCard card;
    int input;      // 0..7
    int trackBar;   // the track bar whose position is handed over
};

// What the change handler of track bar `trackBar` (1..12) hands over, for
// the aircraft type (0 777, 1 737, 2 747). The elevator and rudder trim
// sliders (11, 12) share the handlers of the flap and speedbrake sliders
// and hand over those sliders' positions. Nothing for another number.
std::optional<SliderInput> TestPanelInput(int trackBar, int aircraftType);

} // namespace zrk

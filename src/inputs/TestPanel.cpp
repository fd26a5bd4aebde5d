#include "inputs/TestPanel.h"

namespace zrk {

std::optional<SliderInput> TestPanelInput(int trackBar, int aircraftType)
{
    // Throttles 1-4 and reversers 1-4: inputs 0..7 of the main card.
    if (trackBar >= 1 && trackBar <= 8)
        return SliderInput{InterfaceCard::Main, trackBar - 1, trackBar};
    // The trim sliders run the handlers of the flap and speedbrake sliders.
    const int handler = trackBar == 11 ? 10 : trackBar == 12 ? 9 : trackBar;
    if (handler != 9 && handler != 10)
        return std::nullopt;
    // The 747's speedbrake and flaps are on the second board.
    if (aircraftType == 2)
        return SliderInput{InterfaceCard::Second, handler == 9 ? 0 : 1, handler};
    return SliderInput{InterfaceCard::Main, handler == 9 ? 6 : 7, handler};
}

} // namespace zrk

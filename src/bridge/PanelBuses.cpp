#include "bridge/PanelBuses.h"

#include <cstring>

namespace zrk {

void VirtualPanelBus::Record(int operation)
{
    // Trimmed by halves, so that each call costs the same on average.
    if (operations.size() >= 2 * kKeptOperations)
        operations.erase(operations.begin(), operations.end() - std::ptrdiff_t(kKeptOperations));
    operations.push_back(operation);
}

void VirtualPanelBus::Operation1(uint8_t* buffer)
{
    Record(1);
    std::memcpy(buffer, aircraft.data(), aircraft.size());
}

void VirtualPanelBus::Operation9(uint8_t* buffer)
{
    Record(9);
    std::memcpy(buffer, simulator.data(), simulator.size());
}

} // namespace zrk

#include "bridge/PanelBuses.h"

#include <cstring>

namespace zrk {

void VirtualPanelBus::Operation1(uint8_t* buffer)
{
    operations.push_back(1);
    std::memcpy(buffer, aircraft.data(), aircraft.size());
}

void VirtualPanelBus::Operation9(uint8_t* buffer)
{
    operations.push_back(9);
    std::memcpy(buffer, simulator.data(), simulator.size());
}

} // namespace zrk

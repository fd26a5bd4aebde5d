#include "bridge/Snapshots.h"

namespace zrk {

void CopySnapshots(IPanelBus& bus, AircraftSnapshot& aircraft, SimulatorSnapshot& simulator)
{
    AircraftSnapshot freshAircraft;
    SimulatorSnapshot freshSimulator;
    bus.Operation1(freshAircraft.data());
    bus.Operation9(freshSimulator.data());
    aircraft = freshAircraft;
    simulator = freshSimulator;
}

} // namespace zrk

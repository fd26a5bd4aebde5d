#pragma once
#include "app/QuadrantPanel.h"

namespace zrk {

class DemoCockpit;

// What the Quadrant window shows of the demo cockpit beside its quadrant:
// its switches, its flight with its controls, and each message its
// built-in bridge received, once, with its latest value, how often it came
// and when it last came, so that the heartbeat of a connection does not
// push the rest out of sight.
QuadrantHooks DemoQuadrantHooks(DemoCockpit& cockpit);

} // namespace zrk

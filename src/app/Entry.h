#pragma once
#include "app/Clock.h"
#include "app/ProcessEnv.h"

namespace zrk {

// The first thing the program does: start the companion bridge when it is
// not running, then give it two seconds to come up. Returns whether it was
// launched.
bool EnsureBridgeRunning(IProcessEnv& process, IClock& clock);

} // namespace zrk

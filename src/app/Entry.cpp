#include "app/Entry.h"

namespace zrk {

bool EnsureBridgeRunning(IProcessEnv& process, IClock& clock)
{
    if (process.BridgeRunning())
        return false;
    process.LaunchBridge();
    clock.Sleep(2000);
    return true;
}

} // namespace zrk

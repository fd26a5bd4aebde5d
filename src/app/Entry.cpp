#include "app/Entry.h"

#include <algorithm>
#include <utility>

namespace zrk {

bool EnsureBridgeRunning(IProcessEnv& process, IClock& clock)
{
    if (process.BridgeRunning())
        return false;
    process.LaunchBridge();
    clock.Sleep(2000);
    return true;
}

StoppableClock::StoppableClock(IClock& inner, std::function<bool()> stopRequested, uint32_t sliceMs)
    : inner_(inner), stopRequested_(std::move(stopRequested)), sliceMs_(std::max<uint32_t>(sliceMs, 1))
{
}

void StoppableClock::Sleep(uint32_t ms)
{
    const uint32_t start = inner_.TickCount();
    // What was asked of `inner` so far counts too: a coarse tick count (the
    // Windows one moves in steps of about 16 ms) must not stretch the sleep.
    uint32_t asked = 0;
    for (;;) {
        if (stopRequested_ && stopRequested_())
            return;
        const uint32_t done = std::max(uint32_t(inner_.TickCount() - start), asked);
        if (done >= ms)
            return;
        const uint32_t slice = std::min(ms - done, sliceMs_);
        inner_.Sleep(slice);
        asked += slice;
    }
}

} // namespace zrk

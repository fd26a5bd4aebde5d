#pragma once
#include <cstdint>
#include <functional>

#include "ports/Clock.h"
#include "ports/ProcessEnv.h"

namespace zrk {

// The first thing the program does: start the companion bridge when it is
// not running, then give it two seconds to come up. Returns whether it was
// launched.
bool EnsureBridgeRunning(IProcessEnv& process, IClock& clock);

// A clock whose sleeps end early once `stopRequested` reports true, so that
// a stop signal during start-up's waits (the bridge's two seconds, the
// second before the first connection) is acted on at once instead of
// seconds later. It looks every `sliceMs` at most. Without a stop request
// a sleep lasts as long as asked; time and time of day are `inner`'s.
class StoppableClock : public IClock {
public:
    StoppableClock(IClock& inner, std::function<bool()> stopRequested, uint32_t sliceMs = 20);

    uint32_t TickCount() override { return inner_.TickCount(); }
    void Sleep(uint32_t ms) override;
    LocalTime Now() override { return inner_.Now(); }

private:
    IClock& inner_;
    std::function<bool()> stopRequested_;
    uint32_t sliceMs_;
};

} // namespace zrk

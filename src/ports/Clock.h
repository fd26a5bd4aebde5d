#pragma once
#include <cstdint>

namespace zrk {

// Wall-clock time of day, for the time stamp of log lines.
struct LocalTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The system clock as the controller sees it: a free-running millisecond
// tick count that wraps at 2^32, a blocking sleep, and the local time of day.
class IClock {
public:
    virtual ~IClock() = default;
    virtual uint32_t TickCount() = 0;
    // Blocks the calling (event-loop) thread; no event is handled meanwhile.
    virtual void Sleep(uint32_t ms) = 0;
    virtual LocalTime Now() = 0;
};

} // namespace zrk

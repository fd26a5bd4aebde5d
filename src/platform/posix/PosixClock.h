#pragma once
#include "ports/Clock.h"

namespace zrk {

// The system clock on Linux: milliseconds of CLOCK_MONOTONIC, cut to 32 bits
// so the count wraps like the Windows tick count.
class PosixClock : public IClock {
public:
    uint32_t TickCount() override;
    void Sleep(uint32_t ms) override;
    LocalTime Now() override;
};

} // namespace zrk

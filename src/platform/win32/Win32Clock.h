#pragma once
#include "ports/Clock.h"

namespace zrk {

// The Windows system clock: GetTickCount, Sleep and the local time.
class Win32Clock : public IClock {
public:
    uint32_t TickCount() override;
    void Sleep(uint32_t ms) override;
    LocalTime Now() override;
};

} // namespace zrk

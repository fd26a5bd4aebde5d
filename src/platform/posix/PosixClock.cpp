#include "platform/posix/PosixClock.h"

#include <cerrno>
#include <ctime>

namespace zrk {

uint32_t PosixClock::TickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void PosixClock::Sleep(uint32_t ms) {
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(ms / 1000u);
    remaining.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
    // A signal handled meanwhile does not cut the sleep short.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

LocalTime PosixClock::Now() {
    const time_t now = time(nullptr);
    tm parts{};
    localtime_r(&now, &parts);
    return LocalTime{parts.tm_hour, parts.tm_min, parts.tm_sec};
}

} // namespace zrk

#include "inputs/LeverInputs.h"

#include <algorithm>

#include "inputs/LeverScaling.h"

namespace zrk {

std::optional<ThrottleReading> ReadThrottle(const ThrottleSettings& t, int pos, int32_t& last, bool idleAtSpeed)
{
    const double v = ScaleThrottle(pos, t.idle, t.full);
    const int32_t r = RoundHalfEven(v);
    if (!ChangeAccepted(r, last, t.nullZone))
        return std::nullopt;
    last = r;
    return ThrottleReading{r, idleAtSpeed && v < 2500 ? int16_t(0) : Low16(r)};
}

std::optional<int32_t> ReadReverser(const ReverserSettings& rs, int fullReverse, int pos, int32_t& last)
{
    const int32_t r = RoundHalfEven(ScaleReverser(pos, rs.off, rs.idle, rs.full, fullReverse));
    if (!ChangeAccepted(r, last, rs.nullZone))
        return std::nullopt;
    last = r;
    return r;
}

SpeedbrakeReading ReadSpeedbrake(int pos, int arm, int up, bool reversed, bool airborne, int maxInflight)
{
    const SpeedbrakeResult s = ScaleSpeedbrake(pos, arm, up, reversed);
    const int32_t r = RoundHalfEven(s.value);
    return {s.armed, int16_t(s.value == 4800.0 ? 1 : 0), r, Low16(airborne ? std::min(r, int32_t(maxInflight)) : r)};
}

} // namespace zrk

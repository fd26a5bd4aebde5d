#include "inputs/LeverScaling.h"

#include <cmath>
#include <cstdint>

namespace zrk {

int32_t RoundHalfEven(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    // nearbyint rounds to even in the default rounding mode; do it by hand
    // so that a changed floating-point environment cannot alter it.
    const double f = std::floor(v);
    const double diff = v - f;
    double r = f;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(f, 2.0) != 0.0))
        r = f + 1.0;
    return static_cast<int32_t>(r);
}

bool ChangeAccepted(int32_t value, int32_t last, int32_t nullZone)
{
    const int64_t v = value, l = last, nz = nullZone;
    return v < l - nz || v > l + nz;
}

double ScaleThrottle(int pos, int idle, int full)
{
    if (full == idle)
        return 0.0;
    double v = 16383.0 * (double(pos) - idle) / (double(full) - idle);
    if (v > 16383.0)
        v = 16383.0;
    if (v < 0.0)
        v = 0.0;
    return v;
}

double ScaleReverser(int pos, int off, int idle, int full, int fullReverse)
{
    // A magnitude within the simulator's lever range: a negative one must
    // not turn reverse thrust into forward thrust.
    const double frv = fullReverse < 0 ? 0.0 : fullReverse > 16383 ? 16383.0 : double(fullReverse);
    double v = 0.0;
    if (full > off) {
        if (full != idle)
            v = frv * (double(pos) - idle) / (double(full) - idle);
    } else if (off > full) {
        if (idle != full)
            v = frv * (double(idle) - pos) / (double(idle) - full);
    }
    // Between OFF and IDLE the lever commands nothing.
    if (off < full && pos < idle)
        v = 0.0;
    if (off >= full && pos > idle)
        v = 0.0;
    if (v > frv)
        v = frv;
    if (v < 0.0)
        v = 0.0;
    return v;
}

SpeedbrakeResult ScaleSpeedbrake(int pos, int arm, int up, bool reversed)
{
    const double span = reversed ? double(arm) - up : double(up) - arm;
    const double k = span > 0 ? 11583.0 / span : 0.0;
    const double fromArm = reversed ? double(arm) - pos : double(pos) - arm;
    double v = 4800.0 + fromArm * k;
    bool armed = false;
    if (fromArm < -30) {
        v = 0.0;   // lever down
    } else if (fromArm <= 29) {
        v = 4800.0;
        armed = true;
    } else if (v < 4800.0) {
        v = 0.0;
    }
    if (v > 16383.0)
        v = 16383.0;
    return {v, armed};
}

} // namespace zrk

#include "drives/LeverLaw.h"

#include <algorithm>
#include <cmath>

#include "inputs/LeverScaling.h"

namespace zrk {

namespace {

// Acceleration of a lever motor: brisk for a long way to go, gentle near
// the target.
double Acceleration(bool farAway, uint8_t atMode)
{
    if (!farAway)
        return 15;
    return atMode == 1 || atMode == 3 ? 50 : 25;
}

// Ceiling, then offset (added when moving up, taken off otherwise), then
// the dead band.
double CeilingOffsetDeadBand(double c, const LeverLawInput& in)
{
    c = std::clamp(c, -double(in.ceiling), double(in.ceiling));
    if (c > 0)
        c += in.speedAdjust;
    else
        c -= in.speedAdjust;
    if (c > -in.nullZone && c < in.nullZone)
        c = 0;
    return c;
}

} // namespace

int SpeedCeiling(uint8_t atMode, bool fastInRetard, int togaSpeed, int spdSpeed)
{
    if (atMode == 1 || (fastInRetard && atMode == 3))
        return togaSpeed;
    return spdSpeed;
}

std::optional<LeverLawOutput> InnerLeverLaw(const LeverLawInput& in)
{
    if (in.full == in.idle || !std::isfinite(in.target))
        return std::nullopt;
    // The raw target target / (16383 / (full - idle)) + idle, taken as one
    // product so that full scale lands exactly on the full calibration.
    const double r = in.target * (double(in.full) - in.idle) / 16383.0 + in.idle;
    double c = r - in.position;
    // A lever resting beyond its idle calibration is aimed 5 counts further
    // beyond it rather than pulled back onto it.
    if (in.target == 0 && in.idle < in.full && in.position < in.idle)
        c = r - 5 - in.position;
    else if (in.target == 0 && in.full < in.idle && in.position > in.idle)
        c = r + 5 - in.position;

    LeverLawOutput out;
    out.acceleration = Acceleration(std::fabs(c) > 20, in.atMode);
    c *= in.speedScale;
    if (!std::isfinite(c))
        return std::nullopt;
    c = CeilingOffsetDeadBand(c, in);
    if (c > 0 && c < in.minSpeed)
        c = in.minSpeed;
    if (c < 0 && c > -in.minSpeed)
        c = -in.minSpeed;
    c = std::clamp(c, -double(in.maxSpeed), double(in.maxSpeed));
    out.speed = c;
    out.velocity = in.motorDirection ? c : -c;
    return out;
}

std::optional<LeverLawOutput> OuterLeverLaw(const LeverLawInput& in)
{
    if (in.full == in.idle || !std::isfinite(in.target))
        return std::nullopt;
    const double span = double(in.idle) - in.full;   // 16383 / D
    LeverLawOutput out;
    out.acceleration =
        Acceleration(std::fabs((16383.0 - in.position) * span / 16383.0 - in.target) > 10, in.atMode);
    double c = in.position - ((16383.0 - in.target) * span / 16383.0 + in.full);
    c = CeilingOffsetDeadBand(c, in);
    c = std::clamp(c, -100.0, 100.0);
    out.speed = c;
    out.velocity = in.motorDirection ? c : -c;
    return out;
}

std::optional<double> CommandedPosition(double command, double fullScale, double zero)
{
    const double span = fullScale - zero;
    if (span == 0 || !std::isfinite(span) || !std::isfinite(command))
        return std::nullopt;
    const double t = 16383.0 / span * (command - zero);
    if (!std::isfinite(t))
        return std::nullopt;
    return double(RoundHalfEven(t));
}

} // namespace zrk

#pragma once
#include <cstdint>

namespace zrk {

// The arithmetic that turns a raw lever position (0..1000) into the
// simulator's lever units. Pure functions: the handlers around them decide
// what is shown and sent.

// Nearest integer, ties to the even neighbour (8191.5 -> 8192, 4096.5 -> 4096).
// Values beyond the 32-bit range saturate.
int32_t RoundHalfEven(double v);

// The low 16 bits of a rounded value, as a 16-bit command field takes it.
inline int16_t Low16(int32_t v)
{
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v) & 0xFFFFu));
}

// A rounded value counts as movement when it leaves the null zone around
// the last accepted one.
bool ChangeAccepted(int32_t value, int32_t last, int32_t nullZone);

// Throttle: 0 at IDLE, 16383 at FULL, either way round, clamped to that
// range. An uncalibrated lever (IDLE equal to FULL) yields 0.
double ScaleThrottle(int pos, int idle, int full);

// Reverser: the reverse thrust magnitude, 0 between OFF and IDLE, up to
// `fullReverse` at FULL; the direction follows from the calibration. A lever
// without a span yields 0.
double ScaleReverser(int pos, int off, int idle, int full, int fullReverse);

struct SpeedbrakeResult {
    double value;   // 0 stowed, 4800 armed, up to 16383 fully up
    bool armed;     // the lever sits in its ARM window
};
// Speedbrake: 4800 at ARM, 16383 at UP, with an ARM window of 30 positions
// towards DOWN and 29 towards UP. `reversed` puts UP below ARM.
SpeedbrakeResult ScaleSpeedbrake(int pos, int arm, int up, bool reversed);

} // namespace zrk

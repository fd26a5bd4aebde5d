#pragma once
#include "config/Settings.h"

namespace zrk {

// The settings of one throttle lever, gathered from their numbered keys.
struct ThrottleSettings {
    int idle = 0, full = 0;          // raw positions at idle and at full thrust
    int nullZone = 0;                // change of the reading that counts as movement
    int inputChannel = 0;            // analog input of the main card
    int motorChannel = 0;            // motor output on its two-motor board
    int speedAdjust = 0;             // speed offset of its motor
    bool motorDirection = false;     // true: the speed command is sent as it is
    double overrideCurrent = 0;      // amperes above which the pilot holds it
};

// The settings of one reverser lever.
struct ReverserSettings {
    int off = 0, idle = 0, full = 0;
    int nullZone = 0;
    int inputChannel = 0;
};

// n = 1..4; any other n gives throttle 1's, or reverser 1's, settings.
ThrottleSettings Throttle(const Settings& cfg, int n);
ReverserSettings Reverser(const Settings& cfg, int n);

} // namespace zrk

#pragma once
#include <cstdint>

#include "boards/Channels.h"
#include "bridge/Snapshots.h"
#include "config/Settings.h"

namespace zrk {

// The trim indicator pointers: the simulator's trim mapped linearly onto
// each servo's calibrated travel.

// Keeps a position inside the travel, the ends excluded: at or below MIN
// it becomes MIN + 1, at or above MAX it becomes MAX - 1 (in that order).
double KeepInsideTravel(double position, double min, double max);

// A stabiliser trim pointer: the trim in stab units over a full scale of
// 17 units on the 737 (aircraft type 1), 15 on the others.
double StabTrimServoPosition(int16_t stabTrim, int aircraftType, double min, double max, bool reversed);

// The rudder trim pointer: -16383..16383 over the whole travel.
double RudderTrimServoPosition(int16_t rudderTrim, double min, double max, bool reversed);

struct TrimIndicatorReadouts {
    double cpt = 0, fo = 0;      // Label52, Label45
    int16_t rudderValue = 0;     // Label50
    double rudder = 0;           // Label49
};

// Moves the captain's and first officer's stabiliser pointers.
void Set_Elevator_Trim_Servo(const Settings& cfg, int aircraftType, const SimulatorSnapshot& simulator,
                             IndicatorServos& cpt, IndicatorServos& fo, TrimIndicatorReadouts& out);
// Moves the rudder trim pointer.
void Set_Rudder_Trim_Servo(const Settings& cfg, const SimulatorSnapshot& simulator, IndicatorServos& rudder,
                           TrimIndicatorReadouts& out);

} // namespace zrk

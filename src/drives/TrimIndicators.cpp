#include "drives/TrimIndicators.h"

#include "drives/TrimWheel.h"
#include "inputs/LeverScaling.h"

namespace zrk {

double KeepInsideTravel(double position, double min, double max)
{
    if (position <= min)
        position = min + 1;
    if (position >= max)
        position = max - 1;
    return position;
}

double StabTrimServoPosition(int16_t stabTrim, int aircraftType, double min, double max, bool reversed)
{
    const double scale = aircraftType == 1 ? 17 : 15;
    const double b = StabUnits(stabTrim) * (max - min) / scale;
    return KeepInsideTravel(reversed ? max - b : min + b, min, max);
}

double RudderTrimServoPosition(int16_t rudderTrim, double min, double max, bool reversed)
{
    const double r = double(rudderTrim) + 16383;
    const double d = r * (max - min) / 32766;
    const double whole = RoundHalfEven(d);
    return KeepInsideTravel(reversed ? max - whole : whole + min, min, max);
}

namespace {

void Move(IndicatorServos& servos, double position)
{
    servos.own.SetPosition(position);
    servos.multi.SetPosition(position);
}

} // namespace

void Set_Elevator_Trim_Servo(const Settings& cfg, int aircraftType, const SimulatorSnapshot& simulator,
                             IndicatorServos& cpt, IndicatorServos& fo, TrimIndicatorReadouts& out)
{
    const int16_t v = simulator.stab_trim_value();
    out.cpt = StabTrimServoPosition(v, aircraftType, cfg.CPT_SERVO_MIN, cfg.CPT_SERVO_MAX, cfg.REVERSE_CPT_DIRECTION);
    Move(cpt, out.cpt);
    out.fo = StabTrimServoPosition(v, aircraftType, cfg.FO_SERVO_MIN, cfg.FO_SERVO_MAX, cfg.REVERSE_FO_DIRECTION);
    Move(fo, out.fo);
}

void Set_Rudder_Trim_Servo(const Settings& cfg, const SimulatorSnapshot& simulator, IndicatorServos& rudder,
                           TrimIndicatorReadouts& out)
{
    out.rudderValue = simulator.rudder_trim_value();
    out.rudder = RudderTrimServoPosition(out.rudderValue, cfg.RUDDER_SERVO_MIN, cfg.RUDDER_SERVO_MAX,
                                         cfg.REVERSE_RUDDER_DIRECTION);
    Move(rudder, out.rudder);
}

} // namespace zrk

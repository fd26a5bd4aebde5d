// The motor drives run by the main cycle. Each routine is the place where
// its drive goes; until a drive is fitted its motors stay idle and the main
// cycle runs without it.
#include "app/TForm1.h"

namespace zrk {

void TForm1::Move_Stab_Trim_Wheel()
{
    // Stabiliser trim wheel motor: not fitted yet.
}

void TForm1::Set_Elevator_Trim_Servo()
{
    // Stabiliser trim indicator servos: not fitted yet.
}

void TForm1::Set_Rudder_Trim_Servo()
{
    // Rudder trim indicator servo: not fitted yet.
}

void TForm1::AutoThrottles()
{
    // Autothrottle lever drive and speedbrake cycle: not fitted yet.
}

void TForm1::DetectManualOverride()
{
    // Manual-override detection by motor current: not fitted yet, so the
    // override flags keep their values.
}

} // namespace zrk

// The motor drives run by the main cycle: the module's side. Each routine
// gathers the drive's inputs, runs it and shows its readouts.
#include "app/TForm1.h"
#include "config/Convert.h"

namespace zrk {

void TForm1::Move_Stab_Trim_Wheel()
{
    // The gains are read from their edit boxes at every step, so a change
    // takes effect at once; text that is no number gives 0.
    const PidGains gains{SafeStrToFloat(p_pid_p.Text), SafeStrToFloat(p_pid_i.Text), SafeStrToFloat(p_pid_d.Text)};
    const TrimWheelReadouts r =
        trimWheel.Move_Stab_Trim_Wheel(ports_.clock.TickCount(), cfg, gains, Aircraft, Simulator, trimMotor);
    cycle_.trim = r;
    Label(43).Caption = SafeFloatToStrF(r.simulatorUnits, 2);
    Label(42).Caption = SafeFloatToStrF(r.wheelPosition, 2);
    Label(61).Caption = SafeFloatToStrF(r.motorOutput, 2);
    Label(34).Visible = r.motorOutput > 0;   // "BKD"
    Label(33).Visible = r.motorOutput < 0;   // "FWD"
}

void TForm1::Set_Elevator_Trim_Servo()
{
    TrimIndicatorReadouts r;
    zrk::Set_Elevator_Trim_Servo(cfg, aircraft_type.ItemIndex, Simulator, cptIndicator, foIndicator, r);
    Label(52).Caption = SafeFloatToStrF(r.cpt, 2);
    Label(45).Caption = SafeFloatToStrF(r.fo, 2);
}

void TForm1::Set_Rudder_Trim_Servo()
{
    TrimIndicatorReadouts r;
    zrk::Set_Rudder_Trim_Servo(cfg, Simulator, rudderIndicator, r);
    Label(50).Caption = SafeIntToStr(r.rudderValue);
    Label(49).Caption = SafeFloatToStr(r.rudder);
}

AutoThrottleInputs TForm1::GatherAutoThrottleInputs() const
{
    AutoThrottleInputs in;
    in.now = ports_.clock.TickCount();
    for (int n = 1; n <= 4; ++n)
        in.lever[std::size_t(n - 1)] = TrackBar(n).Position;
    in.mode = mode.ItemIndex;
    in.aircraftType = aircraft_type.ItemIndex;
    return in;
}

void TForm1::AutoThrottles()
{
    const AutoThrottleInputs in = GatherAutoThrottleInputs();
    AutoThrottleReadouts r;
    if (autoThrottle.Prepare(in, Aircraft, leverMotors, r)) {
        for (int n = 1; n <= 4; ++n)
            fuel(n).BrushColor = r.fuel[std::size_t(n - 1)];
        parkingbrake.BrushColor = r.parkingBrake;
        SpeedbrakeCycle();
        autoThrottle.Drive(cfg, in, Aircraft, leverMotors, r);
    }
    // "From A/T" of throttles 1..4, and "To Motor".
    static const int kFromAT[4] = {68, 66, 65, 64};
    for (std::size_t i = 0; i < 4; ++i) {
        Label(kFromAT[i]).Caption = SafeIntToStr(r.fromAT[i]);
        if (r.toMotor[i]) {
            Label(70 + int(i)).Caption = SafeIntToStr(*r.toMotor[i]);
            cycle_.toMotor[i] = float(*r.toMotor[i]);
        }
    }
}

void TForm1::SpeedbrakeCycle()
{
    SpeedbrakeInputs in;
    in.now = ports_.clock.TickCount();
    in.lever = TrackBar(9).Position;
    for (int n = 1; n <= 4; ++n)
        in.reversers[std::size_t(n - 1)] = TrackBar(4 + n).Position;
    in.mode = mode.ItemIndex;
    SpeedbrakeReadouts r;
    speedbrake.Cycle(cfg, in, Aircraft, Simulator, speedbrakeHardware, sb_lever_armed, r);
    ShowSpeedbrake(r);
}

void TForm1::ShowSpeedbrake(const SpeedbrakeReadouts& r)
{
    if (!r.armedText.empty())
        Label(23).Caption = r.armedText;
    if (!r.motionText.empty())
        Label(59).Caption = r.motionText;
    if (r.latchUpLamp)
        Shape1.BrushColor = *r.latchUpLamp;
    if (r.latchDownLamp)
        Shape2.BrushColor = *r.latchDownLamp;
    if (r.toMotor) {
        Label(77).Caption = SafeIntToStr(*r.toMotor);
        cycle_.speedbrakeToMotor = float(*r.toMotor);
    }
    engine_l_throttle_pos.Caption = SafeIntToStr(r.engineL);
    engine_r_throttle_pos.Caption = SafeIntToStr(r.engineR);
    for (const std::string& line : r.log)
        Log(line);
}

void TForm1::Button7Click() { Log(speedbrake.Deploy()); }
void TForm1::Button8Click() { Log(speedbrake.Retract()); }
void TForm1::Button9Click() { Log(speedbrake.Stop()); }
void TForm1::Button2Click() { speedbrake.Up(cfg, speedbrakeHardware); }

void TForm1::Button3Click()
{
    // The lamps show the latch away from UP.
    if (speedbrake.Dn(cfg, speedbrakeHardware)) {
        Shape1.BrushColor = kLatchGrey;
        Shape2.BrushColor = kLampRed;
    }
}

void TForm1::DetectManualOverride()
{
    if (!manual_override.Checked)
        return;
    OverrideReadouts r;
    zrk::DetectManualOverride(cfg, aircraft_type.ItemIndex == 2, leverMotors, throttle_override, r);
    for (std::size_t i = 0; i < 2; ++i)
        if (r.current[i])
            cycle_.current[i] = float(*r.current[i]);
    if (r.current[0])
        current1.Caption = SafeFloatToStrF(*r.current[0], 3);
    if (r.current[1])
        current2.Caption = SafeFloatToStrF(*r.current[1], 3);
}

} // namespace zrk

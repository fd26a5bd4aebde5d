// The 100 ms main cycle: fresh aircraft data, roster report, retard latch,
// drives, and the change-driven exchange of lever commands with the
// simulator.
#include <algorithm>

#include "app/TForm1.h"
#include "config/Convert.h"
#include "drives/AutoThrottle.h"

namespace zrk {

namespace {

constexpr uint32_t kRosterReportInterval = 20000;

} // namespace

void TForm1::mainTimer()
{
    ClearCycleValues();
    TakeSnapshots();
    ReportRoster();
    RetardLatch();
    ShowCycleDisplays();
    Move_Stab_Trim_Wheel();
    Set_Elevator_Trim_Servo();
    Set_Rudder_Trim_Servo();
    AutoThrottles();
    BoundLeverCommands();
    DetectManualOverride();
    SendLeverCommands();
    EngineFireLamps();
    if (chartsPanel_)
        RecordCharts();
}

void TForm1::ReportRoster()
{
    const uint32_t now = ports_.clock.TickCount();
    if (uint32_t(now - hw_check_tick) <= kRosterReportInterval)
        return;
    hw_check_tick = now;

    const Settings& c = cfg;
    int configured = 0;
    for (int serial : {c.INTERFACE1, c.INTERFACE1_PBRAKE_STAB, c.MOTOR1_SPEEDBRAKE, c.MOTOR2_THROTTLES_1_2,
                       c.MOTOR3_THROTTLES_3_4, c.MOTOR_TRIM, c.MOTOR_THROTTLE_1_SINGLE, c.MOTOR_THROTTLE_2_SINGLE,
                       c.SERVO1_CPT_TRIM, c.SERVO2_FO_TRIM, c.SERVO3_RUDDER_TRIM, c.SERVO4_SPEEDBRAKE,
                       c.MULTI_SERVOS})
        if (serial > 0)
            ++configured;

    auto attached = [](IBoard& b) {
        try {
            return b.Attached();
        } catch (const BoardError&) {
            return false;
        }
    };
    BoardRoster& r = roster;
    IBoard* const boards[] = {r.PhidgetInterfaceKit1.get(), r.PhidgetInterfaceKit2.get(),
                              r.PhidgetMotorControl1.get(), r.PhidgetMotorControl2.get(),
                              r.PhidgetMotorControl3.get(), r.PhidgetMotorControl4.get(),
                              r.PhidgetMotorControl5.get(), r.PhidgetMotorControl6.get(), r.Servos.get()};
    int present = 0;
    for (IBoard* b : boards)
        if (attached(*b))
            ++present;
    struct Role {
        bool advanced;
        IBoard& adv;
        IBoard& simple;
    };
    const Role roles[] = {{c.SERVO1, *r.PhidgetServo1, *r.PhidgetServo1_st},
                          {c.SERVO2, *r.PhidgetServo2, *r.PhidgetServo2_st},
                          {c.SERVO3, *r.PhidgetServo3, *r.PhidgetServo3_st},
                          {c.SERVO4, *r.sb_servo, *r.sb_Servo_st}};
    for (const Role& role : roles)
        if (role.advanced && (attached(role.adv) || attached(role.simple)))
            ++present;

    Send_Server_Message(configured == present ? "HARDWARE_IO_CONNECTED=THROTTLE"
                                              : "HARDWARE_IO_DISCONNECTED=THROTTLE");
}

void TForm1::RetardLatch()
{
    autoThrottle.RetardLatch(ports_.clock.TickCount(), cfg.IDLE_TIMEOUT, Aircraft);
}

void TForm1::ShowCycleDisplays()
{
    Label(23).Caption = sb_lever_armed ? "S/B ARMED" : "S/B NOT ARMED";
    ShowTrimTuningLabels();
}

void TForm1::BoundLeverCommands()
{
    const bool airborne = Aircraft.on_ground() == 0;
    for (int n = 1; n <= 4; ++n) {
        int32_t v = ThrottleOut(n);
        if (v > 16383)
            v = 16383;
        // The reverse limit is a magnitude; whatever the setting says, it
        // never lifts the lower bound above 0 (that would be forward thrust).
        const int32_t reverseLimit = std::clamp(cfg.FULL_REVERSE_VALUE, 0, 16383);
        if (v < -reverseLimit)
            v = -reverseLimit;
        if (airborne && v < 0)
            v = 0;
        ThrottleOut(n) = int16_t(v);
    }
}

void TForm1::SendLeverCommands()
{
    LeverCommands commands;
    for (int n = 1; n <= 4; ++n)
        commands.throttle[std::size_t(n - 1)] = ThrottleOut(n);
    commands.spoilerArm = spoiler_arm_out;
    commands.spoiler = spoiler_out;
    commands.override = throttle_override;
    const LeverSender::LogValueFn log = [this](const char* label, int value) { LogValue(label, value); };
    sender.Send(commands, fsuipc, FsuipcResult, cfg.FSUIPC_DATA ? log : LeverSender::LogValueFn());
}

void TForm1::EngineFireLamps()
{
    IInterfaceKit& kit = *roster.PhidgetInterfaceKit2;
    const bool fire1 = Aircraft.engine_fire_1() == 1;
    const bool fire2 = Aircraft.engine_fire_2() == 1;
    try {
        if (kit.OutputCount() <= 2)
            return;
        kit.SetOutputState(0, fire1);
        kit.SetOutputState(1, fire2);
    } catch (const BoardError&) {
        return;   // a card unplugged just now: the lamps follow on its return
    }
    Shape3.BrushColor = fire1 ? kLampRed : kLampGrey;
    Shape4.BrushColor = fire2 ? kLampRed : kLampGrey;
}

} // namespace zrk

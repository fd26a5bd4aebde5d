// The 100 ms main cycle: fresh aircraft data, roster report, retard latch,
// drives, and the change-driven exchange of lever commands with the
// simulator.
#include <algorithm>
#include <cstring>

#include "app/TForm1.h"
#include "config/Convert.h"

namespace zrk {

namespace {

// Simulator offsets.
constexpr uint32_t kEngine1Lever = 0x088C, kEngine2Lever = 0x0924;
constexpr uint32_t kEngine3Lever = 0x09BC, kEngine4Lever = 0x0A54;
constexpr uint32_t kSpeedbrakeArm = 0x0BCC, kSpeedbrakePosition = 0x0BD0;
constexpr uint32_t kThrottle1Command = 0x52FA, kThrottle2Command = 0x52FC;
constexpr uint32_t kOverrideFlag1 = 0x53FA;   // .. 0x53FD for throttle 4

constexpr uint32_t kRosterReportInterval = 20000;
constexpr int kRed = 255, kLightGrey = 13881029;

} // namespace

void TForm1::mainTimer()
{
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
    const uint8_t atMode = Aircraft.autothrottle_mode();
    const uint32_t now = ports_.clock.TickCount();
    if (atMode == 3) {
        retard_latch = true;
        retard_latch_since = now;
    }
    if (atMode != 0 && atMode != 3 && atMode != 9)
        retard_latch = false;
    if (retard_latch) {
        Aircraft.set_autothrottle_mode(3);
        if (int64_t(uint32_t(now - retard_latch_since)) > int64_t(cfg.IDLE_TIMEOUT))
            retard_latch = false;
    }
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

void TForm1::SendEngineThrottle(int n)
{
    int16_t& engineLever = n == 1 ? engine_l_throttle_pos : engine_r_throttle_pos;
    const uint32_t leverOffset = n == 1 ? kEngine1Lever : kEngine2Lever;
    if (ThrottleOut(n) >= 0) {
        // A forward command must not leave the simulator's own lever in
        // reverse: read it, and reset it to 0 when it is.
        engineLever = 0;
        fsuipc.QueueRead(leverOffset, 2, &engineLever, FsuipcResult);
        fsuipc.ProcessQueue(FsuipcResult);
        if (engineLever < 0) {
            const int16_t zero = 0;
            fsuipc.QueueWrite(leverOffset, 2, &zero, FsuipcResult);
            fsuipc.ProcessQueue(FsuipcResult);
        }
    }
    const int16_t value = ThrottleOut(n);
    fsuipc.QueueWrite(n == 1 ? kThrottle1Command : kThrottle2Command, 2, &value, FsuipcResult);
}

void TForm1::SendLeverCommands()
{
    for (int n = 1; n <= 4; ++n)
        throttle_send[std::size_t(n - 1)] = ThrottleOut(n);
    spoiler_arm_send = spoiler_arm_out;
    spoiler_send = spoiler_out;

    if (throttle_override == throttle_override_prev && throttle_send == throttle_sent
        && spoiler_arm_send == spoiler_arm_sent && spoiler_send == spoiler_sent)
        return;

    static const char* const kOverrideLabel[4] = {"Throttle 1 Override = ", "Throttle 2 Override = ",
                                                  "Throttle 3 Override = ", "Throttle 4 Override = "};
    for (std::size_t i = 0; i < 4; ++i) {
        if (throttle_override[i] == throttle_override_prev[i])
            continue;
        if (cfg.FSUIPC_DATA)
            LogValue(kOverrideLabel[i], throttle_override[i]);
        fsuipc.QueueWrite(kOverrideFlag1 + uint32_t(i), 1, &throttle_override[i], FsuipcResult);
    }
    static const char* const kValueLabel[4] = {"Throttle 1 Value = ", "Throttle 2 Value = ",
                                               "Throttle 3 Value = ", "Throttle 4 Value = "};
    for (int n = 1; n <= 4; ++n) {
        const std::size_t i = std::size_t(n - 1);
        if (throttle_send[i] == throttle_sent[i])
            continue;
        if (cfg.FSUIPC_DATA)
            LogValue(kValueLabel[i], throttle_send[i]);
        if (n <= 2) {
            SendEngineThrottle(n);
        } else {
            const int16_t value = ThrottleOut(n);
            fsuipc.QueueWrite(n == 3 ? kEngine3Lever : kEngine4Lever, 2, &value, FsuipcResult);
        }
    }
    // The speedbrake offsets are 32 bits wide.
    const int32_t arm = spoiler_arm_send;
    if (spoiler_send != spoiler_sent) {
        if (cfg.FSUIPC_DATA)
            LogValue("Speedbrake Value = ", spoiler_send);
        // The armed value 4800 is carried by the arm offset alone.
        if (spoiler_send != 4800) {
            const int32_t value = spoiler_send;
            if (spoiler_arm_send != 1)
                fsuipc.QueueWrite(kSpeedbrakePosition, 4, &value, FsuipcResult);
            fsuipc.QueueWrite(kSpeedbrakeArm, 4, &arm, FsuipcResult);
        }
    }
    if (spoiler_arm_send != spoiler_arm_sent) {
        if (cfg.FSUIPC_DATA)
            LogValue("Speedbrake Arm Value = ", spoiler_arm_send);
        fsuipc.QueueWrite(kSpeedbrakeArm, 4, &arm, FsuipcResult);
    }
    fsuipc.ProcessQueue(FsuipcResult);

    throttle_override_prev = throttle_override;
    throttle_sent = throttle_send;
    spoiler_arm_sent = spoiler_arm_send;
    spoiler_sent = spoiler_send;
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
    Shape3.BrushColor = fire1 ? kRed : kLightGrey;
    Shape4.BrushColor = fire2 ? kRed : kLightGrey;
}

} // namespace zrk

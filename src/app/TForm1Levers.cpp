// The sensor handlers of the two interface kits: lever readings onto the
// track bars and into calibrated simulator commands.
#include <algorithm>

#include "app/TForm1.h"
#include "config/Convert.h"
#include "inputs/FlapDetents.h"
#include "inputs/LeverInputs.h"
#include "inputs/LeverScaling.h"

namespace zrk {

namespace {

constexpr int kAutomatic = 0;

} // namespace

int TForm1::RawPosition(int trackBar, int rawLabel, int sensorValue, bool follows)
{
    // A reading put on a slider here runs none of the slider change
    // handlers, in any mode; only a user's drag (SetTrackBar) does. In
    // AUTOMATIC those handlers do nothing anyway. In the test modes the
    // sliders that still follow their levers (reversers, flaps, the second
    // board's speedbrake) carry a reading this very handler is processing:
    // handing it back through the slider's fixed input would process it
    // twice (a flap detent sent to the bridge twice) or as another input
    // (on the 747 the second board's speedbrake reading would come back as
    // its input 0). The throttle and main-card speedbrake sliders are not
    // moved by their levers in the test modes, so a hand-set position stays.
    TrackBarModel& bar = TrackBar(trackBar);
    if (follows)
        bar.Position = std::clamp(sensorValue, bar.Min, bar.Max);
    Label(rawLabel).Caption = SafeIntToStr(bar.Position);
    return bar.Position;
}

void TForm1::PhidgetInterfaceKit2SensorChange(int index, int sensorValue)
{
    const int throttleChannel[4] = {cfg.THROTTLE_1_INPUT_CHANNEL, cfg.THROTTLE_2_INPUT_CHANNEL,
                                    cfg.THROTTLE_3_INPUT_CHANNEL, cfg.THROTTLE_4_INPUT_CHANNEL};
    for (int n = 1; n <= 4; ++n)
        if (index == throttleChannel[n - 1])
            ThrottleBlock(n, sensorValue);
    if (index == cfg.REVERSER_1_INPUT_CHANNEL && !ReverserBlock(1, sensorValue))
        return;
    if (index == cfg.REVERSER_2_INPUT_CHANNEL && !ReverserBlock(2, sensorValue))
        return;
    if (aircraft_type.ItemIndex != 2) {
        if (index == cfg.SPEEDBRAKE_INPUT_CHANNEL)
            SpeedbrakeBlock(sensorValue, false);
        else if (index == cfg.FLAPS_INPUT_CHANNEL)
            FlapBlock(sensorValue, InterfaceCard::Main);
    } else {
        // On the 747 these inputs carry the outboard reversers.
        if (index == cfg.REVERSER_3_INPUT_CHANNEL)
            ReverserBlock(3, sensorValue);
        else if (index == cfg.REVERSER_4_INPUT_CHANNEL)
            ReverserBlock(4, sensorValue);
    }
}

void TForm1::PhidgetInterfaceKit1SensorChange(int index, int sensorValue)
{
    if (index == cfg.SPEEDBRAKE_INPUT_CHANNEL)
        SpeedbrakeBlock(sensorValue, true);
    if (index == cfg.FLAPS_INPUT_CHANNEL)
        FlapBlock(sensorValue, InterfaceCard::Second);
}

void TForm1::ThrottleBlock(int n, int sensorValue)
{
    static const int kScaledLabel[4] = {19, 21, 24, 25};
    const int rawLabel = n;   // Label1 .. Label4
    // In the test modes the track bar keeps its hand-set position.
    const int pos = RawPosition(n, rawLabel, sensorValue, mode.ItemIndex == kAutomatic);

    const uint8_t atMode = Aircraft.autothrottle_mode();
    const bool idleAtSpeed =
        (atMode == 1 || atMode == 9 || autoThrottle.retard_latch) && Simulator.speed_value() >= 85;
    const auto r = ReadThrottle(Throttle(cfg, n), pos, last_throttle_value[std::size_t(n - 1)], idleAtSpeed);
    if (!r)
        return;
    Label(kScaledLabel[n - 1]).Caption = SafeIntToStr(r->value);
    ThrottleOut(n) = r->command;
    Form2.Label(8 + n).Caption = Label(rawLabel).Caption;
}

bool TForm1::ReverserBlock(int n, int sensorValue)
{
    const int rawLabel = 4 + n;        // Label5 .. Label8
    const int scaledLabel = 25 + n;    // Label26 .. Label29
    const int pos = RawPosition(4 + n, rawLabel, sensorValue, true);

    if (n == 1 && Aircraft.reverser_lockout_1() == 1)
        return false;
    if (n == 2 && Aircraft.reverser_lockout_2() == 1)
        return false;

    const auto r = ReadReverser(Reverser(cfg, n), cfg.FULL_REVERSE_VALUE, pos,
                                last_reverser_value[std::size_t(n - 1)]);
    if (!r)
        return true;
    if (n <= 2) {
        Label(scaledLabel).Caption = SafeIntToStr(-int64_t(*r));
        const bool onGround = Aircraft.on_ground() == 1;
        if (onGround)
            ThrottleOut(n) = Low16(-*r);
        // Reverse thrust on the ground disengages the autothrottle.
        if (Aircraft.mcp_autothrottle_engaged() == 1 && onGround && Simulator.speed_value() > 60)
            Send_Server_Message("MCP_AUTOTHROTTLE_ENGAGED=0");
    } else {
        Label(scaledLabel).Caption = SafeIntToStr(*r);
        if (cfg.FSUIPC_DATA)
            LogValue(n == 3 ? "Throttle 3 Value = " : "Throttle 4 Value = ", ThrottleOut(n));
    }
    Form3.Label(8 + n).Caption = Label(rawLabel).Caption;
    return true;
}

void TForm1::SpeedbrakeBlock(int sensorValue, bool followsAlways)
{
    sb_lever_armed = false;
    const int pos = RawPosition(9, 20, sensorValue, followsAlways || mode.ItemIndex == kAutomatic);
    Form5.Label(1).Caption = Label(20).Caption;

    const SpeedbrakeReading s = ReadSpeedbrake(pos, cfg.SPEEDBRAKE_ARM, cfg.SPEEDBRAKE_UP,
                                               cfg.SPEEDBRAKE_REVERSE_INPUT_DIRECTION, Aircraft.on_ground() == 0,
                                               cfg.MAX_INFLIGHT_SPOILER);
    sb_lever_armed = s.armed;
    spoiler_arm_out = s.armOut;
    Label(30).Caption = SafeIntToStr(s.value);
    spoiler_out = s.command;
}

void TForm1::FlapBlock(int sensorValue, InterfaceCard card)
{
    const int pos = RawPosition(10, 17, sensorValue, true);
    Form4.Label(21).Caption = Label(17).Caption;
    // Between detents the label keeps the last one found.
    if (const auto detent = DetectFlapDetent(FlapSettingsOf(cfg), card, pos)) {
        Send_Server_Message(detent->message);
        Label(60).Caption = detent->label;
    }
}

void TForm1::LogValue(const char* label, int value)
{
    Log(std::string(label) + SafeIntToStr(value));
}

} // namespace zrk

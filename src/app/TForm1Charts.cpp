// The Charts window's side of the controller: while the window is open,
// each main cycle's values of the lever drive, the trim loop and the
// speedbrake go into its ring. Closed, the cycle records nothing.
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/ChartsPanel.h"
#include "app/TForm1.h"
#include "config/LeverSettings.h"

namespace zrk {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

} // namespace

ChartsPanel& TForm1::OpenCharts()
{
    if (chartsPanel_)
        return *chartsPanel_;
    ChartsHooks hooks;
    hooks.limits = [this] {
        ChartLimits l;
        l.levers = aircraft_type.ItemIndex == 2 ? 4 : 2;
        for (int n = 1; n <= 4; ++n)
            l.overrideCurrent[std::size_t(n - 1)] = Throttle(cfg, n).overrideCurrent;
        l.trimNullZone = cfg.TRIM_NULL_ZONE;
        l.speedbrakeDown = cfg.SPEEDBRAKE_DN;
        l.speedbrakeArm = cfg.SPEEDBRAKE_ARM;
        l.speedbrakeUp = cfg.SPEEDBRAKE_UP;
        return l;
    };
    hooks.save = [this](const std::string& fileName, const std::string& bytes, std::string& error) {
        // Beside CONFIG.INI; an earlier file of the same name is kept.
        const std::size_t dot = fileName.rfind('.');
        std::string path = JoinPath(ports_.exeFolder, fileName);
        for (int n = 2; ports_.files.Exists(path) && n < 100; ++n)
            path = JoinPath(ports_.exeFolder, fileName.substr(0, dot) + "-" + std::to_string(n) + fileName.substr(dot));
        if (ports_.files.Exists(path)) {
            error = "too many files of that name";
            return std::string();
        }
        error = ports_.files.WriteFileAtomic(path, bytes);
        return error.empty() ? path : std::string();
    };
    hooks.stamp = [this] {
        const LocalTime t = ports_.clock.Now();
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02d%02d%02d", t.hour % 100, t.minute % 100, t.second % 100);
        return std::string(buf);
    };
    hooks.log = [this](const std::string& line) { Log(line); };
    chartsPanel_ = std::make_unique<ChartsPanel>(std::move(hooks));
    return *chartsPanel_;
}

void TForm1::CloseCharts() { chartsPanel_.reset(); }

void TForm1::ClearCycleValues()
{
    cycle_.toMotor.fill(kNoValue);
    cycle_.current.fill(kNoValue);
    cycle_.speedbrakeToMotor = kNoValue;
    cycle_.trim = {kNoValue, kNoValue, kNoValue};
}

void TForm1::RecordCharts()
{
    if (!chartsPanel_->Recording())
        return;
    ChartSample& s = chartsPanel_->Recorder().Next(ports_.clock.TickCount());
    for (int n = 1; n <= 4; ++n) {
        const std::size_t i = std::size_t(n - 1);
        const ThrottleSettings t = Throttle(cfg, n);
        // The commanded position on the lever's raw scale, as the drive
        // aims it: 0..16383 mapped onto idle..full.
        if (t.full != t.idle)
            s[ThrottleChannel(n, ThrottleValue::Command)] =
                float(autoThrottle.Target(n) * (double(t.full) - t.idle) / 16383.0 + t.idle);
        s[ThrottleChannel(n, ThrottleValue::Reading)] = float(TrackBar(n).Position);
        s[ThrottleChannel(n, ThrottleValue::Motor)] = cycle_.toMotor[i];
        if (i < cycle_.current.size())
            s[ThrottleChannel(n, ThrottleValue::Current)] = cycle_.current[i];
        s[ThrottleChannel(n, ThrottleValue::Override)] = float(throttle_override[i] ? 1 : 0);
    }
    s[ChartChannel::TrimSimulator] = float(cycle_.trim.simulatorUnits);
    s[ChartChannel::TrimWheel] = float(cycle_.trim.wheelPosition);
    s[ChartChannel::TrimMotor] = float(cycle_.trim.motorOutput);
    s[ChartChannel::TrimTracking] = trimWheel.trim_tracking ? 1.0f : 0.0f;
    s[ChartChannel::TrimAlternate] = !trimWheel.trim_tracking && Simulator.altn_trim_motion() != 0 ? 1.0f : 0.0f;
    s[ChartChannel::SpeedbrakeReading] = float(TrackBar(9).Position);
    s[ChartChannel::SpeedbrakeMotor] = cycle_.speedbrakeToMotor;
    s[ChartChannel::SpeedbrakeState] = speedbrake.sb_deploy ? 1.0f : speedbrake.sb_retract ? -1.0f : 0.0f;
    s[ChartChannel::SpeedbrakeTimeout] = speedbrake.sb_timeout_reported ? 1.0f : 0.0f;
}

} // namespace zrk

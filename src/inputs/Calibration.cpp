#include "inputs/Calibration.h"

#include "config/Convert.h"

namespace zrk {

namespace {

using S = Settings;

// One row of the flap dialog: value label, setting, SET and CLEAR buttons.
struct FlapRow {
    int label;
    int S::*setting;
    int setButton, clearButton;
};

const std::array<FlapRow, 12> kFlapRows = {{
    {1, &S::FLAP_UP, 1, 2},
    {2, &S::FLAP_1, 4, 5},
    {3, &S::FLAP_2, 6, 7},
    {4, &S::FLAP_5, 8, 9},
    {5, &S::FLAP_10, 10, 11},
    {6, &S::FLAP_15, 14, 13},
    {24, &S::FLAP_17, 23, 22},
    {26, &S::FLAP_18, 25, 24},
    {7, &S::FLAP_20, 12, 15},
    {8, &S::FLAP_25, 16, 17},
    {19, &S::FLAP_30, 18, 19},
    {20, &S::FLAP_40, 20, 21},
}};

const std::array<int S::*, 4> kThrottleFull = {&S::THROTTLE_1_FULL, &S::THROTTLE_2_FULL, &S::THROTTLE_3_FULL,
                                               &S::THROTTLE_4_FULL};
const std::array<int S::*, 4> kThrottleIdle = {&S::THROTTLE_1_IDLE, &S::THROTTLE_2_IDLE, &S::THROTTLE_3_IDLE,
                                               &S::THROTTLE_4_IDLE};
const std::array<int S::*, 4> kReverserOff = {&S::REVERSER_1_OFF, &S::REVERSER_2_OFF, &S::REVERSER_3_OFF,
                                              &S::REVERSER_4_OFF};
const std::array<int S::*, 4> kReverserIdle = {&S::REVERSER_1_IDLE, &S::REVERSER_2_IDLE, &S::REVERSER_3_IDLE,
                                               &S::REVERSER_4_IDLE};
const std::array<int S::*, 4> kReverserFull = {&S::REVERSER_1_FULL, &S::REVERSER_2_FULL, &S::REVERSER_3_FULL,
                                               &S::REVERSER_4_FULL};

std::vector<PointLabel> Labels(std::initializer_list<std::pair<int, const std::array<int S::*, 4>*>> groups)
{
    std::vector<PointLabel> out;
    for (const auto& [first, settings] : groups)
        for (int i = 0; i < 4; ++i)
            out.push_back({first + i, (*settings)[std::size_t(i)]});
    return out;
}

// The levers' points from their track bars, `firstTrackBar` for lever 1.
std::vector<CapturedPoint> FromTrackBars(const std::array<int S::*, 4>& settings, int firstTrackBar, int levers)
{
    std::vector<CapturedPoint> out;
    for (int i = 0; i < levers; ++i)
        out.push_back({settings[std::size_t(i)], CaptureSource::TrackBar, firstTrackBar + i});
    return out;
}

} // namespace

const std::vector<PointLabel>& PointLabels(CalibrationForm form)
{
    static const std::vector<PointLabel> throttles = Labels({{1, &kThrottleFull}, {5, &kThrottleIdle}});
    static const std::vector<PointLabel> reversers =
        Labels({{1, &kReverserOff}, {13, &kReverserIdle}, {5, &kReverserFull}});
    static const std::vector<PointLabel> flaps = [] {
        std::vector<PointLabel> out;
        for (const FlapRow& r : kFlapRows)
            out.push_back({r.label, r.setting});
        return out;
    }();
    static const std::vector<PointLabel> speedbrake = {
        {2, &S::SPEEDBRAKE_DN}, {14, &S::SPEEDBRAKE_ARM}, {6, &S::SPEEDBRAKE_UP}};
    switch (form) {
    case CalibrationForm::Throttles: return throttles;
    case CalibrationForm::Reversers: return reversers;
    case CalibrationForm::Flaps: return flaps;
    case CalibrationForm::Speedbrake: break;
    }
    return speedbrake;
}

int CaptureLiveLabel(CalibrationForm form)
{
    return form == CalibrationForm::Flaps ? 21 : form == CalibrationForm::Speedbrake ? 1 : 0;
}

std::optional<std::vector<CapturedPoint>> CapturePoints(CalibrationForm form, int button, int aircraftType)
{
    switch (form) {
    case CalibrationForm::Throttles:
        // All four throttles for every aircraft type.
        if (button == 1)
            return FromTrackBars(kThrottleFull, 1, 4);
        if (button == 2)
            return FromTrackBars(kThrottleIdle, 1, 4);
        return std::nullopt;
    case CalibrationForm::Reversers: {
        const int levers = aircraftType == 2 ? 4 : 2;
        if (button == 1)
            return FromTrackBars(kReverserOff, 5, levers);
        if (button == 4)
            return FromTrackBars(kReverserIdle, 5, levers);
        if (button == 2)
            return FromTrackBars(kReverserFull, 5, levers);
        return std::nullopt;
    }
    case CalibrationForm::Flaps:
        for (const FlapRow& r : kFlapRows) {
            if (button == r.setButton)
                return std::vector<CapturedPoint>{{r.setting, CaptureSource::LiveLabel}};
            if (button == r.clearButton)
                return std::vector<CapturedPoint>{{r.setting, CaptureSource::Zero}};
        }
        return std::nullopt;
    case CalibrationForm::Speedbrake: break;
    }
    if (button == 1)
        return std::vector<CapturedPoint>{{&S::SPEEDBRAKE_DN, CaptureSource::LiveLabel}};
    if (button == 4)
        return std::vector<CapturedPoint>{{&S::SPEEDBRAKE_ARM, CaptureSource::LiveLabel}};
    if (button == 2)
        return std::vector<CapturedPoint>{{&S::SPEEDBRAKE_UP, CaptureSource::LiveLabel}};
    return std::nullopt;
}

bool ApplyCapture(const std::vector<CapturedPoint>& points, const CaptureSources& from, Settings& cfg)
{
    // Read everything first, so that a capture is taken whole or not at all.
    std::vector<int> values;
    for (const CapturedPoint& p : points) {
        switch (p.source) {
        case CaptureSource::TrackBar:
            if (p.trackBar < 1 || p.trackBar > int(from.trackBars.size()))
                return false;
            values.push_back(from.trackBars[std::size_t(p.trackBar - 1)]);
            break;
        case CaptureSource::LiveLabel: {
            const std::optional<int32_t> v = ParseInt(from.liveText);
            if (!v)
                return false;
            values.push_back(*v);
            break;
        }
        case CaptureSource::Zero: values.push_back(0); break;
        }
    }
    for (std::size_t i = 0; i < points.size(); ++i)
        cfg.*points[i].setting = values[i];
    return true;
}

} // namespace zrk

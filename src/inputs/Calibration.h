#pragma once
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "config/Settings.h"

namespace zrk {

// The lever calibration dialogs, numbered as their window classes:
// TForm2 .. TForm5.
enum class CalibrationForm { Throttles = 2, Reversers = 3, Flaps = 4, Speedbrake = 5 };

// A value label of a calibration dialog and the calibration point it shows.
struct PointLabel {
    int label;
    int Settings::*setting;
};
// Every value label of a dialog, with its setting.
const std::vector<PointLabel>& PointLabels(CalibrationForm form);

// The label of a dialog that mirrors its lever's raw position and that the
// flap and speedbrake captures read: Label21 of the flap dialog, Label1 of
// the speedbrake dialog; 0 for the other two dialogs, whose captures read the
// main window's track bars.
int CaptureLiveLabel(CalibrationForm form);

// The button of every dialog that hides it.
inline constexpr int kCalibrationCloseButton = 3;

enum class CaptureSource {
    TrackBar,    // the position of a track bar of the main window
    LiveLabel,   // the dialog's live label, read as a decimal integer
    Zero,        // the constant 0 (a cleared flap detent)
};

// One calibration point a capture button writes, and where from.
struct CapturedPoint {
    int Settings::*setting;
    CaptureSource source;
    int trackBar = 0;   // 1..10, for CaptureSource::TrackBar
};

// The points that button `button` of a dialog captures for the aircraft
// type (0 777, 1 737, 2 747): throttle captures take all four throttles,
// reverser captures reversers 3 and 4 on the 747 only. Nothing when the
// button captures nothing (CLOSE, or no such button).
std::optional<std::vector<CapturedPoint>> CapturePoints(CalibrationForm form, int button, int aircraftType);

// What a capture reads.
struct CaptureSources {
    std::array<int, 10> trackBars{};   // positions of TrackBar1 .. TrackBar10
    std::string liveText;              // the dialog's live label
};

// Writes the captured points into `cfg`. A live label that is no decimal
// integer (it only ever holds digits written by the lever handlers, or its
// design text "0") captures nothing, and the result is false.
bool ApplyCapture(const std::vector<CapturedPoint>& points, const CaptureSources& from, Settings& cfg);

} // namespace zrk

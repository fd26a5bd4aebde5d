#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/Charts.h"
#include "app/ControlStates.h"
#include "app/PngImage.h"
#include "app/WindowLayout.h"

namespace zrk {

// What the Charts window needs of the controller: the settings its marks
// come from, and a place to save its files.
struct ChartsHooks {
    std::function<ChartLimits()> limits;
    // Writes a file of that name beside CONFIG.INI; returns its path, or
    // nothing with `error` set.
    std::function<std::string(const std::string& fileName, const std::string& bytes, std::string& error)> save;
    // The local time, for the saved files' names ("20261209-125000").
    std::function<std::string()> stamp;
    std::function<void(const std::string&)> log;
};

// The values one control of the Charts window shows:
//   Button  text ("Pause" or "Resume")
//   Toggle  on (the span chosen)
//   Label   text (the status line)
struct ChartsControlState {
    std::string text;
    bool on = false;
    bool enabled = true;
    bool operator==(const ChartsControlState&) const = default;
};

// The "Charts" window as a toolkit-free model: its description, the state
// of its buttons, the pictures of its four charts, and the user's actions.
// While it exists, the controller's main cycle records into its ring; a
// pause stops the recording, so what is shown and what is saved stay the
// same until the user resumes.
//
// Renderers call Refresh() on their own timer (kRefreshMs), redraw when
// Changes() moved, paint Picture(chart, w, h) into each chart control, and
// forward the user's actions. A renderer that can grab its charts' pixels
// sets a capture, which "Save PNG" uses.
class ChartsPanel {
public:
    explicit ChartsPanel(ChartsHooks hooks);

    const FormDesign& Design() const { return design_; }
    // The charts' designs, with the settings' marks as they stand.
    const std::vector<ChartDesign>& Charts() const { return charts_; }

    // The controller's side: where each cycle records, and whether it
    // should (not while paused).
    ChartRecorder& Recorder() { return recorder_; }
    const ChartRecorder& Recorder() const { return recorder_; }
    bool Recording() const { return !paused_; }

    static constexpr int kRefreshMs = 100;
    // Takes up the settings' marks and the samples recorded since the last
    // refresh; counts a change when anything shown moved.
    void Refresh();
    uint64_t Changes() const { return states_.Changes(); }

    const ChartsControlState& State(std::string_view control) const;
    // The picture of a chart control at that size in pixels; empty for a
    // name of no chart.
    ChartPicture Picture(std::string_view chart, int width, int height) const;

    // The span shown: 10 s, 30 s or 2 min.
    uint32_t SpanMs() const { return spanMs_; }
    static const std::vector<uint32_t>& Spans();
    static std::string SpanControl(uint32_t spanMs) { return "Span_" + std::to_string(spanMs / 1000); }

    // The user's actions by control name; false for no such control.
    // "Pause" (pauses or resumes), "SaveCsv", "SavePng".
    bool Press(std::string_view control);
    // A span toggle pressed (toggles are exclusive; pressing the chosen
    // one keeps it).
    bool SetOn(std::string_view control, bool on);

    // How "Save PNG" gets the charts' pixels: the renderer's grab of its
    // chart controls. Unset, "Save PNG" says it cannot.
    void SetCapture(std::function<RgbImage()> capture) { capture_ = std::move(capture); }

    // Saves the last two minutes; each returns the path, or empty when the
    // save failed (the status line and the log say why).
    std::string SaveCsv();
    std::string SavePng(const RgbImage& image);

private:
    void Build();
    void Set(const std::string& control, ChartsControlState state);
    void Status(const std::string& text);
    std::string Save(const char* what, const std::string& extension, const std::string& bytes);

    ChartsHooks hooks_;
    FormDesign design_;
    ChartRecorder recorder_;
    ChartLimits limits_;
    std::vector<ChartDesign> charts_;
    ControlStates<ChartsControlState> states_;
    std::function<RgbImage()> capture_;
    uint32_t spanMs_ = 30000;
    bool paused_ = false;
    // What the last refresh saw, to tell a change.
    std::size_t seenSize_ = 0;
    uint32_t seenLatest_ = 0;
    std::string status_;
};

} // namespace zrk

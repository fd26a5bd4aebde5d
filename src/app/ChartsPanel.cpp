#include "app/ChartsPanel.h"

#include <algorithm>

namespace zrk {

namespace {

// Geometry of the window, in pixels at 96 dots per inch.
constexpr int kMargin = 8;
constexpr int kRowHeight = 26;
constexpr int kWidth = 880;
constexpr int kChartHeight = 148, kChartStep = 152;
constexpr int kChartsTop = kMargin + kRowHeight + 8;

std::string SpanCaption(uint32_t ms)
{
    return ms % 60000 == 0 ? std::to_string(ms / 60000) + " min" : std::to_string(ms / 1000) + " s";
}

} // namespace

const std::vector<uint32_t>& ChartsPanel::Spans()
{
    static const std::vector<uint32_t> spans{10000, 30000, ChartRecorder::kLongestSpanMs};
    return spans;
}

ChartsPanel::ChartsPanel(ChartsHooks hooks) : hooks_(std::move(hooks))
{
    Build();
    Refresh();
}

void ChartsPanel::Build()
{
    design_.name = "Charts";
    design_.caption = "Charts";
    design_.width = kWidth;
    design_.height = kChartsTop + 4 * kChartStep - 4 + kMargin;
    design_.closeButton.clear();
    const auto add = [this](ControlKind kind, std::string name, std::string caption, Bounds b) -> ControlDesign& {
        ControlDesign c;
        c.kind = kind;
        c.name = std::move(name);
        c.caption = std::move(caption);
        c.bounds = b;
        design_.controls.push_back(std::move(c));
        return design_.controls.back();
    };
    int x = kMargin;
    add(ControlKind::Button, "Pause", "Pause", {x, kMargin, 80, kRowHeight});
    x += 80 + 12;
    for (uint32_t span : Spans()) {
        add(ControlKind::Toggle, SpanControl(span), SpanCaption(span), {x, kMargin, 56, kRowHeight});
        x += 56 + 4;
    }
    x += 8;
    add(ControlKind::Button, "SaveCsv", "Save CSV", {x, kMargin, 84, kRowHeight});
    x += 84 + 4;
    add(ControlKind::Button, "SavePng", "Save PNG", {x, kMargin, 84, kRowHeight});
    x += 84 + 12;
    ControlDesign& status = add(ControlKind::Label, "Status", "", {x, kMargin + 5, kWidth - kMargin - x, 18});
    status.style = LabelStyle::Readout;
    int y = kChartsTop;
    for (const ChartDesign& chart : ChartDesigns(ChartLimits{})) {
        ControlDesign& c = add(ControlKind::Chart, chart.name, chart.title, {kMargin, y, kWidth - 2 * kMargin, kChartHeight});
        c.anchors = kAnchorLeft | kAnchorRight | kAnchorTop;
        y += kChartStep;
    }
}

void ChartsPanel::Set(const std::string& control, ChartsControlState state)
{
    states_.Set(control, std::move(state));
}

const ChartsControlState& ChartsPanel::State(std::string_view control) const
{
    return states_.Get(control);
}

void ChartsPanel::Status(const std::string& text)
{
    status_ = text;
    Set("Status", {text, false, true});
}

void ChartsPanel::Refresh()
{
    const ChartLimits limits = hooks_.limits ? hooks_.limits() : ChartLimits{};
    if (charts_.empty() || !(limits == limits_)) {
        limits_ = limits;
        charts_ = ChartDesigns(limits_);
        states_.Touch();
    }
    const uint32_t latest = recorder_.Empty() ? 0 : recorder_.Latest().ms;
    if (recorder_.Size() != seenSize_ || latest != seenLatest_) {
        seenSize_ = recorder_.Size();
        seenLatest_ = latest;
        states_.Touch();
    }
    Set("Pause", {paused_ ? "Resume" : "Pause", paused_, true});
    for (uint32_t span : Spans())
        Set(SpanControl(span), {SpanCaption(span), span == spanMs_, true});
    Set("SaveCsv", {"Save CSV", false, !recorder_.Empty()});
    Set("SavePng", {"Save PNG", false, !recorder_.Empty() && bool(capture_)});
    if (status_.empty())
        Status(paused_ ? "Paused" : "Recording");
}

ChartPicture ChartsPanel::Picture(std::string_view chart, int width, int height) const
{
    for (const ChartDesign& d : charts_)
        if (d.name == chart)
            return DrawChart(d, recorder_, spanMs_, width, height);
    return {};
}

bool ChartsPanel::Press(std::string_view control)
{
    if (control == "Pause") {
        paused_ = !paused_;
        status_.clear();
    } else if (control == "SaveCsv") {
        SaveCsv();
    } else if (control == "SavePng") {
        if (!capture_) {
            Status("Save PNG: this window cannot take its picture");
        } else {
            SavePng(capture_());
        }
    } else {
        return false;
    }
    Refresh();
    return true;
}

bool ChartsPanel::SetOn(std::string_view control, bool on)
{
    for (uint32_t span : Spans())
        if (control == SpanControl(span)) {
            if (on)
                spanMs_ = span;
            states_.Touch();
            Refresh();
            return true;
        }
    return false;
}

std::string ChartsPanel::Save(const char* what, const std::string& extension, const std::string& bytes)
{
    const std::string name = "charts-" + (hooks_.stamp ? hooks_.stamp() : std::string("now")) + extension;
    std::string error = "cannot be written";
    const std::string path = hooks_.save ? hooks_.save(name, bytes, error) : std::string();
    if (path.empty()) {
        Status(std::string(what) + " not saved: " + error);
        if (hooks_.log)
            hooks_.log("Charts: the " + std::string(what) + " could not be saved to " + name + ": " + error);
        return {};
    }
    Status(std::string(what) + " saved to " + path);
    if (hooks_.log)
        hooks_.log("Charts: " + std::string(what) + " saved to " + path);
    return path;
}

std::string ChartsPanel::SaveCsv()
{
    if (recorder_.Empty()) {
        Status("Nothing recorded yet");
        return {};
    }
    return Save("CSV", ".csv", recorder_.Csv(ChartRecorder::kLongestSpanMs));
}

std::string ChartsPanel::SavePng(const RgbImage& image)
{
    const std::string png = EncodePng(image);
    if (png.empty()) {
        Status("PNG not saved: the window gave no picture");
        return {};
    }
    return Save("PNG", ".png", png);
}

} // namespace zrk

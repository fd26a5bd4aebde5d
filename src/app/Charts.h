#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/WindowLayout.h"

namespace zrk {

// The live charts of the lever drive, the trim loop and the speedbrake:
// each main cycle's values kept in a fixed ring, the charts described as
// data (series, axes, bands, levels and events), and a chart drawn as a
// toolkit-free picture of fills, lines and texts that a renderer only
// paints.

// The values each main cycle records, one column each. A value that the
// cycle did not produce (a lever not driven, a current not read) is NaN.
enum class ChartChannel : uint8_t {
    // Per throttle lever n = 1..4: ThrottleChannel(n, …).
    Throttle1Command, Throttle1Reading, Throttle1Motor, Throttle1Current, Throttle1Override,
    Throttle2Command, Throttle2Reading, Throttle2Motor, Throttle2Current, Throttle2Override,
    Throttle3Command, Throttle3Reading, Throttle3Motor, Throttle3Current, Throttle3Override,
    Throttle4Command, Throttle4Reading, Throttle4Motor, Throttle4Current, Throttle4Override,
    TrimSimulator,      // the simulator's stabiliser trim, stab units
    TrimWheel,          // the modelled wheel position, stab units
    TrimMotor,          // the trim motor's command, percent
    TrimAlternate,      // 1 while the alternate trim runs the motor
    TrimTracking,       // 1 while the wheel tracks the simulator's trim
    SpeedbrakeReading,  // the lever's raw reading
    SpeedbrakeMotor,    // the speedbrake motor's command, percent
    SpeedbrakeState,    // 1 deploying, -1 retracting, 0 stopped
    SpeedbrakeTimeout,  // 1 once the motion's time limit was reached
    Count
};
inline constexpr std::size_t kChartChannels = std::size_t(ChartChannel::Count);

// What a throttle lever records each cycle.
enum class ThrottleValue : uint8_t {
    Command,    // the commanded position ("From A/T"), raw lever scale
    Reading,    // the lever's reading, raw
    Motor,      // the velocity sent to its motor ("To Motor"), percent
    Current,    // its motor's current, amperes
    Override,   // 1 while a hand holds it against the motor
};
constexpr ChartChannel ThrottleChannel(int n, ThrottleValue v)
{
    return ChartChannel(uint8_t((n - 1) * 5 + int(v)));
}

// The CSV column of a channel ("thr1_command", "trim_simulator", …).
const char* ChartChannelName(ChartChannel c);

struct ChartSample {
    uint32_t ms = 0;   // the cycle's tick time
    std::array<float, kChartChannels> values{};
    float operator[](ChartChannel c) const { return values[std::size_t(c)]; }
    float& operator[](ChartChannel c) { return values[std::size_t(c)]; }
};

// The last kCapacity cycles, oldest dropped first. Fixed in size from the
// start: recording never allocates.
class ChartRecorder {
public:
    // Two minutes at the 100 ms cycle, with room for a faster one.
    static constexpr std::size_t kCapacity = 1280;
    static constexpr uint32_t kLongestSpanMs = 120000;

    ChartRecorder();

    // The slot for the cycle at `ms`, every value NaN; the caller fills it.
    ChartSample& Next(uint32_t ms);
    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }
    // Sample i, 0 the oldest kept.
    const ChartSample& At(std::size_t i) const;
    const ChartSample& Latest() const { return At(size_ - 1); }
    // The index of the oldest sample at most `spanMs` older than the latest.
    std::size_t FirstWithin(uint32_t spanMs) const;
    void Clear() { size_ = 0; head_ = 0; }

    // The samples of the last `spanMs` as CSV: a header line "time_s" and
    // one column per channel, then one line per cycle. time_s counts
    // seconds from the first line's cycle, to the millisecond; a value the
    // cycle did not produce is an empty cell. Lines end in CRLF, as the
    // spreadsheets on the builder's machine expect.
    std::string Csv(uint32_t spanMs) const;

private:
    std::vector<ChartSample> ring_;
    std::size_t head_ = 0;   // where the next sample goes
    std::size_t size_ = 0;
};

// ---- charts as data ----

// Colours are 0x00BBGGRR, as the window's lamps.
struct ChartAxis {
    std::string caption;
    double min = 0, max = 1;
};

struct ChartSeries {
    std::string caption;
    ChartChannel channel{};
    bool rightAxis = false;
    int color = 0;
    bool dashed = false;
    int width = 1;
};

// A marked period or range.
struct ChartBand {
    enum class Kind {
        // ±halfWidth around the channel's value, on the left axis.
        Around,
        // A strip along the plot's foot while the channel equals `equals`.
        While,
    };
    Kind kind = Kind::While;
    std::string caption;
    ChartChannel channel{};
    double halfWidth = 0;
    double equals = 1;
    int color = 0;
};

// A horizontal line at a fixed value (a threshold, a detent).
struct ChartLevel {
    std::string caption;
    double value = 0;
    bool rightAxis = false;
    int color = 0;
};

// A vertical line where the channel turns on (a time-out).
struct ChartEvent {
    std::string caption;
    ChartChannel channel{};
    int color = 0;
};

struct ChartDesign {
    std::string name;    // the control's name in the window's description
    std::string title;
    ChartAxis left;
    std::optional<ChartAxis> right;
    std::vector<ChartSeries> series;
    std::vector<ChartBand> bands;
    std::vector<ChartLevel> levels;
    std::vector<ChartEvent> events;
};

// What the charts mark that the settings decide.
struct ChartLimits {
    int levers = 2;   // throttle levers driven: 4 on the 747
    std::array<double, 4> overrideCurrent{};   // amperes, per lever
    double trimNullZone = 0;                   // stab units
    int speedbrakeDown = 0, speedbrakeArm = 0, speedbrakeUp = 0;   // raw
    bool operator==(const ChartLimits&) const = default;
};

// The four charts: "Chart_throttles", "Chart_currents", "Chart_trim",
// "Chart_speedbrake", in this order.
std::vector<ChartDesign> ChartDesigns(const ChartLimits& limits);

// ---- a chart as a picture ----

struct ChartPoint {
    int x = 0, y = 0;
};
struct ChartLine {
    int color = 0;
    int width = 1;
    bool dashed = false;
    std::vector<ChartPoint> points;   // a polyline
};
struct ChartFill {
    Bounds bounds;
    int color = 0;
};
struct ChartText {
    int x = 0, y = 0;   // the text's top, at its left, centre or right edge
    std::string text;
    int color = 0;
    TextAlign align = TextAlign::Left;
};

// Painted in this order: the background, the fills, the lines, the texts.
// Coordinates are pixels from the chart's top-left corner.
struct ChartPicture {
    int width = 0, height = 0;
    int background = 0xFFFFFF;
    Bounds plot;   // where the values are drawn
    std::vector<ChartFill> fills;
    std::vector<ChartLine> lines;
    std::vector<ChartText> texts;
};

// The text height a picture leaves room for, in pixels; a renderer draws
// its texts in a font about this tall.
inline constexpr int kChartTextHeight = 12;

// The chart over the last `spanMs` up to the latest sample, at that size.
// Lines break where a value is missing or the cycles stopped for a while,
// and keep within the plot whatever the values.
ChartPicture DrawChart(const ChartDesign& design, const ChartRecorder& samples, uint32_t spanMs, int width,
                       int height);

} // namespace zrk

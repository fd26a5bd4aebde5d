#include "app/Charts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace zrk {

namespace {

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

const char* const kChannelNames[kChartChannels] = {
    "thr1_command", "thr1_reading", "thr1_motor", "thr1_current", "thr1_override",
    "thr2_command", "thr2_reading", "thr2_motor", "thr2_current", "thr2_override",
    "thr3_command", "thr3_reading", "thr3_motor", "thr3_current", "thr3_override",
    "thr4_command", "thr4_reading", "thr4_motor", "thr4_current", "thr4_override",
    "trim_simulator", "trim_wheel", "trim_motor", "trim_alternate", "trim_tracking",
    "speedbrake_reading", "speedbrake_motor", "speedbrake_state", "speedbrake_timeout",
};

std::string Number(double v, const char* format)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

} // namespace

const char* ChartChannelName(ChartChannel c)
{
    const std::size_t i = std::size_t(c);
    return i < kChartChannels ? kChannelNames[i] : "";
}

// ---- the ring ----

ChartRecorder::ChartRecorder() : ring_(kCapacity) {}

ChartSample& ChartRecorder::Next(uint32_t ms)
{
    ChartSample& s = ring_[head_];
    head_ = (head_ + 1) % kCapacity;
    size_ = std::min(size_ + 1, kCapacity);
    s.ms = ms;
    s.values.fill(kNoValue);
    return s;
}

const ChartSample& ChartRecorder::At(std::size_t i) const
{
    // The oldest kept sample sits where the next one goes once the ring is
    // full, else at the start.
    const std::size_t oldest = size_ == kCapacity ? head_ : 0;
    return ring_[(oldest + std::min(i, size_ - 1)) % kCapacity];
}

std::size_t ChartRecorder::FirstWithin(uint32_t spanMs) const
{
    if (size_ == 0)
        return 0;
    const uint32_t latest = Latest().ms;
    // Ages grow toward the oldest sample: find the first one within the span.
    std::size_t lo = 0, hi = size_ - 1;
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (uint32_t(latest - At(mid).ms) > spanMs)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::string ChartRecorder::Csv(uint32_t spanMs) const
{
    std::string out = "time_s";
    for (std::size_t c = 0; c < kChartChannels; ++c) {
        out += ',';
        out += kChannelNames[c];
    }
    out += "\r\n";
    if (size_ == 0)
        return out;
    const std::size_t first = FirstWithin(spanMs);
    const uint32_t t0 = At(first).ms;
    out.reserve(out.size() + (size_ - first) * kChartChannels * 8);
    for (std::size_t i = first; i < size_; ++i) {
        const ChartSample& s = At(i);
        out += Number(double(uint32_t(s.ms - t0)) / 1000.0, "%.3f");
        for (float v : s.values) {
            out += ',';
            if (std::isfinite(v))
                out += Number(double(v), "%.6g");
        }
        out += "\r\n";
    }
    return out;
}

// ---- the four charts ----

namespace {

// Lever colours, 0x00BBGGRR: blue, red, green, purple.
constexpr int kLeverColors[4] = {0xC05010, 0x2020D0, 0x209030, 0xA02890};
constexpr int kGrey = 0x808080;
constexpr int kOrange = 0x0080F0;
constexpr int kDark = 0x303030;

// A lighter shade of a colour, for bands behind the lines.
int Light(int color, double keep = 0.25)
{
    auto mix = [keep](int c) { return int(std::lround(255 - (255 - c) * keep)); };
    return mix(color & 0xFF) | mix((color >> 8) & 0xFF) << 8 | mix((color >> 16) & 0xFF) << 16;
}

std::string N(int n) { return std::to_string(n); }

} // namespace

std::vector<ChartDesign> ChartDesigns(const ChartLimits& limits)
{
    const int levers = std::clamp(limits.levers, 1, 4);
    std::vector<ChartDesign> charts;

    ChartDesign thr;
    thr.name = "Chart_throttles";
    thr.title = "Throttle levers";
    thr.left = {"position (raw)", 0, 1000};
    thr.right = ChartAxis{"motor %", -100, 100};
    for (int n = 1; n <= levers; ++n) {
        const int color = kLeverColors[n - 1];
        thr.series.push_back({"From A/T " + N(n), ThrottleChannel(n, ThrottleValue::Command), false, color, true, 1});
        thr.series.push_back({"Lever " + N(n), ThrottleChannel(n, ThrottleValue::Reading), false, color, false, 2});
        thr.series.push_back(
            {"To Motor " + N(n), ThrottleChannel(n, ThrottleValue::Motor), true, Light(color, 0.6), false, 1});
    }
    charts.push_back(std::move(thr));

    ChartDesign cur;
    cur.name = "Chart_currents";
    cur.title = "Lever motor currents";
    double top = 1.0;
    for (int n = 1; n <= levers; ++n)
        if (std::isfinite(limits.overrideCurrent[std::size_t(n - 1)]))
            top = std::max(top, limits.overrideCurrent[std::size_t(n - 1)] * 1.5);
    cur.left = {"current (A)", 0, std::ceil(top * 2) / 2};
    // Levers that share a threshold share its line: "override 1, 2".
    for (int n = 1; n <= levers; ++n) {
        const double at = limits.overrideCurrent[std::size_t(n - 1)];
        bool shared = false;
        for (ChartLevel& l : cur.levels)
            if (l.value == at) {
                l.caption += ", " + N(n);
                l.color = kDark;
                shared = true;
            }
        if (!shared)
            cur.levels.push_back({"override " + N(n), at, false, kLeverColors[n - 1]});
    }
    for (int n = 1; n <= levers; ++n) {
        const int color = kLeverColors[n - 1];
        cur.series.push_back({"Current " + N(n), ThrottleChannel(n, ThrottleValue::Current), false, color, false, 2});
        cur.bands.push_back({ChartBand::Kind::While, "hand on " + N(n), ThrottleChannel(n, ThrottleValue::Override),
                             0, 1, Light(color, 0.5)});
    }
    charts.push_back(std::move(cur));

    ChartDesign trim;
    trim.name = "Chart_trim";
    trim.title = "Trim wheel";
    trim.left = {"stab units", 0, 17};
    trim.right = ChartAxis{"motor %", -100, 100};
    trim.bands.push_back({ChartBand::Kind::Around, "null zone", ChartChannel::TrimSimulator,
                          std::max(0.0, limits.trimNullZone), 1, Light(kLeverColors[0], 0.2)});
    trim.series.push_back({"Simulator", ChartChannel::TrimSimulator, false, kLeverColors[0], false, 2});
    trim.series.push_back({"Wheel", ChartChannel::TrimWheel, false, kLeverColors[1], true, 2});
    trim.series.push_back({"Motor", ChartChannel::TrimMotor, true, kGrey, false, 1});
    trim.bands.push_back({ChartBand::Kind::While, "alternate", ChartChannel::TrimAlternate, 0, 1, Light(kOrange, 0.6)});
    trim.bands.push_back(
        {ChartBand::Kind::While, "tracking", ChartChannel::TrimTracking, 0, 1, Light(kLeverColors[2], 0.5)});
    charts.push_back(std::move(trim));

    ChartDesign sb;
    sb.name = "Chart_speedbrake";
    sb.title = "Speedbrake";
    sb.left = {"position (raw)", 0, 1000};
    sb.right = ChartAxis{"motor %", -100, 100};
    sb.series.push_back({"Lever", ChartChannel::SpeedbrakeReading, false, kLeverColors[0], false, 2});
    sb.series.push_back({"Motor", ChartChannel::SpeedbrakeMotor, true, kGrey, false, 1});
    // Detents set to the same position (not calibrated yet) share a line.
    for (const ChartLevel& l : {ChartLevel{"DN", double(limits.speedbrakeDown), false, kDark},
                                ChartLevel{"ARM", double(limits.speedbrakeArm), false, kOrange},
                                ChartLevel{"UP", double(limits.speedbrakeUp), false, kDark}}) {
        bool shared = false;
        for (ChartLevel& m : sb.levels)
            if (m.value == l.value) {
                m.caption += "/" + l.caption;
                m.color = kDark;
                shared = true;
            }
        if (!shared)
            sb.levels.push_back(l);
    }
    sb.bands.push_back({ChartBand::Kind::While, "deploy", ChartChannel::SpeedbrakeState, 0, 1,
                        Light(kLeverColors[2], 0.5)});
    sb.bands.push_back({ChartBand::Kind::While, "retract", ChartChannel::SpeedbrakeState, 0, -1, Light(kOrange, 0.5)});
    sb.events.push_back({"time-out", ChartChannel::SpeedbrakeTimeout, kLeverColors[1]});
    charts.push_back(std::move(sb));
    return charts;
}

// ---- drawing ----

namespace {

constexpr int kTextRow = kChartTextHeight + 2;
constexpr int kCharWidth = 6;         // what a character of the chart's font takes, about
constexpr int kLaneHeight = 5;        // one period strip along the plot's foot
constexpr uint32_t kGapMs = 1000;     // cycles further apart than this are not joined
constexpr int kGridColor = 0xE4E4E4;
constexpr int kFrameColor = 0xA0A0A0;
constexpr int kTextColor = 0x202020;

int TextWidth(const std::string& s) { return int(s.size()) * kCharWidth; }

// A tick label: as many decimals as the axis's step needs.
std::string TickText(double v, double step)
{
    if (std::fabs(v) < step * 1e-6)
        v = 0;
    // As many decimals as the step has: 0.25 needs two, 0.5 one.
    int decimals = 0;
    for (double scaled = step; decimals < 4 && std::fabs(scaled - std::round(scaled)) > 1e-9; scaled *= 10)
        ++decimals;
    char format[8];
    std::snprintf(format, sizeof format, "%%.%df", decimals);
    return Number(v, format);
}

double NiceStep(double range, int divisions)
{
    const double raw = range / divisions;
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * mag)
            return m * mag;
    return 10 * mag;
}

struct Mapper {
    Bounds plot;
    uint32_t latest = 0, span = 1;
    ChartAxis left, right;

    int X(uint32_t ms) const
    {
        const double age = double(uint32_t(latest - ms));
        const double x = plot.Right() - age / span * plot.width;
        return int(std::lround(std::clamp(x, double(plot.left), double(plot.Right()))));
    }
    int Y(double v, bool onRight) const
    {
        const ChartAxis& a = onRight ? right : left;
        const double range = a.max - a.min;
        double y = plot.Bottom() - (range > 0 ? (v - a.min) / range : 0) * plot.height;
        if (!std::isfinite(y))
            y = plot.Bottom();
        return int(std::lround(std::clamp(y, double(plot.top), double(plot.Bottom()))));
    }
};

void Legend(ChartPicture& p, int& x, int& y, int right, const std::string& caption, int color, bool box)
{
    const int w = 18 + TextWidth(caption) + 10;
    if (x + w > right && x > 4) {
        x = 4;
        y += kTextRow;
    }
    const int mid = y + kChartTextHeight / 2;
    // Drawn as fills, so that every line of the picture is in the plot.
    if (box)
        p.fills.push_back({{x, mid - 4, 12, 8}, color});
    else
        p.fills.push_back({{x, mid - 1, 12, 3}, color});
    p.texts.push_back({x + 16, y, caption, kTextColor, TextAlign::Left});
    x += w;
}

} // namespace

ChartPicture DrawChart(const ChartDesign& d, const ChartRecorder& samples, uint32_t spanMs, int width, int height)
{
    ChartPicture p;
    p.width = std::max(width, 0);
    p.height = std::max(height, 0);
    spanMs = std::max<uint32_t>(spanMs, 1000);

    // Title and legend along the top, wrapping when the chart is narrow.
    int x = 4, y = 2;
    p.texts.push_back({x, y, d.title, kTextColor, TextAlign::Left});
    x += TextWidth(d.title) + 16;
    for (const ChartSeries& s : d.series)
        Legend(p, x, y, p.width - 4, s.caption, s.color, false);
    for (const ChartBand& b : d.bands)
        Legend(p, x, y, p.width - 4, b.caption, b.color, true);

    const int leftMargin = 46, rightMargin = d.right ? 46 : 12;
    p.plot = {leftMargin, y + kTextRow + 4, 0, 0};
    p.plot.width = std::max(p.width - leftMargin - rightMargin, 1);
    p.plot.height = std::max(p.height - p.plot.top - kTextRow - 4, 1);
    const Bounds& plot = p.plot;

    Mapper m;
    m.plot = plot;
    m.span = spanMs;
    m.latest = samples.Empty() ? 0 : samples.Latest().ms;
    m.left = d.left;
    m.right = d.right.value_or(d.left);

    // The plot's frame, its grid and the axes' ticks.
    p.fills.push_back({{plot.left - 1, plot.top - 1, plot.width + 2, plot.height + 2}, kFrameColor});
    p.fills.push_back({plot, 0xFFFFFF});
    const auto yTicks = [&](const ChartAxis& a, bool onRight) {
        const double step = NiceStep(a.max - a.min, 4);
        for (double v = std::ceil(a.min / step) * step; v <= a.max + step * 1e-6; v += step) {
            const int ty = m.Y(v, onRight);
            if (!onRight)
                p.lines.push_back({kGridColor, 1, false, {{plot.left, ty}, {plot.Right(), ty}}});
            const std::string t = TickText(v, step);
            if (onRight)
                p.texts.push_back({plot.Right() + 4, ty - kChartTextHeight / 2, t, kTextColor, TextAlign::Left});
            else
                p.texts.push_back({plot.left - 4, ty - kChartTextHeight / 2, t, kTextColor, TextAlign::Right});
        }
    };
    yTicks(m.left, false);
    if (d.right)
        yTicks(m.right, true);
    const uint32_t tStep = spanMs <= 10000 ? 2000 : spanMs <= 30000 ? 5000 : 20000;
    for (uint32_t age = 0; age <= spanMs; age += tStep) {
        const int tx = m.X(uint32_t(m.latest - age));
        p.lines.push_back({kGridColor, 1, false, {{tx, plot.top}, {tx, plot.Bottom()}}});
        const std::string t = age == 0 ? "now" : "-" + std::to_string(age / 1000) + " s";
        p.texts.push_back({tx, plot.Bottom() + 3, t, kTextColor, age == 0 ? TextAlign::Right : TextAlign::Center});
    }

    const std::size_t first = samples.FirstWithin(spanMs);
    const std::size_t count = samples.Size();
    const auto joined = [&](std::size_t i) {   // sample i follows i - 1 without a pause
        return i > first && uint32_t(samples.At(i).ms - samples.At(i - 1).ms) <= kGapMs;
    };

    // Bands: ranges around a value, and period strips in lanes at the foot.
    int lane = 0;
    for (const ChartBand& b : d.bands) {
        if (b.kind == ChartBand::Kind::Around) {
            for (std::size_t i = first + 1; i < count; ++i) {
                const float v0 = samples.At(i - 1)[b.channel];
                if (!joined(i) || !std::isfinite(v0))
                    continue;
                const int x0 = m.X(samples.At(i - 1).ms), x1 = m.X(samples.At(i).ms);
                const int top = m.Y(v0 + b.halfWidth, false), bottom = m.Y(v0 - b.halfWidth, false);
                if (x1 > x0 && bottom >= top)
                    p.fills.push_back({{x0, top, x1 - x0, std::max(bottom - top, 1)}, b.color});
            }
            continue;
        }
        const int laneTop = plot.Bottom() - (lane + 1) * kLaneHeight;
        ++lane;
        const auto on = [&](std::size_t i) { return samples.At(i)[b.channel] == float(b.equals); };
        for (std::size_t i = first; i < count;) {
            if (!on(i)) {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j + 1 < count && joined(j + 1) && on(j + 1))
                ++j;
            // A period lasts until the next cycle, where there is one.
            const std::size_t end = j + 1 < count && joined(j + 1) ? j + 1 : j;
            const int x0 = m.X(samples.At(i).ms), x1 = m.X(samples.At(end).ms);
            p.fills.push_back({{x0, laneTop, std::max(x1 - x0, 1), kLaneHeight}, b.color});
            i = j + 1;
        }
    }

    // Levels: a line across the plot, captioned at its right end.
    for (const ChartLevel& l : d.levels) {
        if (!std::isfinite(l.value))
            continue;
        const int ly = m.Y(l.value, l.rightAxis);
        p.lines.push_back({l.color, 1, true, {{plot.left, ly}, {plot.Right(), ly}}});
        p.texts.push_back({plot.Right() - 3, ly - kChartTextHeight - 1, l.caption, l.color, TextAlign::Right});
    }

    // Series: one polyline per unbroken run; successive samples that land
    // on the same pixel column keep only the first and the last point.
    for (const ChartSeries& s : d.series) {
        ChartLine line{s.color, s.width, s.dashed, {}};
        const auto flush = [&] {
            if (line.points.size() >= 2)
                p.lines.push_back(line);
            else if (line.points.size() == 1)
                p.lines.push_back({s.color, s.width, false, {line.points[0], {line.points[0].x + 1, line.points[0].y}}});
            line.points.clear();
        };
        for (std::size_t i = first; i < count; ++i) {
            const float v = samples.At(i)[s.channel];
            if (!std::isfinite(v) || !joined(i))
                flush();
            if (!std::isfinite(v))
                continue;
            const ChartPoint pt{m.X(samples.At(i).ms), m.Y(v, s.rightAxis)};
            if (line.points.size() >= 2 && line.points.back().x == pt.x
                && line.points[line.points.size() - 2].x == pt.x)
                line.points.back() = pt;
            else
                line.points.push_back(pt);
        }
        flush();
    }

    // Events: a vertical line where the channel turns on.
    for (const ChartEvent& e : d.events) {
        bool was = false;
        for (std::size_t i = first; i < count; ++i) {
            const float v = samples.At(i)[e.channel];
            const bool on = std::isfinite(v) && v > 0.5f;
            if (on && !was) {
                const int ex = m.X(samples.At(i).ms);
                p.lines.push_back({e.color, 2, false, {{ex, plot.top}, {ex, plot.Bottom()}}});
                p.texts.push_back({ex + 3, plot.top + 1, e.caption, e.color, TextAlign::Left});
            }
            was = on;
        }
    }
    return p;
}

} // namespace zrk

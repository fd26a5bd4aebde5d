// The live charts' model: the ring of cycle values, what each cycle of the
// controller records into it, the CSV export, the pictures' geometry, the
// PNG file, and the window's actions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "app/Charts.h"
#include "app/ChartsPanel.h"
#include "app/PngImage.h"
#include "support/DemoRig.h"
#include "support/Rig.h"

namespace zrk {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<std::string> Split(const std::string& text, const std::string& by)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while (true) {
        const std::size_t next = text.find(by, at);
        out.push_back(text.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos)
            return out;
        at = next + by.size();
    }
}

void Fill(ChartRecorder& r, uint32_t fromMs, int count, uint32_t stepMs = 100)
{
    for (int i = 0; i < count; ++i) {
        ChartSample& s = r.Next(fromMs + uint32_t(i) * stepMs);
        s[ChartChannel::TrimWheel] = float(i);
    }
}

// ---- the ring ----

TEST(ChartRecorder, KeepsTheLatestCyclesOldestFirstAndDropsTheOldest)
{
    ChartRecorder r;
    EXPECT_TRUE(r.Empty());
    Fill(r, 0, 5);
    EXPECT_EQ(r.Size(), 5u);
    EXPECT_EQ(r.At(0).ms, 0u);
    EXPECT_EQ(r.Latest().ms, 400u);

    // Past its capacity: the oldest go, the order stays.
    Fill(r, 500, int(ChartRecorder::kCapacity));
    ASSERT_EQ(r.Size(), ChartRecorder::kCapacity);
    EXPECT_EQ(r.At(0).ms, 500u);
    EXPECT_EQ(r.Latest().ms, 500u + uint32_t(ChartRecorder::kCapacity - 1) * 100);
    for (std::size_t i = 1; i < r.Size(); ++i)
        ASSERT_EQ(r.At(i).ms - r.At(i - 1).ms, 100u) << i;

    // A new slot has no values until the cycle gives them.
    const ChartSample& s = r.Next(999999);
    for (float v : s.values)
        EXPECT_TRUE(std::isnan(v));
}

TEST(ChartRecorder, TheWindowTakesTheSamplesWithinTheSpanAcrossTheClocksWrap)
{
    struct Case {
        uint32_t startMs;
        uint32_t spanMs;
        std::size_t expected;
    };
    const Case cases[] = {
        {0, 10000, 101},           // ages 0..10000 ms: both ends in
        {0, 30000, 301},
        {0, 120000, 1000},         // longer than recorded: all of it
        {0xFFFFFFFFu - 50000, 10000, 101},   // the tick count wraps inside
    };
    for (const Case& c : cases) {
        ChartRecorder r;
        Fill(r, c.startMs, 1000);
        EXPECT_EQ(r.Size() - r.FirstWithin(c.spanMs), c.expected) << c.startMs << " " << c.spanMs;
    }
}

TEST(ChartRecorder, CsvHasAColumnPerChannelAndTimesFromTheFirstLine)
{
    ChartRecorder r;
    for (int i = 0; i < 300; ++i) {
        ChartSample& s = r.Next(0xFFFFFFFFu - 5000 + uint32_t(i) * 100);   // across the wrap
        s[ThrottleChannel(2, ThrottleValue::Reading)] = float(100 + i);
        s[ChartChannel::TrimSimulator] = 4.25f;
        if (i % 2 == 0)
            s[ThrottleChannel(1, ThrottleValue::Motor)] = -35;
    }
    const std::vector<std::string> lines = Split(r.Csv(10000), "\r\n");
    ASSERT_EQ(lines.size(), 1 + 101 + 1u);   // header, 10 s of cycles, the empty rest after the last CRLF
    EXPECT_EQ(lines.back(), "");
    const std::vector<std::string> header = Split(lines[0], ",");
    ASSERT_EQ(header.size(), 1 + kChartChannels);
    EXPECT_EQ(header[0], "time_s");
    EXPECT_EQ(header[1], "thr1_command");
    EXPECT_EQ(header[1 + std::size_t(ThrottleChannel(2, ThrottleValue::Reading))], "thr2_reading");
    EXPECT_EQ(header.back(), "speedbrake_timeout");

    const auto cell = [&](std::size_t line, ChartChannel c) {
        return Split(lines[line], ",")[1 + std::size_t(c)];
    };
    EXPECT_EQ(Split(lines[1], ",")[0], "0.000");
    EXPECT_EQ(Split(lines[2], ",")[0], "0.100");
    EXPECT_EQ(Split(lines[101], ",")[0], "10.000");
    EXPECT_EQ(cell(1, ThrottleChannel(2, ThrottleValue::Reading)), "299");   // sample 199 of 300
    EXPECT_EQ(cell(101, ThrottleChannel(2, ThrottleValue::Reading)), "399");
    EXPECT_EQ(cell(1, ChartChannel::TrimSimulator), "4.25");
    // Missing values are empty cells, and every line has all its columns.
    EXPECT_EQ(cell(1, ThrottleChannel(1, ThrottleValue::Motor)), "");
    EXPECT_EQ(cell(2, ThrottleChannel(1, ThrottleValue::Motor)), "-35");
    for (std::size_t i = 1; i + 1 < lines.size(); ++i)
        ASSERT_EQ(Split(lines[i], ",").size(), 1 + kChartChannels) << i;

    EXPECT_EQ(ChartRecorder().Csv(10000), lines[0] + "\r\n");
}

// ---- what the controller records ----

struct ChartsRig : test::Rig {
    TForm1& StartCalibrated()
    {
        boards.Plug(BoardKind::InterfaceKit, 100);
        TForm1& f = Start(test::Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"},
                                        {"THROTTLES", "THROTTLE_1_IDLE", "100"},
                                        {"THROTTLES", "THROTTLE_1_FULL", "900"},
                                        {"SPEEDBRAKE", "SPEEDBRAKE_ARM", "300"},
                                        {"SPEEDBRAKE", "SPEEDBRAKE_UP", "800"}}));
        host.RunFor(500);
        return f;
    }
};

TEST(ChartsRecording, EachCycleRecordsOnceWhileTheWindowIsOpenAndNothingOtherwise)
{
    ChartsRig rig;
    TForm1& form = rig.StartCalibrated();
    EXPECT_EQ(form.Charts(), nullptr);
    rig.host.RunFor(1000);   // closed: nothing anywhere to record into

    ChartsPanel& charts = form.OpenCharts();
    EXPECT_EQ(&form.OpenCharts(), &charts);   // one window
    EXPECT_TRUE(charts.Recorder().Empty());
    rig.boards.Find(100)->Sensor(form.cfg.THROTTLE_1_INPUT_CHANNEL, 640);
    rig.host.RunFor(1000);
    const ChartRecorder& r = charts.Recorder();
    ASSERT_EQ(r.Size(), 10u);
    for (std::size_t i = 1; i < r.Size(); ++i)
        EXPECT_EQ(r.At(i).ms - r.At(i - 1).ms, 100u);
    const ChartSample& s = r.Latest();
    EXPECT_EQ(s[ThrottleChannel(1, ThrottleValue::Reading)], float(form.TrackBar(1).Position));
    EXPECT_EQ(s[ThrottleChannel(1, ThrottleValue::Reading)], 640.0f);
    EXPECT_EQ(s[ChartChannel::SpeedbrakeReading], float(form.TrackBar(9).Position));
    EXPECT_EQ(s[ThrottleChannel(1, ThrottleValue::Override)], 0.0f);
    EXPECT_EQ(s[ChartChannel::SpeedbrakeState], 0.0f);
    EXPECT_FLOAT_EQ(s[ChartChannel::TrimSimulator], float(StabUnits(form.Simulator.stab_trim_value())));
    // No motor board: no motor commands, no currents.
    EXPECT_TRUE(std::isnan(s[ThrottleChannel(1, ThrottleValue::Current)]));
    EXPECT_TRUE(std::isnan(s[ThrottleChannel(3, ThrottleValue::Current)]));

    // Paused, the cycles record nothing; resumed, they go on.
    EXPECT_TRUE(charts.Press("Pause"));
    EXPECT_EQ(charts.State("Pause").text, "Resume");
    EXPECT_EQ(charts.State("Status").text, "Paused");
    rig.host.RunFor(1000);
    EXPECT_EQ(r.Size(), 10u);
    charts.Press("Pause");
    EXPECT_EQ(charts.State("Pause").text, "Pause");
    rig.host.RunFor(500);
    EXPECT_EQ(r.Size(), 15u);

    // Closed, the record goes with the window; the cycles run on.
    form.CloseCharts();
    EXPECT_EQ(form.Charts(), nullptr);
    rig.host.RunFor(500);
    EXPECT_TRUE(form.OpenCharts().Recorder().Empty());
}

// The virtual cockpit's flight moves every chart: take-off thrust, the
// retard hold, trim tracking, the speedbrake's deploy.
TEST(ChartsRecording, TheDemoFlightMovesEveryChart)
{
    test::DemoRig rig;
    ChartsPanel& charts = rig.form->OpenCharts();
    struct Seen {
        float commandMax = 0, readingMax = 0, motorMax = 0, currentMax = 0, trimMotorMax = 0, trimSpan = 0;
        bool tracking = false, deploy = false, retract = false;
        float sbMax = 0;
    } seen;
    float trimMin = 99, trimMax = -99;
    std::size_t taken = 0;
    uint32_t lastMs = 0;
    for (double t = 5; t <= 230; t += 5) {
        rig.RunTo(t);
        const ChartRecorder& r = charts.Recorder();
        for (std::size_t i = 0; i < r.Size(); ++i) {
            const ChartSample& s = r.At(i);
            if (taken > 0 && int32_t(s.ms - lastMs) <= 0)
                continue;
            ++taken;
            lastMs = s.ms;
            const auto max = [](float& m, float v) {
                if (std::isfinite(v))
                    m = std::max(m, std::fabs(v));
            };
            max(seen.commandMax, s[ThrottleChannel(1, ThrottleValue::Command)]);
            max(seen.readingMax, s[ThrottleChannel(1, ThrottleValue::Reading)]);
            max(seen.motorMax, s[ThrottleChannel(1, ThrottleValue::Motor)]);
            max(seen.currentMax, s[ThrottleChannel(1, ThrottleValue::Current)]);
            max(seen.trimMotorMax, s[ChartChannel::TrimMotor]);
            max(seen.sbMax, s[ChartChannel::SpeedbrakeReading]);
            if (std::isfinite(s[ChartChannel::TrimWheel])) {
                trimMin = std::min(trimMin, s[ChartChannel::TrimWheel]);
                trimMax = std::max(trimMax, s[ChartChannel::TrimWheel]);
            }
            seen.tracking |= s[ChartChannel::TrimTracking] == 1;
            seen.deploy |= s[ChartChannel::SpeedbrakeState] == 1;
            seen.retract |= s[ChartChannel::SpeedbrakeState] == -1;
        }
    }
    EXPECT_GT(taken, 2000u);   // every cycle of the flight, none twice
    EXPECT_GT(seen.commandMax, 800);
    EXPECT_GT(seen.readingMax, 800);
    EXPECT_GT(seen.motorMax, 20);
    EXPECT_GT(seen.currentMax, 0);
    EXPECT_GT(seen.trimMotorMax, 5);
    EXPECT_GT(trimMax - trimMin, 0.5f);
    EXPECT_TRUE(seen.tracking);
    EXPECT_TRUE(seen.deploy);
    EXPECT_TRUE(seen.retract);
    EXPECT_GT(seen.sbMax, 850);
}

// ---- the pictures ----

ChartDesign OneSeries(ChartChannel c)
{
    ChartDesign d;
    d.name = "Chart_test";
    d.title = "Test";
    d.left = {"", 0, 100};
    d.series.push_back({"v", c, false, 0xFF, false, 1});
    return d;
}

std::vector<const ChartLine*> LinesOf(const ChartPicture& p, int color)
{
    std::vector<const ChartLine*> out;
    for (const ChartLine& l : p.lines)
        if (l.color == color)
            out.push_back(&l);
    return out;
}

TEST(ChartPicture, EveryPointStaysInThePlotWhateverTheValues)
{
    ChartRecorder r;
    const float values[] = {-1e30f, 0, 50, 100, 1e30f, std::numeric_limits<float>::infinity(), -3, 250};
    uint32_t ms = 1000;
    for (float v : values)
        r.Next(ms += 100)[ChartChannel::TrimWheel] = v;
    for (const auto& [w, h] : {std::pair{600, 150}, std::pair{80, 40}, std::pair{0, 0}}) {
        const ChartPicture p = DrawChart(OneSeries(ChartChannel::TrimWheel), r, 10000, w, h);
        for (const ChartLine& l : p.lines)
            for (const ChartPoint& pt : l.points) {
                ASSERT_GE(pt.x, p.plot.left);
                ASSERT_LE(pt.x, p.plot.Right());
                ASSERT_GE(pt.y, p.plot.top);
                ASSERT_LE(pt.y, p.plot.Bottom());
            }
    }
}

TEST(ChartPicture, TheNewestSampleIsAtTheRightEdgeAndLinesBreakAtGapsAndMissingValues)
{
    ChartRecorder r;
    uint32_t ms = 0;
    for (int i = 0; i < 50; ++i)
        r.Next(ms += 100)[ChartChannel::TrimWheel] = 50;
    r.Next(ms += 100);   // a cycle without the value
    for (int i = 0; i < 50; ++i)
        r.Next(ms += 100)[ChartChannel::TrimWheel] = 100;
    ms += 5000;          // the cycles stopped for five seconds
    for (int i = 0; i < 20; ++i)
        r.Next(ms += 100)[ChartChannel::TrimWheel] = 0;

    const ChartPicture p = DrawChart(OneSeries(ChartChannel::TrimWheel), r, 30000, 700, 200);
    std::vector<const ChartLine*> runs = LinesOf(p, 0xFF);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0]->points.front().y, p.plot.top + p.plot.height / 2);
    EXPECT_EQ(runs[1]->points.front().y, p.plot.top);
    EXPECT_EQ(runs[2]->points.back().y, p.plot.Bottom());
    EXPECT_EQ(runs[2]->points.back().x, p.plot.Right());
    // The last run began 1.9 s before the newest sample, the first ended
    // 12.1 s before it.
    EXPECT_NEAR(runs[2]->points.front().x, p.plot.Right() - int(std::lround(1.9 * p.plot.width / 30.0)), 1);
    EXPECT_NEAR(runs[0]->points.back().x, p.plot.Right() - int(std::lround(12.1 * p.plot.width / 30.0)), 1);
}

TEST(ChartPicture, PeriodStripsCoverTheirCyclesAndEventsMarkTheirStart)
{
    ChartDesign d = OneSeries(ChartChannel::TrimWheel);
    d.bands.push_back({ChartBand::Kind::While, "deploy", ChartChannel::SpeedbrakeState, 0, 1, 0x00FF00});
    d.bands.push_back({ChartBand::Kind::While, "retract", ChartChannel::SpeedbrakeState, 0, -1, 0x0000FF});
    d.bands.push_back({ChartBand::Kind::Around, "zone", ChartChannel::TrimWheel, 10, 1, 0xFF0000});
    d.events.push_back({"time-out", ChartChannel::SpeedbrakeTimeout, 0x123456});
    ChartRecorder r;
    const float states[] = {0, 1, 1, 1, 0, -1, -1, 0, 1, 0};
    uint32_t ms = 0;
    for (float s : states) {
        ChartSample& c = r.Next(ms += 1000);
        c[ChartChannel::SpeedbrakeState] = s;
        c[ChartChannel::TrimWheel] = 50;
        c[ChartChannel::SpeedbrakeTimeout] = ms == 4000 || ms == 5000 || ms == 9000 ? 1.0f : 0.0f;
    }
    const ChartPicture p = DrawChart(d, r, 10000, 1000, 200);
    std::vector<Bounds> deploy, retract, zone;
    for (const ChartFill& f : p.fills) {
        if (f.bounds.top < p.plot.top)
            continue;   // the legend
        if (f.color == 0x00FF00 && f.bounds.height == 5)
            deploy.push_back(f.bounds);
        if (f.color == 0x0000FF && f.bounds.height == 5)
            retract.push_back(f.bounds);
        if (f.color == 0xFF0000)
            zone.push_back(f.bounds);
    }
    ASSERT_EQ(deploy.size(), 2u);
    ASSERT_EQ(retract.size(), 1u);
    const double pxPerS = p.plot.width / 10.0;
    // 2 s to 5 s: three cycles, lasting until the next one.
    EXPECT_NEAR(deploy[0].width, 3 * pxPerS, 1);
    EXPECT_NEAR(retract[0].width, 2 * pxPerS, 1);
    EXPECT_LT(retract[0].top, deploy[0].top);   // its own lane
    // ±10 of 100 around 50: a fifth of the plot's height, between cycles.
    ASSERT_FALSE(zone.empty());
    EXPECT_NEAR(zone[0].height, p.plot.height / 5.0, 1);
    int events = 0;
    for (const ChartLine& l : p.lines)
        if (l.color == 0x123456)
            ++events;
    EXPECT_EQ(events, 2);   // at 4 s and at 9 s; 5 s continues the first
}

TEST(ChartPicture, TickLabelsCarryTheDecimalsTheirStepNeeds)
{
    struct Case {
        double max;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {1, {"0.00", "0.25", "0.50", "0.75", "1.00"}},
        {2, {"0.0", "0.5", "1.0", "1.5", "2.0"}},
        {17, {"0", "5", "10", "15"}},
        {1000, {"0", "250", "500", "750", "1000"}},
    };
    ChartRecorder r;
    for (const Case& c : cases) {
        ChartDesign d = OneSeries(ChartChannel::TrimWheel);
        d.left = {"", 0, c.max};
        std::vector<std::string> labels;
        for (const ChartText& t : DrawChart(d, r, 10000, 600, 200).texts)
            if (t.align == TextAlign::Right && t.x < 60)
                labels.push_back(t.text);
        EXPECT_EQ(labels, c.labels) << c.max;
    }
}

TEST(ChartPicture, TheChartsMarkTheSettingsAndShowOnlyTheDrivenLevers)
{
    ChartLimits l;
    l.levers = 2;
    l.overrideCurrent = {0.8, 1.2, 0.5, 0.5};
    l.speedbrakeDown = 120;
    l.speedbrakeArm = 300;
    l.speedbrakeUp = 850;
    l.trimNullZone = 0.05;
    std::vector<ChartDesign> charts = ChartDesigns(l);
    ASSERT_EQ(charts.size(), 4u);
    EXPECT_EQ(charts[0].name, "Chart_throttles");
    EXPECT_EQ(charts[0].series.size(), 6u);   // command, reading and motor of two levers
    EXPECT_EQ(charts[1].levels.size(), 2u);
    EXPECT_DOUBLE_EQ(charts[1].levels[1].value, 1.2);
    // Equal thresholds share one captioned line.
    ChartLimits same = l;
    same.levers = 4;
    same.overrideCurrent = {0.8, 0.5, 0.5, 0.8};
    const std::vector<ChartLevel> levels = ChartDesigns(same)[1].levels;
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_EQ(levels[0].caption, "override 1, 4");
    EXPECT_EQ(levels[1].caption, "override 2, 3");
    same.speedbrakeDown = same.speedbrakeArm = same.speedbrakeUp = 0;
    const std::vector<ChartLevel> detents = ChartDesigns(same)[3].levels;
    ASSERT_EQ(detents.size(), 1u);
    EXPECT_EQ(detents[0].caption, "DN/ARM/UP");
    EXPECT_GE(charts[1].left.max, 1.8);       // the highest threshold is well inside the axis
    EXPECT_EQ(charts[3].levels.size(), 3u);
    EXPECT_DOUBLE_EQ(charts[3].levels[1].value, 300);
    EXPECT_DOUBLE_EQ(charts[2].bands[0].halfWidth, 0.05);
    l.levers = 4;
    EXPECT_EQ(ChartDesigns(l)[0].series.size(), 12u);
}

// ---- the PNG file ----

uint32_t Be32At(const std::string& s, std::size_t at)
{
    return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 | uint32_t(uint8_t(s[at + 2])) << 8
           | uint32_t(uint8_t(s[at + 3]));
}

TEST(PngImage, ChunksAreWellFormedAndFlatImagesCompress)
{
    RgbImage img{300, 200, std::vector<uint32_t>(300 * 200, 0xFFFFFF)};
    for (int x = 0; x < 300; ++x)
        img.pixels[std::size_t(100 * 300 + x)] = 0x112233;
    const std::string png = EncodePng(img);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    std::vector<std::string> types;
    for (std::size_t at = 8; at < png.size();) {
        ASSERT_LE(at + 12, png.size());
        const uint32_t len = Be32At(png, at);
        ASSERT_LE(at + 12 + len, png.size());
        types.push_back(png.substr(at + 4, 4));
        EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(png.data() + at + 4), len + 4), Be32At(png, at + 8 + len))
            << types.back();
        if (types.back() == "IHDR") {
            EXPECT_EQ(Be32At(png, at + 8), 300u);
            EXPECT_EQ(Be32At(png, at + 12), 200u);
        }
        at += 12 + len;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    EXPECT_LT(png.size(), 300u * 200 * 3 / 20);   // mostly one colour: far smaller than the pixels

    EXPECT_EQ(EncodePng({}), "");
    EXPECT_EQ(EncodePng({10, 10, std::vector<uint32_t>(99)}), "");   // too few pixels
    const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc32(check, sizeof check), 0xCBF43926u);
}

// ---- the window's actions ----

TEST(ChartsPanel, SpansAreExclusiveAndSavesGoBesideTheSettingsWithoutOverwriting)
{
    ChartsRig rig;
    TForm1& form = rig.StartCalibrated();
    ChartsPanel& charts = form.OpenCharts();
    EXPECT_FALSE(charts.State("SaveCsv").enabled);   // nothing recorded yet
    EXPECT_EQ(charts.SpanMs(), 30000u);
    EXPECT_TRUE(charts.State("Span_30").on);
    EXPECT_TRUE(charts.SetOn("Span_10", true));
    EXPECT_EQ(charts.SpanMs(), 10000u);
    EXPECT_TRUE(charts.State("Span_10").on);
    EXPECT_FALSE(charts.State("Span_30").on);
    EXPECT_FALSE(charts.State("Span_120").on);
    EXPECT_TRUE(charts.SetOn("Span_10", false));   // pressing the chosen one keeps it
    EXPECT_TRUE(charts.State("Span_10").on);
    EXPECT_FALSE(charts.SetOn("Span_20", true));
    EXPECT_FALSE(charts.Press("Nothing"));

    rig.host.RunFor(3000);
    charts.Refresh();
    const uint64_t changes = charts.Changes();
    charts.Refresh();
    EXPECT_EQ(charts.Changes(), changes);   // nothing new: nothing to redraw
    rig.host.RunFor(100);
    charts.Refresh();
    EXPECT_GT(charts.Changes(), changes);

    EXPECT_TRUE(charts.Press("SaveCsv"));
    EXPECT_TRUE(charts.Press("SaveCsv"));
    std::vector<std::string> saved;
    for (const auto& [path, bytes] : rig.files.Files())
        if (path.rfind(std::string(test::kExeFolder) + "/charts-", 0) == 0) {
            saved.push_back(path);
            EXPECT_EQ(bytes.substr(0, 20), "time_s,thr1_command,");
        }
    ASSERT_EQ(saved.size(), 2u);   // the second save kept the first file
    // The second is named apart: charts-HHMMSS-2.csv.
    const std::string second = saved[0].find("-2.csv") != std::string::npos ? saved[0] : saved[1];
    EXPECT_NE(second.find("-2.csv"), std::string::npos) << second;
    EXPECT_EQ(charts.State("Status").text, "CSV saved to " + second);
    EXPECT_TRUE(rig.Logged("Charts: CSV saved to " + second));

    // Without a renderer's picture, a PNG cannot be made; with one it is saved.
    EXPECT_FALSE(charts.State("SavePng").enabled);
    charts.Press("SavePng");
    EXPECT_EQ(charts.State("Status").text, "Save PNG: this window cannot take its picture");
    charts.SetCapture([] { return RgbImage{4, 3, std::vector<uint32_t>(12, 0x808080)}; });
    charts.Press("SavePng");
    const std::string& status = charts.State("Status").text;
    ASSERT_EQ(status.rfind("PNG saved to ", 0), 0u) << status;
    EXPECT_EQ(rig.files.Files().at(status.substr(13)).substr(1, 3), "PNG");
    charts.SetCapture([] { return RgbImage{}; });
    charts.Press("SavePng");
    EXPECT_EQ(charts.State("Status").text, "PNG not saved: the window gave no picture");
}

} // namespace
} // namespace zrk

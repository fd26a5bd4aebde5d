// Sessions recorded and replayed on virtual time: a replay of the same
// build makes every output the recording holds, a changed recording is
// caught at its first difference, a damaged file is refused, and the
// recording stays within its limit without stopping the controller.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/record/SessionRecorder.h"
#include "app/record/SessionReplay.h"
#include "app/Scenario.h"
#include "app/record/Tape.h"
#include "support/DemoRig.h"

namespace zrk {
namespace {

// The virtual cockpit flown for `ms` with a recorder between the
// controller and its ports.
struct RecordedDemo {
    MemoryRecordingSink sink;
    std::unique_ptr<SessionRecorder> recorder;
    std::unique_ptr<test::DemoRig> rig;

    explicit RecordedDemo(RecordingOptions options = {})
    {
        rig = std::make_unique<test::DemoRig>([this, options](const Ports& p) {
            recorder = std::make_unique<SessionRecorder>(p, sink, options);
            return recorder->RecordingPorts();
        });
        recorder->SetLog([this](const std::string& l) { rig->form->Log(l); });
    }
    // Ends the session as the program does at its close.
    std::string Finish()
    {
        rig->form->FormClose();
        rig->form->FormDestroy();
        recorder->Flush();
        return sink.bytes;
    }
};

std::vector<TapeEntry> Entries(const std::string& file)
{
    std::vector<TapeEntry> out;
    TapeReader r(file);
    TapeEntry e;
    while (r.Next(e))
        out.push_back(e);
    EXPECT_EQ(r.Error(), "");
    return out;
}

// The entries as a file of one segment.
std::string Rewrite(const std::vector<TapeEntry>& entries)
{
    std::string body;
    uint32_t last = 0;
    for (const TapeEntry& e : entries)
        EncodeEntry(e, last, body);
    return TapeHeader() + FrameSegment(body);
}

TEST(RecordReplay, TenMinutesOfTheVirtualCockpitReplayWithoutADifference)
{
    RecordedDemo demo;
    demo.rig->host.RunFor(10 * 60 * 1000);
    const std::string file = demo.Finish();
    ASSERT_FALSE(demo.recorder->Stopped());

    ReplayOptions options;
    options.check = true;
    const ReplayReport report = ReplaySession(file, options);
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.difference, "");
    EXPECT_FALSE(report.startDropped);
    EXPECT_GT(report.events, 6000u);            // every main cycle and more
    EXPECT_GT(report.outputsCompared, 10000u);  // motors, servos, bridge, simulator
    EXPECT_GE(report.elapsedMs, 10u * 60 * 1000);

    // --until stops early; without --check nothing is compared.
    options.untilMs = 60000;
    const ReplayReport early = ReplaySession(file, options);
    EXPECT_EQ(early.difference, "");
    EXPECT_LE(early.elapsedMs, 60000u);
    EXPECT_LT(early.events, report.events / 5);
}

TEST(RecordReplay, AFlushBetweenEventsLeavesAFileThatStillReplays)
{
    RecordedDemo demo;
    for (int i = 0; i < 5; ++i) {
        demo.rig->host.RunFor(1234);
        demo.recorder->Flush();   // as the program does when it ends, then goes on writing
        demo.rig->form->Log("after a flush");
    }
    ReplayOptions options;
    options.check = true;
    const ReplayReport report = ReplaySession(demo.Finish(), options);
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.difference, "");
    EXPECT_GT(report.events, 50u);
}

TEST(RecordReplay, AChangedOutputIsReportedAtItsTime)
{
    RecordedDemo demo;
    demo.rig->host.RunFor(60 * 1000);
    std::vector<TapeEntry> entries = Entries(demo.Finish());

    // The 200th change of a velocity is changed, as if the build had changed.
    uint32_t tick = 0, start = 0;
    int seen = 0;
    for (TapeEntry& e : entries) {
        if (e.kind == TapeEntry::Kind::Keyframe && e.code == TapeCode::kStart)
            start = e.tick;
        if (e.kind == TapeEntry::Kind::Dispatch)
            tick = e.tick;
        if (e.kind == TapeEntry::Kind::Output && e.code == TapeCode::kBoardCommand && e.bytes == "velocity"
            && ++seen == 200) {
            e.number += 1;
            break;
        }
    }
    ASSERT_EQ(seen, 200);
    ReplayOptions options;
    options.check = true;
    const ReplayReport report = ReplaySession(Rewrite(entries), options);
    EXPECT_EQ(report.error, "");
    EXPECT_EQ(report.difference.rfind("at " + std::to_string(tick - start) + " ms: the recording made board #", 0), 0u)
        << report.difference;
    EXPECT_NE(report.difference.find("velocity"), std::string::npos) << report.difference;
}

TEST(RecordReplay, ATruncatedDamagedOrForeignFileIsRefusedBeforeAnythingRuns)
{
    RecordedDemo demo;
    demo.rig->host.RunFor(20 * 1000);
    const std::string file = demo.Finish();
    ASSERT_GT(file.size(), 1000u);

    std::mt19937 random(20261209);
    for (int i = 0; i < 1000; ++i) {
        const std::size_t cut = std::uniform_int_distribution<std::size_t>(0, file.size() - 1)(random);
        const ReplayReport r = ReplaySession(std::string_view(file).substr(0, cut), {});
        ASSERT_NE(r.error, "") << "cut at " << cut;
        ASSERT_EQ(r.events, 0u) << "cut at " << cut;
    }
    for (int i = 0; i < 200; ++i) {
        std::string damaged = file;
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, file.size() - 1)(random);
        damaged[at] = char(damaged[at] ^ (1 + i % 255));
        ASSERT_NE(ReplaySession(damaged, {}).error, "") << "byte " << at;
    }

    struct Case {
        std::string file;
        std::string error;
    };
    std::string newer = file;
    newer[8] = char(kTapeVersion + 1);
    const Case cases[] = {
        {"", "not a recording of this program (it does not start as one)"},
        {"[MAIN]\r\nTYPE=777\r\n", "not a recording of this program (it does not start as one)"},
        {newer, "made by a newer version of the program (recording format 2; this one reads format 1)"},
        {TapeHeader(), "empty: it holds no recorded session"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReplaySession(c.file, {}).error, c.error);
}

TEST(RecordReplay, TheFileStaysWithinItsLimitAndAFullDiskStopsOnlyTheRecording)
{
    RecordingOptions small;
    small.limitBytes = RecordingOptions::kMinLimitBytes;
    small.chapterMs = 30000;
    RecordedDemo demo(small);
    demo.rig->host.RunFor(20 * 60 * 1000);
    const std::string file = demo.Finish();
    EXPECT_LE(file.size(), small.limitBytes);
    EXPECT_EQ(TapeReader::Validate(file), "");
    // The oldest chapters went: it replays, but cannot be checked.
    const ReplayReport r = ReplaySession(file, {});
    EXPECT_EQ(r.error, "");
    EXPECT_TRUE(r.startDropped);
    EXPECT_GT(r.events, 1000u);
    ReplayOptions check;
    check.check = true;
    EXPECT_NE(ReplaySession(file, check).error.find("dropped"), std::string::npos);

    RecordedDemo full;
    full.sink.failWith = "No space left on device";
    full.rig->host.RunFor(30 * 1000);
    EXPECT_TRUE(full.recorder->Stopped());
    bool logged = false;
    for (const std::string& l : full.rig->form->Memo1.Lines())
        logged |= l.find("Recording stopped: No space left on device; the controller goes on without it")
                  != std::string::npos;
    EXPECT_TRUE(logged);
    // The controller goes on: the levers still follow the flight.
    const double before = full.rig->Lever("throttle1");
    full.rig->RunTo(40);
    EXPECT_GT(full.rig->Lever("throttle1"), before + 300);
}

TEST(RecordReplay, ARecordingBecomesAScenarioThatRunsThePluggedBoardsAndTheBridgesRecords)
{
    RecordedDemo demo;
    demo.rig->RunTo(40);   // past the take-off's TOGA
    demo.rig->form->Click("Button7");
    demo.rig->host.RunFor(500);
    std::string error;
    const std::string scenario = RecordingToScenario(demo.Finish(), error);
    ASSERT_EQ(error, "") << error;
    EXPECT_EQ(scenario.rfind("# From a recording", 0), 0u);
    EXPECT_NE(scenario.find("@config\n[AIRCRAFT]\nTYPE=747\n"), std::string::npos) << scenario.substr(0, 400);
    EXPECT_NE(scenario.find(" plug kit 11001"), std::string::npos);
    EXPECT_NE(scenario.find(" plug motor 12002"), std::string::npos);
    EXPECT_NE(scenario.find(" sensor 11001 "), std::string::npos);
    EXPECT_NE(scenario.find(" click Button7\n"), std::string::npos);
    EXPECT_NE(scenario.find(" aircraft u8 "), std::string::npos);

    ScenarioRunner runner;
    std::vector<std::string> trace;
    EXPECT_EQ(runner.Run(scenario, [&](const std::string& l) { trace.push_back(l); }), "");
    bool connected = false;
    for (const std::string& l : trace)
        connected |= l.find("bridge ZRK_TQ_CONNECTED=1") != std::string::npos;
    EXPECT_TRUE(connected);

    EXPECT_EQ(RecordingToScenario("not one", error), "");
    EXPECT_EQ(error, "not a recording of this program (it does not start as one)");
}

TEST(RecordReplay, AQuietHourOfTheVirtualCockpitStaysUnderTwoMegabytes)
{
    RecordedDemo demo;
    demo.rig->cockpit.Flight().SetPaused(true);
    demo.rig->host.RunFor(3600ull * 1000);
    const std::string file = demo.Finish();
    EXPECT_LT(file.size(), 2u << 20);
    EXPECT_EQ(TapeReader::Validate(file), "");
}

TEST(Tape, DiffsRoundTripAndRefuseWhatReachesBeyondTheData)
{
    const std::string a(300, 'a');
    std::string b = a;
    b[0] = 'x';
    b[150] = 'y';
    b[151] = 'z';
    b[299] = 'w';
    struct Case {
        std::string before, after;
    };
    const Case cases[] = {{a, a}, {a, b}, {b, a}, {"", "abc"}, {"abc", ""}, {std::string(18207, '\0'), b + b}};
    for (const Case& c : cases) {
        std::string data = c.before;
        ASSERT_TRUE(ApplyTapeDiff(data, TapeDiff(c.before, c.after)));
        EXPECT_EQ(data, c.after);
    }
    EXPECT_EQ(TapeDiff(a, a), "");
    std::string data = "abc";
    EXPECT_FALSE(ApplyTapeDiff(data, std::string("\x05\x02zz", 4)));   // past the end
    EXPECT_FALSE(ApplyTapeDiff(data, std::string("\x00\x09zz", 4)));   // a run longer than its bytes
    EXPECT_EQ(data, "abc");
}

} // namespace
} // namespace zrk

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ProgramOptions.h"
#include "app/TForm1.h"

namespace zrk::test {
namespace {

const std::string kUsage = "USAGE\n";

struct ParseCase {
    const char* name;
    std::vector<std::string> args;
    bool run;
    int exitCode;
    std::string out;
    std::string err;
    ProgramOptions options;
    std::vector<std::string> log = {};
};

std::string Ignored(const std::string& argument)
{
    return "Ignoring unknown command-line argument \"" + argument + "\"";
}

ProgramOptions Opts(bool demo, bool headless, bool virtualBoards, bool stats,
                    std::optional<ThemeChoice> theme = std::nullopt)
{
    ProgramOptions o;
    o.demo = demo;
    o.headless = headless;
    o.virtualBoards = virtualBoards;
    o.stats = stats;
    o.theme = theme;
    return o;
}

ProgramOptions Recording(std::string file, uint64_t limitBytes = RecordingOptions::kDefaultLimitBytes,
                         bool headless = false)
{
    ProgramOptions o = Opts(false, headless, false, false);
    o.recordFile = std::move(file);
    o.recordLimitBytes = limitBytes;
    return o;
}

const std::string kBadLimit = "zrk-tq: --record-limit takes a whole number of megabytes, at least 1\n\nUSAGE\n";
const std::string kNoRecordFile = "zrk-tq: --record takes the name of the file to record into\n\nUSAGE\n";

TEST(ProgramOptions, CommandLines)
{
    const std::string version = std::string("zrk-tq ") + kVersion + "\n";
    const ParseCase cases[] = {
        {"nothing", {}, true, 0, "", "", Opts(false, false, false, false)},
        {"every flag",
         {"--demo", "--headless", "--virtual-boards", "--stats"},
         true, 0, "", "", Opts(true, true, true, true)},
        {"flags twice", {"--stats", "--stats", "--headless"}, true, 0, "", "", Opts(false, true, false, true)},
        {"theme dark", {"--theme", "dark", "--headless"}, true, 0, "", "",
         Opts(false, true, false, false, ThemeChoice::Dark)},
        {"theme any case, blanks", {"--theme", " LiGhT\t"}, true, 0, "", "",
         Opts(false, false, false, false, ThemeChoice::Light)},
        {"last theme wins", {"--theme", "dark", "--theme", "light"}, true, 0, "", "",
         Opts(false, false, false, false, ThemeChoice::Light)},
        // The value is taken even when it looks like an option: it is no theme.
        {"theme value is an option", {"--theme", "--headless"}, false, 2, "",
         "zrk-tq: --theme takes light or dark\n\nUSAGE\n", Opts(false, false, false, false)},
        {"theme without value", {"--headless", "--theme"}, false, 2, "",
         "zrk-tq: --theme takes light or dark\n\nUSAGE\n", Opts(false, true, false, false)},
        {"theme empty", {"--theme", ""}, false, 2, "", "zrk-tq: --theme takes light or dark\n\nUSAGE\n",
         Opts(false, false, false, false)},
        {"help", {"--headless", "--help", "--bogus"}, false, 0, "USAGE\n", "", Opts(false, true, false, false)},
        {"short help", {"-h"}, false, 0, "USAGE\n", "", Opts(false, false, false, false)},
        {"version", {"--version", "--help"}, false, 0, version, "", Opts(false, false, false, false)},
        // What the program does not know is ignored, each with a line for
        // the log, and the rest of the line is read on.
        {"unknown option", {"--headles"}, true, 0, "", "", Opts(false, false, false, false), {Ignored("--headles")}},
        {"windows-style switches",
         {"/autostart", "--stats", "/min"},
         true, 0, "", "", Opts(false, false, false, true), {Ignored("/autostart"), Ignored("/min")}},
        {"unknown before help", {"-x", "--help"}, false, 0, "USAGE\n", "", Opts(false, false, false, false),
         {Ignored("-x")}},
        {"options are case-sensitive", {"--HELP"}, true, 0, "", "", Opts(false, false, false, false),
         {Ignored("--HELP")}},
        {"empty argument", {""}, true, 0, "", "", Opts(false, false, false, false), {Ignored("")}},
        {"an option's own form only", {"--theme=dark"}, true, 0, "", "", Opts(false, false, false, false),
         {Ignored("--theme=dark")}},
        // A known option with a bad value still refuses to start.
        {"theme pink", {"/autostart", "--theme", "pink"}, false, 2, "",
         "zrk-tq: --theme takes light or dark\n\nUSAGE\n", Opts(false, false, false, false), {Ignored("/autostart")}},
        // A recording, in any mode, with the limit in megabytes before or after.
        {"record", {"--record", "fault.zrkrec", "--headless"}, true, 0, "", "",
         Recording("fault.zrkrec", 32ull << 20, true)},
        {"record with a limit", {"--record-limit", "8", "--record", "C:\\flights\\a b.zrkrec"}, true, 0, "", "",
         Recording("C:\\flights\\a b.zrkrec", 8ull << 20)},
        {"smallest limit", {"--record", "f", "--record-limit", "1"}, true, 0, "", "", Recording("f", 1ull << 20)},
        {"leading zeros", {"--record", "f", "--record-limit", "0064"}, true, 0, "", "", Recording("f", 64ull << 20)},
        {"largest limit", {"--record", "f", "--record-limit", "1000000"}, true, 0, "", "",
         Recording("f", 1000000ull << 20)},
        {"limit zero", {"--record", "f", "--record-limit", "0"}, false, 2, "", kBadLimit, Recording("f")},
        {"limit with a unit", {"--record-limit", "12MB"}, false, 2, "", kBadLimit, Opts(false, false, false, false)},
        {"limit negative", {"--record-limit", "-1"}, false, 2, "", kBadLimit, Opts(false, false, false, false)},
        {"limit fraction", {"--record-limit", "1.5"}, false, 2, "", kBadLimit, Opts(false, false, false, false)},
        {"limit beyond any disk", {"--record-limit", "1000001"}, false, 2, "", kBadLimit,
         Opts(false, false, false, false)},
        {"limit overflowing", {"--record-limit", "18446744073709551617"}, false, 2, "", kBadLimit,
         Opts(false, false, false, false)},
        {"limit empty", {"--record-limit", ""}, false, 2, "", kBadLimit, Opts(false, false, false, false)},
        {"limit without value", {"--record-limit"}, false, 2, "", kBadLimit, Opts(false, false, false, false)},
        {"record without file", {"--headless", "--record"}, false, 2, "", kNoRecordFile,
         Opts(false, true, false, false)},
        {"record file empty", {"--record", ""}, false, 2, "", kNoRecordFile, Opts(false, false, false, false)},
        // The next option taken for a file name would record into "--demo".
        {"record file forgotten", {"--record", "--demo"}, false, 2, "", kNoRecordFile,
         Opts(false, false, false, false)},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const CommandLine r = ParseCommandLine(c.args, kUsage);
        EXPECT_EQ(r.run, c.run);
        EXPECT_EQ(r.exitCode, c.exitCode);
        EXPECT_EQ(r.standardOutput, c.out);
        EXPECT_EQ(r.standardError, c.err);
        EXPECT_EQ(r.options.demo, c.options.demo);
        EXPECT_EQ(r.options.headless, c.options.headless);
        EXPECT_EQ(r.options.virtualBoards, c.options.virtualBoards);
        EXPECT_EQ(r.options.stats, c.options.stats);
        EXPECT_EQ(r.options.theme, c.options.theme);
        EXPECT_EQ(r.options.recordFile, c.options.recordFile);
        EXPECT_EQ(r.options.recordLimitBytes, c.options.recordLimitBytes);
        EXPECT_EQ(r.logLines, c.log);
    }
}

TEST(ProgramOptions, ArgvSkipsTheProgramName)
{
    const char* argv[] = {"--help", "--stats", nullptr};
    const CommandLine r = ParseCommandLine(2, argv, kUsage);
    EXPECT_TRUE(r.run);
    EXPECT_TRUE(r.options.stats);
}

TEST(ProgramOptions, UsageNamesThePlatformsLibraryAndStops)
{
    const std::string posix = UsageText({false, "libboards.so.0", true});
    EXPECT_NE(posix.find("(libboards.so.0)"), std::string::npos);
    EXPECT_NE(posix.find("SIGHUP"), std::string::npos);
    EXPECT_NE(posix.find("Quadrant window"), std::string::npos);
    EXPECT_EQ(posix.find("Ctrl+C"), std::string::npos);

    const std::string windows = UsageText({true, "boards.dll", true});
    EXPECT_NE(windows.find("(boards.dll)"), std::string::npos);
    EXPECT_NE(windows.find("Ctrl+C or Ctrl+Break"), std::string::npos);
    EXPECT_EQ(windows.find("SIGHUP"), std::string::npos);
    EXPECT_NE(windows.find("Quadrant window"), std::string::npos);
    EXPECT_EQ(UsageText({true, "boards.dll", false}).find("Quadrant window"), std::string::npos);
    for (const std::string* text : {&posix, &windows}) {
        EXPECT_EQ(text->rfind("Usage: zrk-tq [--demo] [--headless]", 0), 0u);
        for (const char* option : {"--demo", "--headless", "--virtual-boards", "--stats", "--theme", "--help",
                                   "--version", "--record FILE", "--record-limit MB"})
            EXPECT_NE(text->find("\n  " + std::string(option)), std::string::npos) << option;
        // What a recording holds is said where it is offered, and its default size.
        EXPECT_NE(text->find("no paths or host names beyond those CONFIG.INI holds"), std::string::npos);
        EXPECT_NE(text->find("(default 32, at least 1)"), std::string::npos);
    }
}

struct RecordingDialogs : IDialogs {
    DialogAnswer AskYesNoCancel(const std::string& text) override
    {
        asked.push_back(text);
        return DialogAnswer::Cancel;
    }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    std::vector<std::string> asked, errors;
};

TEST(ProgramOptions, StopAnswersQuestionsNoButStillShowsErrors)
{
    RecordingDialogs inner;
    bool stop = false;
    StopAwareDialogs dialogs(inner, [&] { return stop; });
    EXPECT_EQ(dialogs.AskYesNoCancel("Save?"), DialogAnswer::Cancel);
    stop = true;
    EXPECT_EQ(dialogs.AskYesNoCancel("Save again?"), DialogAnswer::No);
    dialogs.ShowError("disk full");
    EXPECT_EQ(inner.asked, std::vector<std::string>{"Save?"});
    EXPECT_EQ(inner.errors, std::vector<std::string>{"disk full"});
}

TEST(ProgramOptions, StatsCountOnlyTheMainCycleAndPassEveryTimerOn)
{
    struct Sink : ITimerSink {
        void OnTimer(TimerId id) override { seen.push_back(id); }
        std::vector<TimerId> seen;
    } inner;
    uint64_t now = 0;
    CycleStatsSink sink(inner, [&] { return now; });
    const TimerId order[] = {TimerId::Main, TimerId::Timer1, TimerId::Main, TimerId::Reconnect,
                             TimerId::Main, TimerId::Start};
    for (TimerId id : order) {
        now += 50'000;
        sink.OnTimer(id);
    }
    EXPECT_EQ(inner.seen, std::vector<TimerId>(std::begin(order), std::end(order)));
    // Three main ticks 100 ms apart: two periods.
    EXPECT_EQ(sink.stats.Periods(), 2u);
    EXPECT_NEAR(sink.stats.MaxMs(), 100.0, 0.001);
}

} // namespace
} // namespace zrk::test

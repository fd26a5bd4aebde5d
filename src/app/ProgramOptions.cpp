#include "app/ProgramOptions.h"

#include <cstdio>

#include "app/TForm1.h"

namespace zrk {

std::optional<ThemeChoice> ParseThemeChoice(const std::string& text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::size_t begin = 0, end = text.size();
    while (begin < end && blank(text[begin]))
        ++begin;
    while (end > begin && blank(text[end - 1]))
        --end;
    std::string word;
    for (std::size_t i = begin; i < end; ++i) {
        const char c = text[i];
        word += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    if (word == "light")
        return ThemeChoice::Light;
    if (word == "dark")
        return ThemeChoice::Dark;
    return std::nullopt;
}

std::string UsageText(const UsageFacts& facts)
{
    std::string text =
        "Usage: zrk-tq [--demo] [--headless] [--virtual-boards] [--stats] [--theme light|dark] [--boards] [--help]\n"
        "              [--version] [--record FILE [--record-limit MB]]\n"
        "\n"
        "Controller of the throttle quadrant and trim unit. Settings are read from\n"
        "CONFIG.INI beside the executable (written with defaults on the first start).\n";
    text += facts.windows ? "Ctrl+C or Ctrl+Break in the console end the program without saving.\n"
                          : "SIGINT, SIGTERM or SIGHUP end the program without saving.\n";
    text += "\n"
            "  --demo            the virtual cockpit: a virtual quadrant with every board\n"
            "                    attached, a scripted looping flight, a built-in bridge on\n";
    text += facts.quadrantWindow ? "                    127.0.0.1, and the Quadrant window; settings in demo/CONFIG.INI\n"
                                 : "                    127.0.0.1; settings in demo/CONFIG.INI\n";
    text += "  --headless        run without a window; every log line goes to standard output\n"
            "  --virtual-boards  use virtual boards that never attach instead of the board\n"
            "                    library (" +
            facts.boardLibraryFile +
            ")\n"
            "  --stats           print the main cycle's period (median, p99, maximum) at the end\n";
    text += facts.windows ? "  --theme light|dark  the window's colours for this run\n"
                          : "  --theme light|dark  the window's colours for this run (the View menu keeps\n"
                            "                    a choice in WINDOW.INI beside CONFIG.INI)\n";
    text += "  --boards          print the boards plugged in (serial, kind, name) and the\n"
            "                    role of CONFIG.INI each fills, or \"unassigned\", and every\n"
            "                    configured board that is missing or of the wrong kind; then end\n"
            "  --record FILE     record the session into FILE for a developer to replay:\n"
            "                    every event with its time, the boards' readings, the\n"
            "                    bridge's records and data records, the simulator's\n"
            "                    replies, the user's actions and CONFIG.INI; the file holds\n"
            "                    no paths or host names beyond those CONFIG.INI holds\n"
            "  --record-limit MB keep FILE below MB megabytes (default " +
            std::to_string(RecordingOptions::kDefaultLimitBytes >> 20) +
            ", at least 1) by\n"
            "                    dropping its oldest two-minute parts\n"
            "  --help            show this text\n"
            "  --version         show the version\n";
    return text;
}

namespace {

// A whole number of megabytes, digits only; nothing for other text or for
// a size beyond any disk (a million megabytes).
std::optional<uint64_t> ParseMegabytes(const std::string& text)
{
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    uint64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + uint64_t(c - '0');
    }
    if (n > 1000000)
        return std::nullopt;
    return n;
}

} // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& usage)
{
    CommandLine c;
    const auto fail = [&](const std::string& why) {
        c.run = false;
        c.exitCode = 2;
        c.standardError = "zrk-tq: " + why + "\n\n" + usage;
        return c;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--headless") {
            c.options.headless = true;
        } else if (a == "--virtual-boards") {
            c.options.virtualBoards = true;
        } else if (a == "--demo") {
            c.options.demo = true;
        } else if (a == "--stats") {
            c.options.stats = true;
        } else if (a == "--boards") {
            c.options.boards = true;
        } else if (a == "--theme") {
            c.options.theme = i + 1 < args.size() ? ParseThemeChoice(args[i + 1]) : std::nullopt;
            if (!c.options.theme)
                return fail("--theme takes light or dark");
            ++i;
        } else if (a == "--record") {
            // A value that looks like an option is a forgotten file name.
            if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1][0] == '-')
                return fail("--record takes the name of the file to record into");
            c.options.recordFile = args[++i];
        } else if (a == "--record-limit") {
            const std::optional<uint64_t> mb = i + 1 < args.size() ? ParseMegabytes(args[i + 1]) : std::nullopt;
            if (!mb || *mb << 20 < RecordingOptions::kMinLimitBytes)
                return fail("--record-limit takes a whole number of megabytes, at least 1");
            c.options.recordLimitBytes = *mb << 20;
            ++i;
        } else if (a == "--help" || a == "-h") {
            c.run = false;
            c.standardOutput = usage;
            return c;
        } else if (a == "--version") {
            c.run = false;
            c.standardOutput = std::string("zrk-tq ") + kVersion + "\n";
            return c;
        } else {
            // Launchers and shortcuts made for other programs pass switches
            // of their own ("/autostart"): the controller starts anyway and
            // says what it did not take.
            c.logLines.push_back("Ignoring unknown command-line argument \"" + a + "\"");
        }
    }
    return c;
}

CommandLine ParseCommandLine(int argc, const char* const* argv, const std::string& usage)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i] ? argv[i] : "");
    return ParseCommandLine(args, usage);
}

DialogAnswer StopAwareDialogs::AskYesNoCancel(const std::string& text)
{
    return stopRequested_ && stopRequested_() ? DialogAnswer::No : inner_.AskYesNoCancel(text);
}

DialogAnswer HeadlessDialogs::AskYesNoCancel(const std::string&)
{
    return DialogAnswer::No;
}

void HeadlessDialogs::ShowError(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

CycleStatsSink::CycleStatsSink(ITimerSink& inner, std::function<uint64_t()> nowUs)
    : inner_(inner), nowUs_(std::move(nowUs))
{
    if (!nowUs_)
        nowUs_ = SteadyClockUs;
}

void CycleStatsSink::OnTimer(TimerId id)
{
    if (id == TimerId::Main)
        stats.Tick(nowUs_());
    inner_.OnTimer(id);
}

} // namespace zrk

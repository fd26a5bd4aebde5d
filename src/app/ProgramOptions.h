#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/demo/CycleStats.h"
#include "app/record/SessionRecorder.h"
#include "ports/Dialogs.h"
#include "ports/EventLoop.h"

// What the program's hosts (the Qt program, the Windows program) share
// around the controller: the command line, the usage text, and the small
// adapters they put between the controller and its event loop and dialogs.
namespace zrk {

// The window's colours chosen on the command line.
enum class ThemeChoice { Light, Dark };

// "light" / "dark", any letter case, blanks around ignored; nothing for
// other text.
std::optional<ThemeChoice> ParseThemeChoice(const std::string& text);

struct ProgramOptions {
    bool demo = false;
    bool headless = false;
    bool virtualBoards = false;
    bool stats = false;
    // Print the boards plugged in and the roles they fill (BoardsReport.h),
    // then end: no window, no controller.
    bool boards = false;
    std::optional<ThemeChoice> theme;
    // --record FILE: the session recorded into this file (empty: none),
    // kept below --record-limit megabytes.
    std::string recordFile;
    uint64_t recordLimitBytes = RecordingOptions::kDefaultLimitBytes;
};

// The command line read: either options to run with, or what to print and
// the exit status to end with (--help, --version, an option with a bad
// value).
struct CommandLine {
    ProgramOptions options;
    bool run = true;
    int exitCode = 0;
    std::string standardOutput;
    std::string standardError;
    // Lines for the program's log: one for each argument it ignored.
    std::vector<std::string> logLines;
};

// The facts of the running platform that the usage text names.
struct UsageFacts {
    bool windows = false;
    std::string boardLibraryFile;   // kBoardLibraryFile
    bool quadrantWindow = true;     // --demo shows the Quadrant window
};

std::string UsageText(const UsageFacts& facts);

// Reads `args` (without the program's name) in order; the first --help,
// --version or option with a bad value decides the outcome. An argument
// that is no option of the program is ignored, with a line for the log.
CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& usage);
CommandLine ParseCommandLine(int argc, const char* const* argv, const std::string& usage);

// Nobody answers a question while a stop request ends the program: it is
// answered "No", as for a window close without saving.
class StopAwareDialogs : public IDialogs {
public:
    StopAwareDialogs(IDialogs& inner, std::function<bool()> stopRequested)
        : inner_(inner), stopRequested_(std::move(stopRequested))
    {
    }
    DialogAnswer AskYesNoCancel(const std::string& text) override;
    void ShowError(const std::string& text) override { inner_.ShowError(text); }

private:
    IDialogs& inner_;
    std::function<bool()> stopRequested_;
};

// Without a window there is nobody to ask: questions are answered "No",
// errors go to standard error.
class HeadlessDialogs : public IDialogs {
public:
    DialogAnswer AskYesNoCancel(const std::string& text) override;
    void ShowError(const std::string& text) override;
};

// Counts the main cycle's periods on the way to the controller.
class CycleStatsSink : public ITimerSink {
public:
    // `nowUs`: a monotonic clock in microseconds; the steady clock unless given.
    explicit CycleStatsSink(ITimerSink& inner, std::function<uint64_t()> nowUs = {});
    void OnTimer(TimerId id) override;
    CycleStats stats;

private:
    ITimerSink& inner_;
    std::function<uint64_t()> nowUs_;
};

} // namespace zrk

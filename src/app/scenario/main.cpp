// zrk-tq-scenario [--check] FILE: runs the controller on virtual time from a
// scenario file and prints its trace; with --check, the file's expectations
// decide the exit status.
// zrk-tq-scenario --replay FILE [--check] [--until MS] [--to-scenario OUT]:
// the same for a recording of a session (zrk-tq --record): replayed, checked
// against what the controller made when it was recorded, or turned into a
// scenario file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "app/Scenario.h"
#include "app/record/SessionReplay.h"

namespace {

// Scenario files are written by hand: a few kilobytes. A larger file is a
// mistake (the wrong file, a device), not a scenario.
constexpr std::uintmax_t kMaxFileBytes = 16u << 20;

// Recordings are bounded by their own limit; this only stops a wrong file
// (a disk image, a device) from being read whole.
constexpr std::uintmax_t kMaxRecordingBytes = 1024u << 20;

// Reads the scenario file, or says in `error` why it cannot be one.
bool ReadScenario(const char* path, std::string& text, std::string& error,
                  std::uintmax_t maxBytes = kMaxFileBytes, const char* what = "a scenario")
{
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        error = "cannot read it: " + (ec ? ec.message() : std::string("no such file"));
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        error = "is a directory, not a scenario file";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = "is not a regular file";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read it";
        return false;
    }
    // Read no more than the limit, whatever the size said a moment ago.
    text.clear();
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        text.append(buffer, std::size_t(file.gcount()));
        if (text.size() > maxBytes) {
            error = "is larger than " + std::to_string(maxBytes >> 20) + " MiB, too large for " + what;
            return false;
        }
    }
    if (file.bad()) {
        error = "cannot read it";
        return false;
    }
    return true;
}

constexpr const char* kUsage =
    "Usage: zrk-tq-scenario [--check] FILE\n"
    "       zrk-tq-scenario --replay RECORDING [--check] [--until MS] [--to-scenario OUT]\n"
    "Runs the controller on virtual time and prints one trace line per effect.\n"
    "--check: the run fails unless every \"# expect\" line of FILE is met; for a recording,\n"
    "  unless every output the controller made when it was recorded is made again.\n"
    "--until MS: the replay stops once the recording passes MS milliseconds.\n"
    "--to-scenario OUT: writes a scenario file from the recording (- for standard output).\n";

int Replay(const std::vector<std::string>& args)
{
    std::string path, until, toScenario;
    bool check = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool more = i + 1 < args.size();
        if (a == "--replay" && more && path.empty())
            path = args[++i];
        else if (a == "--check")
            check = true;
        else if (a == "--until" && more)
            until = args[++i];
        else if (a == "--to-scenario" && more)
            toScenario = args[++i];
        else {
            std::fprintf(stderr, "zrk-tq-scenario: %s is not understood here\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    zrk::ReplayOptions options;
    options.check = check;
    if (!until.empty()) {
        char* end = nullptr;
        const unsigned long long ms = std::strtoull(until.c_str(), &end, 10);
        if (until[0] == '-' || !end || *end != '\0' || ms > zrk::ScenarioRunner::kMaxRunMs) {
            std::fprintf(stderr, "zrk-tq-scenario: --until takes milliseconds, 0 .. %llu\n",
                         static_cast<unsigned long long>(zrk::ScenarioRunner::kMaxRunMs));
            return 2;
        }
        options.untilMs = ms;
    }
    std::string file, error;
    if (!ReadScenario(path.c_str(), file, error, kMaxRecordingBytes, "a recording")) {
        std::fprintf(stderr, "zrk-tq-scenario: %s %s\n", path.c_str(), error.c_str());
        return 1;
    }
    if (!toScenario.empty()) {
        const std::string text = zrk::RecordingToScenario(file, error);
        if (!error.empty()) {
            std::fprintf(stderr, "zrk-tq-scenario: %s cannot be replayed: %s\n", path.c_str(), error.c_str());
            return 1;
        }
        if (toScenario == "-") {
            std::fputs(text.c_str(), stdout);
            return 0;
        }
        std::ofstream out(toScenario, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::fprintf(stderr, "zrk-tq-scenario: %s cannot be written\n", toScenario.c_str());
            return 1;
        }
        return 0;
    }
    options.trace = [](const std::string& line) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
    };
    const zrk::ReplayReport report = zrk::ReplaySession(file, options);
    std::fflush(stdout);
    if (!report.error.empty()) {
        std::fprintf(stderr, "zrk-tq-scenario: %s cannot be replayed: %s\n", path.c_str(), report.error.c_str());
        return 1;
    }
    if (!report.difference.empty()) {
        std::fprintf(stderr, "%s: the replay differs from the recording %s\n", path.c_str(), report.difference.c_str());
        return 1;
    }
    if (check)
        std::fprintf(stderr, "%s: the replay made all %llu outputs of the recording (%llu events, %llu ms)\n",
                     path.c_str(), static_cast<unsigned long long>(report.outputsCompared),
                     static_cast<unsigned long long>(report.events),
                     static_cast<unsigned long long>(report.elapsedMs));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args)
        if (a == "--replay")
            return Replay(args);
    // zrk-tq-scenario [--check] FILE
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    const char* path = argc == 2 ? argv[1] : check ? argv[2] : nullptr;
    if (!path || std::string(path) == "--help") {
        std::fputs(kUsage, stderr);
        return path ? 0 : 2;
    }
    std::string text, error;
    if (!ReadScenario(path, text, error)) {
        std::fprintf(stderr, "zrk-tq-scenario: %s %s\n", path, error.c_str());
        return 1;
    }

    zrk::ScenarioRunner runner;
    runner.check = check;
    error = runner.Run(text, [](const std::string& line) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
    });
    std::fflush(stdout);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", path, error.c_str());
        return 1;
    }
    return 0;
}

// zrk-tq-scenario [--check] FILE: runs the controller on virtual time from a
// scenario file and prints its trace; with --check, the file's expectations
// decide the exit status.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "app/Scenario.h"

namespace {

// Scenario files are written by hand: a few kilobytes. A larger file is a
// mistake (the wrong file, a device), not a scenario.
constexpr std::uintmax_t kMaxFileBytes = 16u << 20;

// Reads the scenario file, or says in `error` why it cannot be one.
bool ReadScenario(const char* path, std::string& text, std::string& error)
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
        if (text.size() > kMaxFileBytes) {
            error = "is larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB, too large for a scenario";
            return false;
        }
    }
    if (file.bad()) {
        error = "cannot read it";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    // zrk-tq-scenario [--check] FILE
    const bool check = argc == 3 && std::string(argv[1]) == "--check";
    const char* path = argc == 2 ? argv[1] : check ? argv[2] : nullptr;
    if (!path || std::string(path) == "--help") {
        std::fprintf(stderr, "Usage: zrk-tq-scenario [--check] FILE\n"
                             "Runs the controller on virtual time and prints one trace line per effect.\n"
                             "--check: the run fails unless every \"# expect\" line of FILE is met.\n");
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

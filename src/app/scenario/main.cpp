// zrk-tq-scenario FILE: runs the controller on virtual time from a scenario
// file and prints its trace.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Scenario.h"

int main(int argc, char** argv)
{
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "Usage: zrk-tq-scenario FILE\n"
                             "Runs the controller on virtual time and prints one trace line per effect.\n");
        return argc == 2 ? 0 : 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "zrk-tq-scenario: cannot read %s\n", argv[1]);
        return 2;
    }
    std::stringstream text;
    text << file.rdbuf();

    zrk::ScenarioRunner runner;
    const std::string error = runner.Run(text.str(), [](const std::string& line) {
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
    });
    std::fflush(stdout);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}

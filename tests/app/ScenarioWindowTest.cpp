#include <gtest/gtest.h>

#include "app/Scenario.h"

namespace zrk {
namespace {

std::vector<std::string> Trace(const std::string& text, std::string* error = nullptr)
{
    ScenarioRunner runner;
    std::vector<std::string> lines;
    const std::string e = runner.Run(text, [&](const std::string& l) { lines.push_back(l); });
    if (error)
        *error = e;
    return lines;
}

std::vector<std::string> Starting(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0)
            out.push_back(l);
    return out;
}

TEST(ScenarioWindow, PrintConfigShowsTheFileLineByLineAsSaved)
{
    // A UTF-8 file with a byte-order mark and a blank line; keys the file
    // lacks come at the end of their section.
    std::string error;
    const auto lines = Trace("@config\n\xEF\xBB\xBF// mine\n[AIRCRAFT]\nTYPE=737\n\n[TRIM]\nPID_P=1\n@scenario\n"
                             "1500 updown UpDown6 42\n1500 edit p_pid_p x y\n1600 answer yes\n1600 click Button10\n"
                             "1600 print-config\n1700 end\n",
                             &error);
    ASSERT_EQ(error, "");
    const auto config = Starting(lines, "     1600 config");
    ASSERT_GE(config.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(config.begin(), config.begin() + 10),
              (std::vector<std::string>{"     1600 config // mine", "     1600 config [AIRCRAFT]",
                                        "     1600 config TYPE=737", "     1600 config",
                                        "     1600 config [TRIM]", "     1600 config PID_P=x y",
                                        "     1600 config REVERSE_MOTOR_DIRECTION=0",
                                        "     1600 config NULL_ZONE=0.04", "     1600 config MOTOR_SPEED_MAX=60",
                                        "     1600 config MOTOR_ACCELERATION=42"}));
    // The question and the save come first, as notes of the click.
    const auto notes = Starting(lines, "     1600 note");
    EXPECT_EQ(notes, (std::vector<std::string>{"     1600 note question Save Calibration Changes ?",
                                               "     1600 note CONFIG.INI written"}));
}

TEST(ScenarioWindow, WindowStimuliRefuseWhatTheWindowDoesNotHave)
{
    const std::string prefix = "@config\n[AIRCRAFT]\nTYPE=777\n@scenario\n";
    const struct {
        std::string stimulus;
        std::string error;
    } cases[] = {
        {"100 click Form4.Button8", "unknown or hidden control Form4.Button8"},
        {"100 click Button11", "unknown or hidden control Button11"},
        {"100 click Button4 now", "click takes one control (or aircraft_type N, mode N)"},
        {"100 updown UpDown4 1", "updown takes UpDown1, UpDown2, UpDown3, UpDown5 or UpDown6 and a position"},
        {"100 updown UpDown3", "updown takes UpDown1, UpDown2, UpDown3, UpDown5 or UpDown6 and a position"},
        {"100 updown UpDown3 50", "position 50 out of range 100..10000 of UpDown3"},
        {"100 edit p_pid_x 1", "edit takes p_pid_p, p_pid_i or p_pid_d and a text"},
        {"100 edit p_pid_p " + std::string(256, '1'), "edit text of 256 characters; the box holds 255"},
        {"100 check manual_override 2", "check takes manual_override and 0 or 1"},
        {"100 check override 1", "check takes manual_override and 0 or 1"},
        {"100 trackbar 3 10", "track bar 3 is hidden"},
        {"100 print-config now", "print-config takes nothing"},
    };
    for (const auto& c : cases) {
        ScenarioRunner runner;
        const std::string error = runner.Run(prefix + c.stimulus + "\n", [](const std::string&) {});
        EXPECT_EQ(error, "line 5: " + c.error) << c.stimulus;
    }
    // The edges are taken.
    for (const char* stimulus : {"100 updown UpDown3 10000", "100 updown UpDown1 0", "100 edit p_pid_d",
                                 "100 check manual_override 0", "100 click Button5"}) {
        ScenarioRunner runner;
        runner.trace = false;
        EXPECT_EQ(runner.Run(prefix + stimulus + "\n", [](const std::string&) {}), "") << stimulus;
    }
}

} // namespace
} // namespace zrk

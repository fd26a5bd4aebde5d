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

bool Has(const std::vector<std::string>& lines, const std::string& text)
{
    for (const std::string& l : lines)
        if (l == text)
            return true;
    return false;
}

const char* const kThrottle = "@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\n[THROTTLES]\n"
                              "THROTTLE_1_IDLE=100\nTHROTTLE_1_FULL=900\n@scenario\n0 plug kit 100\n";

TEST(Scenario, AMovedThrottleIsWrittenAtTheNextMainCycle)
{
    const auto lines = Trace(std::string(kThrottle) + "2050 sensor 100 0 500\n2100 end\n");
    EXPECT_TRUE(Has(lines, "     2100 fsuipc write 0x52FA 2 8192"));
    EXPECT_TRUE(Has(lines, "     1100 bridge ZRK_TQ_CONNECTED=1"));
    EXPECT_EQ(lines.back(), "     2100 bridge ZRK_TQ_CONNECTED=0");
}

TEST(Scenario, TheSameScenarioGivesTheSameTrace)
{
    const std::string s = std::string(kThrottle) + "2000 sensor 100 0 300\n3000 unplug 100\n25000 end\n";
    EXPECT_EQ(Trace(s), Trace(s));
}

TEST(Scenario, BridgeRecordsSnapshotFieldsAndClicks)
{
    // The quit order ends the run; a changed setting asks nothing.
    auto lines = Trace("@config\n@scenario\n1500 click aircraft_type 2\n1600 bridge KILL_TQ_CONTROLLER=1\n"
                       "9000 end\n");
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "     1600 note the controller ended");
    EXPECT_EQ(lines.back(), "     1600 bridge ZRK_TQ_CONNECTED=0");   // the window is destroyed
    // Engine fire on the card's lamp outputs.
    lines = Trace("@config\n[PHIDGETS_SERIAL_NUMBERS]\nINTERFACE1=100\n@scenario\n0 plug kit 100\n"
                  "1500 aircraft u8 8544 1\n1600 end\n");
    EXPECT_TRUE(Has(lines, "     1600 board 100 output[0]=1"));
    // Saving through the button.
    lines = Trace("@config\n@scenario\n1200 answer yes\n1200 click Button10\n1300 end\n");
    EXPECT_FALSE(lines.empty());
}

TEST(Scenario, MistakesAreReportedWithTheirLine)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"5 plug kit 1\n", "line 1: stimuli go after @scenario"},
        {"@scenario\nfoo bar\n", "line 2: a stimulus is a time in ms and a command"},
        {"@scenario\n100 end\n50 end\n", "line 3: times must not go backwards"},
        {"@scenario\n100 jump\n", "line 2: unknown stimulus jump"},
        {"@scenario\n100 sensor 5 0 1\n", "line 2: no board opened with serial 5"},
        {"@scenario\n100 aircraft u8 18207 1\n", "line 2: offset 18207 lies outside the record"},
        {"@scenario\n100 aircraft f64 18200 1\n", "line 2: offset 18200 lies outside the record"},
        {"@scenario\n100 plug robot 5\n", "line 2: plug takes a kind (kit, motor, advservo, servo) and a serial number"},
    };
    for (const auto& c : cases) {
        std::string error;
        Trace(c.text, &error);
        EXPECT_EQ(error, c.error) << c.text;
    }
}

} // namespace
} // namespace zrk

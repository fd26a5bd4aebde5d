// What `zrk-tq --boards` reads and prints, on virtual boards; the report
// over the real library's manager is tested against the fake library
// (tests/boards/phidget21/Phidget21ManagerTest.cpp).
#include <gtest/gtest.h>

#include "app/BoardsReport.h"
#include "app/ProgramOptions.h"
#include "app/TestHost.h"
#include "boards/VirtualBoards.h"
#include "config/MemoryFileSystem.h"

namespace zrk::test {
namespace {

TEST(BoardsReport, ReadsEverySerialOfTheFileThe747sTooAndDefaultsWithoutOne)
{
    MemoryFileSystem files;
    files.Put("/q/CONFIG.INI", "[AIRCRAFT]\r\nTYPE=747\r\n[PHIDGETS_SERIAL_NUMBERS]\r\nINTERFACE1=100\r\n"
                               "MOTOR3_THROTTLES_3_4=203\r\n[SERVO_TYPE_ADVANCED]\r\nSERVO2=0\r\n");
    const Settings s = ReadBoardSettings(files, "/q/CONFIG.INI");
    EXPECT_EQ(s.TYPE, "747");
    EXPECT_EQ(s.INTERFACE1, 100);
    EXPECT_EQ(s.MOTOR3_THROTTLES_3_4, 203);
    EXPECT_FALSE(s.SERVO2);
    EXPECT_EQ(files.WriteCount(), 0) << "reading for the report writes nothing";

    const Settings none = ReadBoardSettings(files, "/q/missing.ini");
    EXPECT_EQ(none.TYPE, "777");
    EXPECT_EQ(none.INTERFACE1, 0);
}

TEST(BoardsReport, WithNothingPluggedEveryConfiguredBoardIsMissing)
{
    TestHost host;
    VirtualBoardLibrary lib(host);
    auto manager = lib.CreateManager();
    Settings s;
    LoadDefaults(s);
    EXPECT_EQ(BoardsReport(*manager, s), "No board is attached\nEvery configured board is attached\n");
    s.INTERFACE1 = 100;
    s.TYPE = "737";
    s.MOTOR3_THROTTLES_3_4 = 203;   // a 747 board: not looked for on the 737
    EXPECT_EQ(BoardsReport(*manager, s),
              "No board is attached\nmissing: Main interface card (888) [INTERFACE1] board #100 is not attached\n");
    lib.Plug(BoardKind::InterfaceKit, 100, "Card");
    host.RunPending();
    EXPECT_EQ(BoardsReport(*manager, s),
              "1 board attached\n#100  interface kit  \"Card\"  -> Main interface card (888) [INTERFACE1]\n"
              "Every configured board is attached\n");
}

TEST(BoardsReport, TheCommandLineAsksForTheReportAndTheUsageTellsOfIt)
{
    const CommandLine c = ParseCommandLine(std::vector<std::string>{"--boards", "--virtual-boards"}, "USAGE\n");
    EXPECT_TRUE(c.run);
    EXPECT_TRUE(c.options.boards);
    EXPECT_TRUE(c.options.virtualBoards);
    EXPECT_TRUE(c.logLines.empty());
    EXPECT_FALSE(ParseCommandLine(std::vector<std::string>{"--headless"}, "USAGE\n").options.boards);
    for (bool windows : {false, true}) {
        const std::string usage = UsageText({windows, "boards.lib", true});
        EXPECT_NE(usage.find("[--boards]"), std::string::npos);
        EXPECT_NE(usage.find("\n  --boards  "), std::string::npos);
    }
}

} // namespace
} // namespace zrk::test

#include <gtest/gtest.h>

#include <string>

#include "support/Rig.h"

namespace zrk::test {
namespace {

TEST(Log, ALineShowsItsTextPrintable)
{
    using namespace std::string_literals;
    const LocalTime t{9, 5, 7};
    const struct {
        const char* what;
        std::string text;
        std::string shown;
    } rows[] = {
        {"plain text", "Speedbrake Deploy", "Speedbrake Deploy"},
        {"UTF-8 of every length", "Gr\u00fc\u00dfe \u65e5\u672c \U0001F6E9", "Gr\u00fc\u00dfe \u65e5\u672c \U0001F6E9"},
        {"a tab stays", "a\tb", "a\tb"},
        {"an escape sequence", "Motor\x1b[2J\x1b]0;x\x07", "Motor?[2J?]0;x?"},
        {"a line of its own", "name\r\n12:00:00 : forged", "name??12:00:00 : forged"},
        {"NUL and DEL", "a\0b\x7f"s, "a?b?"},
        {"C1 controls, one mark each", "\u0085\u009b31m", "??31m"},
        {"line and paragraph separators", "a\u2028b\u2029", "a?b?"},
        {"a lone 8-bit CSI byte", "\x9b" "31m", "?31m"},
        {"a Latin-1 letter", "Caf\xe9", "Caf?"},
        {"a cut-off sequence", "x\xe6\x97", "x??"},
        {"an overlong slash", "\xc0\xaf", "??"},
        {"a surrogate", "\xed\xa0\x80", "???"},
        {"beyond U+10FFFF", "\xf4\x90\x80\x80", "????"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(LogLine(t, r.text), "09:05:07 : " + r.shown) << r.what;
}

TEST(Log, ADeviceNameReachesTheLogAndStandardOutputPrintable)
{
    Rig rig;
    rig.boards.Plug(BoardKind::InterfaceKit, 100, "Kit\x1b[31m\r\nfake", 8);
    rig.Start(Config({{"PHIDGETS_SERIAL_NUMBERS", "INTERFACE1", "100"}}));
    std::vector<std::string> printed;
    rig.form->Memo1.OnLine = [&](const std::string& line) { printed.push_back(line); };
    rig.host.RunFor(100);
    EXPECT_TRUE(rig.Logged("Kit?[31m??fake Connected. Serial #100")) << ::testing::PrintToString(rig.Log());
    ASSERT_FALSE(printed.empty());
    for (const std::string& line : printed)
        EXPECT_EQ(line.find_first_of("\x1b\r\n"), std::string::npos) << line;
}

} // namespace
} // namespace zrk::test

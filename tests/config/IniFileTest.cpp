#include "config/IniFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zrk {
namespace {

TEST(IniFile, UnmodifiedTextIsKeptByteForByte)
{
    const std::string cases[] = {
        "",
        "no terminator",
        "[S]\r\nK=1\r\n",
        "[S]\nK=1\n\n\n",
        "mixed\r\nends\nlast without",
        "lone\rcarriage\r",
        std::string("bin\0ary\xff\xfe\n[\n=v\n[S\0]\nK=\0\n", 24),
        "  [ S ]  \t\r\n  K  =  v  \r\n",
    };
    for (const std::string& text : cases)
        EXPECT_EQ(IniFile::Parse(text).Text(), text) << text;
}

TEST(IniFile, Read)
{
    struct Case {
        const char* text;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const char* const file =
        "TOP=before any section\r\n"
        "[PHIDGETS_SERIAL_NUMBERS]\r\n"
        "REMOTE_888_Card=1\r\n"
        "// 4 Port Servo board : 1=CPT Trim,  2=FO Trim\r\n"
        "  ; 2=commented\r\n"
        "  Padded  =  spaced out  \r\n"
        "Quoted=\"  in quotes  \"\r\n"
        "HalfQuoted=\"open\r\n"
        "Expr=a=b\r\n"
        "=no key\r\n"
        "[ not a header\r\n"
        "Dup=first\r\n"
        "Dup=second\r\n"
        "Empty=\r\n"
        "  [ Other ]  \r\n"
        "K=other\r\n"
        "[other]\r\n"
        "K=duplicate section\r\n"
        "Only=in duplicate section\r\n";
    const Case cases[] = {
        {file, "PHIDGETS_SERIAL_NUMBERS", "REMOTE_888_CARD", "1"},
        {file, "phidgets_serial_numbers", "remote_888_card", "1"},
        {file, "PHIDGETS_SERIAL_NUMBERS", "// 4 Port Servo board : 1", std::nullopt},
        {file, "PHIDGETS_SERIAL_NUMBERS", "2", std::nullopt},
        {file, "PHIDGETS_SERIAL_NUMBERS", "Padded", "spaced out"},
        {file, "PHIDGETS_SERIAL_NUMBERS", "Quoted", "  in quotes  "},
        {file, "PHIDGETS_SERIAL_NUMBERS", "HalfQuoted", "\"open"},
        {file, "PHIDGETS_SERIAL_NUMBERS", "Expr", "a=b"},
        {file, "PHIDGETS_SERIAL_NUMBERS", "", std::nullopt},
        {file, "PHIDGETS_SERIAL_NUMBERS", "Dup", "first"},
        {file, "PHIDGETS_SERIAL_NUMBERS", "Empty", ""},
        {file, "PHIDGETS_SERIAL_NUMBERS", "Missing", std::nullopt},
        {file, "PHIDGETS_SERIAL_NUMBERS", "TOP", std::nullopt},
        {file, "PHIDGETS_SERIAL_NUMBERS", "K", std::nullopt},
        {file, "OTHER", "K", "other"},
        {file, "OTHER", "Only", std::nullopt},
        {file, "Missing", "K", std::nullopt},
        {"[S]\nK=lf only", "S", "K", "lf only"},
        {"[S]K=1\n", "S", "K", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IniFile::Parse(c.text).Read(c.section, c.key), c.expected)
            << "[" << c.section << "] " << c.key;
    }
    const IniFile ini = IniFile::Parse(file);
    EXPECT_TRUE(ini.HasSection("other"));
    EXPECT_FALSE(ini.HasSection("not a header"));
}

TEST(IniFile, Write)
{
    struct Case {
        const char* name;
        const char* before;
        const char* section;
        const char* key;
        const char* after;
    };
    const Case cases[] = {
        {"in place keeps the key's spelling and the neighbours",
         "[a]\r\n x = 1 ; old\r\n  y=2\r\n", "A", "X", "[a]\r\nx=V\r\n  y=2\r\n"},
        {"comment line with the key is not the key",
         "[A]\n// X=1\n", "A", "X", "[A]\n// X=1\nX=V\n"},
        {"missing key goes before the blank separator line",
         "[A]\r\nK=1\r\n// note\r\n\r\n[B]\r\nK=2\r\n", "A", "X",
         "[A]\r\nK=1\r\n// note\r\nX=V\r\n\r\n[B]\r\nK=2\r\n"},
        {"missing key in a section with only its header",
         "[A]\n\n[B]\n", "A", "X", "[A]\nX=V\n\n[B]\n"},
        {"missing key after an unterminated last line",
         "[A]\nK=1", "A", "X", "[A]\nK=1\nX=V\n"},
        {"first of two duplicated sections",
         "[A]\nK=1\n[a]\nK=2\n", "a", "X", "[A]\nK=1\nX=V\n[a]\nK=2\n"},
        {"missing section after a blank separator line",
         "[A]\r\nK=1\r\n\r\n", "B", "X", "[A]\r\nK=1\r\n\r\n[B]\r\nX=V\r\n"},
        {"missing section gets a blank separator line",
         "[A]\nK=1", "B", "X", "[A]\nK=1\n\n[B]\nX=V\n"},
        {"empty file is given CRLF", "", "B", "X", "[B]\r\nX=V\r\n"},
        {"any CRLF line makes new lines CRLF", "a\nb\r\nc", "B", "X", "a\nb\r\nc\r\n\r\n[B]\r\nX=V\r\n"},
        {"unclosed bracket is not the section", "[B\n", "B", "X", "[B\n\n[B]\nX=V\n"},
    };
    for (const Case& c : cases) {
        IniFile ini = IniFile::Parse(c.before);
        ini.Write(c.section, c.key, "V");
        EXPECT_EQ(ini.Text(), c.after) << c.name;
        EXPECT_EQ(ini.Read(c.section, c.key), "V") << c.name;
    }
}

TEST(IniFile, WriteCannotBreakTheFileStructure)
{
    IniFile ini;
    ini.Write("S", "K", "two\r\nlines");
    ini.Write("S", "", "ignored");
    EXPECT_EQ(ini.Text(), "[S]\r\nK=two  lines\r\n");
    EXPECT_EQ(IniFile::Parse(ini.Text()).Read("S", "K"), "two  lines");
}

// The UTF-16 form of ASCII text, with its mark.
std::string Utf16(const std::string& ascii, bool bigEndian = false)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? '\0' : c;
        out += bigEndian ? c : '\0';
    }
    return out;
}

TEST(IniFile, FilesWithAByteOrderMarkAreReadAndWrittenInTheirEncoding)
{
    const std::string plain = "[AIRCRAFT]\r\nTYPE=747\r\n\r\n[TRIM]\r\nPID_P=5000\r\n";
    const std::string changed = "[AIRCRAFT]\r\nTYPE=747\r\n\r\n[TRIM]\r\nPID_P=42\r\nPID_I=\xC3\xA9\r\n";
    struct Case {
        const char* name;
        std::string before, after;
        TextEncoding encoding;
    };
    const Case cases[] = {
        {"UTF-8", "\xEF\xBB\xBF" + plain, "\xEF\xBB\xBF" + changed, TextEncoding::Utf8Bom},
        {"UTF-16 LE", Utf16(plain), Utf16(changed.substr(0, changed.size() - 4)) + std::string("\xE9\0\r\0\n\0", 6),
         TextEncoding::Utf16Le},
        {"UTF-16 BE", Utf16(plain, true), Utf16(changed.substr(0, changed.size() - 4), true) + std::string("\0\xE9\0\r\0\n", 6),
         TextEncoding::Utf16Be},
    };
    for (const Case& c : cases) {
        IniFile ini = IniFile::Parse(c.before);
        EXPECT_EQ(ini.Encoding(), c.encoding) << c.name;
        EXPECT_EQ(ini.Text(), c.before) << c.name;
        EXPECT_EQ(ini.Read("AIRCRAFT", "TYPE"), "747") << c.name;
        ini.Write("TRIM", "PID_P", "42");
        ini.Write("TRIM", "PID_I", "\xC3\xA9");
        EXPECT_EQ(ini.Text(), c.after) << c.name;
        EXPECT_EQ(IniFile::Parse(ini.Text()).Read("TRIM", "PID_I"), "\xC3\xA9") << c.name;
    }
}

TEST(IniFile, JunkInputIsKeptAndStaysUsable)
{
    uint32_t seed = 12345;
    for (int round = 0; round < 50; ++round) {
        std::string junk;
        const std::size_t size = (round == 0) ? 1'000'000 : 1 + round * 37;
        for (std::size_t i = 0; i < size; ++i) {
            seed = seed * 1103515245u + 12345u;
            const char alphabet[] = {'[', ']', '=', '\r', '\n', '\0', ' ', '"', '/', ';', 'a', '\xff'};
            junk += (round == 0) ? 'x' : alphabet[(seed >> 16) % sizeof alphabet];
        }
        if (round % 3 == 1)
            junk.insert(0, "\xFF\xFE");   // the same junk as UTF-16
        IniFile ini = IniFile::Parse(junk);
        ASSERT_EQ(ini.Text(), junk);
        ini.Write("Z", "K", "v");
        EXPECT_EQ(IniFile::Parse(ini.Text()).Read("Z", "K"), "v") << "round " << round;
    }
}

} // namespace
} // namespace zrk

#include "config/TextEncoding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace zrk {
namespace {

using namespace std::string_literals;

TEST(TextEncoding, DecodesByItsMark)
{
    struct Case {
        const char* name;
        std::string bytes;
        TextEncoding encoding;
        std::string text;
        std::string tail;
    };
    const Case cases[] = {
        {"no mark", "[A]\r\n\xEF\xBB", TextEncoding::Bytes, "[A]\r\n\xEF\xBB", ""},
        {"UTF-8 mark", "\xEF\xBB\xBF[A]\r\n", TextEncoding::Utf8Bom, "[A]\r\n", ""},
        {"UTF-16 LE", "\xFF\xFE[\0A\0]\0\r\0\n\0"s, TextEncoding::Utf16Le, "[A]\r\n", ""},
        {"UTF-16 BE", "\xFE\xFF\0[\0A\0]"s, TextEncoding::Utf16Be, "[A]", ""},
        {"two- and three-byte characters", "\xFF\xFE\xE9\0\xAC\x20"s, TextEncoding::Utf16Le, "\xC3\xA9\xE2\x82\xAC",
         ""},
        {"surrogate pair", "\xFF\xFE\x3D\xD8\x00\xDE"s, TextEncoding::Utf16Le, "\xF0\x9F\x98\x80", ""},
        {"lone surrogates keep their own form", "\xFF\xFE\x3D\xD8=\0\x00\xDE"s, TextEncoding::Utf16Le,
         "\xED\xA0\xBD=\xED\xB8\x80", ""},
        {"odd last byte", "\xFF\xFEK\0\x01"s, TextEncoding::Utf16Le, "K", "\x01"},
        {"NUL characters", "\xFF\xFE\0\0K\0"s, TextEncoding::Utf16Le, "\0K"s, ""},
    };
    for (const Case& c : cases) {
        const DecodedText d = DecodeText(c.bytes);
        EXPECT_EQ(d.encoding, c.encoding) << c.name;
        EXPECT_EQ(d.text, c.text) << c.name;
        EXPECT_EQ(d.tail, c.tail) << c.name;
        EXPECT_EQ(EncodeText(d.encoding, d.text, d.tail), c.bytes) << c.name;
    }
}

TEST(TextEncoding, EveryUtf16UnitSequenceComesBackExactly)
{
    uint32_t seed = 7;
    for (int round = 0; round < 2000; ++round) {
        std::string bytes = round % 2 ? "\xFE\xFF" : "\xFF\xFE";
        const int length = round % 23;
        for (int i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            // Mostly surrogates and line ends: the cases a decoder gets wrong.
            const uint8_t pick[] = {0xD8, 0xDB, 0xDC, 0xDF, 0x00, 0x0A, 0x0D, 0xFF, 0x20, 0x3D};
            bytes += char(pick[(seed >> 16) % sizeof pick]);
        }
        const DecodedText d = DecodeText(bytes);
        ASSERT_EQ(EncodeText(d.encoding, d.text, d.tail), bytes) << "round " << round;
    }
}

TEST(TextEncoding, StrayBytesBecomeTheCharacterOfTheSameNumberInUtf16)
{
    EXPECT_EQ(EncodeText(TextEncoding::Utf16Le, "a\xE9\xC3"), "\xFF\xFE" "a\0\xE9\0\xC3\0"s);
    EXPECT_EQ(EncodeText(TextEncoding::Utf16Be, "\xF4\x90\x80\x80"), "\xFE\xFF\0\xF4\0\x90\0\x80\0\x80"s);
    EXPECT_EQ(EncodeText(TextEncoding::Utf16Le, ""), "\xFF\xFE");
    EXPECT_EQ(EncodeText(TextEncoding::Utf8Bom, "x"), "\xEF\xBB\xBFx");
}

} // namespace
} // namespace zrk

#include "config/TextEncoding.h"

#include <cstdint>

namespace zrk {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

bool IsHighSurrogate(uint32_t u)
{
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(uint32_t u)
{
    return u >= 0xDC00 && u <= 0xDFFF;
}

// UTF-8 form of a code point up to 0x10FFFF; surrogates get the plain
// three-byte form.
void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

void AppendUnit(std::string& out, uint32_t unit, bool bigEndian)
{
    const char lo = char(unit & 0xFF);
    const char hi = char(unit >> 8);
    if (bigEndian) {
        out += hi;
        out += lo;
    } else {
        out += lo;
        out += hi;
    }
}

bool IsContinuation(uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// The code point of the well-formed sequence at `pos` (surrogates
// allowed), advancing `pos`; a stray byte gives its own value.
uint32_t NextCodePoint(std::string_view s, std::size_t& pos)
{
    const auto at = [&](std::size_t i) { return uint8_t(s[i]); };
    const uint8_t b = at(pos);
    const std::size_t left = s.size() - pos;
    if (b >= 0xC2 && b <= 0xDF && left >= 2 && IsContinuation(at(pos + 1))) {
        const uint32_t cp = uint32_t(b & 0x1F) << 6 | (at(pos + 1) & 0x3F);
        pos += 2;
        return cp;
    }
    if (b >= 0xE0 && b <= 0xEF && left >= 3 && IsContinuation(at(pos + 1)) && IsContinuation(at(pos + 2))) {
        const uint32_t cp = uint32_t(b & 0x0F) << 12 | uint32_t(at(pos + 1) & 0x3F) << 6 | (at(pos + 2) & 0x3F);
        if (cp >= 0x800) {
            pos += 3;
            return cp;
        }
    }
    if (b >= 0xF0 && b <= 0xF4 && left >= 4 && IsContinuation(at(pos + 1)) && IsContinuation(at(pos + 2))
        && IsContinuation(at(pos + 3))) {
        const uint32_t cp = uint32_t(b & 0x07) << 18 | uint32_t(at(pos + 1) & 0x3F) << 12
                            | uint32_t(at(pos + 2) & 0x3F) << 6 | (at(pos + 3) & 0x3F);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            pos += 4;
            return cp;
        }
    }
    ++pos;
    return b;
}

DecodedText DecodeUtf16(std::string_view body, TextEncoding encoding)
{
    const bool bigEndian = encoding == TextEncoding::Utf16Be;
    const auto unit = [&](std::size_t i) {
        const uint32_t a = uint8_t(body[2 * i]), b = uint8_t(body[2 * i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    DecodedText out;
    out.encoding = encoding;
    const std::size_t units = body.size() / 2;
    out.text.reserve(body.size());
    for (std::size_t i = 0; i < units; ++i) {
        const uint32_t u = unit(i);
        if (IsHighSurrogate(u) && i + 1 < units && IsLowSurrogate(unit(i + 1))) {
            AppendUtf8(out.text, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out.text, u);
        }
    }
    if (body.size() % 2 != 0)
        out.tail = std::string(body.substr(body.size() - 1));
    return out;
}

} // namespace

DecodedText DecodeText(std::string_view bytes)
{
    if (bytes.starts_with(kUtf8Mark))
        return {TextEncoding::Utf8Bom, std::string(bytes.substr(kUtf8Mark.size())), {}};
    if (bytes.starts_with(kUtf16LeMark))
        return DecodeUtf16(bytes.substr(2), TextEncoding::Utf16Le);
    if (bytes.starts_with(kUtf16BeMark))
        return DecodeUtf16(bytes.substr(2), TextEncoding::Utf16Be);
    return {TextEncoding::Bytes, std::string(bytes), {}};
}

std::string EncodeText(TextEncoding encoding, std::string_view text, std::string_view tail)
{
    std::string out;
    switch (encoding) {
    case TextEncoding::Bytes:
        out = text;
        break;
    case TextEncoding::Utf8Bom:
        out.reserve(kUtf8Mark.size() + text.size());
        out = kUtf8Mark;
        out += text;
        break;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
        const bool bigEndian = encoding == TextEncoding::Utf16Be;
        out.reserve(2 + 2 * text.size());
        out = bigEndian ? kUtf16BeMark : kUtf16LeMark;
        for (std::size_t pos = 0; pos < text.size();) {
            const uint32_t cp = NextCodePoint(text, pos);
            if (cp >= 0x10000) {
                AppendUnit(out, 0xD800 + ((cp - 0x10000) >> 10), bigEndian);
                AppendUnit(out, 0xDC00 + ((cp - 0x10000) & 0x3FF), bigEndian);
            } else {
                AppendUnit(out, cp, bigEndian);
            }
        }
        break;
    }
    }
    out += tail;
    return out;
}

} // namespace zrk

#pragma once
#include <string>
#include <string_view>

namespace zrk {

// How a settings file is encoded, as its byte-order mark tells. Windows
// editors write UTF-8 with a mark, and the Windows profile functions read
// (and Notepad writes) UTF-16 with a mark; files without one are taken as
// the bytes they are.
enum class TextEncoding {
    Bytes,     // no mark: single bytes, kept as they stand
    Utf8Bom,   // EF BB BF, then UTF-8
    Utf16Le,   // FF FE, then UTF-16 little-endian
    Utf16Be,   // FE FF, then UTF-16 big-endian
};

// A file's text as 8-bit characters, with what it takes to give back its
// exact bytes.
struct DecodedText {
    TextEncoding encoding = TextEncoding::Bytes;
    // Without the mark. UTF-16 becomes UTF-8; a lone surrogate becomes its
    // own three-byte form, so that nothing is lost.
    std::string text;
    // A UTF-16 file's odd last byte, which is no character, kept as it was.
    std::string tail;
};

// Never fails: any byte sequence decodes.
DecodedText DecodeText(std::string_view bytes);

// The bytes of `text` (plus `tail`) in `encoding`, mark first. For every
// DecodeText result d, EncodeText(d.encoding, d.text, d.tail) gives back the
// decoded bytes exactly. For UTF-16, a byte that is not part of well-formed
// UTF-8 stands for the character of the same number (as in Latin-1).
std::string EncodeText(TextEncoding encoding, std::string_view text, std::string_view tail = {});

} // namespace zrk

#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/TextEncoding.h"

namespace zrk {

// A profile (.ini) file held as its lines, read and written the way the
// Windows profile functions treat such a file:
// - "[NAME]" starts a section; "KEY=value" is a setting. Section and key
//   names match without regard to ASCII letter case; the first occurrence
//   of a duplicated section or key wins.
// - Lines starting with "//" or ";" are comments, never settings.
// - Writing touches only the line it changes or adds; every other line,
//   including its line terminator, stays byte for byte as it was, so a
//   hand-edited file keeps its comments and layout.
// - A file with a byte-order mark (UTF-8, UTF-16 little- or big-endian) is
//   read as text in that encoding and written back in it, mark included;
//   names and values are then handled as UTF-8.
class IniFile {
public:
    IniFile() = default;   // empty file

    // Never fails: any byte sequence is accepted, lines that are neither
    // section headers nor settings are kept as they are.
    static IniFile Parse(std::string_view text);

    // Value of key in section, trimmed and with one enclosing pair of double
    // quotes removed; nullopt when the section or key is missing.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    bool HasSection(std::string_view section) const;

    // Rewrites an existing key in place, else adds it after the last
    // non-blank line of its section, else adds the section at the end of the
    // file. Line breaks in the arguments become spaces so that the file's
    // structure cannot be broken; an empty key is not written.
    void Write(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;   // serialised file bytes, in the file's encoding
    TextEncoding Encoding() const { return encoding_; }

private:
    struct Line {
        std::string text;   // without its terminator
        std::string eol;    // "\r\n", "\n", or "" for a last line without one
    };
    struct SectionRange {
        std::size_t header;   // index of the "[NAME]" line
        std::size_t end;      // index of the next section header, or the line count
    };

    std::optional<SectionRange> FindSection(std::string_view section) const;
    std::optional<std::size_t> FindKey(const SectionRange& range, std::string_view key) const;
    // The terminator for added lines: CRLF when the file has any CRLF line
    // or is empty, else LF.
    std::string NewLineEnding() const;
    // Inserts a line before index pos, terminating the line before it first
    // when that was an unterminated last line.
    void InsertLine(std::size_t pos, std::string text);

    std::vector<Line> lines_;
    TextEncoding encoding_ = TextEncoding::Bytes;
    std::string tail_;   // an odd last byte of a UTF-16 file
};

} // namespace zrk

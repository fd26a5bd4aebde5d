#include "config/IniFile.h"

#include "config/Convert.h"

namespace zrk {

namespace {

// ASCII only: profile files are byte strings, and the result must not
// depend on the C locale.

char ToLowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ToLowerAscii(a[i]) != ToLowerAscii(b[i]))
            return false;
    }
    return true;
}

enum class LineKind { Other, Section, Key };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;    // section or key name, trimmed
    std::string_view value;   // key lines: text after the first "=", trimmed
};

LineInfo Classify(std::string_view text)
{
    const std::string_view t = Trim(text);
    if (t.empty() || t.starts_with("//") || t.front() == ';')
        return {};
    if (t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close != std::string_view::npos)
            return {LineKind::Section, Trim(t.substr(1, close - 1)), {}};
        // No closing bracket: not a header; treated like any other line.
    }
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos)
        return {};
    const std::string_view key = Trim(t.substr(0, eq));
    if (key.empty())
        return {};
    return {LineKind::Key, key, Trim(t.substr(eq + 1))};
}

std::string_view Unquote(std::string_view value)
{
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

std::string WithoutLineBreaks(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

} // namespace

IniFile IniFile::Parse(std::string_view bytes)
{
    IniFile file;
    DecodedText decoded = DecodeText(bytes);
    file.encoding_ = decoded.encoding;
    file.tail_ = std::move(decoded.tail);
    const std::string_view text = decoded.text;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            file.lines_.push_back({std::string(text.substr(pos)), ""});
            break;
        }
        std::string_view content = text.substr(pos, nl - pos);
        std::string_view eol = "\n";
        if (!content.empty() && content.back() == '\r') {
            content.remove_suffix(1);
            eol = "\r\n";
        }
        file.lines_.push_back({std::string(content), std::string(eol)});
        pos = nl + 1;
    }
    return file;
}

std::optional<IniFile::SectionRange> IniFile::FindSection(std::string_view section) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const LineInfo info = Classify(lines_[i].text);
        if (info.kind != LineKind::Section || !EqualsNoCase(info.name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && Classify(lines_[end].text).kind != LineKind::Section)
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::FindKey(const SectionRange& range, std::string_view key) const
{
    for (std::size_t i = range.header + 1; i < range.end; ++i) {
        const LineInfo info = Classify(lines_[i].text);
        if (info.kind == LineKind::Key && EqualsNoCase(info.name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const
{
    const auto range = FindSection(section);
    if (!range)
        return std::nullopt;
    const auto index = FindKey(*range, key);
    if (!index)
        return std::nullopt;
    return std::string(Unquote(Classify(lines_[*index].text).value));
}

bool IniFile::HasSection(std::string_view section) const
{
    return FindSection(section).has_value();
}

std::string IniFile::NewLineEnding() const
{
    if (lines_.empty())
        return "\r\n";
    for (const Line& line : lines_) {
        if (line.eol == "\r\n")
            return "\r\n";
    }
    return "\n";
}

void IniFile::InsertLine(std::size_t pos, std::string text)
{
    std::string eol = NewLineEnding();
    if (pos > 0 && lines_[pos - 1].eol.empty())
        lines_[pos - 1].eol = eol;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pos), Line{std::move(text), std::move(eol)});
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string sectionName = WithoutLineBreaks(section);
    const std::string keyName = WithoutLineBreaks(key);
    const std::string valueText = WithoutLineBreaks(value);
    if (Trim(keyName).empty())
        return;

    if (const auto range = FindSection(sectionName)) {
        if (const auto index = FindKey(*range, keyName)) {
            Line& line = lines_[*index];
            std::string replaced(Classify(line.text).name);   // the file's own spelling
            replaced += '=';
            replaced += valueText;
            line.text = std::move(replaced);
            return;
        }
        // After the section's last non-blank line, so that a blank line
        // separating it from the next section stays in place.
        std::size_t last = range->header;
        for (std::size_t i = range->header + 1; i < range->end; ++i) {
            if (!Trim(lines_[i].text).empty())
                last = i;
        }
        InsertLine(last + 1, keyName + "=" + valueText);
        return;
    }

    const std::string eol = NewLineEnding();
    if (!lines_.empty()) {
        if (lines_.back().eol.empty())
            lines_.back().eol = eol;
        if (!Trim(lines_.back().text).empty())
            lines_.push_back({"", eol});
    }
    lines_.push_back({"[" + sectionName + "]", eol});
    lines_.push_back({keyName + "=" + valueText, eol});
}

std::string IniFile::Text() const
{
    std::size_t size = 0;
    for (const Line& line : lines_)
        size += line.text.size() + line.eol.size();
    std::string out;
    out.reserve(size);
    for (const Line& line : lines_) {
        out += line.text;
        out += line.eol;
    }
    if (encoding_ == TextEncoding::Bytes && tail_.empty())
        return out;
    return EncodeText(encoding_, out, tail_);
}

} // namespace zrk

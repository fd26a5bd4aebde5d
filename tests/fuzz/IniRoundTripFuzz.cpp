// Loads arbitrary bytes as a settings file, writes a few settings into it,
// saves and loads it again, and checks that nothing but the written lines
// changed:
// - a file that is only loaded and saved comes back byte for byte, in any
//   encoding;
// - each write touches at most one line of the text and otherwise only
//   adds lines; every other line keeps its bytes and its terminator;
// - a written setting reads back as written (trimmed and unquoted, as a
//   profile read gives it), before and after the save;
// - the saved file keeps the encoding of the loaded one.
//
// Input: how many writes (0..6), then for each a section, a key and a
// value, then an encoding to give the file (none, or a byte-order mark put
// in front), then the file's bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/Convert.h"
#include "config/IniFile.h"
#include "config/TextEncoding.h"

namespace {

using namespace zrk;

// Stops the run, naming the broken expectation.
#define Check(ok)                                                          \
    do {                                                                   \
        if (!(ok)) {                                                       \
            std::fprintf(stderr, "%s:%d: %s does not hold\n", __FILE__, __LINE__, #ok); \
            std::abort();                                                  \
        }                                                                  \
    } while (0)

// Names as the program writes them, and a few it might meet in a file.
const char* const kSections[] = {"AIRCRAFT", "TRIM", "THROTTLES", "trim", "SERVER", "S", "A B", "\xC3\xA9"};
const char* const kKeys[] = {"TYPE", "PID_P", "NULL_ZONE", "throttle_1_idle", "K", "X Y", "SERVER_IP_ADDRESS"};

// What a profile read gives for a written value.
std::string Expected(std::string_view value)
{
    std::string flat(value);
    for (char& c : flat)
        if (c == '\r' || c == '\n')
            c = ' ';
    std::string_view v = Trim(flat);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

bool IsAscii(std::string_view s)
{
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// `after` is `before` with at most one line's text replaced and lines
// added: whatever differs in `before` lies within one line.
void CheckOneLineTouched(std::string_view before, std::string_view after)
{
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix
           && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
    Check(removed.find('\n') == std::string_view::npos);
}

struct WriteOp {
    const char* section;
    const char* key;
    std::string value;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    std::vector<WriteOp> writes(in.ConsumeIntegralInRange<std::size_t>(0, 6));
    for (WriteOp& w : writes) {
        w.section = kSections[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kSections) - 1)];
        w.key = kKeys[in.ConsumeIntegralInRange<std::size_t>(0, std::size(kKeys) - 1)];
        w.value = in.ConsumeRandomLengthString(48);
    }
    const char* const marks[] = {"", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    const std::string file = marks[in.ConsumeIntegralInRange<std::size_t>(0, 3)] + in.ConsumeRemainingBytesAsString();

    // Loaded and saved unchanged: the same bytes.
    const DecodedText decoded = DecodeText(file);
    Check(EncodeText(decoded.encoding, decoded.text, decoded.tail) == file);
    IniFile ini = IniFile::Parse(file);
    Check(ini.Encoding() == decoded.encoding);
    Check(ini.Text() == file);

    std::string text = decoded.text;
    for (const WriteOp& w : writes) {
        ini.Write(w.section, w.key, w.value);
        const std::string saved = ini.Text();
        const DecodedText now = DecodeText(saved);
        Check(now.encoding == decoded.encoding);
        Check(now.tail == decoded.tail);
        CheckOneLineTouched(text, now.text);
        text = now.text;

        const std::string expected = Expected(w.value);
        Check(ini.Read(w.section, w.key) == expected);
        // Loaded again: the same file, the same value. UTF-16 cannot hold
        // bytes that are no UTF-8; they come back as other characters.
        const IniFile again = IniFile::Parse(saved);
        Check(again.Text() == saved);
        if (decoded.encoding == TextEncoding::Bytes || decoded.encoding == TextEncoding::Utf8Bom || IsAscii(w.value))
            Check(again.Read(w.section, w.key) == expected);
    }
    return 0;
}

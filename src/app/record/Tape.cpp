#include "app/record/Tape.h"

#include <cmath>
#include <cstring>

#include "app/PngImage.h"

namespace zrk {

namespace {

void Varint(std::string& out, uint64_t v)
{
    while (v >= 0x80) {
        out += char(uint8_t(v | 0x80));
        v >>= 7;
    }
    out += char(uint8_t(v));
}

uint64_t ZigZag(int64_t v) { return (uint64_t(v) << 1) ^ uint64_t(v >> 63); }
int64_t UnZigZag(uint64_t v) { return int64_t(v >> 1) ^ -int64_t(v & 1); }

void Le32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xFF);
}

uint32_t ReadLe32(std::string_view s, std::size_t at)
{
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(uint8_t(s[at + std::size_t(i)])) << (8 * i);
    return v;
}

// Reads within one segment's bytes; every read checks what is left.
class Cursor {
public:
    explicit Cursor(std::string_view s) : s_(s) {}
    bool AtEnd() const { return at_ >= s_.size(); }
    std::size_t At() const { return at_; }
    void Skip(std::size_t n) { at_ += n; }
    bool Byte(uint8_t& v)
    {
        if (at_ >= s_.size())
            return false;
        v = uint8_t(s_[at_++]);
        return true;
    }
    bool Var(uint64_t& v)
    {
        v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            uint8_t b = 0;
            if (!Byte(b))
                return false;
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80))
                return shift < 63 || b <= 1;
        }
        return false;
    }
    bool Bytes(std::size_t n, std::string& out)
    {
        if (n > s_.size() - at_)
            return false;
        out.assign(s_.data() + at_, n);
        at_ += n;
        return true;
    }

private:
    std::string_view s_;
    std::size_t at_ = 0;
};

// Flag bits of an entry.
constexpr uint8_t kHasNumber = 1, kNumberIsDouble = 2, kHasBytes = 4, kThrew = 8, kHasTick = 16, kNumberIsFloat = 32;
// A board command's code in the file: this plus its word's place.
constexpr uint8_t kCommandCodes = 100;

bool DecodeEntry(Cursor& c, TapeEntry& e, uint32_t& lastTick)
{
    uint8_t kind = 0, flags = 0;
    uint64_t object = 0, index = 0;
    if (!c.Byte(kind) || kind < 1 || kind > 4 || !c.Byte(e.code) || !c.Byte(flags) || flags >= 64
        || (flags & kNumberIsDouble && flags & kNumberIsFloat)
        || !c.Var(object) || object > 0xFFFFFFFFu || !c.Var(index) || index > 0xFFFFFFFFu)
        return false;
    e.kind = TapeEntry::Kind(kind);
    e.object = uint32_t(object);
    const int64_t idx = UnZigZag(index);
    if (idx < INT32_MIN || idx > INT32_MAX)
        return false;
    e.index = int32_t(idx);
    e.threw = flags & kThrew;
    e.tick = 0;
    if (flags & kHasTick) {
        uint64_t d = 0;
        if (!c.Var(d))
            return false;
        lastTick = uint32_t(lastTick + uint32_t(UnZigZag(d)));
        e.tick = lastTick;
    }
    e.hasNumber = flags & kHasNumber;
    e.number = 0;
    if (e.hasNumber) {
        if (flags & kNumberIsDouble) {
            std::string raw;
            if (!c.Bytes(8, raw))
                return false;
            std::memcpy(&e.number, raw.data(), 8);
        } else if (flags & kNumberIsFloat) {
            std::string raw;
            if (!c.Bytes(4, raw))
                return false;
            float f = 0;
            std::memcpy(&f, raw.data(), 4);
            e.number = double(f);
        } else {
            uint64_t v = 0;
            if (!c.Var(v))
                return false;
            e.number = double(UnZigZag(v));
        }
    } else if (flags & (kNumberIsDouble | kNumberIsFloat)) {
        return false;
    }
    e.hasBytes = flags & kHasBytes;
    e.bytes.clear();
    if (e.hasBytes) {
        uint64_t n = 0;
        if (!c.Var(n) || n > kMaxSegmentBytes || !c.Bytes(std::size_t(n), e.bytes))
            return false;
    }
    // A board command: its word from its code.
    if (e.kind == TapeEntry::Kind::Output && e.code >= kCommandCodes) {
        const std::size_t word = e.code - kCommandCodes;
        if (word >= BoardCommandWords().size() || e.hasBytes)
            return false;
        e.code = TapeCode::kBoardCommand;
        e.hasBytes = true;
        e.bytes = BoardCommandWords()[word];
    }
    return true;
}

} // namespace

const std::vector<std::string>& BoardCommandWords()
{
    static const std::vector<std::string> words{"open",     "open_remote",  "close",        "ratiometric",
                                                "trigger",  "output",       "velocity",     "acceleration",
                                                "position", "engaged",      "position_min", "position_max",
                                                "ramping",  "velocity_limit"};
    return words;
}

std::string TapeDiff(std::string_view before, std::string_view after)
{
    std::string out;
    if (before.size() != after.size()) {
        // A whole new value: one run over all of it.
        Varint(out, 0);
        Varint(out, after.size());
        out.append(after);
        return out;
    }
    std::size_t i = 0, last = 0;
    const std::size_t n = after.size();
    constexpr std::size_t kStride = 64;
    while (i < n) {
        // Most of a record stays as it was: skip it a stride at a time.
        if (i + kStride <= n && std::memcmp(before.data() + i, after.data() + i, kStride) == 0) {
            i += kStride;
            continue;
        }
        if (before[i] == after[i]) {
            ++i;
            continue;
        }
        // A run of changes; short equal stretches inside it are cheaper kept.
        std::size_t end = i + 1;
        for (std::size_t same = 0; end < n; ++end) {
            same = before[end] == after[end] ? same + 1 : 0;
            if (same > 4) {
                end -= same - 1;
                break;
            }
        }
        if (end > n)
            end = n;
        while (end > i && before[end - 1] == after[end - 1])
            --end;
        Varint(out, i - last);
        Varint(out, end - i);
        out.append(after.substr(i, end - i));
        last = end;
        i = end;
    }
    return out;
}

bool ApplyTapeDiff(std::string& data, std::string_view changes)
{
    Cursor c(changes);
    std::string result = data;
    std::size_t at = 0;
    bool first = true;
    while (!c.AtEnd()) {
        uint64_t skip = 0, len = 0;
        if (!c.Var(skip) || !c.Var(len))
            return false;
        std::string run;
        if (!c.Bytes(std::size_t(std::min<uint64_t>(len, kMaxSegmentBytes + 1)), run) || run.size() != len)
            return false;
        // A whole new value of another size.
        if (first && skip == 0 && len != data.size() && c.AtEnd()) {
            data = run;
            return true;
        }
        first = false;
        if (skip > result.size() - at || len > result.size() - at - skip)
            return false;
        at += std::size_t(skip);
        result.replace(at, std::size_t(len), run);
        at += std::size_t(len);
    }
    data = std::move(result);
    return true;
}

void EncodeEntry(const TapeEntry& e, uint32_t& lastTick, std::string& out)
{
    const bool hasTick = e.kind == TapeEntry::Kind::Dispatch
                         || (e.kind == TapeEntry::Kind::Keyframe && e.code == TapeCode::kStart);
    const bool integral = e.hasNumber && std::isfinite(e.number) && e.number == std::trunc(e.number)
                          && std::fabs(e.number) < 9.0e15 && !(e.number == 0 && std::signbit(e.number));
    // A number a float holds exactly takes four bytes.
    const bool single = e.hasNumber && !integral && std::isfinite(e.number)
                        && double(float(e.number)) == e.number;
    // A board command's word goes into its code.
    uint8_t code = e.code;
    bool bytes = e.hasBytes;
    if (e.kind == TapeEntry::Kind::Output && e.code == TapeCode::kBoardCommand) {
        const auto& words = BoardCommandWords();
        for (std::size_t w = 0; w < words.size(); ++w)
            if (words[w] == e.bytes) {
                code = uint8_t(kCommandCodes + w);
                bytes = false;
            }
    }
    uint8_t flags = 0;
    if (e.hasNumber)
        flags |= kHasNumber | (integral ? 0 : single ? kNumberIsFloat : kNumberIsDouble);
    if (bytes)
        flags |= kHasBytes;
    if (e.threw)
        flags |= kThrew;
    if (hasTick)
        flags |= kHasTick;
    out += char(uint8_t(e.kind));
    out += char(code);
    out += char(flags);
    Varint(out, e.object);
    Varint(out, ZigZag(e.index));
    if (hasTick) {
        // Most dispatches are a few milliseconds apart: one or two bytes.
        Varint(out, ZigZag(int32_t(e.tick - lastTick)));
        lastTick = e.tick;
    }
    if (e.hasNumber) {
        if (integral) {
            Varint(out, ZigZag(int64_t(e.number)));
        } else if (single) {
            const float f = float(e.number);
            char raw[4];
            std::memcpy(raw, &f, 4);
            out.append(raw, 4);
        } else {
            char raw[8];
            std::memcpy(raw, &e.number, 8);
            out.append(raw, 8);
        }
    }
    if (bytes) {
        Varint(out, e.bytes.size());
        out += e.bytes;
    }
}

std::string TapeHeader()
{
    std::string h(kTapeSignature, sizeof kTapeSignature);
    h += char(kTapeVersion & 0xFF);
    h += char(kTapeVersion >> 8);
    return h;
}

std::string FrameSegment(const std::string& entries)
{
    std::string out = "SEGM";
    Le32(out, uint32_t(entries.size()));
    Le32(out, Crc32(reinterpret_cast<const uint8_t*>(entries.data()), entries.size()));
    out += entries;
    return out;
}

TapeReader::TapeReader(std::string_view file) : file_(file)
{
    if (file.size() < kTapeHeaderSize || std::memcmp(file.data(), kTapeSignature, sizeof kTapeSignature) != 0) {
        Fail("not a recording of this program (it does not start as one)");
        return;
    }
    const uint16_t version = uint16_t(uint8_t(file[8]) | uint8_t(file[9]) << 8);
    if (version == 0) {
        Fail("not a recording this program can read (recording format 0)");
        return;
    }
    if (version > kTapeVersion) {
        Fail("made by a newer version of the program (recording format " + std::to_string(version)
             + "; this one reads format " + std::to_string(kTapeVersion) + ")");
        return;
    }
    at_ = kTapeHeaderSize;
}

bool TapeReader::Fail(std::string message)
{
    if (error_.empty())
        error_ = std::move(message);
    segment_ = {};
    at_ = file_.size();
    return false;
}

bool TapeReader::NextSegment()
{
    if (!error_.empty() || at_ >= file_.size())
        return false;
    const std::size_t left = file_.size() - at_;
    const std::string where = "at byte " + std::to_string(at_);
    if (left < 12)
        return Fail("cut short: the segment " + where + " has no whole frame");
    if (file_.substr(at_, 4) != "SEGM")
        return Fail("damaged: no segment " + where);
    const uint32_t size = ReadLe32(file_, at_ + 4), crc = ReadLe32(file_, at_ + 8);
    if (size > kMaxSegmentBytes)
        return Fail("damaged: the segment " + where + " claims " + std::to_string(size) + " bytes");
    if (size > left - 12)
        return Fail("cut short: the segment " + where + " needs " + std::to_string(size) + " bytes, "
                    + std::to_string(left - 12) + " are there");
    segment_ = file_.substr(at_ + 12, size);
    if (Crc32(reinterpret_cast<const uint8_t*>(segment_.data()), segment_.size()) != crc)
        return Fail("damaged: the segment " + where + " fails its check");
    segmentStart_ = at_ + 12;
    at_ += 12 + size;
    inSegment_ = 0;
    ++segments_;
    return true;
}

bool TapeReader::Next(TapeEntry& entry)
{
    while (inSegment_ >= segment_.size()) {
        if (!NextSegment())
            return false;
        lastTick_ = 0;
    }
    Cursor c(segment_.substr(inSegment_));
    if (!DecodeEntry(c, entry, lastTick_))
        return Fail("damaged: a malformed entry at byte " + std::to_string(segmentStart_ + inSegment_));
    // A segment opens with a chapter's start or goes on with one; the
    // file's first opens a chapter.
    if (inSegment_ == 0) {
        const bool start = entry.kind == TapeEntry::Kind::Keyframe && entry.code == TapeCode::kStart;
        const bool more = entry.kind == TapeEntry::Kind::Keyframe && entry.code == TapeCode::kContinue;
        if (!(start || (more && segments_ > 1)))
            return Fail("damaged: the segment at byte " + std::to_string(segmentStart_ - 12)
                        + " does not open a chapter");
    }
    inSegment_ += c.At();
    return true;
}

std::string TapeReader::Validate(std::string_view file, std::size_t* entries)
{
    TapeReader r(file);
    TapeEntry e;
    std::size_t n = 0;
    while (r.Next(e))
        ++n;
    if (entries)
        *entries = n;
    if (r.Error().empty() && r.Segments() == 0)
        return "empty: it holds no recorded session";
    return r.Error();
}

} // namespace zrk

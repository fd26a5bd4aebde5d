#include "app/PngImage.h"

#include <algorithm>
#include <array>

namespace zrk {

namespace {

// ---- deflate with the fixed codes, matching only against the pixel to
// the left and the one above: charts are mostly flat colour, which this
// compresses well at a fraction of a general compressor's code ----

class BitWriter {
public:
    explicit BitWriter(std::string& out) : out_(out) {}
    // `count` bits of `value`, least significant first.
    void Put(uint32_t value, int count)
    {
        for (int i = 0; i < count; ++i) {
            acc_ |= ((value >> i) & 1u) << used_;
            if (++used_ == 8)
                Flush();
        }
    }
    // A Huffman code, most significant bit first.
    void Code(uint32_t code, int length)
    {
        for (int i = length - 1; i >= 0; --i)
            Put((code >> i) & 1u, 1);
    }
    void Finish()
    {
        if (used_ > 0)
            Flush();
    }

private:
    void Flush()
    {
        out_ += char(acc_);
        acc_ = 0;
        used_ = 0;
    }
    std::string& out_;
    uint32_t acc_ = 0;
    int used_ = 0;
};

void Symbol(BitWriter& w, int symbol)
{
    if (symbol < 144)
        w.Code(0x30u + uint32_t(symbol), 8);
    else if (symbol < 256)
        w.Code(0x190u + uint32_t(symbol - 144), 9);
    else if (symbol < 280)
        w.Code(uint32_t(symbol - 256), 7);
    else
        w.Code(0xC0u + uint32_t(symbol - 280), 8);
}

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistBase = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                           33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                           1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistExtra = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                            6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void Match(BitWriter& w, int length, int distance)
{
    std::size_t l = std::size_t(std::upper_bound(kLengthBase.begin(), kLengthBase.end(), length) - kLengthBase.begin()) - 1;
    Symbol(w, 257 + int(l));
    w.Put(uint32_t(length - kLengthBase[l]), kLengthExtra[l]);
    std::size_t d = std::size_t(std::upper_bound(kDistBase.begin(), kDistBase.end(), distance) - kDistBase.begin()) - 1;
    w.Code(uint32_t(d), 5);
    w.Put(uint32_t(distance - kDistBase[d]), kDistExtra[d]);
}

std::string Deflate(const std::string& raw, int rowBytes)
{
    std::string out;
    BitWriter w(out);
    w.Put(1, 1);   // the last block
    w.Put(1, 2);   // with the fixed codes
    const std::size_t n = raw.size();
    const auto matchLength = [&](std::size_t at, std::size_t distance) {
        std::size_t len = 0;
        while (at + len < n && len < 258 && raw[at + len] == raw[at + len - distance])
            ++len;
        return len;
    };
    std::size_t i = 0;
    while (i < n) {
        std::size_t best = 0, bestDistance = 0;
        for (std::size_t distance : {std::size_t(3), std::size_t(rowBytes)}) {
            if (distance == 0 || distance > i || distance > 32768)
                continue;
            const std::size_t len = matchLength(i, distance);
            if (len > best) {
                best = len;
                bestDistance = distance;
            }
        }
        if (best >= 3) {
            Match(w, int(best), int(bestDistance));
            i += best;
        } else {
            Symbol(w, uint8_t(raw[i]));
            ++i;
        }
    }
    Symbol(w, 256);
    w.Finish();
    return out;
}

uint32_t Adler32(const std::string& data)
{
    uint32_t a = 1, b = 0;
    for (unsigned char c : data) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void Be32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((v >> shift) & 0xFF);
}

void Chunk(std::string& out, const char* type, const std::string& data)
{
    Be32(out, uint32_t(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    Be32(out, Crc32(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

} // namespace

uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::string EncodePng(const RgbImage& image)
{
    // Widths beyond this would make a row longer than deflate's reach.
    if (!image.Valid() || image.width > 10000 || image.height > 10000)
        return {};
    const int rowBytes = 1 + image.width * 3;
    std::string raw;
    raw.reserve(std::size_t(rowBytes) * std::size_t(image.height));
    for (int y = 0; y < image.height; ++y) {
        raw += '\0';   // no filter
        for (int x = 0; x < image.width; ++x) {
            const uint32_t p = image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
            raw += char((p >> 16) & 0xFF);
            raw += char((p >> 8) & 0xFF);
            raw += char(p & 0xFF);
        }
    }
    std::string z;
    z += char(0x78);
    z += char(0x01);
    z += Deflate(raw, rowBytes);
    Be32(z, Adler32(raw));

    std::string ihdr;
    Be32(ihdr, uint32_t(image.width));
    Be32(ihdr, uint32_t(image.height));
    ihdr += char(8);   // bits per channel
    ihdr += char(2);   // RGB
    ihdr += std::string(3, '\0');

    std::string png = "\x89PNG\r\n\x1a\n";
    Chunk(png, "IHDR", ihdr);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", "");
    return png;
}

} // namespace zrk

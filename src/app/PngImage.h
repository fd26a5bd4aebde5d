#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace zrk {

// An image of width × height pixels, row by row from the top, each pixel
// 0x00RRGGBB (the layout of Qt's QRgb and of a 32-bit Windows DIB).
struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool Valid() const
    {
        return width > 0 && height > 0 && pixels.size() == std::size_t(width) * std::size_t(height);
    }
};

// The image as the bytes of a PNG file (8-bit RGB, compressed); empty for
// an invalid image. Both programs save their charts with it, so a saved
// picture is the same file format wherever it was taken.
std::string EncodePng(const RgbImage& image);

// CRC-32 as PNG chunks and zip files use it.
uint32_t Crc32(const uint8_t* data, std::size_t size, uint32_t crc = 0);

} // namespace zrk

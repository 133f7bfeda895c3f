#pragma once
// Small image files built in memory for reader and texture tests.
#include <cstdint>
#include <climits>
#include <string>
#include <vector>

namespace TestSupport {

inline void putU16(std::string& bytes, size_t offset, uint16_t v) {
    bytes[offset] = static_cast<char>(v & 0xff);
    bytes[offset + 1] = static_cast<char>(v >> 8);
}

inline void putU32(std::string& bytes, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}

// Padded bytes of one stored 24-bit row.
inline size_t bmpStride(int width) { return (static_cast<size_t>(width) * 3 + 3) / 4 * 4; }

// Blue-green-red of pixel (x, y), y counted from the bottom row as stored.
inline void bmpPixel(int x, int y, unsigned char bgr[3]) {
    bgr[0] = static_cast<unsigned char>(10 + 40 * x);
    bgr[1] = static_cast<unsigned char>(20 + 50 * y);
    bgr[2] = static_cast<unsigned char>(200 - 30 * x - 20 * y);
}

// A 24-bit BMP with the pattern of bmpPixel and zero row padding. `sizeField` is written as the
// image-size field; `dataBytes` limits the pixel bytes written (-1: all padded rows).
inline std::string makeBMP(int width, int height, uint32_t sizeField, long dataBytes = -1, uint16_t bits = 24,
                           uint32_t compression = 0) {
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    putU32(bytes, 10, 54);
    putU32(bytes, 14, 40);
    putU32(bytes, 18, static_cast<uint32_t>(width));
    putU32(bytes, 22, static_cast<uint32_t>(height));
    putU16(bytes, 26, 1);
    putU16(bytes, 28, bits);
    putU32(bytes, 30, compression);
    putU32(bytes, 34, sizeField);
    std::string data;
    const size_t limit = dataBytes >= 0 ? static_cast<size_t>(dataBytes) : SIZE_MAX;
    for (int y = 0; y < height && width > 0 && data.size() < limit; ++y) {
        std::string row(bmpStride(width), '\0');
        for (int x = 0; x < width; ++x) bmpPixel(x, y, reinterpret_cast<unsigned char*>(&row[3 * x]));
        data += row;
    }
    if (dataBytes >= 0) data.resize(static_cast<size_t>(dataBytes), '\0');
    putU32(bytes, 2, static_cast<uint32_t>(54 + data.size()));
    return bytes + data;
}

// A DDS header for `fourCC` followed by `data`.
inline std::string makeDDS(uint32_t width, uint32_t height, uint32_t linearSize, uint32_t mipMapCount,
                           const std::string& fourCC, const std::string& data) {
    std::string bytes(128, '\0');
    bytes.replace(0, 4, "DDS ");
    putU32(bytes, 4, 124);
    putU32(bytes, 4 + 8, height);
    putU32(bytes, 4 + 12, width);
    putU32(bytes, 4 + 16, linearSize);
    putU32(bytes, 4 + 24, mipMapCount);
    putU32(bytes, 4 + 72, 32);
    bytes.replace(4 + 80, 4, fourCC.substr(0, 4));
    return bytes + data;
}

// One 4 x 4 DXT1 block of a single RGB565 colour (index 0 everywhere).
inline std::string dxt1SolidBlock(uint16_t rgb565) {
    std::string block(8, '\0');
    putU16(block, 0, rgb565);
    putU16(block, 2, 0);
    return block;
}

// One 16-byte DXT5 block of a single RGB565 colour with alpha 255.
inline std::string dxt5SolidBlock(uint16_t rgb565) {
    std::string block(16, '\0');
    block[0] = static_cast<char>(0xff);
    block[1] = static_cast<char>(0xff);
    return block.substr(0, 8) + dxt1SolidBlock(rgb565);
}

// One 16-byte DXT3 block: explicit alpha 15 everywhere, then the colour block.
inline std::string dxt3SolidBlock(uint16_t rgb565) {
    return std::string(8, static_cast<char>(0xff)) + dxt1SolidBlock(rgb565);
}

inline std::string repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace TestSupport

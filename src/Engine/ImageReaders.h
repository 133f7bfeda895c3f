#pragma once
// GL-free decoders of the engine's own image formats, over a file held in memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace VantorEngine {

// Largest width or height accepted from a file; larger values are taken as corrupt.
constexpr int kMaxImageDimension = 16384;

constexpr std::size_t kBMPHeaderSize = 54;
constexpr std::size_t kDDSMagicSize = 4;
constexpr std::size_t kDDSHeaderSize = 124;

// A 24-bit BMP's pixels as stored: rows bottom-up, blue-green-red, each row padded to a
// multiple of 4 bytes. `pixels` holds exactly bmpRowStride(width) * height bytes.
struct BMPImage {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> pixels;
};

// Bytes of one stored BMP row of `width` 24-bit pixels.
std::size_t bmpRowStride(int width);

// Decodes a whole .bmp file. On failure returns false and sets `message` to the line to print
// ("Not a correct BMP file\n" for a rejected header, a line naming `name` for unsafe sizes).
// `maxDimension` is the largest side the caller's texture target accepts (GL_MAX_TEXTURE_SIZE).
// The pixel rows a short file or a short size field leaves out read as zero; a file holding
// less than a quarter of its pixel data is refused. `pixels` is never larger than the padded
// rows, whatever the size field declares.
bool decodeBMP(const std::string& bytes, const std::string& name, BMPImage& image, std::string& message,
               int maxDimension = kMaxImageDimension);

enum class DXTFormat { DXT1, DXT3, DXT5 };

// Bytes per 4 x 4 block: 8 for DXT1, 16 for DXT3 and DXT5.
unsigned dxtBlockSize(DXTFormat format);

// One mipmap level's place inside DDSImage::data.
struct DDSLevel {
    int width = 0;
    int height = 0;
    std::size_t offset = 0;
    std::size_t size = 0;
};

struct DDSImage {
    DXTFormat format = DXTFormat::DXT1;
    unsigned width = 0;          // level 0
    unsigned height = 0;         // level 0
    unsigned linearSize = 0;     // header's byte size of level 0
    unsigned mipMapCount = 0;    // header's level count
    std::string data;            // level data as read (never more than the file holds)
    std::vector<DDSLevel> levels;  // the levels that lie wholly inside `data`, largest first
};

// Decodes a whole .dds file. False for a wrong magic or an unknown FourCC (with `message`
// empty: nothing is reported) and for a truncated or corrupt file (with `message` set). On
// success `message` is non-empty when levels had to be dropped because their data is missing.
bool decodeDDS(const std::string& bytes, const std::string& name, DDSImage& image, std::string& message);

}  // namespace VantorEngine

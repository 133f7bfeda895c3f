#include "ImageReaders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace VantorEngine {

namespace {

constexpr std::size_t kBMPWidthOffset = 18;
constexpr std::size_t kBMPHeightOffset = 22;
constexpr std::size_t kBMPBitsOffset = 28;
constexpr std::size_t kBMPCompressionOffset = 30;
constexpr std::size_t kBMPImageSizeOffset = 34;
constexpr std::uint32_t kBMPBitsPerPixel = 24;
constexpr std::size_t kBMPBytesPerPixel = 3;
// A BMP must hold at least this fraction (1/4) of its padded pixel rows to be read.
constexpr std::size_t kBMPMinimumPresentFraction = 4;

constexpr std::size_t kDDSHeightOffset = 8;
constexpr std::size_t kDDSWidthOffset = 12;
constexpr std::size_t kDDSLinearSizeOffset = 16;
constexpr std::size_t kDDSMipMapCountOffset = 24;
constexpr std::size_t kDDSFourCCOffset = 80;
constexpr std::size_t kDDSDataOffset = kDDSMagicSize + kDDSHeaderSize;

const char* const kNotABMP = "Not a correct BMP file\n";

std::uint32_t readU32(const std::string& bytes, std::size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::int32_t readI32(const std::string& bytes, std::size_t offset) {
    return static_cast<std::int32_t>(readU32(bytes, offset));
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char line[512];
    std::snprintf(line, sizeof line, pattern, args...);
    return line;
}

// Number of levels of a full mipmap chain down to 1 x 1.
unsigned fullChainLevels(unsigned width, unsigned height) {
    unsigned levels = 1;
    for (unsigned size = std::max(width, height); size > 1; size /= 2) ++levels;
    return levels;
}

}  // namespace

std::size_t bmpRowStride(int width) {
    return (static_cast<std::size_t>(width) * kBMPBytesPerPixel + 3) / 4 * 4;
}

bool decodeBMP(const std::string& bytes, const std::string& name, BMPImage& image, std::string& message,
               int maxDimension) {
    message.clear();
    if (bytes.size() < kBMPHeaderSize || bytes[0] != 'B' || bytes[1] != 'M' ||
        readU32(bytes, kBMPCompressionOffset) != 0 || readU32(bytes, kBMPBitsOffset) != kBMPBitsPerPixel) {
        message = kNotABMP;
        return false;
    }
    const std::int32_t width = readI32(bytes, kBMPWidthOffset);
    const std::int32_t height = readI32(bytes, kBMPHeightOffset);
    // Rows are taken bottom-up, so a negative (top-down) height is refused like a corrupt one.
    if (width <= 0 || height <= 0 || width > kMaxImageDimension || height > kMaxImageDimension) {
        message = format("Not a correct BMP file: %s has unsupported dimensions %d x %d\n", name.c_str(),
                         static_cast<int>(width), static_cast<int>(height));
        return false;
    }
    if (width > maxDimension || height > maxDimension) {
        message = format("BMP file %s is %d x %d, larger than the %d x %d this OpenGL accepts for a texture\n",
                         name.c_str(), static_cast<int>(width), static_cast<int>(height), maxDimension, maxDimension);
        return false;
    }
    // OpenGL reads whole padded rows, so that is what the buffer holds, whatever the size field
    // says: an oversized field allocates nothing extra.
    const std::size_t needed = bmpRowStride(width) * static_cast<std::size_t>(height);
    const std::size_t available = bytes.size() - kBMPHeaderSize;
    // A file missing most of its pixels is taken as corrupt rather than shown as a black image;
    // this also keeps a tiny file that declares a huge image from allocating hundreds of MiB.
    if (available * kBMPMinimumPresentFraction < needed) {
        message = format("Not a correct BMP file: %s holds %zu bytes of pixel data, its %d x %d image needs %zu\n",
                         name.c_str(), available, static_cast<int>(width), static_cast<int>(height), needed);
        return false;
    }
    // A zero size field means the stored rows, padding included (width x height x 3 alone would
    // drop the last pixels of an image whose rows are padded).
    const std::uint32_t sizeField = readU32(bytes, kBMPImageSizeOffset);
    const std::size_t declared = sizeField != 0 ? static_cast<std::size_t>(sizeField) : needed;
    // What the size field and the file both cover is read; rows beyond it stay zero.
    const std::size_t copied = std::min({declared, available, needed});
    image.width = width;
    image.height = height;
    image.pixels.assign(needed, 0);
    std::memcpy(image.pixels.data(), bytes.data() + kBMPHeaderSize, copied);
    return true;
}

unsigned dxtBlockSize(DXTFormat format) { return format == DXTFormat::DXT1 ? 8u : 16u; }

bool decodeDDS(const std::string& bytes, const std::string& name, DDSImage& image, std::string& message) {
    message.clear();
    if (bytes.size() < kDDSMagicSize || bytes.compare(0, kDDSMagicSize, "DDS ") != 0) return false;
    if (bytes.size() < kDDSDataOffset) {
        message = format("Not a correct DDS file: %s ends inside its header (%zu of %zu bytes)\n", name.c_str(),
                         bytes.size(), kDDSDataOffset);
        return false;
    }
    const std::size_t header = kDDSMagicSize;
    const std::string fourCC = bytes.substr(header + kDDSFourCCOffset, 4);
    if (fourCC == "DXT1") {
        image.format = DXTFormat::DXT1;
    } else if (fourCC == "DXT3") {
        image.format = DXTFormat::DXT3;
    } else if (fourCC == "DXT5") {
        image.format = DXTFormat::DXT5;
    } else {
        return false;
    }
    image.height = readU32(bytes, header + kDDSHeightOffset);
    image.width = readU32(bytes, header + kDDSWidthOffset);
    image.linearSize = readU32(bytes, header + kDDSLinearSizeOffset);
    image.mipMapCount = readU32(bytes, header + kDDSMipMapCountOffset);
    const unsigned maxDimension = static_cast<unsigned>(kMaxImageDimension);
    if (image.width == 0 || image.height == 0 || image.width > maxDimension || image.height > maxDimension) {
        message = format("Not a correct DDS file: %s has unsupported dimensions %u x %u\n", name.c_str(), image.width,
                         image.height);
        return false;
    }

    // Level data: twice the level-0 size when there are mipmaps, never more than the file holds.
    const std::uint64_t promised = image.mipMapCount > 1 ? 2ull * image.linearSize : image.linearSize;
    const std::size_t available = bytes.size() - kDDSDataOffset;
    image.data = bytes.substr(kDDSDataOffset, static_cast<std::size_t>(std::min<std::uint64_t>(promised, available)));

    // Levels past 1 x 1 do not exist in OpenGL, whatever the header claims.
    const unsigned wanted = std::min(image.mipMapCount, fullChainLevels(image.width, image.height));
    const std::size_t block = dxtBlockSize(image.format);
    image.levels.clear();
    unsigned width = image.width;
    unsigned height = image.height;
    std::size_t offset = 0;
    for (unsigned level = 0; level < wanted; ++level) {
        const std::size_t size = static_cast<std::size_t>((width + 3) / 4) * ((height + 3) / 4) * block;
        if (size > image.data.size() - offset) break;
        image.levels.push_back({static_cast<int>(width), static_cast<int>(height), offset, size});
        offset += size;
        width = std::max(1u, width / 2);
        height = std::max(1u, height / 2);
    }
    if (wanted > 0 && image.levels.empty()) {
        const std::size_t levelZero =
            static_cast<std::size_t>((image.width + 3) / 4) * ((image.height + 3) / 4) * block;
        message = format("Not a correct DDS file: %s holds %zu bytes of level data, level 0 needs %zu\n", name.c_str(),
                         image.data.size(), levelZero);
        return false;
    }
    if (image.levels.size() < wanted) {
        message = format("DDS file %s: only %zu of %u mipmap levels lie inside its level data; the rest are skipped\n",
                         name.c_str(), image.levels.size(), wanted);
    }
    return true;
}

}  // namespace VantorEngine

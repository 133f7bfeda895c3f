// The DDS reader on arbitrary bytes. Every level it hands to the upload must lie inside the
// data it read and have the block-rounded size its width and height need.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ImageReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace VantorEngine;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    DDSImage image;
    std::string message;
    if (!decodeDDS(bytes, "fuzz.dds", image, message)) return 0;
    FUZZ_CHECK(!image.levels.empty() || image.mipMapCount == 0);
    FUZZ_CHECK(image.data.size() <= size);
    const std::size_t block = dxtBlockSize(image.format);
    std::size_t expectedOffset = 0;
    unsigned width = image.width;
    unsigned height = image.height;
    for (const DDSLevel& level : image.levels) {
        FUZZ_CHECK(level.width >= 1 && level.height >= 1);
        FUZZ_CHECK(static_cast<unsigned>(level.width) == width && static_cast<unsigned>(level.height) == height);
        FUZZ_CHECK(level.offset == expectedOffset);
        FUZZ_CHECK(level.size == static_cast<std::size_t>((width + 3) / 4) * ((height + 3) / 4) * block);
        FUZZ_CHECK(level.offset + level.size <= image.data.size());
        // The upload reads the whole level.
        volatile char first = image.data[level.offset];
        volatile char last = image.data[level.offset + level.size - 1];
        (void)first;
        (void)last;
        expectedOffset += level.size;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    return 0;
}

// The BMP reader on arbitrary bytes. Besides memory errors, a decoded image must hold every
// byte that the texture upload reads, whole 4-byte-padded rows for every row, and no more than a
// small multiple of the bytes the file holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "ImageReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    VantorEngine::BMPImage image;
    std::string message;
    if (!VantorEngine::decodeBMP(bytes, "fuzz.bmp", image, message)) {
        FUZZ_CHECK(!message.empty());
        return 0;
    }
    FUZZ_CHECK(image.width > 0 && image.height > 0);
    FUZZ_CHECK(image.width <= VantorEngine::kMaxImageDimension && image.height <= VantorEngine::kMaxImageDimension);
    const std::size_t uploaded = VantorEngine::bmpRowStride(image.width) * static_cast<std::size_t>(image.height);
    FUZZ_CHECK(image.pixels.size() == uploaded);
    // The buffer follows the bytes the file holds, never the size field: at most four times them.
    FUZZ_CHECK(uploaded <= 4 * (size - VantorEngine::kBMPHeaderSize));
    // Touch what the upload would read, so a short buffer is also caught by AddressSanitizer.
    unsigned sum = 0;
    for (std::size_t i = 0; i < uploaded; i += 97) sum += image.pixels[i];
    sum += image.pixels[uploaded - 1];
    return static_cast<int>(sum & 0);
}

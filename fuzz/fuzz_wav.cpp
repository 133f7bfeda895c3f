// The WAVE header reader on arbitrary bytes, followed by what the sound layer does with an
// accepted header: copy the data chunk and compute the length.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "Sound.h"
#include "WavHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace VantorEngine;
    WavInfo info;
    std::string error;
    if (!parseWavHeader(data, size, info, error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    FUZZ_CHECK(info.dataOffset <= size);
    FUZZ_CHECK(info.dataSize <= size - info.dataOffset);
    FUZZ_CHECK(info.channels > 0 && info.sampleRate > 0 && info.bitsPerSample % 8 == 0);
    const uint8_t* first = data + info.dataOffset;
    Sound* sound = new Sound("fuzz.wav", info, std::vector<uint8_t>(first, first + info.dataSize));
    const double seconds = sound->lengthSeconds();
    FUZZ_CHECK(std::isfinite(seconds) && seconds >= 0.0);
    sound->release();
    return 0;
}

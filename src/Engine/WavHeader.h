#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace VantorEngine {

// What the RIFF/WAVE header of a PCM file says about its samples.
struct WavInfo {
    uint16_t format = 0;         // 1 = integer PCM, 3 = float
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    uint32_t dataOffset = 0;     // byte offset of the sample data in the file
    uint32_t dataSize = 0;       // bytes of sample data
};

// Parses the RIFF/WAVE header of `bytes` (the whole file or at least its header chunks).
// Walks the chunk list without reading past `size`; false with `error` set when the data is not
// a playable PCM WAVE file or the data chunk does not fit in the file.
bool parseWavHeader(const uint8_t* bytes, size_t size, WavInfo& info, std::string& error);

}  // namespace VantorEngine

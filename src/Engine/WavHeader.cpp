#include "WavHeader.h"

#include <cstring>

namespace VantorEngine {

namespace {

uint32_t readU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint16_t readU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

constexpr size_t kRiffHeaderSize = 12;
constexpr size_t kChunkHeaderSize = 8;
constexpr size_t kFmtMinimumSize = 16;

}  // namespace

bool parseWavHeader(const uint8_t* bytes, size_t size, WavInfo& info, std::string& error) {
    info = WavInfo{};
    if (!bytes || size < kRiffHeaderSize || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0) {
        error = "not a RIFF/WAVE file";
        return false;
    }
    bool haveFormat = false;
    size_t offset = kRiffHeaderSize;
    while (size - offset >= kChunkHeaderSize) {
        const uint8_t* chunk = bytes + offset;
        const uint32_t chunkSize = readU32(chunk + 4);
        const size_t bodyOffset = offset + kChunkHeaderSize;
        const size_t available = size - bodyOffset;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < kFmtMinimumSize || available < kFmtMinimumSize) {
                error = "format chunk too short";
                return false;
            }
            const uint8_t* body = bytes + bodyOffset;
            info.format = readU16(body);
            info.channels = readU16(body + 2);
            info.sampleRate = readU32(body + 4);
            info.bitsPerSample = readU16(body + 14);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                error = "data chunk before the format chunk";
                return false;
            }
            if (chunkSize > available) {
                error = "data chunk larger than the file";
                return false;
            }
            info.dataOffset = static_cast<uint32_t>(bodyOffset);
            info.dataSize = chunkSize;
            if ((info.format != 1 && info.format != 3) || info.channels == 0 ||
                info.sampleRate == 0 || info.bitsPerSample == 0 || info.bitsPerSample % 8 != 0) {
                error = "unsupported sample format";
                return false;
            }
            return true;
        }
        // Chunks are padded to an even size.
        const uint64_t next = static_cast<uint64_t>(bodyOffset) + chunkSize + (chunkSize & 1u);
        if (next > size) break;
        offset = static_cast<size_t>(next);
    }
    error = haveFormat ? "no data chunk" : "no format chunk";
    return false;
}

}  // namespace VantorEngine

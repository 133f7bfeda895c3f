// The volume dataset reader and the conversion passes on a description and a file taken from
// the input. The file is parsed from memory and read from disk by the loader's own code; both
// must agree, a size the loader accepts must be one the passes can walk without leaving their
// buffers, and every voxel's density must be the documented shift of its (flipped) sample.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "VolumeFile.h"
#include "VolumeFuzzInput.h"
#include "VolumePreprocessing.h"

namespace {

using namespace VantorEngine;

// A typical GL_MAX_3D_TEXTURE_SIZE.
constexpr int kMaxTextureSize = 2048;
// Accepted sizes above this are valid but would only make the run slow; their size check still
// runs, the reading and converting do not.
constexpr std::size_t kMaxFuzzVoxels = std::size_t(1) << 12;

int32_t readI32(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                                (uint32_t(p[3]) << 24));
}

// The loader reads a path, so each input is also written to this file. A plain array: it
// must still exist when the exit handler removes the file.
char scratchFile[64];

void removeScratchFile() { std::remove(scratchFile); }

const char* scratchPath() {
    if (scratchFile[0] == 0) {
        std::snprintf(scratchFile, sizeof scratchFile, "/tmp/nimbrel-fuzz-volume-%d.dat", static_cast<int>(getpid()));
        std::atexit(removeScratchFile);
    }
    return scratchFile;
}

uint16_t sampleAt(const uint8_t* file, std::size_t fileSize, std::size_t offset, std::size_t i) {
    const std::size_t at = offset + 2 * i;
    if (at + 1 >= fileSize) return 0;
    return uint16_t(file[at] | (file[at + 1] << 8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < VolumeFuzzInput::descriptionBytes) return 0;
    VolumeDescription d;
    d._path = scratchPath();
    d._hasHeader = (data[0] & VolumeFuzzInput::headerFlag) != 0;
    d._flipX = (data[0] & VolumeFuzzInput::flipXFlag) != 0;
    d._flipY = (data[0] & VolumeFuzzInput::flipYFlag) != 0;
    d._flipZ = (data[0] & VolumeFuzzInput::flipZFlag) != 0;
    d._bitsPerSample = static_cast<int8_t>(data[1]);
    d._width = readI32(data + 2);
    d._height = readI32(data + 6);
    d._depth = readI32(data + 10);
    const uint8_t* file = data + VolumeFuzzInput::descriptionBytes;
    const std::size_t fileSize = size - VolumeFuzzInput::descriptionBytes;

    // What the size check says about the size the file will end up with.
    VolumeDescription sized = d;
    if (d._hasHeader && !parseVolumeHeader(sized, file, fileSize)) {
        FUZZ_CHECK(fileSize < std::size_t(volumeHeaderBytes));
    }
    const bool acceptable = volumeSizeProblem(sized, kMaxTextureSize).empty() &&
                            !(d._hasHeader && fileSize < std::size_t(volumeHeaderBytes));
    if (acceptable) {
        FUZZ_CHECK(sized._width > 0 && sized._height > 0 && sized._depth > 0);
        FUZZ_CHECK(sized._bitsPerSample >= minBitsPerSample && sized._bitsPerSample <= maxBitsPerSample);
        const std::size_t voxels = std::size_t(sized._width) * sized._height * sized._depth;
        FUZZ_CHECK(voxels * colorChannels <= std::size_t(INT32_MAX));
        if (voxels > kMaxFuzzVoxels) return 0;
    }

    VolumeDescription fromMemory = d;
    VolumeSamples samples;
    std::string problem;
    const VolumeReadResult memoryResult =
        parseVolumeFile(fromMemory, file, fileSize, kMaxTextureSize, samples, problem);
    FUZZ_CHECK((memoryResult == VolumeReadResult::read) == acceptable);
    FUZZ_CHECK((memoryResult == VolumeReadResult::read) == problem.empty());

    // The loader reads from disk; it must see the same samples.
    {
        std::FILE* out = std::fopen(scratchPath(), "wb");
        FUZZ_CHECK(out != nullptr);
        if (fileSize > 0) FUZZ_CHECK(std::fwrite(file, 1, fileSize, out) == fileSize);
        std::fclose(out);
    }
    VolumeDescription fromDisk = d;
    VolumeSamples diskSamples;
    std::string diskProblem;
    std::fflush(stdout);
    const VolumeReadResult diskResult = readVolumeFile(fromDisk, kMaxTextureSize, diskSamples, diskProblem);
    FUZZ_CHECK(diskResult == memoryResult);
    FUZZ_CHECK(diskSamples == samples);
    if (memoryResult != VolumeReadResult::read) return 0;
    FUZZ_CHECK(fromDisk._width == fromMemory._width && fromDisk._height == fromMemory._height &&
               fromDisk._depth == fromMemory._depth);

    const VolumeDescription& v = fromMemory;
    const std::size_t voxels = std::size_t(v._width) * v._height * v._depth;
    FUZZ_CHECK(samples.size() == voxels);
    const std::size_t offset = v._hasHeader ? volumeHeaderBytes : 0;
    for (std::size_t i = 0; i < voxels; ++i) FUZZ_CHECK(samples[i] == sampleAt(file, fileSize, offset, i));

    // One worker: the passes' results do not depend on the thread count, and threads per input
    // would only slow the run.
    std::vector<int8_t> buffer(voxels * colorChannels);
    convertRawData(v, samples.data(), buffer.data(), 1);
    const int shift = v._bitsPerSample - 7;
    for (int z = 0; z < v._depth; ++z) {
        for (int y = 0; y < v._height; ++y) {
            for (int x = 0; x < v._width; ++x) {
                const std::size_t i = std::size_t(x) + std::size_t(v._width) * (y + std::size_t(v._height) * z);
                const int tx = v._flipX ? v._width - 1 - x : x;
                const int ty = v._flipY ? v._height - 1 - y : y;
                const int tz = v._flipZ ? v._depth - 1 - z : z;
                const int8_t density = static_cast<int8_t>((samples[i] >> shift) & 0xFF);
                const int at = voxelIndex(tx, ty, tz, densityChannel, v._width, v._height, v._depth);
                FUZZ_CHECK(buffer[std::size_t(at)] == density);
            }
        }
    }
    // The texture's one-sweep path gives the same bytes as the three passes.
    std::vector<int8_t> swept(buffer.size(), int8_t(0x5A));
    preprocessVolume(v, samples.data(), swept.data(), 1);
    computeGradients(v, buffer.data(), 1);
    filterGradients(v, buffer.data(), 1);
    FUZZ_CHECK(swept == buffer);
    return 0;
}

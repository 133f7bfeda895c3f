#include "VolumeFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include "FilePath.h"
#include "VolumePreprocessing.h"

namespace VantorEngine {

namespace {

constexpr size_t readChunkBytes = size_t(16) << 20;

uint16_t readLittleEndian16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }

// Samples are little-endian in the file; the list holds native values.
void samplesFromFileOrder(uint16_t* samples, size_t count) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    for (size_t i = 0; i < count; ++i) samples[i] = uint16_t((samples[i] >> 8) | (samples[i] << 8));
#else
    (void)samples;
    (void)count;
#endif
}

std::string sizeText(const VolumeDescription& d) {
    return std::to_string(d._width) + " x " + std::to_string(d._height) + " x " + std::to_string(d._depth);
}

std::string fileName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

size_t voxelCount(const VolumeDescription& d) {
    return size_t(d._width) * size_t(d._height) * size_t(d._depth);
}

}  // namespace

void adviseHugePages(void* block, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Without huge pages the memory works the same, with more page faults.
    madvise(block, bytes, MADV_HUGEPAGE);
#else
    (void)block;
    (void)bytes;
#endif
}

void* allocateLargeBlock(size_t bytes) {
    void* block = ::operator new(bytes, std::align_val_t(hugePageBytes));
    adviseHugePages(block, bytes);
    return block;
}

void releaseLargeBlock(void* block, size_t) noexcept { ::operator delete(block, std::align_val_t(hugePageBytes)); }

std::string volumeSizeProblem(const VolumeDescription& d, int maxTextureSize) {
    const std::string where = d._hasHeader ? " (from the file's header)" : "";
    if (d._width <= 0 || d._height <= 0 || d._depth <= 0) {
        return "the size " + sizeText(d) + where + " has an empty side";
    }
    if (d._bitsPerSample < minBitsPerSample || d._bitsPerSample > maxBitsPerSample) {
        return std::to_string(d._bitsPerSample) + " bits per sample is outside 7 to 16";
    }
    // Positive sides below 2^31: width * height fits, the rest is compared by division so that
    // an absurd description cannot overflow the check itself.
    const long long area = (long long)d._width * d._height;
    if (area > INT_MAX / colorChannels / d._depth) {
        const bool countable = area <= LLONG_MAX / colorChannels / d._depth;
        const std::string bytes = countable ? std::to_string(area * d._depth * colorChannels)
                                            : "more than " + std::to_string(LLONG_MAX);
        return "the size " + sizeText(d) + where + " needs " + bytes +
               " buffer bytes, more than the 32-bit buffer index allows (" + std::to_string(INT_MAX) + ")";
    }
    if (maxTextureSize > 0 && (d._width > maxTextureSize || d._height > maxTextureSize || d._depth > maxTextureSize)) {
        return "the size " + sizeText(d) + where + " exceeds the largest 3D texture this OpenGL allows (" +
               std::to_string(maxTextureSize) + " per side)";
    }
    return std::string();
}

bool parseVolumeHeader(VolumeDescription& d, const unsigned char* bytes, size_t size) {
    if (size < size_t(volumeHeaderBytes)) return false;
    d._width = readLittleEndian16(bytes);
    d._height = readLittleEndian16(bytes + 2);
    d._depth = readLittleEndian16(bytes + 4);
    return true;
}

VolumeReadResult parseVolumeFile(VolumeDescription& d, const unsigned char* bytes, size_t size, int maxTextureSize,
                                 VolumeSamples& samples, std::string& problem) {
    samples.clear();
    size_t offset = 0;
    if (d._hasHeader) {
        if (!parseVolumeHeader(d, bytes, size)) {
            problem = "the file has " + std::to_string(size) + " bytes, too few for its 6-byte size header";
            return VolumeReadResult::badHeader;
        }
        offset = volumeHeaderBytes;
    }
    problem = volumeSizeProblem(d, maxTextureSize);
    if (!problem.empty()) return VolumeReadResult::badSize;
    const size_t count = voxelCount(d);
    samples.resize(count);
    const size_t available = std::min((size - offset) / 2 * 2, count * 2);
    if (available > 0) std::memcpy(samples.data(), bytes + offset, available);
    std::memset(reinterpret_cast<unsigned char*>(samples.data()) + available, 0, count * 2 - available);
    samplesFromFileOrder(samples.data(), count);
    return VolumeReadResult::read;
}

VolumeReadResult readVolumeFile(VolumeDescription& d, int maxTextureSize, VolumeSamples& samples,
                                std::string& problem, const std::function<void(double)>& progress,
                                const VolumeSizeKnown& sizeKnown) {
    std::printf("Reading volume texture from the file %s...\n", d._path.c_str());
    std::fflush(stdout);
    samples.clear();
    std::FILE* file = openFile(d._path, "rb");
    if (!file) {
        problem = std::strerror(errno);
        return VolumeReadResult::cannotOpen;
    }
    if (d._hasHeader) {
        unsigned char header[volumeHeaderBytes];
        const size_t got = std::fread(header, 1, sizeof header, file);
        if (!parseVolumeHeader(d, header, got)) {
            std::fclose(file);
            problem = "the file has " + std::to_string(got) + " bytes, too few for its 6-byte size header";
            return VolumeReadResult::badHeader;
        }
    }
    problem = volumeSizeProblem(d, maxTextureSize);
    if (!problem.empty()) {
        std::fclose(file);
        return VolumeReadResult::badSize;
    }
    if (sizeKnown) sizeKnown(d);
    const size_t count = voxelCount(d);
    samples.resize(count);
    // Read in large pieces straight into the list; a short file leaves the rest at 0.
    const size_t total = count * 2;
    unsigned char* target = reinterpret_cast<unsigned char*>(samples.data());
    size_t done = 0;
    while (done < total) {
        const size_t want = std::min(readChunkBytes, total - done);
        const size_t got = std::fread(target + done, 1, want, file);
        done += got;
        if (progress) progress(double(done) / double(total));
        if (got < want) break;
    }
    std::fclose(file);
    if (progress && done < total) progress(1.0);  // a short file is read completely, too
    // An odd trailing byte is half a sample: it is not part of the data.
    done -= done % 2;
    std::memset(target + done, 0, total - done);
    samplesFromFileOrder(samples.data(), count);
    std::printf("Reading finished\n");
    std::fflush(stdout);
    return VolumeReadResult::read;
}

void readVolumeFileOrExit(VolumeDescription& d, int maxTextureSize, VolumeSamples& samples,
                          const std::function<void(double)>& progress, const VolumeSizeKnown& sizeKnown) {
    std::string problem;
    const VolumeReadResult result = readVolumeFile(d, maxTextureSize, samples, problem, progress, sizeKnown);
    if (result == VolumeReadResult::read) return;
    std::fflush(stdout);
    if (result == VolumeReadResult::cannotOpen) {
        std::fprintf(stderr,
                     "Cannot open the volume dataset file %s (%s): %s\n"
                     "The demo's datasets are generated, not shipped: run\n"
                     "    generate_datasets --name %s\n"
                     "from the repository root (it is built beside the demo; --all --if-missing makes every "
                     "catalogue file).\n",
                     d._path.c_str(), nativePath(d._path).c_str(), problem.c_str(), fileName(d._path).c_str());
    } else {
        std::fprintf(stderr, "Cannot load the volume dataset file %s: %s.\n", d._path.c_str(), problem.c_str());
    }
    std::fflush(stderr);
    std::exit(EXIT_FAILURE);
}

}  // namespace VantorEngine

// Times the volume preprocessing (conversion, gradients, filter) of the fast passes against the
// literal reference in the same run, and the texture's one-sweep path against both; checks that
// all give the same bytes, and times the file read against a plain read of the same file from
// the page cache.
//
//   volume_preprocess_bench [--threads N] [--no-reference-512]
//   volume_preprocess_bench --texture-load [--size N]
//
// --texture-load times what VolumeTexture's constructor does between its lines "Converting raw
// data to graphics data..." and "Filtering finished" for an N x N x N volume (default 512),
// including the allocation and first touch of the graphics buffer: run it in a fresh process,
// since memory the process already touched hides that cost. The texture maps the buffer's pages
// on a second thread while it reads the file; with no file here, the sweep maps them itself,
// so this is the load's worst case.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "../tests/unit/VolumeReference.h"
#include "VolumeFile.h"
#include "VolumePreprocessing.h"

using namespace VantorEngine;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Processor time of the whole process (all threads), in milliseconds: on a shared machine it
// shows the work done when wall time also counts waiting for a core.
double processCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Wall and processor milliseconds of one call.
struct Timing {
    double wall = 0, cpu = 0;
};

template <typename F>
Timing timed(F f) {
    const double cpu = processCpuMs();
    const auto start = Clock::now();
    f();
    return {msSince(start), processCpuMs() - cpu};
}

// A CT-like test volume: nested soft spheres of different values with a little noise, so the
// passes see both empty space and structure.
std::vector<uint16_t> makeSamples(int w, int h, int d) {
    std::vector<uint16_t> samples(size_t(w) * h * d);
    std::mt19937 random(1234);
    size_t i = 0;
    for (int z = 0; z < d; ++z)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x, ++i) {
                const float nx = 2.0f * x / w - 1.0f, ny = 2.0f * y / h - 1.0f, nz = 2.0f * z / d - 1.0f;
                const float r = std::sqrt(nx * nx + ny * ny + nz * nz);
                float v = 0.0f;
                if (r < 0.9f) v = 1200.0f + 80.0f * float(random() % 16);
                if (r < 0.8f) v = 600.0f + 40.0f * float(random() % 16);
                if (std::fabs(nx - 0.3f) < 0.1f && r < 0.7f) v = 3000.0f;
                samples[i] = uint16_t(v);
            }
    return samples;
}

struct Times {
    Timing convert, gradients, filter;
    Timing total() const {
        return {convert.wall + gradients.wall + filter.wall, convert.cpu + gradients.cpu + filter.cpu};
    }
};

Times runFast(const VolumeDescription& d, const std::vector<uint16_t>& samples, std::vector<int8_t>& buffer, int threads) {
    Times t;
    buffer.assign(size_t(d._width) * d._height * d._depth * colorChannels, 0);
    t.convert = timed([&] { convertRawData(d, samples.data(), buffer.data(), threads); });
    t.gradients = timed([&] { computeGradients(d, buffer.data(), threads); });
    t.filter = timed([&] { filterGradients(d, buffer.data(), threads); });
    return t;
}

Times runReference(const VolumeDescription& d, const std::vector<uint16_t>& samples, std::vector<int8_t>& buffer) {
    Times t;
    t.convert = timed([&] { buffer = VolumeReference::convertRawData(d, samples); });
    t.gradients = timed([&] { VolumeReference::computeGradients(d, buffer); });
    t.filter = timed([&] { VolumeReference::filterGradients(d, buffer); });
    return t;
}

void printRow(const char* what, const Timing& fast, const Timing& reference, bool withReference) {
    if (withReference)
        std::printf("  %-12s %10.1f %10.1f %12.1f %12.1f %9.1fx %9.1fx\n", what, fast.wall, fast.cpu, reference.wall,
                    reference.cpu, reference.wall / fast.wall, reference.cpu / fast.cpu);
    else
        std::printf("  %-12s %10.1f %10.1f %12s %12s %10s %10s\n", what, fast.wall, fast.cpu, "-", "-", "-", "-");
}

// Reads the whole file with large freads into fresh memory: what the page cache delivers.
double plainReadMs(const std::string& path, size_t bytes) {
    const auto start = Clock::now();
    std::unique_ptr<unsigned char[]> data(new unsigned char[bytes]);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    size_t done = 0;
    while (f && done < bytes) {
        const size_t got = std::fread(data.get() + done, 1, std::min(bytes - done, size_t(16) << 20), f);
        if (got == 0) break;
        done += got;
    }
    if (f) std::fclose(f);
    return msSince(start);
}

// The texture constructor's path from the conversion line to the filtering line, on samples
// that are already in memory as after the file read.
int textureLoad(int size, int threads) {
    VolumeDescription d;
    d._path = "benchmark";
    d._width = d._height = d._depth = size;
    d._bitsPerSample = 12;
    d._flipY = true;
    d._flipZ = true;
    std::vector<uint16_t> made = makeSamples(size, size, size);
    VolumeSamples samples(made.begin(), made.end());
    std::vector<uint16_t>().swap(made);
    const size_t bytes = size_t(size) * size * size * colorChannels;

    const double cpu = processCpuMs();
    const auto start = Clock::now();
    GraphicsBuffer buffer = allocateGraphicsBuffer(bytes);
    preprocessVolume(d, samples.data(), buffer.get(), threads);
    const double wall = msSince(start);
    const double used = processCpuMs() - cpu;

    // A checksum, so the work cannot be dropped and runs can be compared.
    uint64_t sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum = sum * 31 + uint8_t(buffer[i]);
    std::printf("texture load %d^3: %.1f ms wall, %.1f ms cpu (all threads), checksum %016llx\n", size, wall, used,
                (unsigned long long)sum);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int threads = 0;
    bool reference512 = true;
    bool textureLoadOnly = false;
    int loadSize = 512;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) threads = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-reference-512")) reference512 = false;
        else if (!std::strcmp(argv[i], "--texture-load")) textureLoadOnly = true;
        else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) loadSize = std::atoi(argv[++i]);
    }
    if (textureLoadOnly) return textureLoad(std::max(1, loadSize), threads);
    const int usedThreads = threads > 0 ? threads : defaultPreprocessingThreads();
    std::printf("Volume preprocessing benchmark: fast passes on %d thread(s) against the literal reference (1 thread)\n",
                usedThreads);

    struct Size { int w, h, d; };
    const Size sizes[] = {{277, 277, 164}, {512, 512, 512}};
    bool allIdentical = true;
    for (const Size& s : sizes) {
        VolumeDescription d;
        d._path = "benchmark";
        d._width = s.w;
        d._height = s.h;
        d._depth = s.d;
        d._bitsPerSample = 12;
        d._flipY = true;
        d._flipZ = true;
        const std::vector<uint16_t> samples = makeSamples(s.w, s.h, s.d);
        std::vector<int8_t> fastBuffer, referenceBuffer;
        const Times fast = runFast(d, samples, fastBuffer, threads);
        const bool withReference = reference512 || s.w < 512;
        Times reference;
        if (withReference) reference = runReference(d, samples, referenceBuffer);
        const bool identical = !withReference || fastBuffer == referenceBuffer;
        allIdentical = allIdentical && identical;
        // The texture's one-sweep path, on a buffer already mapped like the passes' buffer.
        std::vector<int8_t> sweptBuffer(fastBuffer.size(), 0);
        const Timing swept = timed([&] { preprocessVolume(d, samples.data(), sweptBuffer.data(), threads); });
        const bool sweptIdentical = sweptBuffer == fastBuffer;
        allIdentical = allIdentical && sweptIdentical;

        std::printf("\n%d x %d x %d (%.1f M voxels), milliseconds (cpu: all threads of the process):\n", s.w, s.h, s.d, double(samples.size()) / 1e6);
        std::printf("  %-12s %10s %10s %12s %12s %10s %10s\n", "pass", "fast wall", "fast cpu", "ref wall", "ref cpu",
                    "wall ratio", "cpu ratio");
        printRow("conversion", fast.convert, reference.convert, withReference);
        printRow("gradients", fast.gradients, reference.gradients, withReference);
        printRow("filter", fast.filter, reference.filter, withReference);
        printRow("total", fast.total(), reference.total(), withReference);
        std::printf("  buffers %s\n", withReference ? (identical ? "byte-identical" : "DIFFER") : "not compared");
        std::printf("  one sweep    %10.1f %10.1f   (%.2fx the passes' wall, %.2fx their cpu); %s to the passes\n",
                    swept.wall, swept.cpu, fast.total().wall / swept.wall, fast.total().cpu / swept.cpu,
                    sweptIdentical ? "byte-identical" : "DIFFERS");

        // File read through readVolumeFile against a plain read of the same file, both warm.
        // Named after the process: two benchmarks running at once must not share the file.
        const std::string path = (std::filesystem::temp_directory_path() /
                                  ("nimbrel-bench-volume-" + std::to_string(getpid()) + ".raw"))
                                     .string();
        if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(samples.data(), 2, samples.size(), f);
            std::fclose(f);
            const size_t bytes = samples.size() * 2;
            plainReadMs(path, bytes);  // warm the page cache
            const double plain = plainReadMs(path, bytes);
            VolumeDescription fileDescription = d;
            fileDescription._path = path;
            VolumeSamples readSamples;
            std::string problem;
            std::fflush(stdout);
            const auto start = Clock::now();
            readVolumeFile(fileDescription, 0, readSamples, problem);
            const double readMs = msSince(start);
            std::printf("  file read    %12.1f ms (%.0f MB/s); plain fread of the same file %.1f ms (%.0f MB/s); %s\n",
                        readMs, bytes / readMs / 1e3, plain, bytes / plain / 1e3,
                        std::equal(readSamples.begin(), readSamples.end(), samples.begin(), samples.end()) ? "same samples" : "SAMPLES DIFFER");
            std::filesystem::remove(path);
        }
    }
    std::printf("\n%s\n", allIdentical ? "All compared buffers are byte-identical." : "MISMATCH between fast and reference!");
    return allIdentical ? 0 : 1;
}

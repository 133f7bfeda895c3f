#include "VolumePreprocessing.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "VolumeFile.h"

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace VantorEngine {

namespace {

constexpr const char* voxelIndexCheckText =
    "index < static_cast<int>(_volDescription._width * _volDescription._height * "
    "_volDescription._depth)";
constexpr const char* byteIndexCheckText =
    "index < static_cast<int>(_volDescription._width * _volDescription._height * "
    "_volDescription._depth * colorChannels)";

int clampInt(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

int resolveThreads(int threads, int work) {
    if (threads <= 0) threads = defaultPreprocessingThreads();
    return std::max(1, std::min(threads, work));
}

// Runs body(worker) on `threads` workers, the calling thread being worker 0.
template <typename Body>
void runWorkers(int threads, Body body) {
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(threads - 1));
    for (int worker = 1; worker < threads; ++worker) workers.emplace_back(body, worker);
    body(0);
    for (std::thread& t : workers) t.join();
}

// Waits until `done` reaches `needed`: spinning first (a row takes microseconds), then yielding,
// then sleeping, so that a worker whose predecessor lost its core does not burn the core that
// predecessor could use.
void waitForRows(const std::atomic<int>& done, int needed) {
    for (int spins = 0; done.load(std::memory_order_acquire) < needed; ++spins) {
        if (spins < 64) continue;
        if (spins < 256) std::this_thread::yield();
        else std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
}

// Byte-index checks done once per row: the first and last byte a row touches.
void checkByteRange(size_t first, size_t last, size_t limit) {
    if (first >= limit || last >= limit) failVolumeIndexCheck(byteIndexCheckLine);
}

// Row helpers of the one-sweep path. Plain functions over restrict pointers: stores through
// int8_t may alias anything, so inside a lambda the compiler would reload every captured size.

// Densities of one sample row, mirrored when flipX, into out[0 .. width-1] with the border
// densities repeated at out[-1] and out[width], so that x - 1 and x + 1 read the clamped
// neighbour. Only the low 8 bits of the shifted sample remain: bits above the declared depth
// wrap the density instead of saturating it.
void densityRow(const uint16_t* __restrict in, int8_t* __restrict out, int width, int shift, bool flipX) {
    if (flipX) {
        for (int x = 0; x < width; ++x) out[width - 1 - x] = int8_t(uint8_t((in[x] >> shift) & 0xFF));
    } else {
        for (int x = 0; x < width; ++x) out[x] = int8_t(uint8_t((in[x] >> shift) & 0xFF));
    }
    out[-1] = out[0];
    out[width] = out[width - 1];
}

// Unfiltered gradient row (channels 0..2) with the density in channel 3, from density rows
// padded as densityRow leaves them. Differences of whole densities are exact; the low byte is
// what is kept, and a border voxel reads its clamped neighbour, so the difference is one-sided.
void gradientRow(const int8_t* __restrict centre, const int8_t* __restrict below, const int8_t* __restrict above,
                 const int8_t* __restrict front, const int8_t* __restrict back, int8_t* __restrict out, int width) {
    for (int x = 0; x < width; ++x) {
        out[4 * x + 0] = int8_t(centre[x + 1] - centre[x - 1]);
        out[4 * x + 1] = int8_t(above[x] - below[x]);
        out[4 * x + 2] = int8_t(back[x] - front[x]);
        out[4 * x + 3] = centre[x];
    }
}

// sum = own + the eight other rows of a 3 x 3 neighbourhood of rows, in one pass so the sum is
// stored once; rows missing at the volume's border point at zeros.
void sumRows(int16_t* __restrict sum, const int16_t* __restrict own, const int8_t* const* rows, size_t count) {
    const int8_t* __restrict r0 = rows[0];
    const int8_t* __restrict r1 = rows[1];
    const int8_t* __restrict r2 = rows[2];
    const int8_t* __restrict r3 = rows[3];
    const int8_t* __restrict r4 = rows[4];
    const int8_t* __restrict r5 = rows[5];
    const int8_t* __restrict r6 = rows[6];
    const int8_t* __restrict r7 = rows[7];
    for (size_t i = 0; i < count; ++i) {
        sum[i] = int16_t(own[i] + r0[i] + r1[i] + r2[i] + r3[i] + r4[i] + r5[i] + r6[i] + r7[i]);
    }
}

// The filter's left-to-right chain over one row: each voxel's quotient feeds the next voxel's
// sum. `partial` holds everything of each sum but the filtered left neighbour; channel 3 takes
// the density from `own`, the row's unfiltered values.
void filterRow(const int16_t* __restrict partial, const int16_t* __restrict own, int8_t* __restrict out, int width,
               const int8_t* __restrict edge, const int8_t* __restrict inner) {
    // Pointer-sized values, so that no sign extension sits in the chain between add and lookup.
    ptrdiff_t left0 = edge[partial[0]], left1 = edge[partial[1]], left2 = edge[partial[2]];
    out[0] = int8_t(left0);
    out[1] = int8_t(left1);
    out[2] = int8_t(left2);
    out[3] = int8_t(own[3]);
    for (int x = 1; x < width; ++x) {
        const int8_t* table = x == width - 1 ? edge : inner;
        const int16_t* p = partial + 4 * x;
        left0 = table[ptrdiff_t(p[0]) + left0];
        left1 = table[ptrdiff_t(p[1]) + left1];
        left2 = table[ptrdiff_t(p[2]) + left2];
        out[4 * x + 0] = int8_t(left0);
        out[4 * x + 1] = int8_t(left1);
        out[4 * x + 2] = int8_t(left2);
        out[4 * x + 3] = int8_t(own[4 * x + 3]);
    }
}

}  // namespace

int voxelIndex(int x, int y, int z, int channel, int width, int height, int depth) {
    x = clampInt(x, 0, width - 1);
    y = clampInt(y, 0, height - 1);
    z = clampInt(z, 0, depth - 1);
    channel = clampInt(channel, 0, colorChannels - 1);
    return channel + colorChannels * (x + width * (y + height * z));
}

void failVolumeIndexCheck(int line) {
    const char* text = line == voxelIndexCheckLine ? voxelIndexCheckText : byteIndexCheckText;
    std::fflush(stdout);
    std::fprintf(stderr, "Assertion failed: %s, file src\\Engine\\VolumeTexture, line %d\n", text, line);
    std::fflush(stderr);
    std::abort();
}

int defaultPreprocessingThreads() {
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int>(std::min(hardware, 64u));
}

void convertRawData(const VolumeDescription& d, const uint16_t* samples, int8_t* buffer, int threads) {
    const int width = d._width, height = d._height, depth = d._depth;
    const int shift = d._bitsPerSample - 7;
    const size_t voxelCount = size_t(width) * size_t(height) * size_t(depth);
    const size_t byteCount = voxelCount * colorChannels;
    threads = resolveThreads(threads, depth);
    std::atomic<int> nextSlice{0};
    runWorkers(threads, [&](int) {
        std::vector<uint32_t> row(static_cast<size_t>(width));
        for (int z; (z = nextSlice.fetch_add(1)) < depth;) {
            const int tz = d._flipZ ? depth - 1 - z : z;
            for (int y = 0; y < height; ++y) {
                const int ty = d._flipY ? height - 1 - y : y;
                const size_t source = size_t(width) * (size_t(y) + size_t(height) * size_t(z));
                if (source + size_t(width) - 1 >= voxelCount) failVolumeIndexCheck(voxelIndexCheckLine);
                const uint16_t* in = samples + source;
                // Only the low 8 bits of the shifted sample remain: bits above the declared
                // depth wrap the density instead of saturating it.
                for (int x = 0; x < width; ++x) {
                    const uint32_t density = uint32_t(in[x] >> shift) & 0xFFu;
                    row[size_t(d._flipX ? width - 1 - x : x)] = density * 0x01010101u;
                }
                const size_t target = size_t(colorChannels) * size_t(width) * (size_t(ty) + size_t(height) * size_t(tz));
                checkByteRange(target, target + size_t(colorChannels) * size_t(width) - 1, byteCount);
                std::memcpy(buffer + target, row.data(), size_t(width) * sizeof(uint32_t));
            }
        }
    });
}

void computeGradients(const VolumeDescription& d, int8_t* buffer, int threads) {
    const int width = d._width, height = d._height, depth = d._depth;
    const size_t rowBytes = size_t(colorChannels) * size_t(width);
    const size_t sliceBytes = rowBytes * size_t(height);
    const size_t byteCount = sliceBytes * size_t(depth);
    threads = resolveThreads(threads, depth);
    std::atomic<int> nextSlice{0};
    // The pass reads only the density and writes only channels 0..2, so slices are independent.
    runWorkers(threads, [&](int) {
        std::vector<int8_t> gradient(size_t(3) * size_t(width));
        for (int z; (z = nextSlice.fetch_add(1)) < depth;) {
            const int zm = std::max(z - 1, 0), zp = std::min(z + 1, depth - 1);
            for (int y = 0; y < height; ++y) {
                const int ym = std::max(y - 1, 0), yp = std::min(y + 1, height - 1);
                int8_t* row = buffer + sliceBytes * size_t(z) + rowBytes * size_t(y);
                checkByteRange(size_t(row - buffer), size_t(row - buffer) + rowBytes - 1, byteCount);
                const int8_t* rowYm = buffer + sliceBytes * size_t(z) + rowBytes * size_t(ym) + densityChannel;
                const int8_t* rowYp = buffer + sliceBytes * size_t(z) + rowBytes * size_t(yp) + densityChannel;
                const int8_t* rowZm = buffer + sliceBytes * size_t(zm) + rowBytes * size_t(y) + densityChannel;
                const int8_t* rowZp = buffer + sliceBytes * size_t(zp) + rowBytes * size_t(y) + densityChannel;
                const int8_t* dens = row + densityChannel;
                // Differences of whole densities are exact; the low byte is what is kept. The
                // border voxels read their clamped neighbour, so the difference is one-sided.
                for (int x = 0; x < width; ++x) {
                    gradient[size_t(3) * x + 1] = int8_t(rowYp[4 * x] - rowYm[4 * x]);
                    gradient[size_t(3) * x + 2] = int8_t(rowZp[4 * x] - rowZm[4 * x]);
                }
                for (int x = 1; x + 1 < width; ++x) gradient[size_t(3) * x] = int8_t(dens[4 * (x + 1)] - dens[4 * (x - 1)]);
                gradient[0] = int8_t(dens[4 * std::min(1, width - 1)] - dens[0]);
                if (width > 1) gradient[size_t(3) * (width - 1)] = int8_t(dens[4 * (width - 1)] - dens[4 * (width - 2)]);
                for (int x = 0; x < width; ++x) {
                    row[4 * x + 0] = gradient[size_t(3) * x + 0];
                    row[4 * x + 1] = gradient[size_t(3) * x + 1];
                    row[4 * x + 2] = gradient[size_t(3) * x + 2];
                }
            }
        }
    });
}

// The filter is a single in-place sweep, so voxel (x, y, z) sees filtered values at the 13
// neighbours before it in the walk and original values at the others. Rows of one slice are
// therefore processed in order, and a slice may run on another thread as long as it stays two
// rows behind the slice before it: row y of slice z needs rows up to y + 1 of slice z - 1
// finished, and slice z - 1 must not yet have read rows y - 1 .. y + 1 of slice z when they
// change, which the same distance guarantees.
void filterGradients(const VolumeDescription& d, int8_t* buffer, int threads) {
    const int width = d._width, height = d._height, depth = d._depth;
    const size_t rowBytes = size_t(colorChannels) * size_t(width);
    const size_t sliceBytes = rowBytes * size_t(height);
    const size_t byteCount = sliceBytes * size_t(depth);
    threads = resolveThreads(threads, depth);
    std::unique_ptr<std::atomic<int>[]> rowsDone(new std::atomic<int>[size_t(depth)]);
    for (int z = 0; z < depth; ++z) rowsDone[size_t(z)].store(0, std::memory_order_relaxed);

    const int32_t edgeCount = width == 1 ? 1 : 2;

    runWorkers(threads, [&](int worker) {
        // Padded by one voxel on each side so x - 1 and x + 1 need no tests; padding stays 0.
        const size_t padded = rowBytes + 2 * colorChannels;
        std::vector<int16_t> around(padded, 0);   // sum of the up to 9 rows, own row original
        std::vector<int16_t> ownOld(padded, 0);   // the own row, original values
        std::vector<int16_t> partial(rowBytes, 0);
        for (int z = worker; z < depth; z += threads) {
            const int zLow = std::max(z - 1, 0), zHigh = std::min(z + 1, depth - 1);
            for (int y = 0; y < height; ++y) {
                if (z > 0) waitForRows(rowsDone[size_t(z - 1)], std::min(y + 2, height));
                const int yLow = std::max(y - 1, 0), yHigh = std::min(y + 1, height - 1);
                int8_t* row = buffer + sliceBytes * size_t(z) + rowBytes * size_t(y);
                checkByteRange(size_t(row - buffer), size_t(row - buffer) + rowBytes - 1, byteCount);

                int16_t* sum = around.data() + colorChannels;
                int16_t* old = ownOld.data() + colorChannels;
                for (size_t i = 0; i < rowBytes; ++i) old[i] = row[i];
                std::copy(old, old + rowBytes, sum);
                int rowsInSum = 0;
                for (int k = zLow; k <= zHigh; ++k) {
                    for (int j = yLow; j <= yHigh; ++j) {
                        ++rowsInSum;
                        if (k == z && j == y) continue;
                        const int8_t* other = buffer + sliceBytes * size_t(k) + rowBytes * size_t(j);
                        for (size_t i = 0; i < rowBytes; ++i) sum[i] = int16_t(sum[i] + other[i]);
                    }
                }
                // Everything of the 3 x 3 x 3 sum but the filtered left neighbour of the own row,
                // which is only known once the previous voxel is done.
                // The neighbours are reached through pointers into the padding, not through
                // sum[i - colorChannels]: an unsigned index below zero wraps the pointer arithmetic.
                const int16_t* sumLeft = sum - colorChannels;
                const int16_t* sumRight = sum + colorChannels;
                const int16_t* oldLeft = old - colorChannels;
                for (size_t i = 0; i < rowBytes; ++i) {
                    partial[i] = int16_t(sumLeft[i] + sum[i] + sumRight[i] - oldLeft[i]);
                }
                const int32_t edgeMultiplier = filterDivisorMultiplier(rowsInSum * edgeCount);
                const int32_t innerMultiplier = filterDivisorMultiplier(rowsInSum * 3);
                int32_t left0 = 0, left1 = 0, left2 = 0;
                for (int x = 0; x < width; ++x) {
                    const int32_t multiplier = (x == 0 || x == width - 1) ? edgeMultiplier : innerMultiplier;
                    const int16_t* p = partial.data() + size_t(colorChannels) * x;
                    left0 = divideFilterSum(p[0] + left0, multiplier);
                    left1 = divideFilterSum(p[1] + left1, multiplier);
                    left2 = divideFilterSum(p[2] + left2, multiplier);
                    row[4 * x + 0] = int8_t(left0);
                    row[4 * x + 1] = int8_t(left1);
                    row[4 * x + 2] = int8_t(left2);
                }
                rowsDone[size_t(z)].store(y + 1, std::memory_order_release);
            }
        }
    });
}

// One sweep: the worker of slice z walks its rows in order and, for row y, needs the filtered
// rows y - 1 .. y + 1 of slice z - 1 and y - 1 of slice z, and the unfiltered gradients of rows
// y, y + 1 of slice z and y - 1 .. y + 1 of slice z + 1. The unfiltered gradients of slice z + 1
// are computed by the worker of slice z, one row ahead, straight into the buffer, where the
// worker of slice z + 1 finds them and replaces them by filtered values; slice 0 computes its
// own. Slice z stays two rows behind slice z - 1, as in filterGradients: then the rows it reads
// of slice z - 1 are final, its own unfiltered rows are there, and slice z - 1 has read the
// unfiltered rows of slice z for the last time before they change.
void preprocessVolume(const VolumeDescription& d, const uint16_t* samples, int8_t* buffer, int threads) {
    const int width = d._width, height = d._height, depth = d._depth;
    const int shift = d._bitsPerSample - 7;
    const size_t rowBytes = size_t(colorChannels) * size_t(width);
    const size_t sliceBytes = rowBytes * size_t(height);
    const size_t byteCount = sliceBytes * size_t(depth);
    const size_t voxelCount = size_t(width) * size_t(height) * size_t(depth);
    threads = resolveThreads(threads, depth);
    std::unique_ptr<std::atomic<int>[]> rowsDone(new std::atomic<int>[size_t(depth)]);
    for (int z = 0; z < depth; ++z) rowsDone[size_t(z)].store(0, std::memory_order_relaxed);
    const int edgeColumns = width == 1 ? 1 : 2;

    runWorkers(threads, [&](int worker) {
        // Density rows of the target grid, converted on demand. Slot (z mod 4, y mod 4): a slice's
        // sweep asks for four consecutive slices and four consecutive rows at a time.
        constexpr int slots = 16;
        const size_t slotWidth = size_t(width) + 2;
        std::vector<int8_t> densityRows(size_t(slots) * slotWidth);
        int slotZ[slots], slotY[slots];
        std::fill(slotZ, slotZ + slots, -1);
        std::fill(slotY, slotY + slots, -1);
        auto density = [&](int z, int y) -> const int8_t* {
            const int slot = (z & 3) * 4 + (y & 3);
            int8_t* row = densityRows.data() + size_t(slot) * slotWidth + 1;
            if (slotZ[slot] == z && slotY[slot] == y) return row;
            slotZ[slot] = z;
            slotY[slot] = y;
            const int sz = d._flipZ ? depth - 1 - z : z;
            const int sy = d._flipY ? height - 1 - y : y;
            const size_t source = size_t(width) * (size_t(sy) + size_t(height) * size_t(sz));
            if (source + size_t(width) - 1 >= voxelCount) failVolumeIndexCheck(voxelIndexCheckLine);
            densityRow(samples + source, row, width, shift, d._flipX);
            return row;
        };
        auto bufferRow = [&](int z, int y) { return buffer + sliceBytes * size_t(z) + rowBytes * size_t(y); };
        // Unfiltered gradients of row (z, y) into the buffer.
        auto gradients = [&](int z, int y) {
            int8_t* out = bufferRow(z, y);
            checkByteRange(size_t(out - buffer), size_t(out - buffer) + rowBytes - 1, byteCount);
            gradientRow(density(z, y), density(z, std::max(y - 1, 0)), density(z, std::min(y + 1, height - 1)),
                        density(std::max(z - 1, 0), y), density(std::min(z + 1, depth - 1), y), out, width);
        };
        // Quotient tables per divisor, made on first use: a lookup is the shortest step of the
        // filter's left-to-right chain.
        std::vector<int8_t> quotients[28];
        auto quotientTable = [&](int divisor) -> const int8_t* {
            std::vector<int8_t>& table = quotients[divisor];
            if (table.empty()) {
                table.resize(size_t(2 * maxFilterSum + 1));
                for (int sum = -maxFilterSum; sum <= maxFilterSum; ++sum)
                    table[size_t(sum + maxFilterSum)] = int8_t(sum / divisor);
            }
            return table.data() + maxFilterSum;
        };

        // Padded by one voxel on each side so x - 1 and x + 1 need no tests; padding stays 0.
        const size_t padded = rowBytes + 2 * colorChannels;
        std::vector<int16_t> around(padded, 0);  // sum of the up to 9 rows, own row unfiltered
        std::vector<int16_t> ownOld(padded, 0);  // the own row, unfiltered
        std::vector<int16_t> partial(rowBytes, 0);
        const std::vector<int8_t> zeros(rowBytes, 0);

        for (int z = worker; z < depth; z += threads) {
            const bool hasNext = z + 1 < depth;
            const int zLow = std::max(z - 1, 0), zHigh = std::min(z + 1, depth - 1);
            if (z == 0) gradients(0, 0);
            if (hasNext) gradients(z + 1, 0);
            for (int y = 0; y < height; ++y) {
                if (y + 1 < height) {
                    if (z == 0) gradients(0, y + 1);
                    if (hasNext) gradients(z + 1, y + 1);
                }
                if (z > 0) waitForRows(rowsDone[size_t(z - 1)], std::min(y + 2, height));
                const int yLow = std::max(y - 1, 0), yHigh = std::min(y + 1, height - 1);
                int8_t* row = bufferRow(z, y);
                checkByteRange(size_t(row - buffer), size_t(row - buffer) + rowBytes - 1, byteCount);

                int16_t* sum = around.data() + colorChannels;
                int16_t* old = ownOld.data() + colorChannels;
                for (size_t i = 0; i < rowBytes; ++i) old[i] = row[i];
                // Rows earlier in the walk are filtered already, later ones not yet.
                const int8_t* others[8];
                int count = 0, rowsInSum = 0;
                for (int k = zLow; k <= zHigh; ++k) {
                    for (int j = yLow; j <= yHigh; ++j) {
                        ++rowsInSum;
                        if (k != z || j != y) others[count++] = bufferRow(k, j);
                    }
                }
                while (count < 8) others[count++] = zeros.data();
                sumRows(sum, old, others, rowBytes);
                // Everything of the 3 x 3 x 3 sum but the filtered left neighbour of the own row,
                // which is only known once the previous voxel is done.
                const int16_t* sumLeft = sum - colorChannels;
                const int16_t* sumRight = sum + colorChannels;
                const int16_t* oldLeft = old - colorChannels;
                for (size_t i = 0; i < rowBytes; ++i) {
                    partial[i] = int16_t(sumLeft[i] + sum[i] + sumRight[i] - oldLeft[i]);
                }
                filterRow(partial.data(), old, row, width, quotientTable(rowsInSum * edgeColumns),
                          quotientTable(rowsInSum * 3));
                rowsDone[size_t(z)].store(y + 1, std::memory_order_release);
            }
        }
    });
}

GraphicsBuffer allocateGraphicsBuffer(size_t bytes) {
    if (bytes >= hugePageBytes) {
        const size_t rounded = (bytes + hugePageBytes - 1) / hugePageBytes * hugePageBytes;
        if (void* memory = std::aligned_alloc(hugePageBytes, rounded)) {
            adviseHugePages(memory, rounded);
            return GraphicsBuffer(static_cast<int8_t*>(memory), std::free);
        }
    }
    return GraphicsBuffer(static_cast<int8_t*>(std::malloc(std::max<size_t>(bytes, 1))), std::free);
}

bool populateGraphicsBuffer(int8_t* buffer, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    // The advice wants page-aligned ranges; large buffers start on a huge page anyway.
    constexpr uintptr_t page = 4096;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(buffer) + page - 1) & ~(page - 1);
    const uintptr_t end = reinterpret_cast<uintptr_t>(buffer) + bytes;
    if (begin >= end) return false;
    return madvise(reinterpret_cast<void*>(begin), size_t(end - begin), MADV_POPULATE_WRITE) == 0;
#else
    (void)buffer;
    (void)bytes;
    return false;
#endif
}

}  // namespace VantorEngine

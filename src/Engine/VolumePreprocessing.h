#pragma once
// The CPU passes that turn 16-bit dataset samples into the volume texture's voxels:
// 7-bit density with the description's flips, central-difference gradients and their
// in-place 3 x 3 x 3 smoothing. Pure functions over buffers (no GL, no console output),
// spread over worker threads; results do not depend on the thread count.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "VolumeDescription.h"

namespace VantorEngine {

// Bytes per voxel of the graphics buffer: gradient x, y, z, then density.
constexpr int colorChannels = 4;
constexpr int densityChannel = 3;

// Source lines that the failed buffer-index checks are reported with.
constexpr int voxelIndexCheckLine = 409;
constexpr int byteIndexCheckLine = 421;

// Clamps each coordinate into the volume (and channel into 0..3) and returns the byte
// index channel + 4 * (x + width * (y + height * z)).
int voxelIndex(int x, int y, int z, int channel, int width, int height, int depth);

// Reports the failed index check of `line` on standard error and stops the program.
[[noreturn]] void failVolumeIndexCheck(int line);

// Number of worker threads the passes use when asked for 0: the hardware's, at least 1.
int defaultPreprocessingThreads();

// The description's sizes must already have passed volumeSizeProblem (VolumeFile.h).
// `samples` holds width * height * depth samples in file order; every voxel of `buffer`
// (width * height * depth * colorChannels bytes) is written, so it may be uninitialised.
void convertRawData(const VolumeDescription& description, const uint16_t* samples, int8_t* buffer,
                    int threads = 0);

// Channels 0..2 of every voxel = central difference of the density (channel 3) along x, y, z,
// one-sided at the borders; channel 3 is left as it is.
void computeGradients(const VolumeDescription& description, int8_t* buffer, int threads = 0);

// In-place average of channels 0..2 over each voxel's in-volume 3 x 3 x 3 neighbourhood, walking
// z, then y, then x: neighbours earlier in the walk contribute their already-filtered values.
void filterGradients(const VolumeDescription& description, int8_t* buffer, int threads = 0);

// Conversion, gradients and filter in one sweep over the buffer: the same bytes as
// convertRawData, computeGradients and filterGradients in turn. A row receives its unfiltered
// gradients a row or two before it is filtered, so it is written twice while it is still in
// the cache and reaches memory once; the worker that computes a row is the first to touch it.
void preprocessVolume(const VolumeDescription& description, const uint16_t* samples, int8_t* buffer,
                      int threads = 0);

// Storage for a graphics buffer, released with std::free.
using GraphicsBuffer = std::unique_ptr<int8_t[], void (*)(void*)>;

// Uninitialised storage for `bytes` bytes; large buffers are aligned to and ask for transparent
// huge pages, which cuts the cost of first touching them. Empty when the memory is not there.
GraphicsBuffer allocateGraphicsBuffer(size_t bytes);

// Has the system map every page of a fresh buffer now rather than at its first write, without
// writing to it: it may run on a second thread while other threads already fill the buffer.
// False where the system cannot do that; the first writes then map the pages as usual.
bool populateGraphicsBuffer(int8_t* buffer, size_t bytes);

// Integer division truncating toward zero for |numerator| <= maxFilterSum and
// 1 <= divisor <= 27, by multiplication; exposed so it can be checked exhaustively.
constexpr int maxFilterSum = 27 * 128;
constexpr int filterDivisorShift = 18;
constexpr int32_t filterDivisorMultiplier(int divisor) {
    return ((int32_t(1) << filterDivisorShift) + divisor - 1) / divisor;
}
inline int32_t divideFilterSum(int32_t sum, int32_t multiplier) {
    const int32_t magnitude = sum < 0 ? -sum : sum;
    const int32_t quotient = (magnitude * multiplier) >> filterDivisorShift;
    return sum < 0 ? -quotient : quotient;
}

}  // namespace VantorEngine

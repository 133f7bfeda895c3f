#pragma once
// A literal, single-threaded rendering of the volume passes, voxel by voxel through clamped
// voxelIndex reads, used to check the fast passes byte for byte and as the benchmark baseline.
#include <cstdint>
#include <vector>

#include "VolumeDescription.h"
#include "VolumePreprocessing.h"

namespace VolumeReference {

using VantorEngine::colorChannels;
using VantorEngine::VolumeDescription;
using VantorEngine::voxelIndex;

inline void checkByteIndex(int index, const VolumeDescription& d) {
    if (!(index < static_cast<int>(d._width * d._height * d._depth * colorChannels)))
        VantorEngine::failVolumeIndexCheck(VantorEngine::byteIndexCheckLine);
}

// Buffer zero-filled first, then each sample written to its (flipped) voxel.
inline std::vector<int8_t> convertRawData(const VolumeDescription& d, const std::vector<uint16_t>& samples) {
    std::vector<int8_t> buffer(size_t(d._width) * d._height * d._depth * colorChannels, 0);
    int i = 0;
    for (int z = 0; z < d._depth; ++z) {
        for (int y = 0; y < d._height; ++y) {
            for (int x = 0; x < d._width; ++x, ++i) {
                const uint8_t density = uint8_t(samples[size_t(i)] >> (d._bitsPerSample - 7));
                const int tx = d._flipX ? d._width - 1 - x : x;
                const int ty = d._flipY ? d._height - 1 - y : y;
                const int tz = d._flipZ ? d._depth - 1 - z : z;
                for (int c = 0; c < colorChannels; ++c) {
                    const int index = voxelIndex(tx, ty, tz, c, d._width, d._height, d._depth);
                    checkByteIndex(index, d);
                    buffer[size_t(index)] = int8_t(density);
                }
            }
        }
    }
    return buffer;
}

inline void computeGradients(const VolumeDescription& d, std::vector<int8_t>& buffer) {
    const int w = d._width, h = d._height, dp = d._depth;
    auto density = [&](int x, int y, int z) {
        const int index = voxelIndex(x, y, z, 3, w, h, dp);
        checkByteIndex(index, d);
        return float(buffer[size_t(index)]);
    };
    for (int z = 0; z < dp; ++z) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const float gx = density(x + 1, y, z) - density(x - 1, y, z);
                const float gy = density(x, y + 1, z) - density(x, y - 1, z);
                const float gz = density(x, y, z + 1) - density(x, y, z - 1);
                const int g[3] = {int(gx), int(gy), int(gz)};
                for (int c = 0; c < 3; ++c) {
                    const int index = voxelIndex(x, y, z, c, w, h, dp);
                    checkByteIndex(index, d);
                    buffer[size_t(index)] = int8_t(uint8_t(g[c] & 0xFF));
                }
            }
        }
    }
}

inline void filterGradients(const VolumeDescription& d, std::vector<int8_t>& buffer) {
    const int w = d._width, h = d._height, dp = d._depth;
    for (int z = 0; z < dp; ++z) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                for (int c = 0; c < 3; ++c) {
                    int sum = 0, count = 0;
                    for (int k = z - 1; k <= z + 1; ++k) {
                        for (int j = y - 1; j <= y + 1; ++j) {
                            for (int i = x - 1; i <= x + 1; ++i) {
                                if (i < 0 || i >= w || j < 0 || j >= h || k < 0 || k >= dp) continue;
                                const int index = voxelIndex(i, j, k, c, w, h, dp);
                                checkByteIndex(index, d);
                                sum += buffer[size_t(index)];
                                ++count;
                            }
                        }
                    }
                    const int index = voxelIndex(x, y, z, c, w, h, dp);
                    checkByteIndex(index, d);
                    buffer[size_t(index)] = int8_t(sum / count);
                }
            }
        }
    }
}

}  // namespace VolumeReference

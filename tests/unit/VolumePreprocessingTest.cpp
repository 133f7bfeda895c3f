// The CPU volume passes: density rule and flips, gradients, the in-place filter, and the fast
// passes against the literal reference on awkward sizes and thread counts.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "VolumePreprocessing.h"
#include "VolumeReference.h"

using namespace VantorEngine;

namespace {

VolumeDescription volume(int w, int h, int d, int bits = 12, bool fx = false, bool fy = false, bool fz = false) {
    VolumeDescription v;
    v._path = "memory";
    v._width = w;
    v._height = h;
    v._depth = d;
    v._bitsPerSample = bits;
    v._flipX = fx;
    v._flipY = fy;
    v._flipZ = fz;
    return v;
}

size_t bytesOf(const VolumeDescription& d) { return size_t(d._width) * d._height * d._depth * colorChannels; }

std::vector<int8_t> convert(const VolumeDescription& d, const std::vector<uint16_t>& samples, int threads = 0) {
    // Poisoned so a voxel the pass forgets shows up.
    std::vector<int8_t> buffer(bytesOf(d), int8_t(0x5A));
    convertRawData(d, samples.data(), buffer.data(), threads);
    return buffer;
}

// A buffer after conversion with the given densities (x fastest), all four channels equal.
std::vector<int8_t> densities(const std::vector<int>& values) {
    std::vector<int8_t> buffer;
    for (int v : values)
        for (int c = 0; c < colorChannels; ++c) buffer.push_back(int8_t(v));
    return buffer;
}

int at(const std::vector<int8_t>& buffer, const VolumeDescription& d, int x, int y, int z, int c) {
    return buffer[size_t(voxelIndex(x, y, z, c, d._width, d._height, d._depth))];
}

}  // namespace

TEST(VolumeVoxelIndex, ClampsEveryCoordinateAndChannel) {
    struct Case { int x, y, z, c, expected; };
    // A 3 x 2 x 2 volume: index = c + 4 * (x + 3 * (y + 2 * z)).
    const Case cases[] = {
        {0, 0, 0, 0, 0},   {2, 1, 1, 3, 3 + 4 * 11}, {-5, 0, 0, 0, 0},  {7, 0, 0, 0, 8},
        {0, -1, 0, 1, 1},  {0, 9, 0, 0, 12},         {0, 0, -2, 0, 0},  {0, 0, 4, 0, 24},
        {1, 1, 1, -1, 4 * 10}, {1, 1, 1, 9, 3 + 4 * 10},
    };
    for (const Case& k : cases)
        EXPECT_EQ(voxelIndex(k.x, k.y, k.z, k.c, 3, 2, 2), k.expected) << k.x << "," << k.y << "," << k.z << "," << k.c;
}

TEST(VolumeConvert, DensityIsTheSampleShiftedToSevenBitsKeepingTheLowByte) {
    struct Case { int bits; uint16_t sample; int8_t density; };
    const Case cases[] = {
        {12, 4095, 127}, {16, 65535, 127}, {12, 0, 0}, {16, 0, 0}, {7, 127, 127}, {7, 128, -128},
        {12, 4096, -128},           // bit 12 set: 128 wraps to the signed byte -128
        {12, 65535, -1},            // 2047 keeps only its low byte
        {12, 32, 1},  {12, 31, 0},  {16, 512, 1}, {10, 1023, 127},
    };
    for (const Case& k : cases) {
        const VolumeDescription d = volume(1, 1, 1, k.bits);
        const std::vector<int8_t> buffer = convert(d, {k.sample});
        for (int c = 0; c < colorChannels; ++c)
            EXPECT_EQ(buffer[size_t(c)], k.density) << k.bits << " bits, sample " << k.sample << ", channel " << c;
    }
}

TEST(VolumeConvert, FlipsMirrorTheirAxisOnly) {
    // 2 x 2 x 2 with sample i * 32 at file position i (12-bit: density i).
    std::vector<uint16_t> samples;
    for (int i = 0; i < 8; ++i) samples.push_back(uint16_t(i * 32));
    struct Case { bool fx, fy, fz; };
    const Case cases[] = {{false, false, false}, {true, false, false}, {false, true, false},
                          {false, false, true},  {true, true, true},   {false, true, true}};
    for (const Case& k : cases) {
        const VolumeDescription d = volume(2, 2, 2, 12, k.fx, k.fy, k.fz);
        const std::vector<int8_t> buffer = convert(d, samples);
        for (int z = 0; z < 2; ++z)
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 2; ++x) {
                    const int tx = k.fx ? 1 - x : x, ty = k.fy ? 1 - y : y, tz = k.fz ? 1 - z : z;
                    EXPECT_EQ(at(buffer, d, tx, ty, tz, 3), x + 2 * (y + 2 * z)) << k.fx << k.fy << k.fz;
                }
    }
}

TEST(VolumeConvert, FlipZMakesTheFirstFileSliceTheLastTextureSlice) {
    const VolumeDescription d = volume(2, 1, 3, 12, false, false, true);
    const std::vector<int8_t> buffer = convert(d, {32, 32, 64, 64, 96, 96});
    EXPECT_EQ(at(buffer, d, 0, 0, 2, 3), 1);
    EXPECT_EQ(at(buffer, d, 1, 0, 0, 3), 3);
}

TEST(VolumeGradients, EdgeCases) {
    {   // Constant density: zero gradient before and after filtering, density untouched.
        const VolumeDescription d = volume(3, 4, 5);
        std::vector<int8_t> buffer = densities(std::vector<int>(60, 77));
        computeGradients(d, buffer.data());
        filterGradients(d, buffer.data());
        for (size_t v = 0; v < 60; ++v) {
            EXPECT_EQ(buffer[4 * v + 0], 0);
            EXPECT_EQ(buffer[4 * v + 1], 0);
            EXPECT_EQ(buffer[4 * v + 2], 0);
            EXPECT_EQ(buffer[4 * v + 3], 77);
        }
    }
    {   // Ramp d = x: 2 inside, one-sided 1 on the faces x = 0 and x = width - 1.
        const VolumeDescription d = volume(5, 2, 2);
        std::vector<int> values;
        for (int i = 0; i < 20; ++i) values.push_back(i % 5);
        std::vector<int8_t> buffer = densities(values);
        computeGradients(d, buffer.data());
        for (int z = 0; z < 2; ++z)
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 5; ++x) {
                    EXPECT_EQ(at(buffer, d, x, y, z, 0), (x == 0 || x == 4) ? 1 : 2) << x;
                    EXPECT_EQ(at(buffer, d, x, y, z, 1), 0);
                    EXPECT_EQ(at(buffer, d, x, y, z, 2), 0);
                    EXPECT_EQ(at(buffer, d, x, y, z, 3), x);
                }
    }
    {   // A single dense voxel: +127 on its -x side, -127 on its +x side, likewise in y and z.
        const VolumeDescription d = volume(3, 3, 3);
        std::vector<int> values(27, 0);
        values[13] = 127;
        std::vector<int8_t> buffer = densities(values);
        computeGradients(d, buffer.data());
        EXPECT_EQ(at(buffer, d, 0, 1, 1, 0), 127);
        EXPECT_EQ(at(buffer, d, 2, 1, 1, 0), -127);
        EXPECT_EQ(at(buffer, d, 1, 0, 1, 1), 127);
        EXPECT_EQ(at(buffer, d, 1, 1, 2, 2), -127);
        EXPECT_EQ(at(buffer, d, 1, 1, 1, 0), 0);
    }
    {   // Wrapped densities: -128 next to 127 differs by 255, whose low byte is -1.
        const VolumeDescription d = volume(3, 1, 1);
        std::vector<int8_t> buffer = densities({-128, 0, 127});
        computeGradients(d, buffer.data());
        EXPECT_EQ(at(buffer, d, 1, 0, 0, 0), -1);
    }
    {   // 1 x 1 x 1.
        const VolumeDescription d = volume(1, 1, 1);
        std::vector<int8_t> buffer = densities({99});
        computeGradients(d, buffer.data());
        filterGradients(d, buffer.data());
        EXPECT_EQ(buffer, (std::vector<int8_t>{0, 0, 0, 99}));
    }
}

TEST(VolumeFilter, AveragesOnlyInVolumeNeighbours) {
    {   // 2 x 2 x 2: every voxel is a corner and averages the 8 voxels, never a clamped copy.
        // A spike of 80 at voxel 0 becomes 10, and each later voxel sees the filtered values
        // before it: sums 10, 11, ..., 16 over 8.
        const VolumeDescription d = volume(2, 2, 2);
        std::vector<int8_t> buffer(8 * 4, 0);
        buffer[2] = 80;  // channel 2 of voxel 0
        filterGradients(d, buffer.data());
        const int expected[8] = {10, 1, 1, 1, 1, 1, 1, 2};
        for (size_t v = 0; v < 8; ++v) EXPECT_EQ(buffer[4 * v + 2], expected[v]) << v;
    }
    {   // Along z the same rule as along x: 1 x 1 x 3 with 0, 0, 90 gives 0, 30, (30 + 90) / 2.
        const VolumeDescription d = volume(1, 1, 3);
        std::vector<int8_t> buffer = {0, 0, 0, 0, 0, 0, 0, 0, 0, 90, 0, 0};
        filterGradients(d, buffer.data());
        EXPECT_EQ(buffer[1], 0);
        EXPECT_EQ(buffer[5], 30);
        EXPECT_EQ(buffer[9], 60);
    }
    {   // A constant field keeps its value at corners, edges, faces and inside.
        const VolumeDescription d = volume(3, 3, 3);
        std::vector<int8_t> buffer(27 * 4, 0);
        for (size_t v = 0; v < 27; ++v) buffer[4 * v + 1] = -50;
        filterGradients(d, buffer.data());
        for (size_t v = 0; v < 27; ++v) EXPECT_EQ(buffer[4 * v + 1], -50);
    }
}

TEST(VolumeFilter, InPlaceWalkUsesFilteredEarlierNeighbours) {
    // 3 x 1 x 1, channel 0 = 30, 0, 0. In the walk: x0 = (30+0)/2 = 15; x1 = (15+0+0)/3 = 5;
    // x2 = (5+0)/2 = 2. A filter reading only original values would give 15, 10, 0.
    const VolumeDescription d = volume(3, 1, 1);
    std::vector<int8_t> buffer = {30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    filterGradients(d, buffer.data());
    EXPECT_EQ(buffer[0], 15);
    EXPECT_EQ(buffer[4], 5);
    EXPECT_EQ(buffer[8], 2);
    // Truncation toward zero for negative sums: -7 / 2 = -3, not -4.
    std::vector<int8_t> negative = {-7, 0, 0, 0, 0, 0, 0, 0};
    filterGradients(volume(2, 1, 1), negative.data());
    EXPECT_EQ(negative[0], -3);
    EXPECT_EQ(negative[4], -1);  // (-3 + 0) / 2 truncates to -1
}

TEST(VolumeFilter, DivisionByMultiplicationMatchesTruncatingDivision) {
    for (int divisor = 1; divisor <= 27; ++divisor) {
        const int32_t multiplier = filterDivisorMultiplier(divisor);
        for (int sum = -maxFilterSum; sum <= maxFilterSum; ++sum)
            ASSERT_EQ(divideFilterSum(sum, multiplier), sum / divisor) << sum << " / " << divisor;
    }
}

// The fast passes and the one-sweep path against the literal reference, on random volumes of
// awkward sizes with random bit depths, flips and stray high bits, for several thread counts
// (more slices than workers, and depths that do not divide among them).
class VolumeFastMatchesReference : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(VolumeFastMatchesReference, ByteIdenticalBuffers) {
    const auto [w, h, dp] = GetParam();
    std::mt19937 random(uint32_t(w * 7919 + h * 104729 + dp * 13));
    for (int trial = 0; trial < 6; ++trial) {
        const int bits = 7 + int(random() % 10);
        const VolumeDescription d = volume(w, h, dp, bits, random() & 1, random() & 1, random() & 1);
        std::vector<uint16_t> samples(size_t(w) * h * dp);
        // Mostly in-range samples with smooth runs (so gradients are small and large alike),
        // some with bits above the declared depth.
        for (uint16_t& s : samples) {
            const uint32_t r = random();
            s = (r % 8 == 0) ? uint16_t(r >> 8) : uint16_t((r >> 8) & ((1u << bits) - 1));
        }
        std::vector<int8_t> expected = VolumeReference::convertRawData(d, samples);
        const std::vector<int8_t> converted = expected;
        VolumeReference::computeGradients(d, expected);
        const std::vector<int8_t> gradients = expected;
        VolumeReference::filterGradients(d, expected);
        for (int threads : {1, 2, 3, 5}) {
            std::vector<int8_t> buffer = convert(d, samples, threads);
            ASSERT_EQ(buffer, converted) << "convert, bits " << bits << ", threads " << threads;
            computeGradients(d, buffer.data(), threads);
            ASSERT_EQ(buffer, gradients) << "gradients, threads " << threads;
            filterGradients(d, buffer.data(), threads);
            ASSERT_EQ(buffer, expected) << "filter, threads " << threads;
            // The one-sweep path of the texture: every byte written, the same as the three passes.
            std::vector<int8_t> swept(bytesOf(d), int8_t(0x5A));
            preprocessVolume(d, samples.data(), swept.data(), threads);
            ASSERT_EQ(swept, expected) << "one sweep, bits " << bits << ", threads " << threads;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AwkwardSizes, VolumeFastMatchesReference,
                         ::testing::Values(std::make_tuple(1, 1, 1), std::make_tuple(1, 5, 7),
                                           std::make_tuple(2, 3, 1), std::make_tuple(17, 13, 11),
                                           std::make_tuple(1, 1, 9), std::make_tuple(9, 1, 1),
                                           std::make_tuple(3, 2, 40), std::make_tuple(64, 3, 4),
                                           std::make_tuple(2, 2, 2), std::make_tuple(5, 9, 13),
                                           std::make_tuple(31, 7, 6)));

TEST(VolumeIndexCheck, FailedCheckNamesTheSourceAndLine) {
    EXPECT_DEATH(failVolumeIndexCheck(byteIndexCheckLine),
                 "index < static_cast<int>\\(_volDescription._width \\* _volDescription._height \\* "
                 "_volDescription._depth \\* colorChannels\\), file src.Engine.VolumeTexture, line 421");
    EXPECT_DEATH(failVolumeIndexCheck(voxelIndexCheckLine), "_volDescription._depth\\), file src.Engine.VolumeTexture, line 409");
}

TEST(VolumeGraphicsBuffer, LargeBuffersAreHugePageAlignedAndEveryBufferIsWritable) {
    for (size_t bytes : {size_t(1), size_t(4 * 17), size_t(2) << 20, (size_t(5) << 20) + 12}) {
        GraphicsBuffer buffer = allocateGraphicsBuffer(bytes);
        ASSERT_TRUE(buffer) << bytes;
        if (bytes >= (size_t(2) << 20)) EXPECT_EQ(reinterpret_cast<uintptr_t>(buffer.get()) % (size_t(2) << 20), 0u) << bytes;
        buffer[0] = 1;
        buffer[bytes - 1] = 2;
        EXPECT_EQ(buffer[bytes - 1], 2);
    }
}

// The texture has the buffer's pages mapped on a second thread while the sweep may already be
// writing them: mapping must never change a byte, whether written before or after it.
TEST(VolumeGraphicsBuffer, PopulatingNeverOverwritesWhatIsThere) {
    const size_t bytes = (size_t(4) << 20) + 100;
    GraphicsBuffer buffer = allocateGraphicsBuffer(bytes);
    ASSERT_TRUE(buffer);
    for (size_t i = 0; i < bytes; i += 1000) buffer[i] = int8_t(i % 251);
    populateGraphicsBuffer(buffer.get(), bytes);
    for (size_t i = 0; i < bytes; i += 1000) ASSERT_EQ(buffer[i], int8_t(i % 251)) << i;
    // Unaligned and tiny ranges are accepted too.
    GraphicsBuffer small = allocateGraphicsBuffer(10);
    ASSERT_TRUE(small);
    small[9] = 5;
    populateGraphicsBuffer(small.get() + 1, 9);
    EXPECT_EQ(small[9], 5);
}

// Inputs that the fuzz targets (fuzz/) found faults with, kept as ordinary test cases. Some of
// the faults are undefined behaviour that only the sanitizer build reports
// (scripts/run-sanitized-tests.sh); the expected values make the cases useful without it too.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "VolumeDescription.h"
#include "VolumeFile.h"
#include "VolumePreprocessing.h"

using namespace VantorEngine;

namespace {

VolumeDescription sized(int width, int height, int depth, int bits = 12) {
    VolumeDescription d;
    d._path = "fuzz";
    d._width = width;
    d._height = height;
    d._depth = depth;
    d._bitsPerSample = bits;
    return d;
}

}  // namespace

// The size check multiplied all three sides in 64 bits: absurd descriptions overflowed it (undefined
// behaviour) and some wrapped to a small product that was accepted.
TEST(FuzzRegression, AbsurdVolumeSizesAreRefusedWithoutOverflow) {
    struct Case {
        int width, height, depth;
        const char* bytes;  // the byte count the message names
    } cases[] = {
        {2097152, 2097152, 2097152, "more than 9223372036854775807"},  // 2^65 bytes wrapped to 0
        {INT_MAX, INT_MAX, INT_MAX, "more than 9223372036854775807"},
        {33554441, 65537, 17236017, "more than 9223372036854775807"},  // found by fuzz_volume
        {9, 1929880067, 353321995, "more than 9223372036854775807"},   // found by fuzz_volume
        {INT_MAX, 1, 1, "8589934588"},
        {1024, 1024, 512, "2147483648"},
    };
    for (const Case& c : cases) {
        const std::string problem = volumeSizeProblem(sized(c.width, c.height, c.depth), 0);
        EXPECT_NE(problem.find("32-bit"), std::string::npos) << c.width << " x " << c.height << " x " << c.depth
                                                             << ": " << problem;
        EXPECT_NE(problem.find(std::string("needs ") + c.bytes + " buffer bytes"), std::string::npos) << problem;
    }
    EXPECT_EQ(volumeSizeProblem(sized(1024, 1024, 511), 0), "");
}

// The gradient filter reached its left neighbours as sum[i - 4] with an unsigned i, a pointer
// wrap-around that UndefinedBehaviorSanitizer reports on the first voxel of every row.
TEST(FuzzRegression, GradientFilterOnATwoVoxelRow) {
    const VolumeDescription d = sized(2, 1, 1, 7);
    const std::vector<uint16_t> samples{0, 10};
    std::vector<int8_t> buffer(2 * colorChannels);
    convertRawData(d, samples.data(), buffer.data(), 1);
    computeGradients(d, buffer.data(), 1);
    filterGradients(d, buffer.data(), 1);
    // One-sided differences give 10 along x at both voxels; their average stays 10.
    EXPECT_EQ(buffer, (std::vector<int8_t>{10, 0, 0, 0, 10, 0, 0, 10}));
}

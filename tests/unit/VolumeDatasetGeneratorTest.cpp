// The dataset catalogue and the generated stand-in files: exact layouts, and volumes that show
// an object (non-zero density) surrounded by empty space with zero gradient.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "DatasetCatalogue.h"
#include "DatasetGenerator.h"
#include "GLTestFixture.h"
#include "VolumeFile.h"
#include "VolumePreprocessing.h"

using namespace VantorEngine;
using namespace FallowTide;

TEST(VolumeDatasetCatalogue, TwelveEntriesWithTheirLayouts) {
    struct Entry { const char* path; bool header; int w, h, d, bits; float scale; bool fy, fz; };
    const Entry expected[] = {
        {"resources\\stagbeetle277x277x164.dat", true, 0, 0, 0, 12, 1.0f, false, false},
        {"resources\\stagbeetle416x416x247.dat", true, 0, 0, 0, 12, 1.0f, false, false},
        {"resources\\present246x246x221.dat", true, 0, 0, 0, 12, 1.0f, false, false},
        {"resources\\present492x492x442.dat", true, 0, 0, 0, 12, 1.0f, false, false},
        {"resources\\christmastree256x249x256.dat", true, 0, 0, 0, 12, 1.0f, false, false},
        {"resources\\stent16.raw", false, 512, 512, 174, 12, 0.5f, false, true},
        {"resources\\backpack16.raw", false, 512, 512, 373, 12, 1.0f, false, false},
        {"resources\\vertebra16.raw", false, 512, 512, 512, 12, 1.0f, false, false},
        {"resources\\prone16.raw", false, 512, 512, 463, 12, 0.25f, true, true},
        {"resources\\supine16.raw", false, 512, 512, 426, 12, 0.25f, true, true},
        {"resources\\colon_phantom16.raw", false, 512, 512, 442, 12, 0.25f, true, true},
        {"resources\\Bonsai1.pvm", false, 512, 512, 182, 16, 0.25f, true, true},
    };
    ASSERT_EQ(datasetCatalogueSize(), 12);
    for (int i = 0; i < 12; ++i) {
        const VolumeDescription d = datasetDescription(i);
        const Entry& e = expected[i];
        EXPECT_EQ(d._path, e.path) << i;
        EXPECT_EQ(d._hasHeader, e.header) << i;
        EXPECT_EQ(d._width, e.w) << i;
        EXPECT_EQ(d._height, e.h) << i;
        EXPECT_EQ(d._depth, e.d) << i;
        EXPECT_EQ(d._bitsPerSample, e.bits) << i;
        EXPECT_EQ(d._scale, vec3(e.scale)) << i;
        EXPECT_FALSE(d._flipX) << i;
        EXPECT_EQ(d._flipY, e.fy) << i;
        EXPECT_EQ(d._flipZ, e.fz) << i;
        const std::string name = d._path.substr(d._path.rfind('\\') + 1);
        EXPECT_EQ(datasetIndexForFileName(name), i);
        // Header entries' generated size is the one in the file name.
        const VolumeDescription g = generatedDatasetDescription(i);
        if (e.header) {
            const std::string dims = std::to_string(g._width) + "x" + std::to_string(g._height) + "x" + std::to_string(g._depth) + ".dat";
            EXPECT_NE(d._path.find(dims), std::string::npos) << d._path;
        } else {
            EXPECT_EQ(g._depth, e.d);
        }
    }
    EXPECT_EQ(datasetIndexForFileName("missing.raw"), -1);
}

namespace {

// Non-zero density dilated by `radius` voxels along each axis (a cube neighbourhood).
std::vector<uint8_t> dilatedDensityMask(const std::vector<int8_t>& buffer, int w, int h, int d, int radius) {
    std::vector<uint8_t> mask(size_t(w) * h * d);
    for (size_t v = 0; v < mask.size(); ++v) mask[v] = buffer[4 * v + 3] != 0;
    const int strides[3] = {1, w, w * h};
    const int sizes[3] = {w, h, d};
    for (int axis = 0; axis < 3; ++axis) {
        std::vector<uint8_t> out(mask.size(), 0);
        for (int z = 0; z < d; ++z)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int coord[3] = {x, y, z};
                    const size_t v = size_t(x) + size_t(w) * (y + size_t(h) * z);
                    uint8_t any = 0;
                    for (int o = -radius; o <= radius && !any; ++o) {
                        const int c = coord[axis] + o;
                        if (c >= 0 && c < sizes[axis]) any = mask[size_t(int64_t(v) + int64_t(o) * strides[axis])];
                    }
                    out[v] = any;
                }
        mask.swap(out);
    }
    return mask;
}

}  // namespace



// How far a gradient reaches beyond the object: one voxel from the difference, one from the
// smoothing, and a little further along the walk because the in-place filter carries filtered
// values forward until truncation ends them.
constexpr int kReach = 4;

class VolumeGeneratedDataset : public ::testing::TestWithParam<int> {};

TEST_P(VolumeGeneratedDataset, FileHasTheCatalogueLayoutAndShowsAnObjectInEmptySpace) {
    const int index = GetParam();
    TestSupport::TempDir dir;
    std::string error;
    ASSERT_TRUE(writeGeneratedDataset(index, dir.path(), error)) << error;
    const VolumeDescription generated = generatedDatasetDescription(index);
    const std::string path = generatedDatasetPath(index, dir.path());
    const size_t voxels = size_t(generated._width) * generated._height * generated._depth;
    EXPECT_EQ(std::filesystem::file_size(path), voxels * 2 + (generated._hasHeader ? 6 : 0));
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));

    // Loaded exactly as the demo loads it: the catalogue entry, with the path moved into the folder.
    VolumeDescription d = datasetDescription(index);
    d._path = path;
    VolumeSamples samples;
    std::string problem;
    testing::internal::CaptureStdout();
    ASSERT_EQ(readVolumeFile(d, 2048, samples, problem), VolumeReadResult::read) << problem;
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(d._width, generated._width);
    EXPECT_EQ(d._height, generated._height);
    EXPECT_EQ(d._depth, generated._depth);
    // Samples use the declared bits and, for 16-bit entries, more than the low 12.
    const uint16_t highest = *std::max_element(samples.begin(), samples.end());
    EXPECT_LT(highest, 1u << d._bitsPerSample);
    if (d._bitsPerSample == 16) EXPECT_GT(highest, 4095u);

    std::vector<int8_t> buffer(voxels * colorChannels);
    convertRawData(d, samples.data(), buffer.data());
    computeGradients(d, buffer.data());
    filterGradients(d, buffer.data());

    size_t dense = 0, structured = 0;
    int8_t maxDensity = 0;
    for (size_t v = 0; v < voxels; ++v) {
        const int8_t density = buffer[4 * v + 3];
        EXPECT_GE(density, 0);
        if (density > 0) ++dense;
        maxDensity = std::max(maxDensity, density);
        if (buffer[4 * v] != 0 || buffer[4 * v + 1] != 0 || buffer[4 * v + 2] != 0) ++structured;
    }
    EXPECT_GT(dense, voxels / 50) << "too little object";
    EXPECT_LT(dense, voxels * 9 / 10) << "no empty space around the object";
    EXPECT_GE(maxDensity, 40);
    EXPECT_GT(structured, voxels / 200) << "no gradients to shade";
    // Away from the object the gradient is exactly zero.
    const std::vector<uint8_t> near = dilatedDensityMask(buffer, d._width, d._height, d._depth, kReach);
    size_t empty = 0, nonZeroInEmpty = 0;
    for (size_t v = 0; v < voxels; ++v) {
        if (near[v]) continue;
        ++empty;
        if (buffer[4 * v] != 0 || buffer[4 * v + 1] != 0 || buffer[4 * v + 2] != 0) ++nonZeroInEmpty;
    }
    EXPECT_GT(empty, voxels / 20);
    EXPECT_EQ(nonZeroInEmpty, 0u);
}

// The small header file, a headerless 16-bit file with flips, and a 12-bit flipped raw file.
INSTANTIATE_TEST_SUITE_P(Entries, VolumeGeneratedDataset, ::testing::Values(2, 0, 4, 11, 5));

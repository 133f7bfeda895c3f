// Dataset file parsing and reading: header, zero-fill of short files, refusal of sizes that
// cannot work, and the report of a missing file.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "GLTestFixture.h"
#include "VolumeFile.h"

using namespace VantorEngine;

namespace {

std::string le16(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values) {
        bytes.push_back(char(v & 0xFF));
        bytes.push_back(char((v >> 8) & 0xFF));
    }
    return bytes;
}

VolumeDescription description(const std::string& path, bool header, int w, int h, int d, int bits = 12) {
    VolumeDescription v;
    v._path = path;
    v._hasHeader = header;
    v._width = w;
    v._height = h;
    v._depth = d;
    v._bitsPerSample = bits;
    return v;
}

VolumeReadResult parse(VolumeDescription& d, const std::string& bytes, VolumeSamples& samples,
                       std::string& problem, int maxTextureSize = 2048) {
    return parseVolumeFile(d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), maxTextureSize,
                           samples, problem);
}

std::vector<uint16_t> asVector(const VolumeSamples& samples) { return {samples.begin(), samples.end()}; }

}  // namespace

TEST(VolumeFileParse, HeaderReplacesTheDescribedSizeAndIsSkipped) {
    VolumeDescription d = description("x", true, 99, 99, 99);
    VolumeSamples samples;
    std::string problem;
    ASSERT_EQ(parse(d, le16({2, 1, 3, 10, 20, 30, 40, 50, 60}), samples, problem), VolumeReadResult::read) << problem;
    EXPECT_EQ(d._width, 2);
    EXPECT_EQ(d._height, 1);
    EXPECT_EQ(d._depth, 3);
    EXPECT_EQ(asVector(samples), (std::vector<uint16_t>{10, 20, 30, 40, 50, 60}));
}

TEST(VolumeFileParse, ShortFilesZeroFillAndExtraBytesAreIgnored) {
    struct Case { const char* name; std::string bytes; std::vector<uint16_t> expected; };
    const Case cases[] = {
        {"exact", le16({1, 2, 3, 4}), {1, 2, 3, 4}},
        {"short", le16({0x1234, 7}), {0x1234, 7, 0, 0}},
        {"odd byte", le16({5}) + std::string(1, '\x09'), {5, 0, 0, 0}},
        {"empty", std::string(), {0, 0, 0, 0}},
        {"trailing", le16({1, 2, 3, 4, 5, 6}), {1, 2, 3, 4}},
        {"high byte", le16({0xFFFF, 0x0100}), {0xFFFF, 0x0100, 0, 0}},
    };
    for (const Case& k : cases) {
        VolumeDescription d = description("x", false, 2, 2, 1);
        VolumeSamples samples;
        std::string problem;
        ASSERT_EQ(parse(d, k.bytes, samples, problem), VolumeReadResult::read) << k.name;
        EXPECT_EQ(asVector(samples), k.expected) << k.name;
    }
}

TEST(VolumeFileParse, RefusesSizesThatCannotWork) {
    struct Case { const char* name; bool header; std::string bytes; int w, h, d, bits; VolumeReadResult result; const char* text; };
    const Case cases[] = {
        {"zero width in header", true, le16({0, 4, 4}), 1, 1, 1, 12, VolumeReadResult::badSize, "empty side"},
        {"zero depth in header", true, le16({4, 4, 0}), 1, 1, 1, 12, VolumeReadResult::badSize, "from the file's header"},
        {"header cut short", true, std::string("\x02\x00\x02", 3), 1, 1, 1, 12, VolumeReadResult::badHeader, "6-byte"},
        {"negative described size", false, "", -1, 4, 4, 12, VolumeReadResult::badSize, "empty side"},
        {"bits too low", false, "", 2, 2, 2, 6, VolumeReadResult::badSize, "outside 7 to 16"},
        {"bits too high", false, "", 2, 2, 2, 17, VolumeReadResult::badSize, "outside 7 to 16"},
        // 65535^3 * 4 bytes overflow the 32-bit index checks.
        {"byte index overflow", true, le16({65535, 65535, 65535}), 1, 1, 1, 12, VolumeReadResult::badSize, "32-bit"},
        {"just over the index", false, "", 1024, 1024, 512, 12, VolumeReadResult::badSize, "32-bit"},
        {"above the texture limit", true, le16({4096, 1, 1}), 1, 1, 1, 12, VolumeReadResult::badSize, "largest 3D texture"},
    };
    for (const Case& k : cases) {
        VolumeDescription d = description("x", k.header, k.w, k.h, k.d, k.bits);
        VolumeSamples samples;
        std::string problem;
        EXPECT_EQ(parse(d, k.bytes, samples, problem), k.result) << k.name;
        EXPECT_NE(problem.find(k.text), std::string::npos) << k.name << ": " << problem;
        EXPECT_TRUE(samples.empty()) << k.name;  // refused before the list was made
    }
    // The largest count the index checks allow is accepted (checked without allocating).
    EXPECT_EQ(volumeSizeProblem(description("x", false, 1024, 1024, 511, 12), 0), "");
    EXPECT_EQ(volumeSizeProblem(description("x", false, 4096, 1, 1, 12), 0), "");
}

TEST(VolumeFileRead, ReadsTheFileLikeTheBytesAndPrintsTheLines) {
    TestSupport::TempDir dir;
    const std::string bytes = le16({3, 1, 2, 100, 200, 300, 400, 500});  // one sample missing
    const std::string path = dir.write("ramp.dat", bytes);
    VolumeDescription fromFile = description(path, true, 0, 0, 0);
    VolumeSamples samples;
    std::string problem;
    testing::internal::CaptureStdout();
    ASSERT_EQ(readVolumeFile(fromFile, 2048, samples, problem), VolumeReadResult::read) << problem;
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Reading volume texture from the file " + path + "...\nReading finished\n");
    EXPECT_EQ(asVector(samples), (std::vector<uint16_t>{100, 200, 300, 400, 500, 0}));
    EXPECT_EQ(fromFile._width, 3);
    EXPECT_EQ(fromFile._depth, 2);
}

TEST(VolumeFileRead, MissingFileNamesThePathAndHowToMakeItThenExits) {
    TestSupport::TempDir dir;
    VolumeDescription d = description(dir.path() + "\\stent16.raw", false, 512, 512, 174);
    VolumeSamples samples;
    std::string problem;
    EXPECT_EQ(readVolumeFile(d, 2048, samples, problem), VolumeReadResult::cannotOpen);
    EXPECT_TRUE(samples.empty());
    EXPECT_EXIT(readVolumeFileOrExit(d, 2048, samples), testing::ExitedWithCode(EXIT_FAILURE),
                "Cannot open the volume dataset file .*stent16.raw(.|\n)*generate_datasets --name stent16.raw");
}

TEST(VolumeFileRead, RefusedSizeIsReportedAndExits) {
    TestSupport::TempDir dir;
    const std::string path = dir.write("zero.dat", le16({0, 16, 16}));
    VolumeDescription d = description(path, true, 0, 0, 0);
    VolumeSamples samples;
    EXPECT_EXIT(readVolumeFileOrExit(d, 2048, samples), testing::ExitedWithCode(EXIT_FAILURE),
                "Cannot load the volume dataset file .*zero.dat: the size 0 x 16 x 16");
}

// The texture allocates its buffer from this call while the file is read: it must come once,
// with the header's size, before any sample is there, and never for a size that is refused.
TEST(VolumeFileRead, SizeKnownComesOnceWithTheCheckedSizeBeforeTheSamples) {
    TestSupport::TempDir dir;
    struct Case { const char* name; std::string bytes; bool exists; int calls; };
    const Case cases[] = {
        {"ramp.dat", le16({3, 1, 2, 100, 200, 300, 400, 500, 600}), true, 1},
        {"zero.dat", le16({0, 16, 16}), true, 0},
        {"header.dat", std::string("\x02\x00", 2), true, 0},
        {"missing.dat", "", false, 0},
    };
    for (const Case& k : cases) {
        const std::string path = k.exists ? dir.write(k.name, k.bytes) : dir.path() + "/" + k.name;
        VolumeDescription d = description(path, true, 7, 7, 7);
        VolumeSamples samples;
        std::string problem;
        int calls = 0;
        size_t samplesAtCall = 1;
        VolumeDescription seen;
        testing::internal::CaptureStdout();
        readVolumeFile(d, 2048, samples, problem, {}, [&](const VolumeDescription& sized) {
            ++calls;
            seen = sized;
            samplesAtCall = samples.size();
        });
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(calls, k.calls) << k.name;
        if (calls == 1) {
            EXPECT_EQ(samplesAtCall, 0u) << k.name;
            EXPECT_EQ(seen._width, 3);
            EXPECT_EQ(seen._height, 1);
            EXPECT_EQ(seen._depth, 2);
            EXPECT_EQ(asVector(samples), (std::vector<uint16_t>{100, 200, 300, 400, 500, 600}));
        }
    }
}

// Lists from 2 MiB on take the huge-page path; both paths keep their contents when the list
// grows across the threshold (each block goes back through the path it came from).
TEST(VolumeSamplesAllocator, LargeListsAreHugePageAlignedAndKeepTheirContentsWhenGrowing) {
    VolumeSamples samples(1000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = uint16_t(i);
    const size_t large = hugePageBytes / sizeof(uint16_t) + 3;
    samples.resize(large);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(samples.data()) % hugePageBytes, 0u);
    samples.back() = 7;
    samples.resize(3 * large);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(samples.data()) % hugePageBytes, 0u);
    for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(samples[i], uint16_t(i));
    EXPECT_EQ(samples[large - 1], 7);
    VolumeSamples().swap(samples);
    EXPECT_TRUE(samples.empty());
}

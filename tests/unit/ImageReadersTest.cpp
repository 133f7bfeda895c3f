// BMP and DDS decoding over in-memory files: accepted layouts and every unsafe file refused.
#include <gtest/gtest.h>

#include <string>

#include "ImageBuilders.h"
#include "ImageReaders.h"

using namespace VantorEngine;
using namespace TestSupport;

namespace {

TEST(DecodeBMP, ReadsPaddedRowsBottomUpAsStored) {
    const int width = 3;
    const int height = 2;
    const std::string file = makeBMP(width, height, static_cast<uint32_t>(bmpStride(width) * height));
    BMPImage image;
    std::string message;
    ASSERT_TRUE(decodeBMP(file, "a.bmp", image, message)) << message;
    EXPECT_EQ(image.width, width);
    EXPECT_EQ(image.height, height);
    ASSERT_EQ(image.pixels.size(), bmpStride(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char bgr[3];
            bmpPixel(x, y, bgr);
            for (int c = 0; c < 3; ++c) EXPECT_EQ(image.pixels[y * bmpStride(width) + 3 * x + c], bgr[c]);
        }
    }
}

TEST(DecodeBMP, ZeroSizeFieldReadsEveryPaddedRow) {
    // Width 1: 3 bytes per pixel but 4 per stored row; width x height x 3 would drop the
    // last pixels.
    const std::string file = makeBMP(1, 5, 0);
    BMPImage image;
    std::string message;
    ASSERT_TRUE(decodeBMP(file, "a.bmp", image, message)) << message;
    ASSERT_EQ(image.pixels.size(), bmpStride(1) * 5);
    EXPECT_EQ(std::string(image.pixels.begin(), image.pixels.end()), file.substr(54));
}

TEST(DecodeBMP, ShortSizeFieldStillCoversEveryPaddedRowWithZeros) {
    // A size field below the stored rows: only that much is taken, the rest reads as zero.
    const std::string file = makeBMP(1, 5, 9);
    BMPImage image;
    std::string message;
    ASSERT_TRUE(decodeBMP(file, "a.bmp", image, message)) << message;
    ASSERT_EQ(image.pixels.size(), bmpStride(1) * 5);
    EXPECT_EQ(std::string(image.pixels.begin(), image.pixels.begin() + 9), file.substr(54, 9));
    for (size_t i = 9; i < image.pixels.size(); ++i) EXPECT_EQ(image.pixels[i], 0) << i;
}

// The size field may promise more than the file holds: the rows that are there are read and the
// rest stay zero, and the buffer is sized by the padded rows alone, not by the size field.
TEST(DecodeBMP, OversizedSizeFieldReadsThePixelsThatAreThere) {
    struct Case {
        const char* name;
        uint32_t sizeField;
        long dataBytes;  // -1: every padded row
    } cases[] = {
        {"complete file", 1000000, -1},
        {"complete file, size field at its maximum", 0xFFFFFFFFu, -1},
        {"short file", 1000000, 30},
        {"short file, zero size field", 0, 30},
    };
    const int width = 4, height = 4;
    const size_t needed = bmpStride(width) * height;
    for (const Case& c : cases) {
        const std::string file = makeBMP(width, height, c.sizeField, c.dataBytes);
        const size_t present = file.size() - 54;
        BMPImage image;
        std::string message;
        ASSERT_TRUE(decodeBMP(file, "a.bmp", image, message)) << c.name << ": " << message;
        ASSERT_EQ(image.pixels.size(), needed) << c.name;
        EXPECT_EQ(std::string(image.pixels.begin(), image.pixels.begin() + present), file.substr(54)) << c.name;
        for (size_t i = present; i < needed; ++i) EXPECT_EQ(image.pixels[i], 0) << c.name << " byte " << i;
    }
}

struct RejectedBMP {
    const char* name;
    std::string bytes;
    const char* messageFragment;
};

class DecodeBMPRejects : public ::testing::TestWithParam<RejectedBMP> {};

TEST_P(DecodeBMPRejects, WithAMessageAndNoImage) {
    const RejectedBMP& c = GetParam();
    BMPImage image;
    image.width = 77;
    std::string message;
    EXPECT_FALSE(decodeBMP(c.bytes, "x\\bad.bmp", image, message));
    EXPECT_NE(message.find(c.messageFragment), std::string::npos) << message;
    EXPECT_EQ(message.back(), '\n');
    EXPECT_EQ(image.width, 77) << "a refused file must not touch the image";
    EXPECT_TRUE(image.pixels.empty());
}

std::string withSignature(std::string bytes, const char* sig) {
    bytes[0] = sig[0];
    bytes[1] = sig[1];
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeBMPRejects,
    ::testing::Values(
        RejectedBMP{"Empty", "", "Not a correct BMP file\n"},
        RejectedBMP{"ShortHeader", makeBMP(2, 2, 0).substr(0, 53), "Not a correct BMP file\n"},
        RejectedBMP{"WrongSignature", withSignature(makeBMP(2, 2, 0), "MB"), "Not a correct BMP file\n"},
        RejectedBMP{"ThirtyTwoBits", makeBMP(2, 2, 0, -1, 32), "Not a correct BMP file\n"},
        RejectedBMP{"Compressed", makeBMP(2, 2, 0, -1, 24, 1), "Not a correct BMP file\n"},
        // Less than a quarter of the pixel data: 11 of 48 bytes is refused, 12 is read (below).
        RejectedBMP{"MostPixelDataMissing", makeBMP(4, 4, 48, 11),
                    "holds 11 bytes of pixel data, its 4 x 4 image needs 48"},
        RejectedBMP{"MostPixelDataMissingZeroSizeField", makeBMP(4, 4, 0, 2), "holds 2 bytes"},
        // A bare header declaring the largest accepted image: refused before 768 MiB are allocated.
        RejectedBMP{"HugeImageInAHeaderOnlyFile", makeBMP(16384, 16384, 0, 0),
                    "holds 0 bytes of pixel data, its 16384 x 16384 image needs 805306368"},
        RejectedBMP{"ZeroWidth", makeBMP(0, 4, 0), "unsupported dimensions 0 x 4"},
        RejectedBMP{"NegativeHeight", makeBMP(2, -2, 0), "unsupported dimensions 2 x -2"},
        RejectedBMP{"AbsurdWidth", makeBMP(2000000000, 1, 0, 0), "unsupported dimensions 2000000000 x 1"},
        RejectedBMP{"AbsurdArea", makeBMP(16385, 16385, 0, 0), "unsupported dimensions"}),
    [](const ::testing::TestParamInfo<RejectedBMP>& info) { return std::string(info.param.name); });

TEST(DecodeBMP, NamesTheFileInSizeMessages) {
    BMPImage image;
    std::string message;
    EXPECT_FALSE(decodeBMP(makeBMP(4, 4, 1000, 0), "resources\\textures\\x.bmp", image, message));
    EXPECT_NE(message.find("resources\\textures\\x.bmp"), std::string::npos) << message;
}

TEST(DecodeBMP, AQuarterOfThePixelDataIsEnough) {
    BMPImage image;
    std::string message;
    EXPECT_TRUE(decodeBMP(makeBMP(4, 4, 48, 12), "a.bmp", image, message)) << message;
    EXPECT_EQ(image.pixels.size(), 48u);
}

// The caller passes the texture size limit of its GL; an image beyond it would fail to upload.
TEST(DecodeBMP, ImageBeyondTheTextureSizeLimitIsRefused) {
    struct Case {
        int width, height;
        bool accepted;
    } cases[] = {{8, 8, true}, {9, 8, false}, {8, 9, false}, {1, 8, true}};
    for (const Case& c : cases) {
        BMPImage image;
        std::string message;
        EXPECT_EQ(decodeBMP(makeBMP(c.width, c.height, 0), "big.bmp", image, message, 8), c.accepted)
            << c.width << " x " << c.height;
        if (!c.accepted) {
            EXPECT_NE(message.find("big.bmp is " + std::to_string(c.width) + " x " + std::to_string(c.height) +
                                   ", larger than the 8 x 8 this OpenGL accepts"),
                      std::string::npos)
                << message;
            EXPECT_TRUE(image.pixels.empty());
        }
    }
}

// 8 x 8 DXT1 with its full chain: 32 + 8 + 8 + 8 bytes.
std::string fullChainDXT1() {
    return makeDDS(8, 8, 32, 4, "DXT1", repeat(dxt1SolidBlock(0xF800), 7));
}

TEST(DecodeDDS, FullChainLevelsSizesAndOffsets) {
    DDSImage image;
    std::string message;
    ASSERT_TRUE(decodeDDS(fullChainDXT1(), "a.dds", image, message));
    EXPECT_TRUE(message.empty()) << message;
    EXPECT_EQ(image.format, DXTFormat::DXT1);
    ASSERT_EQ(image.levels.size(), 4u);
    const int sizes[] = {8, 4, 2, 1};
    size_t offset = 0;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(image.levels[i].width, sizes[i]);
        EXPECT_EQ(image.levels[i].height, sizes[i]);
        EXPECT_EQ(image.levels[i].offset, offset);
        EXPECT_EQ(image.levels[i].size, i == 0 ? 32u : 8u);
        offset += image.levels[i].size;
    }
}

struct DDSFormatCase {
    const char* fourCC;
    DXTFormat format;
    unsigned blockSize;
};

class DecodeDDSFormats : public ::testing::TestWithParam<DDSFormatCase> {};

TEST_P(DecodeDDSFormats, OneByOneLevelIsOneWholeBlock) {
    const DDSFormatCase& c = GetParam();
    DDSImage image;
    std::string message;
    ASSERT_TRUE(decodeDDS(makeDDS(1, 1, c.blockSize, 1, c.fourCC, std::string(c.blockSize, 'x')), "a.dds", image,
                          message));
    EXPECT_EQ(image.format, c.format);
    EXPECT_EQ(dxtBlockSize(c.format), c.blockSize);
    ASSERT_EQ(image.levels.size(), 1u);
    EXPECT_EQ(image.levels[0].size, c.blockSize);
}

INSTANTIATE_TEST_SUITE_P(Codes, DecodeDDSFormats,
                         ::testing::Values(DDSFormatCase{"DXT1", DXTFormat::DXT1, 8},
                                           DDSFormatCase{"DXT3", DXTFormat::DXT3, 16},
                                           DDSFormatCase{"DXT5", DXTFormat::DXT5, 16}),
                         [](const ::testing::TestParamInfo<DDSFormatCase>& info) {
                             return std::string(info.param.fourCC);
                         });

TEST(DecodeDDS, OneLevelReadsExactlyTheLinearSize) {
    DDSImage image;
    std::string message;
    // Trailing bytes after level 0 are not level data when there is one level.
    ASSERT_TRUE(decodeDDS(makeDDS(4, 4, 8, 1, "DXT1", std::string(20, 'y')), "a.dds", image, message));
    EXPECT_EQ(image.data.size(), 8u);
    EXPECT_EQ(image.levels.size(), 1u);
}

TEST(DecodeDDS, ZeroMipMapCountHasNoLevels) {
    DDSImage image;
    std::string message;
    ASSERT_TRUE(decodeDDS(makeDDS(4, 4, 8, 0, "DXT1", std::string(8, 'y')), "a.dds", image, message));
    EXPECT_TRUE(image.levels.empty());
    EXPECT_TRUE(message.empty());
}

TEST(DecodeDDS, MipMapCountBeyondOneByOneIsCut) {
    DDSImage image;
    std::string message;
    ASSERT_TRUE(decodeDDS(makeDDS(4, 4, 8, 40, "DXT1", std::string(16, 'y')), "a.dds", image, message));
    // 4x4 and 2x2 fit the 2 x linear size read; a 4x4 chain has 3 levels in all.
    EXPECT_EQ(image.levels.size(), 2u);
    EXPECT_NE(message.find("only 2 of 3 mipmap levels"), std::string::npos) << message;
}

TEST(DecodeDDS, TruncatedChainKeepsTheLevelsThatFit) {
    DDSImage image;
    std::string message;
    const std::string file = fullChainDXT1().substr(0, 128 + 32 + 8 + 3);
    ASSERT_TRUE(decodeDDS(file, "b.dds", image, message));
    EXPECT_EQ(image.levels.size(), 2u);
    EXPECT_LE(image.data.size(), file.size() - 128);
    EXPECT_NE(message.find("b.dds"), std::string::npos);
}

struct SilentDDS {
    const char* name;
    std::string bytes;
};

class DecodeDDSSilentlyRejects : public ::testing::TestWithParam<SilentDDS> {};

TEST_P(DecodeDDSSilentlyRejects, WrongMagicOrUnknownCode) {
    DDSImage image;
    std::string message;
    EXPECT_FALSE(decodeDDS(GetParam().bytes, "a.dds", image, message));
    EXPECT_TRUE(message.empty()) << message;
}

INSTANTIATE_TEST_SUITE_P(Cases, DecodeDDSSilentlyRejects,
                         ::testing::Values(SilentDDS{"Empty", ""}, SilentDDS{"ShortMagic", "DD"},
                                           SilentDDS{"WrongMagic", "DDSX" + fullChainDXT1().substr(4)},
                                           SilentDDS{"DXT2", makeDDS(4, 4, 16, 1, "DXT2", std::string(16, 'z'))},
                                           SilentDDS{"NoCode", makeDDS(4, 4, 16, 1, std::string(4, '\0'),
                                                                       std::string(16, 'z'))}),
                         [](const ::testing::TestParamInfo<SilentDDS>& info) { return std::string(info.param.name); });

struct BrokenDDS {
    const char* name;
    std::string bytes;
    const char* messageFragment;
};

class DecodeDDSRejectsBroken : public ::testing::TestWithParam<BrokenDDS> {};

TEST_P(DecodeDDSRejectsBroken, WithAMessage) {
    const BrokenDDS& c = GetParam();
    DDSImage image;
    std::string message;
    EXPECT_FALSE(decodeDDS(c.bytes, "x\\bad.dds", image, message));
    EXPECT_NE(message.find(c.messageFragment), std::string::npos) << message;
    EXPECT_NE(message.find("x\\bad.dds"), std::string::npos) << message;
    EXPECT_TRUE(image.levels.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeDDSRejectsBroken,
    ::testing::Values(
        BrokenDDS{"HeaderCut", fullChainDXT1().substr(0, 100), "ends inside its header (100 of 128 bytes)"},
        BrokenDDS{"NoLevelData", makeDDS(8, 8, 32, 1, "DXT1", ""), "holds 0 bytes of level data, level 0 needs 32"},
        BrokenDDS{"LevelDataCut", makeDDS(8, 8, 32, 1, "DXT1", std::string(31, 'q')), "holds 31 bytes"},
        BrokenDDS{"LinearSizeTooSmall", makeDDS(8, 8, 8, 1, "DXT5", std::string(64, 'q')), "level 0 needs 64"},
        BrokenDDS{"HugeLinearSize", makeDDS(8, 8, 0xFFFFFFFFu, 2, "DXT1", std::string(10, 'q')), "holds 10 bytes"},
        BrokenDDS{"ZeroWidth", makeDDS(0, 8, 32, 1, "DXT1", std::string(32, 'q')), "unsupported dimensions 0 x 8"},
        BrokenDDS{"AbsurdHeight", makeDDS(8, 0x7FFFFFFFu, 32, 1, "DXT1", std::string(32, 'q')),
                  "unsupported dimensions"}),
    [](const ::testing::TestParamInfo<BrokenDDS>& info) { return std::string(info.param.name); });

}  // namespace

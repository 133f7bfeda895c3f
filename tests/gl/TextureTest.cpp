// Image textures: extension dispatch, the BMP, DDS, PNG and JPEG loaders with their failures,
// and texture-unit selection through the activeTextureUnit cache.
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdio>
#include <string>
#include <vector>

#include "GLSLProgram.h"
#include "GLStateCache.h"
#include "ImageBuilders.h"
#include "RenderTexture.h"
#include "ResourceTestHelpers.h"
#include "Texture.h"
#include "VertexBuffer.h"

using namespace VantorEngine;
using namespace ResourceTests;
using namespace TestSupport;
using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

namespace {

class TextureTest : public ResourceGLTest {
protected:
    void SetUp() override {
        ResourceGLTest::SetUp();
        if (HasFatalFailure()) return;
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
    }
    TempDir dir;
};

// Level-0 texels of the bound 2D texture as tightly packed BGR rows, bottom row first.
std::vector<unsigned char> readBGR(int width, int height) {
    std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * 3);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

std::vector<unsigned char> readRGBA(GLenum target, int level, int width, int height) {
    std::vector<unsigned char> bytes(static_cast<size_t>(width) * height * 4);
    glGetTexImage(target, level, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    return bytes;
}

// The bmpPixel pattern without row padding.
std::vector<unsigned char> expectedBGR(int width, int height) {
    std::vector<unsigned char> bytes;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char bgr[3];
            bmpPixel(x, y, bgr);
            for (unsigned char channel : bgr) bytes.push_back(channel);
        }
    }
    return bytes;
}

struct Loaded {
    std::unique_ptr<Texture> texture;
    std::string out;
    std::string err;
};

Loaded load(const std::string& path) {
    Loaded loaded;
    CaptureStdout();
    CaptureStderr();
    loaded.texture = std::make_unique<Texture>(path);
    std::fflush(stdout);
    std::fflush(stderr);
    loaded.err = GetCapturedStderr();
    loaded.out = GetCapturedStdout();
    return loaded;
}

TEST_F(TextureTest, BMPUploadsPaddedRowsBottomUpWithMipmaps) {
    // Width 3: 9 bytes per row padded to 12 in the file.
    const std::string path = dir.write("pattern.bmp", makeBMP(3, 2, 24));
    const Loaded loaded = load(path);
    ASSERT_NE(loaded.texture->_id, 0u);
    EXPECT_EQ(loaded.out, "Reading image " + path + "\n");
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), static_cast<GLint>(loaded.texture->_id));
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 3);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 2);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 1) << "mipmaps generated";
    EXPECT_EQ(readBGR(3, 2), expectedBGR(3, 2));
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, UpperCaseExtensionAndBackslashPathReadLikeLowerCase) {
    const std::string path = backslashed(dir.write("UPPER.BMP", makeBMP(2, 2, 0)));
    const Loaded loaded = load(path);
    ASSERT_NE(loaded.texture->_id, 0u);
    EXPECT_EQ(loaded.out, "Reading image " + path + "\n");
    EXPECT_EQ(readBGR(2, 2), expectedBGR(2, 2));
}

TEST_F(TextureTest, ZeroSizeFieldBMPOfOddWidthKeepsItsLastPixels) {
    const std::string path = dir.write("odd.bmp", makeBMP(3, 3, 0));
    const Loaded loaded = load(path);
    ASSERT_NE(loaded.texture->_id, 0u);
    EXPECT_EQ(readBGR(3, 3), expectedBGR(3, 3));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A size field beyond the file is no reason to refuse it: the pixels that are there are shown.
TEST_F(TextureTest, BMPWithAnOversizedSizeFieldUploadsItsPixels) {
    const std::string path = dir.write("big.bmp", makeBMP(3, 3, 5000));
    const Loaded loaded = load(path);
    ASSERT_NE(loaded.texture->_id, 0u);
    EXPECT_EQ(readBGR(3, 3), expectedBGR(3, 3));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

struct DDSCase {
    const char* name;
    const char* fourCC;
    std::string (*block)(uint16_t);
    GLenum internalFormat;
    GLint blockSize;
};

class DDSFormats : public TextureTest, public ::testing::WithParamInterface<DDSCase> {};

TEST_P(DDSFormats, FullChainUploadsEveryLevelCompressed) {
    const DDSCase& c = GetParam();
    ASSERT_TRUE(GLEW_EXT_texture_compression_s3tc) << "S3TC uploads need the extension";
    // 8 x 8 red: level sizes 2 x 2, 1, 1, 1 blocks.
    const std::string data = repeat(c.block(0xF800), 7);
    const std::string path =
        dir.write(std::string("red_") + c.fourCC + ".dds", makeDDS(8, 8, 4 * c.blockSize, 4, c.fourCC, data));
    const Loaded loaded = load(path);
    ASSERT_NE(loaded.texture->_id, 0u);
    EXPECT_EQ(loaded.out, "Reading image " + path + "\n");
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), static_cast<GLint>(loaded.texture->_id));
    const GLint sizes[] = {8, 4, 2, 1};
    for (GLint level = 0; level < 4; ++level) {
        EXPECT_EQ(levelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED), GL_TRUE) << level;
        EXPECT_EQ(levelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_INTERNAL_FORMAT),
                  static_cast<GLint>(c.internalFormat));
        EXPECT_EQ(levelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH), sizes[level]);
        EXPECT_EQ(levelParameter(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE),
                  (level == 0 ? 4 : 1) * c.blockSize);
    }
    std::string back(static_cast<size_t>(4 * c.blockSize), '\0');
    glGetCompressedTexImage(GL_TEXTURE_2D, 0, &back[0]);
    EXPECT_EQ(back, data.substr(0, back.size()));
    const std::vector<unsigned char> texels = readRGBA(GL_TEXTURE_2D, 3, 1, 1);
    EXPECT_EQ(texels, (std::vector<unsigned char>{255, 0, 0, 255}));
    // No filter or wrap settings of its own.
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_NEAREST_MIPMAP_LINEAR);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(Codes, DDSFormats,
                         ::testing::Values(
                             DDSCase{"DXT1", "DXT1", dxt1SolidBlock, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 8},
                             DDSCase{"DXT3", "DXT3", dxt3SolidBlock, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 16},
                             DDSCase{"DXT5", "DXT5", dxt5SolidBlock, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16}),
                         [](const ::testing::TestParamInfo<DDSCase>& info) { return std::string(info.param.name); });

TEST_F(TextureTest, DDSLoadLeavesTheUnpackAlignmentForLaterBMPUploads) {
    const Loaded dds = load(dir.write("a.dds", makeDDS(4, 4, 8, 1, "DXT1", dxt1SolidBlock(0x07E0))));
    ASSERT_NE(dds.texture->_id, 0u);
    EXPECT_EQ(getInteger(GL_UNPACK_ALIGNMENT), 4);
    // Width 1 has padded rows: a byte-aligned upload would read them skewed.
    const Loaded bmp = load(dir.write("narrow.bmp", makeBMP(1, 3, 12)));
    ASSERT_NE(bmp.texture->_id, 0u);
    EXPECT_EQ(readBGR(1, 3), expectedBGR(1, 3));
}

TEST_F(TextureTest, BMPUploadDoesNotDependOnAnAlignmentLeftByOthers) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const Loaded bmp = load(dir.write("narrow.bmp", makeBMP(2, 3, 24)));
    ASSERT_NE(bmp.texture->_id, 0u);
    EXPECT_EQ(readBGR(2, 3), expectedBGR(2, 3));
}

// Draws a full-window quad sampling the texture on unit 0 and returns the centre pixel.
std::vector<unsigned char> sampleCentre(const TempDir& dir, Texture& texture) {
    GLSLProgram program(dir.write("pass.vs", kPassVertexShader), dir.write("sample.fs", kSampleFragmentShader), "");
    program.bind();
    glUniform1i(program.getUniformLocation("image"), 0);
    texture.bind(0);
    VertexBuffer quad({{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, -1, 0}, {1, 1, 0}, {-1, 1, 0}});
    quad.bind();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kTestWidth, kTestHeight);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glVertexAttrib2f(1, 0.5f, 0.5f);
    quad.draw();
    quad.unbind();
    std::vector<unsigned char> pixel(4);
    glReadPixels(kTestWidth / 2, kTestHeight / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    program.unbind();
    return pixel;
}

TEST_F(TextureTest, DDSWithOneLevelSamplesItsColourNotBlack) {
    // The default filter uses mipmaps: without a level limit a one-level texture is incomplete.
    const Loaded dds = load(dir.write("green.dds", makeDDS(4, 4, 8, 1, "DXT1", dxt1SolidBlock(0x07E0))));
    ASSERT_NE(dds.texture->_id, 0u);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL), 0);
    const std::vector<unsigned char> pixel = sampleCentre(dir, *dds.texture);
    EXPECT_EQ(pixel, (std::vector<unsigned char>{0, 255, 0, 255}));
}

TEST_F(TextureTest, DDSWithZeroMipMapCountCreatesAnEmptyTexture) {
    const Loaded dds = load(dir.write("none.dds", makeDDS(4, 4, 8, 0, "DXT1", dxt1SolidBlock(0x07E0))));
    ASSERT_NE(dds.texture->_id, 0u);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, TruncatedDDSChainUploadsTheLevelsThatArePresent) {
    const std::string full = makeDDS(8, 8, 32, 4, "DXT1", repeat(dxt1SolidBlock(0xF800), 7));
    const std::string path = dir.write("cut.dds", full.substr(0, full.size() - 12));
    const Loaded dds = load(path);
    ASSERT_NE(dds.texture->_id, 0u);
    EXPECT_NE(dds.out.find("only 2 of 4 mipmap levels"), std::string::npos) << dds.out;
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 4);
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH), 0);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

struct FailedFile {
    const char* name;
    const char* file;
    std::string bytes;      // not written when empty and `missing`
    bool missing;
    const char* stdoutTail;  // what follows the "Reading image" line; %s is the path
};

class TextureLoadFailures : public TextureTest, public ::testing::WithParamInterface<FailedFile> {};

TEST_P(TextureLoadFailures, LeaveIdZeroWithTheirMessage) {
    const FailedFile& c = GetParam();
    const std::string path = c.missing ? dir.file(c.file) : dir.write(c.file, c.bytes);
    const Loaded loaded = load(path);
    EXPECT_EQ(loaded.texture->_id, 0u);
    char tail[512];
    std::snprintf(tail, sizeof tail, c.stdoutTail, path.c_str());
    EXPECT_EQ(loaded.out, "Reading image " + path + "\n" + tail);
    EXPECT_EQ(loaded.err, "");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

const std::string kCutDDS = makeDDS(8, 8, 32, 1, "DXT1", std::string(20, 'q'));

INSTANTIATE_TEST_SUITE_P(
    Cases, TextureLoadFailures,
    ::testing::Values(
        FailedFile{"MissingBMP", "gone.bmp", "", true, "%s could not be opened. Are you in the right directory?\n"},
        FailedFile{"ThirtyTwoBitBMP", "deep.bmp", makeBMP(2, 2, 0, -1, 32), false, "Not a correct BMP file\n"},
        FailedFile{"BMPMissingMostPixels", "cut.bmp", makeBMP(4, 4, 0, 10), false,
                   "Not a correct BMP file: %s holds 10 bytes of pixel data, its 4 x 4 image needs 48\n"},
        FailedFile{"AbsurdBMP", "huge.bmp", makeBMP(100000, 100000, 0, 0), false,
                   "Not a correct BMP file: %s has unsupported dimensions 100000 x 100000\n"},
        FailedFile{"MissingDDS", "gone.dds", "", true, "%s could not be opened. Are you in the right directory?\n"},
        FailedFile{"WrongMagicDDS", "magic.dds", "XXXX" + makeDDS(4, 4, 8, 1, "DXT1", std::string(8, 'q')).substr(4),
                   false, ""},
        FailedFile{"UnknownCodeDDS", "code.dds", makeDDS(4, 4, 8, 1, "ATI2", std::string(8, 'q')), false, ""},
        FailedFile{"HeaderCutDDS", "header.dds", makeDDS(4, 4, 8, 1, "DXT1", "").substr(0, 60), false,
                   "Not a correct DDS file: %s ends inside its header (60 of 128 bytes)\n"},
        FailedFile{"LevelDataCutDDS", "short.dds", kCutDDS, false,
                   "Not a correct DDS file: %s holds 20 bytes of level data, level 0 needs 32\n"},
        FailedFile{"UnsupportedJpeg", "photo.jpeg", "x", false,
                   "WARNING: Unsupported texture format: \"jpeg\" of file: \"%s\""}),
    [](const ::testing::TestParamInfo<FailedFile>& info) { return std::string(info.param.name); });

TEST_F(TextureTest, EmptyPathLoadsNothingAndPrintsNothing) {
    const Loaded loaded = load("");
    EXPECT_EQ(loaded.texture->_id, 0u);
    EXPECT_EQ(loaded.out, "");
    EXPECT_EQ(loaded.err, "");
}

TEST_F(TextureTest, PNGUploadsRGBARowsTopFirst) {
    const unsigned char pixels[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 255, 10, 20, 30, 40};
    const std::string path = dir.file("quad.png");
    ASSERT_TRUE(stbi_write_png(path.c_str(), 2, 2, 4, pixels, 2 * 4));
    const Loaded loaded = load(path);
    ASSERT_NE(loaded.texture->_id, 0u);
    EXPECT_EQ(loaded.out, "Reading image " + path + "\n");
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA);
    EXPECT_EQ(readRGBA(GL_TEXTURE_2D, 0, 2, 2), std::vector<unsigned char>(pixels, pixels + 16));
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH), 1) << "mipmaps generated";
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
}

TEST_F(TextureTest, GreyPNGIsExpandedToFourComponents) {
    const unsigned char grey[2] = {50, 200};
    const std::string path = dir.file("grey.png");
    ASSERT_TRUE(stbi_write_png(path.c_str(), 2, 1, 1, grey, 2));
    const Loaded loaded = load(path);
    ASSERT_NE(loaded.texture->_id, 0u);
    EXPECT_EQ(readRGBA(GL_TEXTURE_2D, 0, 2, 1), (std::vector<unsigned char>{50, 50, 50, 255, 200, 200, 200, 255}));
}

TEST_F(TextureTest, JPEGDecodesAndTheContentNotTheExtensionDecidesTheFormat) {
    std::vector<unsigned char> rgb(8 * 8 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        rgb[i] = 200;
        rgb[i + 1] = 100;
        rgb[i + 2] = 50;
    }
    // A JPEG stream under a .png name still decodes.
    for (const char* name : {"solid.jpg", "really_a_jpeg.png"}) {
        const std::string path = dir.file(name);
        ASSERT_TRUE(stbi_write_jpg(path.c_str(), 8, 8, 3, rgb.data(), 95));
        const Loaded loaded = load(path);
        ASSERT_NE(loaded.texture->_id, 0u);
        EXPECT_EQ(loaded.err, "") << name;
        EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 8);
        const std::vector<unsigned char> texels = readRGBA(GL_TEXTURE_2D, 0, 8, 8);
        EXPECT_NEAR(texels[0], 200, 6) << name;
        EXPECT_NEAR(texels[1], 100, 6) << name;
        EXPECT_NEAR(texels[2], 50, 6) << name;
        EXPECT_EQ(texels[3], 255) << name;
    }
}

TEST_F(TextureTest, UnreadablePNGOrJPEGStillYieldsADefinedOneTexelTexture) {
    const std::string missing = dir.file("gone.png");
    const Loaded gone = load(missing);
    ASSERT_NE(gone.texture->_id, 0u);
    EXPECT_EQ(gone.err, "Failed to open " + missing + "\nThe reason *may* have been No such file or directory\n" +
                            "Error: Texture loading failed for texture: " + missing + "\n");
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(readRGBA(GL_TEXTURE_2D, 0, 1, 1), (std::vector<unsigned char>{0, 0, 0, 255}));

    const std::string garbage = dir.write("garbage.jpg", "this is no image at all");
    const Loaded bad = load(garbage);
    ASSERT_NE(bad.texture->_id, 0u);
    EXPECT_EQ(bad.err, "Error: Texture loading failed for texture: " + garbage + "\n");
    EXPECT_EQ(levelParameter(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TextureTest, LoadersUseTheActiveUnitWithoutSelectingOne) {
    selectTextureUnit(3);
    ActiveTextureCounter counter;
    const Loaded bmp = load(dir.write("a.bmp", makeBMP(2, 2, 0)));
    EXPECT_EQ(counter.calls, 0);
    EXPECT_EQ(activeTextureUnit, 3);
    EXPECT_EQ(getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE3);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), static_cast<GLint>(bmp.texture->_id));
}

TEST_F(TextureTest, UnitSelectionIsIssuedOnlyWhenTheUnitChanges) {
    const Loaded a = load(dir.write("a.bmp", makeBMP(2, 2, 0)));
    const Loaded b = load(dir.write("b.bmp", makeBMP(2, 2, 0)));
    RenderTexture target(4, 4, RGBA8);
    ActiveTextureCounter counter;

    a.texture->bind(0);
    EXPECT_EQ(counter.calls, 0) << "the cache starts at unit 0";
    a.texture->bind(2);
    b.texture->bind(2);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_EQ(getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE2);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), static_cast<GLint>(b.texture->_id));

    // The rule is shared by every texture class.
    target.unbind(5);
    EXPECT_EQ(counter.calls, 2);
    a.texture->bind(5);
    EXPECT_EQ(counter.calls, 2);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), static_cast<GLint>(a.texture->_id));

    a.texture->unbind(5);
    EXPECT_EQ(counter.calls, 2);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), 0);
    a.texture->unbind(1);
    EXPECT_EQ(counter.calls, 3);
    EXPECT_EQ(activeTextureUnit, 1);
}

TEST_F(TextureTest, IdZeroTextureBindUnbindsTheUnit) {
    const Loaded a = load(dir.write("a.bmp", makeBMP(2, 2, 0)));
    Texture empty("");
    a.texture->bind(0);
    empty.bind(0);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), 0);
}

TEST_F(TextureTest, DestructorDeletesTheTexture) {
    GLuint id = 0;
    {
        const Loaded a = load(dir.write("a.bmp", makeBMP(2, 2, 0)));
        id = a.texture->_id;
        ASSERT_TRUE(glIsTexture(id));
    }
    EXPECT_FALSE(glIsTexture(id));
}

}  // namespace

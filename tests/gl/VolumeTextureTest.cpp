// VolumeTexture on a real context: console lines, the uploaded texels and parameters, unit
// selection in bind/unbind, and the refusals that end the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GLStateCache.h"
#include "GLTestFixture.h"
#include "VolumeFile.h"
#include "VolumePreprocessing.h"
#include "VolumeTexture.h"

using namespace VantorEngine;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

std::string le16(const std::vector<int>& values) {
    std::string bytes;
    for (int v : values) {
        bytes.push_back(char(v & 0xFF));
        bytes.push_back(char((v >> 8) & 0xFF));
    }
    return bytes;
}

class VolumeTextureTest : public TestSupport::GLTest {
protected:
    // A 5 x 4 x 3 12-bit volume with a header: a dense block in one corner, one stray sample
    // with bit 12 set, the rest empty.
    std::string writeVolume() {
        std::vector<int> values = {5, 4, 3};
        for (int z = 0; z < 3; ++z)
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 5; ++x) values.push_back(x < 2 && y < 2 ? 4095 : 0);
        values[3 + 59] = 4096;
        return dir.write("block.dat", le16(values));
    }

    VolumeDescription describe(const std::string& path) {
        VolumeDescription d;
        d._path = path;
        d._hasHeader = true;
        d._bitsPerSample = 12;
        d._flipY = true;
        return d;
    }

    TestSupport::TempDir dir;
};

GLint level0(GLenum parameter) {
    GLint value = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, parameter, &value);
    return value;
}

GLint parameter(GLenum name) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_3D, name, &value);
    return value;
}

GLint boundTexture3D() {
    GLint value = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_3D, &value);
    return value;
}

}  // namespace

TEST_F(VolumeTextureTest, UploadsTheProcessedVoxelsWithTheirParameters) {
    const std::string path = writeVolume();
    selectTextureUnit(2);
    CaptureStdout();
    VolumeTexture texture(describe(path));
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(out, "Reading volume texture from the file " + path + "...\nReading finished\n"
                   "Converting raw data to graphics data...\nConverting finished\n"
                   "Pre-calculate gradients...\nPre-calculation finished\n"
                   "Filtering gradients...\nFiltering finished\n");
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    ASSERT_NE(texture._id, 0u);
    EXPECT_EQ(texture._volDescription._width, 5);
    EXPECT_EQ(texture._volDescription._height, 4);
    EXPECT_EQ(texture._volDescription._depth, 3);
    // The upload leaves nothing bound and the active unit as it was.
    EXPECT_EQ(boundTexture3D(), 0);
    EXPECT_EQ(activeTextureUnit, 2);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE2);

    glBindTexture(GL_TEXTURE_3D, texture._id);
    EXPECT_EQ(level0(GL_TEXTURE_WIDTH), 5);
    EXPECT_EQ(level0(GL_TEXTURE_HEIGHT), 4);
    EXPECT_EQ(level0(GL_TEXTURE_DEPTH), 3);
    EXPECT_EQ(level0(GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA8_SNORM);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_CLAMP_TO_BORDER);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_CLAMP_TO_BORDER);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_R), GL_CLAMP_TO_BORDER);
    EXPECT_EQ(parameter(GL_TEXTURE_MAX_LEVEL), 1000);  // no mipmaps were made
    GLfloat border[4] = {1, 1, 1, 1};
    glGetTexParameterfv(GL_TEXTURE_3D, GL_TEXTURE_BORDER_COLOR, border);
    EXPECT_EQ(border[0] + border[1] + border[2] + border[3], 0.0f);

    // Texels equal the CPU passes over the same file.
    std::vector<int8_t> texels(5 * 4 * 3 * 4, 0x11);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_RGBA, GL_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_3D, 0);
    VolumeDescription d = describe(path);
    VolumeSamples samples;
    std::string problem;
    CaptureStdout();
    ASSERT_EQ(readVolumeFile(d, 0, samples, problem), VolumeReadResult::read);
    GetCapturedStdout();
    std::vector<int8_t> expected(texels.size());
    convertRawData(d, samples.data(), expected.data());
    computeGradients(d, expected.data());
    filterGradients(d, expected.data());
    EXPECT_EQ(texels, expected);
    // Spot checks: the block sits at low x and, flipped in y, at high y; the stray sample wrapped.
    EXPECT_EQ(texels[size_t(voxelIndex(0, 3, 0, 3, 5, 4, 3))], 127);
    EXPECT_EQ(texels[size_t(voxelIndex(0, 0, 0, 3, 5, 4, 3))], 0);
    EXPECT_EQ(texels[size_t(voxelIndex(4, 0, 2, 3, 5, 4, 3))], -128);
}

TEST_F(VolumeTextureTest, BindAndUnbindSelectTheirUnit) {
    const std::string path = writeVolume();
    CaptureStdout();
    VolumeTexture texture(describe(path));
    GetCapturedStdout();
    texture.bind(3);
    EXPECT_EQ(activeTextureUnit, 3);
    EXPECT_EQ(boundTexture3D(), GLint(texture._id));
    texture.unbind(3);
    EXPECT_EQ(boundTexture3D(), 0);
    texture.bind(0);
    EXPECT_EQ(activeTextureUnit, 0);
    EXPECT_EQ(boundTexture3D(), GLint(texture._id));
    selectTextureUnit(3);
    EXPECT_EQ(boundTexture3D(), 0);  // the bind went to unit 0, not the unit active before
    texture.unbind(0);
    EXPECT_EQ(activeTextureUnit, 0);
    EXPECT_EQ(boundTexture3D(), 0);
}

TEST_F(VolumeTextureTest, SizeAboveTheTextureLimitIsRefusedBeforeLoading) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxSize);
    ASSERT_GT(maxSize, 0);
    ASSERT_LT(maxSize, 65535);
    const std::string path = dir.write("wide.dat", le16({maxSize + 1, 1, 1}));
    EXPECT_EXIT({ VolumeTexture texture(describe(path)); }, testing::ExitedWithCode(EXIT_FAILURE),
                "wide.dat: the size " + std::to_string(maxSize + 1) +
                    " x 1 x 1 \\(from the file's header\\) exceeds the largest 3D texture");
}

TEST_F(VolumeTextureTest, MissingFileEndsTheProgramWithAHint) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    VolumeDescription d = describe(dir.path() + "\\vertebra16.raw");
    d._hasHeader = false;
    d._width = d._height = d._depth = 8;
    EXPECT_EXIT({ VolumeTexture texture(d); }, testing::ExitedWithCode(EXIT_FAILURE),
                "Cannot open the volume dataset file .*vertebra16.raw(.|\n)*generate_datasets --name vertebra16.raw");
}

// Render textures of the six kinds and framebuffers over them: storage, attachments, draw
// buffers, clears, completeness and the viewport cache.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "FrameBuffer.h"
#include "GLStateCache.h"
#include "GLTestFixture.h"
#include "RenderTexture.h"
#include "ResourceTestHelpers.h"

using namespace VantorEngine;
using namespace ResourceTests;

namespace {

class FrameBufferTest : public ResourceGLTest {};

struct KindCase {
    const char* name;
    RenderTextureType type;
    GLenum target;
    GLenum internalFormat;  // as the driver reports it
    GLint filter;
    GLint compareMode;
    GLint compareFunc;  // checked only with a compare mode
    GLenum componentSize;  // a size query that must be non-zero for the kind
    GLenum componentType;  // GL_TEXTURE_RED_TYPE or GL_TEXTURE_DEPTH_TYPE
    GLint expectedComponentType;
};

class RenderTextureKinds : public FrameBufferTest, public ::testing::WithParamInterface<KindCase> {};

TEST_P(RenderTextureKinds, StorageFiltersAndWrapReadBack) {
    const KindCase& c = GetParam();
    // Cube faces must be square.
    const int height = c.target == GL_TEXTURE_CUBE_MAP ? 16 : 8;
    RenderTexture texture(16, height, c.type);
    EXPECT_EQ(texture._width, 16);
    EXPECT_EQ(texture._height, height);
    EXPECT_EQ(texture._type, c.type);
    EXPECT_EQ(texture.target(), c.target);
    // The constructor leaves it bound on the active unit.
    const GLenum binding = c.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_BINDING_CUBE_MAP : GL_TEXTURE_BINDING_2D;
    ASSERT_EQ(getInteger(binding), static_cast<GLint>(texture._id));

    const std::vector<GLenum> images =
        c.target == GL_TEXTURE_CUBE_MAP
            ? std::vector<GLenum>{GL_TEXTURE_CUBE_MAP_POSITIVE_X, GL_TEXTURE_CUBE_MAP_NEGATIVE_X,
                                  GL_TEXTURE_CUBE_MAP_POSITIVE_Y, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y,
                                  GL_TEXTURE_CUBE_MAP_POSITIVE_Z, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z}
            : std::vector<GLenum>{GL_TEXTURE_2D};
    for (GLenum image : images) {
        EXPECT_EQ(levelParameter(image, 0, GL_TEXTURE_INTERNAL_FORMAT), static_cast<GLint>(c.internalFormat));
        EXPECT_EQ(levelParameter(image, 0, GL_TEXTURE_WIDTH), 16);
        EXPECT_EQ(levelParameter(image, 0, GL_TEXTURE_HEIGHT), height);
        EXPECT_GT(levelParameter(image, 0, c.componentSize), 0);
        EXPECT_EQ(levelParameter(image, 0, c.componentType), c.expectedComponentType);
        EXPECT_EQ(levelParameter(image, 1, GL_TEXTURE_WIDTH), 0) << "level 0 only";
    }
    EXPECT_EQ(textureParameter(c.target, GL_TEXTURE_MIN_FILTER), c.filter);
    EXPECT_EQ(textureParameter(c.target, GL_TEXTURE_MAG_FILTER), c.filter);
    EXPECT_EQ(textureParameter(c.target, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(textureParameter(c.target, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    if (c.target == GL_TEXTURE_CUBE_MAP) {
        EXPECT_EQ(textureParameter(c.target, GL_TEXTURE_WRAP_R), GL_CLAMP_TO_EDGE);
    }
    EXPECT_EQ(textureParameter(c.target, GL_TEXTURE_COMPARE_MODE), c.compareMode);
    if (c.compareMode != GL_NONE) {
        EXPECT_EQ(textureParameter(c.target, GL_TEXTURE_COMPARE_FUNC), c.compareFunc);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, RenderTextureKinds,
    ::testing::Values(
        KindCase{"RGB8", RGB8, GL_TEXTURE_2D, GL_RGB, GL_LINEAR, GL_NONE, 0, GL_TEXTURE_RED_SIZE, GL_TEXTURE_RED_TYPE,
                 GL_UNSIGNED_NORMALIZED},
        KindCase{"RGB32F", RGB32F, GL_TEXTURE_2D, GL_RGB32F, GL_NEAREST, GL_NONE, 0, GL_TEXTURE_RED_SIZE,
                 GL_TEXTURE_RED_TYPE, GL_FLOAT},
        KindCase{"RGBA8", RGBA8, GL_TEXTURE_2D, GL_RGBA, GL_LINEAR, GL_NONE, 0, GL_TEXTURE_ALPHA_SIZE,
                 GL_TEXTURE_RED_TYPE, GL_UNSIGNED_NORMALIZED},
        KindCase{"DEPTH32", DEPTH32, GL_TEXTURE_2D, GL_DEPTH_COMPONENT32, GL_LINEAR, GL_COMPARE_REF_TO_TEXTURE,
                 GL_LESS, GL_TEXTURE_DEPTH_SIZE, GL_TEXTURE_DEPTH_TYPE, GL_UNSIGNED_NORMALIZED},
        KindCase{"DEPTH24_STENCIL8", DEPTH24_STENCIL8, GL_TEXTURE_2D, GL_DEPTH_STENCIL, GL_LINEAR, GL_NONE, 0,
                 GL_TEXTURE_STENCIL_SIZE, GL_TEXTURE_DEPTH_TYPE, GL_UNSIGNED_NORMALIZED},
        KindCase{"DEPTH_CUBE", DEPTH_CUBE, GL_TEXTURE_CUBE_MAP, GL_DEPTH_COMPONENT24, GL_LINEAR,
                 GL_COMPARE_REF_TO_TEXTURE, GL_LEQUAL, GL_TEXTURE_DEPTH_SIZE, GL_TEXTURE_DEPTH_TYPE,
                 GL_UNSIGNED_NORMALIZED}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST_F(FrameBufferTest, RenderTexturesBindAndUnbindOnTheirTargetAndUnit) {
    RenderTexture flat(4, 4, RGBA8);
    RenderTexture cube(4, 4, DEPTH_CUBE);
    flat.bind(1);
    cube.bind(2);
    EXPECT_EQ(activeTextureUnit, 2);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_CUBE_MAP), static_cast<GLint>(cube._id));
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), 0);
    glActiveTexture(GL_TEXTURE1);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), static_cast<GLint>(flat._id));
    glActiveTexture(GL_TEXTURE2);

    cube.unbind(2);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_CUBE_MAP), 0);
    flat.unbind(1);
    EXPECT_EQ(activeTextureUnit, 1);
    EXPECT_EQ(getInteger(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
    EXPECT_EQ(getInteger(GL_TEXTURE_BINDING_2D), 0);
}

TEST_F(FrameBufferTest, DestructorDeletesTheTexture) {
    GLuint id = 0;
    {
        RenderTexture texture(4, 4, RGB8);
        id = texture._id;
        ASSERT_TRUE(glIsTexture(id));
    }
    EXPECT_FALSE(glIsTexture(id));
}

GLint attachmentName(GLenum target, GLenum attachment) {
    GLint value = 0;
    glGetFramebufferAttachmentParameteriv(target, attachment, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &value);
    return value;
}

// Fills level 0 of a 2D colour texture with one RGBA byte value, so a later clear is visible.
void fillColour(const RenderTexture& texture, unsigned char value) {
    std::vector<unsigned char> bytes(static_cast<size_t>(texture._width) * texture._height * 4, value);
    glBindTexture(GL_TEXTURE_2D, texture._id);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texture._width, texture._height, GL_RGBA, GL_UNSIGNED_BYTE,
                    bytes.data());
}

void fillDepthStencil(const RenderTexture& texture, uint32_t packed) {
    std::vector<uint32_t> values(static_cast<size_t>(texture._width) * texture._height, packed);
    glBindTexture(GL_TEXTURE_2D, texture._id);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, texture._width, texture._height, GL_DEPTH_STENCIL,
                    GL_UNSIGNED_INT_24_8, values.data());
}

TEST_F(FrameBufferTest, SeveralColourAttachmentsWithDepthStencilAreAttachedAndClearedOnce) {
    RenderTexture first(32, 16, RGBA8);
    RenderTexture second(32, 16, RGBA8);
    RenderTexture depth(32, 16, DEPTH24_STENCIL8);
    fillColour(first, 200);
    fillColour(second, 200);
    fillDepthStencil(depth, (0x400000u << 8) | 0x07u);  // depth 0.25, stencil 7
    std::vector<RenderTexture*> colours = {&first, &second};
    const std::vector<GLenum> points = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};

    DrawBuffersRecorder drawBuffers;
    FrameBuffer framebuffer(&colours, &points, &depth, true);

    // Attaching selects the whole list once per colour texture.
    EXPECT_EQ(drawBuffers.calls, (std::vector<std::vector<GLenum>>{points, points}));
    EXPECT_EQ(framebuffer._drawBuffers, points);
    EXPECT_EQ(framebuffer._width, 32);
    EXPECT_EQ(framebuffer._height, 16);
    EXPECT_EQ(getInteger(GL_DRAW_FRAMEBUFFER_BINDING), static_cast<GLint>(framebuffer._id));
    EXPECT_EQ(getInteger(GL_READ_FRAMEBUFFER_BINDING), static_cast<GLint>(framebuffer._id));
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    EXPECT_EQ(attachmentName(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0), static_cast<GLint>(first._id));
    EXPECT_EQ(attachmentName(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT1), static_cast<GLint>(second._id));
    EXPECT_EQ(attachmentName(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT), static_cast<GLint>(depth._id));
    EXPECT_EQ(attachmentName(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT), static_cast<GLint>(depth._id));
    EXPECT_EQ(getInteger(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT0);
    EXPECT_EQ(getInteger(GL_DRAW_BUFFER1), GL_COLOR_ATTACHMENT1);

    // The initial clear: colour (0, 0, 0, 0) in both targets, depth 1, stencil 0.
    for (GLenum point : points) {
        framebuffer.bindForReading(point);
        unsigned char pixel[4] = {1, 1, 1, 1};
        glReadPixels(5, 5, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        EXPECT_EQ(pixel[0] + pixel[1] + pixel[2] + pixel[3], 0) << "attachment " << point - GL_COLOR_ATTACHMENT0;
    }
    float depthValue = 0.0f;
    glReadPixels(5, 5, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depthValue);
    EXPECT_FLOAT_EQ(depthValue, 1.0f);
    GLubyte stencil = 9;
    glReadPixels(5, 5, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
    EXPECT_EQ(stencil, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameBufferTest, LastColourTextureSizeWinsOverTheDepthTexture) {
    RenderTexture colour(20, 10, RGBA8);
    RenderTexture depth(20, 10, DEPTH32);
    std::vector<RenderTexture*> colours = {&colour};
    const std::vector<GLenum> points = {GL_COLOR_ATTACHMENT0};
    FrameBuffer framebuffer(&colours, &points, &depth, false);
    EXPECT_EQ(framebuffer._width, 20);
    EXPECT_EQ(attachmentName(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT), static_cast<GLint>(depth._id));
    EXPECT_EQ(attachmentName(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT), 0);
}

TEST_F(FrameBufferTest, DepthOnlyFramebufferSelectsNoColourBufferAndClearsDepthOnly) {
    RenderTexture depth(64, 64, DEPTH32);
    glClearColor(0.3f, 0.4f, 0.5f, 0.6f);
    glClearStencil(5);
    FrameBuffer framebuffer(nullptr, nullptr, &depth, false);
    EXPECT_TRUE(framebuffer._drawBuffers.empty());
    EXPECT_EQ(framebuffer._width, 64);
    EXPECT_EQ(framebuffer._height, 64);
    EXPECT_EQ(getInteger(GL_DRAW_BUFFER0), GL_NONE);
    EXPECT_EQ(getInteger(GL_READ_BUFFER), GL_NONE);
    // No colour or stencil clear value was set by the construction.
    float clearColour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    EXPECT_FLOAT_EQ(clearColour[0], 0.3f);
    EXPECT_EQ(getInteger(GL_STENCIL_CLEAR_VALUE), 5);
    float depthValue = 0.0f;
    glReadPixels(3, 3, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depthValue);
    EXPECT_FLOAT_EQ(depthValue, 1.0f);
}

TEST_F(FrameBufferTest, DepthCubeIsAttachedLayered) {
    RenderTexture cube(32, 32, DEPTH_CUBE);
    FrameBuffer framebuffer(nullptr, nullptr, &cube, false);
    GLint layered = GL_FALSE;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_LAYERED,
                                          &layered);
    EXPECT_EQ(layered, GL_TRUE);
    EXPECT_EQ(attachmentName(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT), static_cast<GLint>(cube._id));
    EXPECT_EQ(framebuffer._width, 32);
}

TEST_F(FrameBufferTest, ClearWritesTheGivenValuesIntoTheBoundFramebuffer) {
    RenderTexture colour(8, 8, RGBA8);
    RenderTexture depth(8, 8, DEPTH24_STENCIL8);
    std::vector<RenderTexture*> colours = {&colour};
    const std::vector<GLenum> points = {GL_COLOR_ATTACHMENT0};
    FrameBuffer framebuffer(&colours, &points, &depth, true);
    framebuffer.bind();
    framebuffer.clear(true, true, true, vec4(1.0f, 0.0f, 0.0f, 1.0f), 0.5f, 3);
    framebuffer.bindForReading(GL_COLOR_ATTACHMENT0);
    unsigned char pixel[4] = {};
    glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], 255);
    EXPECT_EQ(pixel[1], 0);
    EXPECT_EQ(pixel[3], 255);
    float depthValue = 0.0f;
    glReadPixels(1, 1, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depthValue);
    EXPECT_NEAR(depthValue, 0.5f, 1e-6f);
    GLubyte stencil = 0;
    glReadPixels(1, 1, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &stencil);
    EXPECT_EQ(stencil, 3);

    // Only the colour buffer: depth and stencil keep their values.
    framebuffer.clear(true, false, false, vec4(0.0f, 1.0f, 0.0f, 1.0f), 1.0f, 0);
    glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[1], 255);
    glReadPixels(1, 1, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depthValue);
    EXPECT_NEAR(depthValue, 0.5f, 1e-6f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameBufferTest, UnbindBindForReadingAndSetDrawBuffers) {
    RenderTexture a(8, 8, RGBA8);
    RenderTexture b(8, 8, RGBA8);
    std::vector<RenderTexture*> colours = {&a, &b};
    const std::vector<GLenum> points = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    FrameBuffer framebuffer(&colours, &points, nullptr, false);

    framebuffer.unbind();
    EXPECT_EQ(getInteger(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(getInteger(GL_READ_FRAMEBUFFER_BINDING), 0);

    framebuffer.bindForReading(GL_COLOR_ATTACHMENT1);
    EXPECT_EQ(getInteger(GL_READ_FRAMEBUFFER_BINDING), static_cast<GLint>(framebuffer._id));
    EXPECT_EQ(getInteger(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(getInteger(GL_READ_BUFFER), GL_COLOR_ATTACHMENT1);

    DrawBuffersRecorder drawBuffers;
    framebuffer.setDrawBuffers({GL_COLOR_ATTACHMENT1});
    EXPECT_EQ(getInteger(GL_DRAW_FRAMEBUFFER_BINDING), static_cast<GLint>(framebuffer._id));
    EXPECT_EQ(getInteger(GL_DRAW_BUFFER0), GL_COLOR_ATTACHMENT1);
    EXPECT_EQ(framebuffer._drawBuffers, std::vector<GLenum>{GL_COLOR_ATTACHMENT1});
    framebuffer.setDrawBuffers({});
    EXPECT_TRUE(framebuffer._drawBuffers.empty());
    EXPECT_EQ(drawBuffers.calls.size(), 1u) << "an empty list selects nothing";
}

TEST_F(FrameBufferTest, ViewportIsSetOnlyWhenTheSizeChanges) {
    RenderTexture small1(40, 30, RGBA8);
    RenderTexture small2(40, 30, RGBA8);
    RenderTexture large(100, 50, RGBA8);
    const std::vector<GLenum> points = {GL_COLOR_ATTACHMENT0};
    std::vector<RenderTexture*> c1 = {&small1}, c2 = {&small2}, c3 = {&large};
    FrameBuffer a(&c1, &points, nullptr, false);
    FrameBuffer b(&c2, &points, nullptr, false);
    FrameBuffer c(&c3, &points, nullptr, false);
    GLint viewport[4] = {};

    a.bind();
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 40);
    EXPECT_EQ(viewport[3], 30);
    EXPECT_EQ(currentViewport, (Viewport{0, 0, 40, 30}));

    // Moved behind the cache's back: a bind that issues glViewport would undo this.
    glViewport(1, 2, 3, 4);
    b.bind();
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 1) << "same size: no glViewport call";
    EXPECT_EQ(viewport[3], 4);
    EXPECT_EQ(getInteger(GL_DRAW_FRAMEBUFFER_BINDING), static_cast<GLint>(b._id));

    c.bind();
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[0], 0);
    EXPECT_EQ(viewport[2], 100);
    EXPECT_EQ(viewport[3], 50);
    EXPECT_EQ(currentViewport, (Viewport{0, 0, 100, 50}));

    // unbind leaves the viewport and the cache alone.
    c.unbind();
    EXPECT_EQ(currentViewport, (Viewport{0, 0, 100, 50}));
    a.bind();
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 40);
}

TEST_F(FrameBufferTest, DestructorDeletesTheFramebuffer) {
    RenderTexture depth(8, 8, DEPTH32);
    GLuint id = 0;
    {
        FrameBuffer framebuffer(nullptr, nullptr, &depth, false);
        id = framebuffer._id;
        ASSERT_TRUE(glIsFramebuffer(id));
        framebuffer.unbind();
    }
    EXPECT_FALSE(glIsFramebuffer(id));
}

// A depth texture cannot be a colour attachment.
void buildDepthAsColour() {
    RenderTexture depth(8, 8, DEPTH32);
    std::vector<RenderTexture*> colours = {&depth};
    const std::vector<GLenum> points = {GL_COLOR_ATTACHMENT0};
    FrameBuffer framebuffer(&colours, &points, nullptr, false);
}

void buildWithOneDrawBufferForTwoTextures() {
    RenderTexture a(8, 8, RGBA8);
    RenderTexture b(8, 8, RGBA8);
    std::vector<RenderTexture*> colours = {&a, &b};
    const std::vector<GLenum> points = {GL_COLOR_ATTACHMENT0};
    FrameBuffer framebuffer(&colours, &points, nullptr, false);
}

TEST_F(FrameBufferTest, IncompleteFramebufferStopsTheProgramNamingTheCheck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(buildDepthAsColour(), "status == GL_FRAMEBUFFER_COMPLETE, file src\\\\Engine\\\\FrameBuffer");
}

TEST_F(FrameBufferTest, TooFewDrawBuffersStopTheProgramInsteadOfReadingPastTheList) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(buildWithOneDrawBufferForTwoTextures(), "drawBuffers->size\\(\\) >= colorTextures->size\\(\\)");
}

}  // namespace

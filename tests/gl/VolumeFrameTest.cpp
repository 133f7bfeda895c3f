// What the volume pipeline puts on screen, read back from real GL: the uniforms a frame leaves
// in the volume program, the order in which material in front of and behind the focal plane
// is laid over each other, the depth-of-field edges, the opacity correction for the reference
// rate, and the side of a ball the light falls on. Each fixture volume is written by the test
// so that its densities land where the test needs them in the transfer function.
#include <GL/glew.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>

#include "GLSLProgram.h"
#include "IGameManager.h"
#include "Light.h"
#include "PipelineTestScene.h"
#include "RenderTexture.h"
#include "ResourceCache.h"
#include "VolumeRenderingPipeline.h"
#include "VolumeTexture.h"
#include "VolumetricObject.h"

using namespace VantorEngine;
using namespace PipelineTest;

namespace {

// One 8-bit step of the render targets.
constexpr float quantum = 1.0f / 255.0f;

constexpr int bone = 127;    // density 1: ivory, two thirds of the light stopped per reference slice
constexpr int tissue = 38;   // density 0.3: orange, 0.4 % of the light stopped per reference slice
constexpr int halfBone = 64; // density 0.5: a fifth of the light stopped per reference slice

struct Rgba {
    float r = 0, g = 0, b = 0, a = 0;
    float operator[](int i) const { return i == 0 ? r : i == 1 ? g : i == 2 ? b : a; }
};

// Premultiplied `front` over `back`.
Rgba over(const Rgba& front, const Rgba& back) {
    const float t = 1.0f - front.a;
    return {front.r + t * back.r, front.g + t * back.g, front.b + t * back.b, front.a + t * back.a};
}

void accumulate(Rgba& sum, const Rgba& v, float weight) {
    sum.r += weight * v.r, sum.g += weight * v.g, sum.b += weight * v.b, sum.a += weight * v.a;
}

float largestChannelDifference(const Rgba& x, const Rgba& y) {
    float d = 0.0f;
    for (int i = 0; i < 4; ++i) d = std::max(d, std::fabs(x[i] - y[i]));
    return d;
}

// An RGBA8 image read back from a render target, bottom row first, channels in 0..1.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
    Rgba at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 4;
        return {bytes[i] / 255.0f, bytes[i + 1] / 255.0f, bytes[i + 2] / 255.0f, bytes[i + 3] / 255.0f};
    }
    float alpha(int x, int y) const { return at(x, y).a; }
    float luminance(int x, int y) const {
        const Rgba c = at(x, y);
        return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b;
    }
    // Mean over the pixels x0..x1, y0..y1 (inclusive).
    Rgba mean(int x0, int y0, int x1, int y1) const {
        Rgba sum;
        const float n = static_cast<float>((x1 - x0 + 1) * (y1 - y0 + 1));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) accumulate(sum, at(x, y), 1.0f / n);
        return sum;
    }
};

Pixels readTarget(FrameBuffer* buffer, int width, int height) {
    Pixels p;
    p.width = width;
    p.height = height;
    p.bytes.resize(static_cast<size_t>(width) * height * 4);
    buffer->bindForReading(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, p.bytes.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    return p;
}

// With VOLUME_FRAME_PNG_DIR set, the fixtures' frames are written there to be looked at
// (top row first, over black).
void savePng(const Pixels& p, const std::string& name) {
    const char* folder = std::getenv("VOLUME_FRAME_PNG_DIR");
    if (!folder || !*folder) return;
    std::vector<uint8_t> rgb(static_cast<size_t>(p.width) * p.height * 3);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(static_cast<size_t>(p.height - 1 - y) * p.width + x) * 3 + c] =
                    p.bytes[(static_cast<size_t>(y) * p.width + x) * 4 + c];
    const std::string path = std::string(folder) + "/" + name + ".png";
    stbi_write_png(path.c_str(), p.width, p.height, 3, rgb.data(), p.width * 3);
}

// A headed 16-bit dataset of `size` voxels whose density (0..127) at a voxel comes from
// `density` of the voxel centre in the box's own -1..1 coordinates.
std::string volumeFile(const glm::ivec3& size, const std::function<int(const vec3&)>& density) {
    std::string bytes;
    auto put16 = [&bytes](int v) {
        bytes.push_back(static_cast<char>(v & 0xff));
        bytes.push_back(static_cast<char>((v >> 8) & 0xff));
    };
    put16(size.x);
    put16(size.y);
    put16(size.z);
    for (int z = 0; z < size.z; ++z)
        for (int y = 0; y < size.y; ++y)
            for (int x = 0; x < size.x; ++x) {
                const vec3 local((x + 0.5f) / size.x * 2.0f - 1.0f, (y + 0.5f) / size.y * 2.0f - 1.0f,
                                 (z + 0.5f) / size.z * 2.0f - 1.0f);
                put16(density(local) << 9);  // 16 significant bits keep the top 7
            }
    return bytes;
}

}  // namespace

class VolumeFrameTest : public SceneTest {
protected:
    void SetUp() override {
        SceneTest::SetUp();
        _savedManager = gameManager;
        gameManager = &_titles;
        testing::internal::CaptureStdout();
        _pipeline = std::make_unique<VolumeRenderingPipeline>();
        testing::internal::GetCapturedStdout();
    }

    void TearDown() override {
        _pipeline.reset();
        gameManager = _savedManager;
        SceneTest::TearDown();
        clearResourceCaches();
    }

    std::shared_ptr<VolumeTexture> makeVolume(const std::string& name, const glm::ivec3& size,
                                              const std::function<int(const vec3&)>& density) {
        VolumeDescription description;
        description._path = _files.write(name + ".dat", volumeFile(size, density));
        description._hasHeader = true;
        description._bitsPerSample = 16;
        testing::internal::CaptureStdout();
        auto volume = std::make_shared<VolumeTexture>(description);
        testing::internal::GetCapturedStdout();
        return volume;
    }

    // A volume node under the root with the box of half extents `half` around `centre`.
    VolumetricObject* addVolume(std::shared_ptr<VolumeTexture> volume, float rate, float reference,
                                const vec3& centre = vec3(0.0f), float half = 1.0f) {
        auto* node = new VolumetricObject();
        node->setVolumeTexture(std::move(volume));
        node->_samplingRate = rate;
        node->_referenceSamplingRate = reference;
        node->translate(centre.x, centre.y, centre.z);
        node->scale(half, half, half);
        _root->addChild(node);
        return node;
    }

    // One volume pass of a frame, from the state the sky pipeline leaves.
    void renderVolumes() {
        clearFrame();
        glDisable(GL_DEPTH_TEST);
        glDepthMask(GL_TRUE);
        glEnable(GL_CULL_FACE);
        glDisable(GL_BLEND);
        _pipeline->render();
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }

    // Front over back, as the frame received it (premultiplied, alpha = coverage).
    Pixels combinedStacks() {
        return readTarget(_pipeline->_stackFrameBuffers[0], _pipeline->_width, _pipeline->_height);
    }

    Pixels renderCombined(const std::string& pngName) {
        renderVolumes();
        Pixels p = combinedStacks();
        savePng(p, pngName);
        return p;
    }

    SilentGameManager _titles;
    IGameManager* _savedManager = nullptr;
    std::unique_ptr<VolumeRenderingPipeline> _pipeline;
};

// ---------------------------------------------------------------------------------------------
// Uniforms after a frame.

namespace {

struct UniformCase {
    const char* name;
    vec3 eye;
    vec3 target;
    float rate;
    float reference;
    enum Light { None, Attached, NotFlaggedAsLight } light;
    bool focalPointInside;  // both stacks drawn, the front stack last; otherwise the back stack only
};

struct FloatCheck {
    const char* name;
    GLint location;
    std::vector<float> expected;
};

std::vector<float> floats(const mat4& m) { return std::vector<float>(&m[0][0], &m[0][0] + 16); }
std::vector<float> floats(const vec3& v) { return {v.x, v.y, v.z}; }
std::vector<float> floats(const vec2& v) { return {v.x, v.y}; }

// Last slice drawn in a frame, walked the way the slice loops walk: single-precision steps from
// -1 up to the focal point (or the eye limit), then from 1 down to just above the focal point.
float lastSliceZ(float zFocus, float eyeLimit, float step) {
    float last = -1.0f;
    for (float z = -1.0f;;) {
        last = z;
        if (z >= eyeLimit) break;
        const float next = z + step;
        if (next > zFocus) break;
        z = next;
    }
    if (zFocus < 1.0f) {
        for (float z = 1.0f;;) {
            last = z;
            const float next = z - step;
            if (!(next > zFocus)) break;
            z = next;
        }
    }
    return last;
}

// Distance, in steps, from `value` to the nearest slice position counted from `start`.
float distanceToLattice(float value, float start, float step) {
    const float n = (value - start) / step;
    return std::fabs(n - std::round(n));
}

}  // namespace

TEST_F(VolumeFrameTest, UniformDiffersFromTheValueTheFrameDefines) {
    const UniformCase cases[] = {
        {"direction light, reference rate above the rate, focal point inside", {0.9f, 0.7f, 1.3f},
         {0.2f, -0.1f, 0.0f}, 40.0f, 100.0f, UniformCase::None, true},
        {"attached light, negative rate", {-0.6f, 0.5f, 1.6f}, {0.3f, 0.0f, -0.2f}, -40.0f, 40.0f,
         UniformCase::Attached, true},
        {"light node not flagged as a light, focal point in front of the volume", {1.5f, -2.0f, 3.5f},
         {0.3f, -0.2f, 0.1f}, 25.0f, 10.0f, UniformCase::NotFlaggedAsLight, false},
    };
    auto volume = makeVolume("ball", {8, 8, 8}, [](const vec3& p) { return glm::length(p) < 0.6f ? bone : 0; });

    for (const UniformCase& c : cases) {
        SCOPED_TRACE(c.name);
        // A turned, shifted parent with the volume node (shifted, turned, scaled unevenly) and
        // the light under it, so that world matrix and light position both go through it.
        const mat4 parentMatrix = glm::rotate(glm::translate(mat4(1.0f), vec3(0.3f, -0.2f, 0.1f)),
                                              glm::radians(30.0f), vec3(0.0f, 1.0f, 0.0f));
        const vec3 halfExtents(0.8f, 0.6f, 0.5f);
        const mat4 nodeMatrix = glm::scale(
            glm::rotate(glm::translate(mat4(1.0f), vec3(0.1f, 0.0f, 0.0f)), glm::radians(20.0f), vec3(1, 0, 0)),
            halfExtents);
        const vec3 lightLocal(2.0f, 1.0f, 0.5f);
        const vec3 lightDiffuse(0.9f, 0.8f, 0.7f);
        const vec3 directionColour(0.2f, 0.4f, 0.6f);
        const vec3 direction(1.0f, 2.0f, 2.0f);  // normalised: (1, 2, 2) / 3

        auto* parent = new GameObject();
        _root->addChild(parent);
        parent->setLocalMatrix(parentMatrix);
        auto* node = new VolumetricObject();
        parent->addChild(node);
        node->setVolumeTexture(volume);
        node->setLocalMatrix(nodeMatrix);
        node->_halfExtents = halfExtents;
        node->_samplingRate = c.rate;
        node->_referenceSamplingRate = c.reference;
        node->_lightColor = directionColour;
        node->_lightDirection = direction;
        node->_noisePosOffset = vec2(0.25f, 0.5f);
        node->_noiseOffsetFactor = 0.125f;
        auto* light = new Light(lightLocal, 1.0f, 1.0f, 1.0f, lightDiffuse, vec3(0.1f), vec3(1.0f), 0.1f, 10.0f);
        parent->addChild(light);
        if (c.light != UniformCase::None) node->_light = light;
        if (c.light == UniformCase::NotFlaggedAsLight) light->_isLight = false;
        lookAtFrom(c.eye, c.target);

        renderVolumes();

        // Expected values from the camera and node data alone.
        const Camera& cam = *_camera;
        const mat4 world = parentMatrix * nodeMatrix;
        const vec3 w = glm::normalize(c.eye - c.target);  // toward the eye
        const float r = glm::length(halfExtents);
        const float step = 1.0f / std::fabs(c.rate);
        const vec3 p(world[3]);
        const mat4 turn = glm::rotate(mat4(1.0f), std::acos(w.z), glm::normalize(glm::cross(vec3(0, 0, 1), w)));
        const mat4 frame = glm::translate(mat4(1.0f), p) * glm::scale(mat4(1.0f), vec3(r)) * turn;
        const mat4 inverseFrame = glm::inverse(frame);
        const vec4 eyeInFrame = inverseFrame * vec4(c.eye, 1.0f);
        const float zEye = eyeInFrame.z / eyeInFrame.w;
        const float zFocus = std::clamp((inverseFrame * vec4(c.eye - w, 1.0f)).z, -1.0f, 1.0f);
        const float eyeLimit = zEye - cam._near;
        ASSERT_EQ(zFocus < 1.0f, c.focalPointInside) << "fixture: zFocus " << zFocus;
        // Rounding in the pipeline's own frame must not move a slice across the focal point
        // (a clamped focal point is exactly -1 or 1 in both).
        if (std::fabs(zFocus) < 1.0f) {
            ASSERT_GT(distanceToLattice(zFocus, -1.0f, step), 1e-3f) << "fixture: focal point on a slice";
            ASSERT_GT(distanceToLattice(zFocus, 1.0f, step), 1e-3f) << "fixture: focal point on a slice";
        }
        ASSERT_GT(distanceToLattice(eyeLimit, -1.0f, step), 1e-3f) << "fixture: eye limit on a slice";
        const mat4 lastSlice = frame * glm::translate(mat4(1.0f), vec3(0.0f, 0.0f, lastSliceZ(zFocus, eyeLimit, step)));

        const bool lit = c.light == UniformCase::Attached;
        const vec3 lightPos = lit ? vec3(parentMatrix * vec4(lightLocal, 1.0f)) : direction / 3.0f;
        const vec3 lightColour = lit ? lightDiffuse : directionColour;

        const auto& u = _pipeline->_uniforms;
        const std::vector<FloatCheck> checks = {
            {"PV", u.pv, floats(cam._projectionMatrix * cam._viewMatrix)},
            {"modelMatrix", u.modelMatrix, floats(world)},
            {"invM", u.invM, floats(glm::inverse(world))},
            {"divRefByCurSamplingRate", u.divRefByCurSamplingRate, {c.reference / c.rate}},
            {"sliceModel", u.sliceModel, floats(lastSlice)},
            {"noisePosOffset", u.noisePosOffset, {0.25f, 0.5f}},
            {"noiseOffsetFactor", u.noiseOffsetFactor, {0.125f}},
            {"texSize", u.texSize, floats(vec2(windowSettings.width, windowSettings.height))},
            {"sliceDistScreenSpace", u.sliceDistScreenSpace, {0.5f * step}},
            {"nearFar", u.nearFar, {cam._near, cam._far}},
            {"circleOfConfusionRadius", u.circleOfConfusionRadius, {500.0f * step}},
            {"lightPos", u.lightPos, floats(lightPos)},
            {"eyePos", u.eyePos, floats(w)},
            {"lightColor", u.lightColor, floats(lightColour)},
            {"trfunc_delta", u.trfuncDelta, {1.0f / 510.0f}},
        };
        const GLuint volumeProgram = _pipeline->_volumeProgram->_id;
        for (const FloatCheck& check : checks) {
            SCOPED_TRACE(check.name);
            ASSERT_NE(check.location, -1);
            float value[16] = {};
            glGetUniformfv(volumeProgram, check.location, value);
            for (size_t i = 0; i < check.expected.size(); ++i) {
                // Float rounding of the two ways of building the same matrix or vector.
                EXPECT_NEAR(value[i], check.expected[i], 2e-4f * std::max(1.0f, std::fabs(check.expected[i])))
                    << "component " << i;
            }
        }
        const struct {
            const char* name;
            GLuint program;
            GLint location;
            int expected;
        } intChecks[] = {
            {"VolumeTexture", volumeProgram, u.volumeTexture, 0},
            {"eyeSampleTexture", volumeProgram, u.eyeSampleTexture, 1},
            {"noiseTexture", volumeProgram, u.noiseTexture, 2},
            {"trfunc_texture2d", volumeProgram, u.trfuncTexture2d, 3},
            {"sliceStack", volumeProgram, u.sliceStack, 1},  // the front stack is set up last
            {"eyeTexture", _pipeline->_passthroughProgram->_id, _pipeline->_eyeTextureLocation, 0},
        };
        for (const auto& check : intChecks) {
            SCOPED_TRACE(check.name);
            ASSERT_NE(check.location, -1);
            GLint value = -1;
            glGetUniformiv(check.program, check.location, &value);
            EXPECT_EQ(value, check.expected);
        }
        ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        delete parent;  // leaves the root with the node and the light
    }
}

// ---------------------------------------------------------------------------------------------
// Stack order. A half-transparent plate A lies in front of an opaque plate B; both are drawn
// alone and together. Together, the centre must show A over B (A's colour with B through it),
// not B over A (B alone): with the focal plane behind both plates, between them, and in front
// of both, so that the back stack, the front stack and the laying of the front stack over the
// back stack each decide the order once. With the focal plane through the middle of A, the
// slices next to it (the last of each stack) carry A, and A must look as it does elsewhere.

namespace {

struct StackOrderCase {
    const char* name;
    float eyeZ;  // the camera looks along -z; its focal plane is at eyeZ - 1
};

}  // namespace

TEST_F(VolumeFrameTest, MaterialBehindTheFocalPlaneShowsThroughMaterialInFront) {
    // 32 voxels across the box: voxel boundaries every 1/16. A: z 0.125..0.3125, B: z -0.375..-0.25.
    auto plateA = [](const vec3& p) {
        return std::fabs(p.x) < 0.6f && std::fabs(p.y) < 0.6f && p.z > 0.125f && p.z < 0.3125f ? tissue : 0;
    };
    auto plateB = [](const vec3& p) {
        return std::fabs(p.x) < 0.6f && std::fabs(p.y) < 0.6f && p.z > -0.375f && p.z < -0.25f ? bone : 0;
    };
    const glm::ivec3 size(32, 32, 32);
    auto onlyA = makeVolume("a", size, plateA);
    auto onlyB = makeVolume("b", size, plateB);
    auto both = makeVolume("ab", size, [&](const vec3& p) { return std::max(plateA(p), plateB(p)); });
    // Tissue takes many reference slices to show: at 60 of them per slice, A (about three
    // slices deep) lets half of B through, and B, bone, stops all light within one slice.
    const float rate = 25.0f;
    VolumetricObject* node = addVolume(onlyA, rate, 60.0f * rate);
    node->_lightDirection = vec3(-1.0f, 0.0f, -1.0f);  // from the right, behind the camera

    // Per pixel, each render rounds once per slice to 8 bits (plus up to half a step of dither).
    // A and A-with-B run the same slices over A, so after B they differ from "A over B" by at
    // most the roundings of the slices that touch A in both renders, plus one step for the
    // "over" worked out here from 8-bit A and B. Slices touching A: its thickness in slice
    // spacings, plus one at each face (jitter and the slab reaching one slice beyond a face).
    const float spacing = std::sqrt(3.0f) / rate;
    const int slicesOnA = static_cast<int>(std::ceil(0.1875f / spacing)) + 2;
    const float tolerance = (2.0f * slicesOnA + 1.0f) * quantum;

    const StackOrderCase cases[] = {
        {"focal plane behind both plates: back stack", 1.45f},
        {"focal plane between the plates: front stack over back stack", 1.0f},
        {"focal plane in front of both plates: front stack", 0.55f},
        {"focal plane through the middle of the front plate", 1.21875f},
    };
    float alphaOfA = -1.0f;  // A's opacity with the focal plane behind it
    const int cx = windowSettings.width / 2, cy = windowSettings.height / 2, half = 10;
    for (const StackOrderCase& c : cases) {
        SCOPED_TRACE(c.name);
        lookAtFrom(vec3(0.0f, 0.0f, c.eyeZ), vec3(0.0f, 0.0f, -10.0f));
        node->setVolumeTexture(onlyA);
        const Pixels a = renderCombined(std::string("stack_order_a_") + std::to_string(c.eyeZ));
        node->setVolumeTexture(onlyB);
        const Pixels b = renderCombined(std::string("stack_order_b_") + std::to_string(c.eyeZ));
        node->setVolumeTexture(both);
        const Pixels ab = renderCombined(std::string("stack_order_ab_") + std::to_string(c.eyeZ));

        // Means over the centre, where both plates cover every pixel; the orders per pixel.
        const Rgba together = ab.mean(cx - half, cy - half, cx + half, cy + half);
        Rgba aOverB, bOverA;
        const float n = (2 * half + 1) * (2 * half + 1);
        for (int y = cy - half; y <= cy + half; ++y)
            for (int x = cx - half; x <= cx + half; ++x) {
                accumulate(aOverB, over(a.at(x, y), b.at(x, y)), 1.0f / n);
                accumulate(bOverA, over(b.at(x, y), a.at(x, y)), 1.0f / n);
            }
        const Rgba meanA = a.mean(cx - half, cy - half, cx + half, cy + half);
        const Rgba meanB = b.mean(cx - half, cy - half, cx + half, cy + half);

        // The fixture: B hides what is behind it, A lets a good part of B through, and the two
        // orders differ by far more than the tolerance.
        EXPECT_GT(meanB.a, 0.95f);
        EXPECT_GT(meanA.a, 0.2f);
        EXPECT_LT(meanA.a, 0.8f);
        // A is as opaque wherever the focal plane lies: the slices on both sides of the focal
        // plane are in the image. Each render's mean is off by at most one step per slice on A.
        // (At this rate the two stacks' slice positions coincide, so the stacks neither leave a
        // gap between them nor overlap.)
        if (alphaOfA < 0.0f) alphaOfA = meanA.a;
        EXPECT_NEAR(meanA.a, alphaOfA, 2.0f * slicesOnA * quantum) << "A's opacity changed with the focal plane";
        ASSERT_GT(largestChannelDifference(aOverB, bOverA), 2.0f * tolerance)
            << "fixture: the plates' colours do not tell the orders apart";

        std::printf("[ order    ] %-60s A alpha %.3f, B alpha %.3f; together - A over B %.4f, A over B - B over "
                    "A %.4f, tolerance %.4f\n",
                    c.name, meanA.a, meanB.a, largestChannelDifference(together, aOverB),
                    largestChannelDifference(aOverB, bOverA), tolerance);
        EXPECT_LE(largestChannelDifference(together, aOverB), tolerance)
            << "together " << together.r << " " << together.g << " " << together.b << " " << together.a
            << ", A over B " << aOverB.r << " " << aOverB.g << " " << aOverB.b << " " << aOverB.a
            << ", B over A " << bOverA.r << " " << bOverA.g << " " << bOverA.b << " " << bOverA.a;
    }
}

// ---------------------------------------------------------------------------------------------
// Depth of field. A thin opaque slab facing the camera fills the right half of the view; its
// left edge lies on the view axis, so it falls exactly between two pixel columns whatever the
// distance. At the focal plane that edge is a step from one column to the next. Farther from
// the focal plane, behind it (back stack) or in front of it (front stack), the edge spreads
// over more columns, the more the farther.

namespace {

struct EdgeCase {
    const char* name;
    float distanceFromFocus;  // world units; > 0 behind the focal plane, < 0 in front of it
};

// Standard deviation, in pixels, of the rise of a left-to-right edge profile between columns
// x0 and x1: 0 for a step between two columns, about the blur radius for a blurred edge.
float edgeSpread(const std::vector<float>& profile, int x0, int x1) {
    double mass = 0.0, first = 0.0, second = 0.0;
    for (int x = x0; x < x1; ++x) {
        const float rise = profile[x + 1] - profile[x];  // at the boundary x + 1
        mass += rise;
        first += rise * (x + 1);
        second += rise * (x + 1) * (x + 1);
    }
    const double mean = first / mass;
    return static_cast<float>(std::sqrt(std::max(0.0, second / mass - mean * mean)));
}

}  // namespace

TEST_F(VolumeFrameTest, EdgeBlurredAtTheFocalPlaneOrNotWideningAwayFromIt) {
    // A box of half size 0.25 (slice-frame radius 0.433), 256 voxels across so that the edge
    // itself is sharp to a fraction of a pixel, slab 6 voxels (0.023 world units) thick.
    const float boxHalf = 0.25f;
    auto volume = makeVolume("edge", {256, 8, 128}, [](const vec3& p) {
        return p.x > 0.0f && std::fabs(p.z) < 0.046875f ? bone : 0;
    });
    // Slice spacing 0.0072: the slab spans about three slices, each stopping nine tenths of the
    // light at twice the reference rate.
    const float rate = 60.0f;
    addVolume(volume, rate, 2.0f * rate, vec3(0.0f), boxHalf);
    const float spacing = boxHalf * std::sqrt(3.0f) / rate;

    const EdgeCase cases[] = {
        {"at the focal plane", 0.5f * spacing},  // half a step off the slice lattice
        {"0.2 behind", 0.2f},   {"0.4 behind", 0.4f},
        {"0.2 in front", -0.2f}, {"0.4 in front", -0.4f},
    };
    // The edge lies between columns edge - 1 and edge. Its rise is measured over the 5 columns
    // either side (several times the widest blur here); the slab's opacity 6 to 10 columns
    // right of it, the empty view as far left.
    const int edge = windowSettings.width / 2, reach = 5;
    const int y0 = windowSettings.height / 2 - 16, y1 = windowSettings.height / 2 + 16;
    std::vector<float> spread;
    for (const EdgeCase& c : cases) {
        SCOPED_TRACE(c.name);
        lookAtFrom(vec3(0.0f, 0.0f, 1.0f + c.distanceFromFocus), vec3(0.0f, 0.0f, -10.0f));
        const Pixels p = renderCombined(std::string("edge_") + std::to_string(c.distanceFromFocus));
        // Alpha across the edge, averaged over 33 rows.
        std::vector<float> profile(windowSettings.width, 0.0f);
        for (int x = edge - 2 * reach; x < edge + 2 * reach; ++x) {
            for (int y = y0; y <= y1; ++y) profile[x] += p.alpha(x, y);
            profile[x] /= (y1 - y0 + 1);
        }
        float plateau = 0.0f, background = 0.0f;
        for (int i = reach + 1; i < 2 * reach; ++i) {
            plateau += profile[edge + i] / (reach - 1);
            background += profile[edge - 1 - i] / (reach - 1);
        }
        // An opaque slab stays opaque wherever it is, and the view beside it stays empty.
        ASSERT_GT(plateau, 0.9f);
        EXPECT_LT(background, 2.0f * quantum);
        for (float& v : profile) v = (v - background) / (plateau - background);
        spread.push_back(edgeSpread(profile, edge - reach - 1, edge + reach));
        std::printf("[ edge     ] %-13s spread %.3f px, columns %d..%d: %.3f %.3f | %.3f %.3f\n", c.name,
                    spread.back(), edge - 2, edge + 1, profile[edge - 2], profile[edge - 1], profile[edge],
                    profile[edge + 1]);
    }
    // Sharp: a step between two columns spreads 0 px; an edge half covering one pixel column
    // spreads 0.5 px. A quarter pixel keeps the edge within the two columns beside it.
    EXPECT_LT(spread[0], 0.25f) << "the edge at the focal plane is blurred";
    // Wider with the distance, on either side. The 33-row average measures the spread to about
    // a hundredth of a pixel; a tenth of a pixel is a real widening.
    const float wider = 0.1f;
    EXPECT_GT(spread[1], spread[0] + wider) << "behind the focal plane";
    EXPECT_GT(spread[2], spread[1] + wider) << "farther behind the focal plane";
    EXPECT_GT(spread[3], spread[0] + wider) << "in front of the focal plane";
    EXPECT_GT(spread[4], spread[3] + wider) << "farther in front of the focal plane";
}

// ---------------------------------------------------------------------------------------------
// Opacity correction. A uniform slab facing the camera, drawn with the same slices (same rate)
// once at the reference rate and once at k times it: every slice's opacity a becomes
// 1 - (1 - a)^k, so the accumulated alpha A becomes 1 - (1 - A)^k.

TEST_F(VolumeFrameTest, OpacityNotCorrectedForTheReferenceRate) {
    // 32 voxels deep: the slab is 5 voxels, 0.3125 units, thick.
    auto volume = makeVolume("slab", {16, 16, 32},
                             [](const vec3& p) { return p.z > -0.125f && p.z < 0.1875f ? halfBone : 0; });
    const float rate = 20.0f;
    VolumetricObject* node = addVolume(volume, rate, rate);
    lookAtFrom(vec3(0.0f, 0.0f, 3.0f), vec3(0.0f));
    const int cx = windowSettings.width / 2, cy = windowSettings.height / 2, half = 10;

    const float plain = renderCombined("opacity_k1").mean(cx - half, cy - half, cx + half, cy + half).a;
    // Half-transparent, where the powers differ most from one another (and from the
    // uncorrected alpha by several times the tolerance).
    ASSERT_GT(plain, 0.2f);
    ASSERT_LT(plain, 0.8f);

    // Each render's alpha is off by at most one 8-bit step (rounding and dither) per slice that
    // touches the slab (its thickness in spacings plus one at each face); the prediction carries
    // the error of `plain` times the slope of 1 - (1 - A)^k.
    const float spacing = std::sqrt(3.0f) / rate;
    const int slicesOnSlab = static_cast<int>(std::ceil(0.3125f / spacing)) + 2;
    for (float k : {2.0f, 3.0f, 0.5f}) {
        SCOPED_TRACE("reference rate " + std::to_string(k) + " times the rate");
        node->_referenceSamplingRate = k * rate;
        const float corrected =
            renderCombined("opacity_k" + std::to_string(k)).mean(cx - half, cy - half, cx + half, cy + half).a;
        const float expected = 1.0f - std::pow(1.0f - plain, k);
        const float slope = k * std::pow(1.0f - plain, k - 1.0f);
        const float tolerance = slicesOnSlab * quantum * (1.0f + slope);
        std::printf("[ opacity  ] k %.1f: alpha %.4f at k 1, %.4f expected, %.4f drawn, tolerance %.4f\n", k, plain,
                    expected, corrected, tolerance);
        EXPECT_NEAR(corrected, expected, tolerance) << "plain " << plain;
    }
}

// ---------------------------------------------------------------------------------------------
// Shading. A bone ball seen from +z, lit from +x or from -x: by a light attached to the node,
// or by the node's own light direction when none is. The side facing the light must be the
// brighter one. The attached light and the node's direction point opposite ways, so a
// pipeline that picks the wrong one lights the wrong side.

namespace {

struct ShadingCase {
    const char* name;
    bool attached;
    float lightX;      // world x of the attached light (at y = z = 0)
    vec3 direction;    // the node's light direction: the way the light travels
    int litSide;       // +1: +x side lit, -1: -x side
};

}  // namespace

TEST_F(VolumeFrameTest, SideFacingTheLightNotBrighter) {
    auto volume = makeVolume("ball", {32, 32, 32}, [](const vec3& p) { return glm::length(p) < 0.5f ? bone : 0; });
    VolumetricObject* node = addVolume(volume, 50.0f, 50.0f);
    auto* light = new Light(vec3(0.0f), 1.0f, 1.0f, 1.0f, vec3(1.0f), vec3(0.1f), vec3(1.0f), 0.1f, 10.0f);
    _root->addChild(light);
    lookAtFrom(vec3(0.0f, 0.0f, 3.0f), vec3(0.0f));

    const ShadingCase cases[] = {
        {"light attached at +x", true, 3.0f, {1.0f, 0.0f, 0.0f}, +1},
        {"light attached at -x", true, -3.0f, {-1.0f, 0.0f, 0.0f}, -1},
        {"no light, shining toward -x", false, 0.0f, {-1.0f, 0.0f, 0.0f}, +1},
        {"no light, shining toward +x", false, 0.0f, {1.0f, 0.0f, 0.0f}, -1},
    };
    // The ball's radius on screen is 0.5 / (3 tan 22.5°) of half the height: about 38 pixels.
    // Compare bands at 10 to 28 pixels either side of the centre, 21 rows high.
    const int cx = windowSettings.width / 2, cy = windowSettings.height / 2;
    for (const ShadingCase& c : cases) {
        SCOPED_TRACE(c.name);
        light->setPosition(c.lightX, 0.0f, 0.0f);
        node->_light = c.attached ? light : nullptr;
        node->_lightDirection = c.direction;
        const Pixels p = renderCombined(std::string("shading_") + std::to_string(&c - cases));
        float right = 0.0f, left = 0.0f;
        int n = 0;
        for (int y = cy - 10; y <= cy + 10; ++y)
            for (int dx = 10; dx <= 28; ++dx) {
                right += p.luminance(cx + dx, y);
                left += p.luminance(cx - 1 - dx, y);
                ++n;
            }
        right /= n;
        left /= n;
        const float lit = c.litSide > 0 ? right : left, far = c.litSide > 0 ? left : right;
        // The ball is opaque there, so brightness is shading only; a fifth brighter is plainly visible.
        EXPECT_GT(p.mean(cx - 28, cy - 10, cx + 28, cy + 10).a, 0.95f);
        std::printf("[ shading  ] %-28s lit side %.3f, far side %.3f\n", c.name, lit, far);
        EXPECT_GT(lit, 1.2f * far) << "lit side " << lit << ", far side " << far;
    }
}

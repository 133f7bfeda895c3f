#pragma once
// A small scene for the surface-pipeline tests: the engine's start-up GL state, a camera in the
// registry, a root node, meshes built here (an outward-facing box and a ground plane), BMP
// textures written into a temporary folder, and read-back of the camera's framebuffer.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Camera.h"
#include "DirectionalLight.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GLTestFixture.h"
#include "GameObject.h"
#include "IGameManager.h"
#include "MathUtils.h"
#include "ModelData.h"
#include "RenderTexture.h"
#include "VertexBuffer.h"

namespace PipelineTest {

using namespace VantorEngine;

struct Rgb {
    int r, g, b;
};

// A game manager that ignores everything: the volume pipeline always reports its focus text.
class SilentGameManager : public IGameManager {
public:
    void init() override {}
    void deinit() override {}
    void update(double) override {}
    void draw() override {}
    void setTitleInfo(std::string) override {}
};

// Pixels of an RGBA8 image, bottom row first (as glReadPixels returns them).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;
    Rgb at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * width + x) * 4;
        return {rgba[i], rgba[i + 1], rgba[i + 2]};
    }
    float luminance(int x, int y) const {
        const Rgb c = at(x, y);
        return 0.2126f * c.r + 0.7152f * c.g + 0.0722f * c.b;
    }
};

inline int maxChannelDifference(const Rgb& a, const Rgb& b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

// A 24-bit BMP of `width` × `height` texels from `colour(x, y)`, rows stored bottom-up.
inline std::string bmpBytes(int width, int height, const std::function<Rgb(int, int)>& colour) {
    const int rowBytes = (width * 3 + 3) / 4 * 4;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes * height);
    std::string bytes(54 + imageBytes, '\0');
    auto put = [&](size_t at, uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xffu);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put(2, 54 + imageBytes, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(width), 4);
    put(22, static_cast<uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(34, imageBytes, 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            const size_t at = 54 + static_cast<size_t>(y) * rowBytes + x * 3;
            bytes[at] = static_cast<char>(c.b);
            bytes[at + 1] = static_cast<char>(c.g);
            bytes[at + 2] = static_cast<char>(c.r);
        }
    return bytes;
}

// A closed box of half extents `h`, faces wound counter-clockwise from outside, normals outward,
// each face textured 0..1.
inline std::shared_ptr<ModelData> boxModel(const vec3& h) {
    std::vector<vec3> positions, normals;
    std::vector<vec2> uvs;
    // Normal n with tangent axes u, v where u × v = n.
    const vec3 faces[6][3] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
        {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
        {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
    };
    for (const auto& face : faces) {
        const vec3 n = face[0], u = face[1], v = face[2];
        const vec3 corners[4] = {(n - u - v) * h, (n + u - v) * h, (n + u + v) * h, (n - u + v) * h};
        const vec2 texels[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        for (int i : {0, 1, 2, 0, 2, 3}) {
            positions.push_back(corners[i]);
            uvs.push_back(texels[i]);
            normals.push_back(n);
        }
    }
    return std::make_shared<ModelData>(positions, uvs, normals, normals, "test box", -h, h);
}

// A square of half edge `s` in the plane y = 0, facing +y.
inline std::shared_ptr<ModelData> planeModel(float s) {
    const std::vector<vec3> positions = {{-s, 0, s}, {s, 0, s}, {s, 0, -s}, {-s, 0, s}, {s, 0, -s}, {-s, 0, -s}};
    const std::vector<vec2> uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    const std::vector<vec3> normals(6, vec3(0, 1, 0));
    return std::make_shared<ModelData>(positions, uvs, normals, normals, "test plane", vec3(-s, 0, -s),
                                       vec3(s, 0, s));
}

class SceneTest : public TestSupport::GLTest {
protected:
    void SetUp() override {
        TestSupport::GLTest::SetUp();
        _savedLight = std::make_unique<DirectionalLight>(getDirectionalLight());
        // The state the engine's start-up leaves (depth test, blending, culling on) and the GL defaults.
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
        glBlendFunc(GL_ONE, GL_ZERO);
        if (!screenQuad) {
            // Built once per process like the engine's own; never deleted.
            screenQuadVertices = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
            screenQuad = new VertexBuffer(screenQuadVertices);
        }
        renderLayerMask = 1;
        wireframeMode = false;
        _camera = new Camera();
        camera = _camera;
        _root = new GameObject();
        rootObject = _root;
    }

    void TearDown() override {
        rootObject = nullptr;
        delete _root;
        delete _camera;  // clears the registry's camera
        camera = nullptr;
        setDirectionalLight(*_savedLight);
        renderLayerMask = 1;
    }

    // A child of the root with `model` and a texture made of `colour(x, y)` (16 × 16 texels).
    GameObject* addObject(std::shared_ptr<ModelData> model, const std::function<Rgb(int, int)>& colour,
                          bool shadowMapped, GameObject* parent = nullptr) {
        auto* object = new GameObject();
        object->setModel(std::move(model));
        const std::string name = "texture" + std::to_string(_textureCount++) + ".bmp";
        object->setTexture(_files.write(name, bmpBytes(16, 16, colour)));
        object->_shadowMapped = shadowMapped;
        (parent ? parent : _root)->addChild(object);
        return object;
    }

    static std::function<Rgb(int, int)> solid(Rgb c) {
        return [c](int, int) { return c; };
    }

    void lookAtFrom(const vec3& eye, const vec3& centre) {
        _camera->_position = eye;
        _camera->_viewMatrix = lookAt(eye, centre, vec3(0, 1, 0));
    }

    // The engine's per-frame clear of the camera's framebuffer.
    void clearFrame() {
        _camera->_frameBuffer->bind();
        _camera->_frameBuffer->clear(true, true, true, vec4(0.1f, 0.5f, 0.1f, 0.0f), 1.0f, 0);
        _camera->_frameBuffer->unbind();
    }

    Image readFrame() {
        Image image;
        image.width = windowSettings.width;
        image.height = windowSettings.height;
        image.rgba.resize(static_cast<size_t>(image.width) * image.height * 4);
        _camera->_frameBuffer->bindForReading(GL_COLOR_ATTACHMENT0);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, image.width, image.height, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        return image;
    }

    std::vector<float> readDepth() {
        std::vector<float> depth(static_cast<size_t>(windowSettings.width) * windowSettings.height);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, _camera->_frameBuffer->_id);
        glReadPixels(0, 0, windowSettings.width, windowSettings.height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        return depth;
    }

    // Pixel that shows world point `p`, or (-1, -1) off screen.
    std::pair<int, int> pixelOf(const vec3& p) const {
        const vec4 clip = _camera->_projectionMatrix * _camera->_viewMatrix * vec4(p, 1.0f);
        if (clip.w <= 0.0f) return {-1, -1};
        const float x = (clip.x / clip.w * 0.5f + 0.5f) * windowSettings.width;
        const float y = (clip.y / clip.w * 0.5f + 0.5f) * windowSettings.height;
        if (x < 0 || y < 0 || x >= windowSettings.width || y >= windowSettings.height) return {-1, -1};
        return {static_cast<int>(x), static_cast<int>(y)};
    }

    Camera* _camera = nullptr;   // owned
    GameObject* _root = nullptr;  // owned
    TestSupport::TempDir _files;
    int _textureCount = 0;
    std::unique_ptr<DirectionalLight> _savedLight;
};

// Reads a GL integer state.
inline GLint glInteger(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

inline bool glBool(GLenum name) {
    GLboolean value = GL_FALSE;
    glGetBooleanv(name, &value);
    return value == GL_TRUE;
}

}  // namespace PipelineTest

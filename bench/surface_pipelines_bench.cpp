// Time of one render of each surface pipeline on llvmpipe or a real card, on a small scene: a
// ground plane and a box drawn by the shadow-mapping pipeline and by the deferred pipeline,
// one point light, and the sky.
//
//   surface_pipelines_bench [WIDTH HEIGHT [RENDERS]]     default 1024 768 10
//
// Needs a display (run under xvfb-run) and the working directory at the repository root after
// a build (shaders and sky faces under resources/).
#include <GL/glew.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "Camera.h"
#include "DeferredRenderingPipeline.h"
#include "DirectionalLight.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GameObject.h"
#include "Light.h"
#include "ModelData.h"
#include "PostProcessingRenderingPipeline.h"
#include "ResourceCache.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"
#include "VertexBuffer.h"

using namespace VantorEngine;

namespace {

using Clock = std::chrono::steady_clock;

std::shared_ptr<ModelData> plane(float s) {
    const std::vector<vec3> p = {{-s, 0, s}, {s, 0, s}, {s, 0, -s}, {-s, 0, s}, {s, 0, -s}, {-s, 0, -s}};
    const std::vector<vec2> uv = {{0, 0}, {1, 0}, {1, 1}, {0, 0}, {1, 1}, {0, 1}};
    const std::vector<vec3> n(6, vec3(0, 1, 0));
    return std::make_shared<ModelData>(p, uv, n, n, "bench plane", vec3(-s, 0, -s), vec3(s, 0, s));
}

// Milliseconds per call of `render`, after one warm-up call, with the GPU drained each time.
double time(const std::function<void()>& render, int renders) {
    render();
    glFinish();
    const auto start = Clock::now();
    for (int i = 0; i < renders; ++i) {
        render();
        glFinish();
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / renders;
}

}  // namespace

int main(int argc, char** argv) {
    const int width = argc >= 3 ? std::atoi(argv[1]) : 1024;
    const int height = argc >= 3 ? std::atoi(argv[2]) : 768;
    const int renders = argc >= 4 ? std::atoi(argv[3]) : 10;
    if (width <= 0 || height <= 0 || renders <= 0) {
        std::fprintf(stderr, "usage: surface_pipelines_bench [WIDTH HEIGHT [RENDERS]]\n");
        return 2;
    }
    if (!glfwInit()) return 1;
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window = glfwCreateWindow(width, height, "surface pipelines bench", nullptr, nullptr);
    if (!window) {
        std::fprintf(stderr, "no OpenGL 3.3 core window\n");
        glfwTerminate();
        return 1;
    }
    glfwMakeContextCurrent(window);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) return 1;
    glGetError();
    windowSettings.width = width;
    windowSettings.height = height;
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    screenQuadVertices = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {1, 1, 0}};
    screenQuad = new VertexBuffer(screenQuadVertices);

    setDirectionalLight(DirectionalLight(vec3(0.6f), vec3(0.2f), vec3(0.2f), vec3(1.0f, -2.0f, 0.5f),
                                         orthographic(-10, 10, -10, 10, -10, 10)));
    auto* cam = new Camera();
    camera = cam;
    cam->_position = vec3(0.0f, 6.0f, 6.0f);
    cam->_viewMatrix = lookAt(cam->_position, vec3(0.0f), vec3(0.0f, 1.0f, 0.0f));
    auto* root = new GameObject();
    rootObject = root;
    for (bool shadowMapped : {true, false}) {
        auto* ground = new GameObject();
        ground->setModel(plane(4.0f));
        ground->setTexture("resources\\textures\\posx.bmp");
        ground->_shadowMapped = shadowMapped;
        root->addChild(ground);
        auto* box = new GameObject();
        box->setModel(getOrCreateSkyboxModel());
        box->setTexture("resources\\textures\\negz.bmp");
        box->scale(1.0f / 300.0f, 1.0f / 300.0f, 1.0f / 300.0f);
        box->translate(0.0f, 450.0f, 0.0f);
        box->_shadowMapped = shadowMapped;
        root->addChild(box);
    }
    root->addChild(new Light(vec3(-2.0f, 2.0f, 0.0f), 1.0f, 0.3f, 0.1f, vec3(0.3f), vec3(0.02f), vec3(0.3f),
                             0.1f, 20.0f));

    auto shadow = std::make_unique<ShadowMappingPipeline>();
    auto sky = std::make_unique<SkyboxRenderPipeline>();
    auto deferred = std::make_unique<DeferredRenderingPipeline>();
    auto post = std::make_unique<PostProcessingRenderingPipeline>();
    const GLenum setUpError = glGetError();

    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::printf("renderer: %s, window %d x %d, %d renders each\n", renderer ? renderer : "?", width, height,
                renders);
    std::printf("%-40s %9.2f ms\n", "ShadowMappingPipeline::render", time([&] { shadow->render(); }, renders));
    std::printf("%-40s %9.2f ms\n", "SkyboxRenderPipeline::render", time([&] { sky->render(); }, renders));
    std::printf("%-40s %9.2f ms\n", "DeferredRenderingPipeline::render", time([&] { deferred->render(); }, renders));
    std::printf("%-40s %9.2f ms\n", "PostProcessingRenderingPipeline::render",
                time([&] { post->render(); }, renders));
    const GLenum renderError = glGetError();
    if (setUpError != GL_NO_ERROR || renderError != GL_NO_ERROR)
        std::printf("GL error 0x%x / 0x%x\n", setUpError, renderError);

    post.reset();
    deferred.reset();
    sky.reset();
    shadow.reset();
    rootObject = nullptr;
    delete root;
    delete cam;
    clearResourceCaches();
    glfwTerminate();
    return 0;
}

#include "Engine.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <functional>
#include <iostream>

#include "BackgroundMusic.h"
#include "Camera.h"
#include "DeferredRenderingPipeline.h"
#include "FrameBuffer.h"
#include "GameObject.h"
#include "PostProcessingRenderingPipeline.h"
#include "ResourceCache.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"
#include "VertexBuffer.h"
#include "VolumeRenderingPipeline.h"

namespace VantorEngine {

namespace {

constexpr double kMaxUpdateFrameTime = 0.5;  // longer passes draw without animating

// The largest window side the engine asks for. Every render target is the window's size, and
// 16384 is the largest texture side common OpenGL 3.3 implementations offer. Larger sizes are
// refused before X sees them: a 40000 x 30000 window, for one, makes the X server reject the
// software renderer's image transfers, and Xlib then ends the process with its own error report.
constexpr int kMaxWindowSide = 16384;

// GLFW's own explanation of a failed call, beside the engine's message.
void reportGlfwError(int code, const char* description) {
    std::cerr << "GLFW error " << code << ": " << description << "\n";
}

// The largest width and height the camera and the pipelines can render at on this context.
void largestRenderTarget(int& width, int& height) {
    GLint textureSide = 0, renderbufferSide = 0;
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureSide);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbufferSide);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    width = std::min({textureSide, renderbufferSide, viewport[0]});
    height = std::min({textureSide, renderbufferSide, viewport[1]});
}

}  // namespace

int init(int argc, char** argv) {
    std::cout << "VantorEngine init start" << std::endl;
    if (initialized) return 1;
    initialized = true;

    windowSettings = parseCommandLine(argc, argv);

    // Each failure is recorded; the steps that need what failed are skipped, so a machine
    // without a display or without GL 3.3 gets the messages and a failure status, not a crash.
    bool haveContext = false;
    glfwSetErrorCallback(reportGlfwError);
    if (!glfwInit()) {
        std::cerr << "Failed to initialize GLFW\n";
        engineError = 1;
    } else {
        glfwWindowHint(GLFW_SAMPLES, 4);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        glfwWindowHint(GLFW_REFRESH_RATE, windowSettings.refreshRate);
        GLFWmonitor* monitor = windowSettings.fullscreen ? glfwGetPrimaryMonitor() : nullptr;
        // GLFW aborts on a negative size instead of failing; such a size gets no window at all.
        const bool positiveSize = windowSettings.width > 0 && windowSettings.height > 0;
        const bool withinLimit = windowSettings.width <= kMaxWindowSide && windowSettings.height <= kMaxWindowSide;
        if (!positiveSize) {
            std::cerr << "Window size " << windowSettings.width << " x " << windowSettings.height
                      << " is not positive\n";
        } else if (!withinLimit) {
            std::cerr << "Window size " << windowSettings.width << " x " << windowSettings.height
                      << " is larger than " << kMaxWindowSide << " x " << kMaxWindowSide
                      << ", the largest window the engine opens\n";
        }
        window = positiveSize && withinLimit ? glfwCreateWindow(windowSettings.width, windowSettings.height,
                                                                "Vantor Engine", monitor, nullptr)
                                             : nullptr;
        if (!window) {
            std::cerr << "Failed to open GLFW window. If you have an Intel GPU, they might not be "
                         "3.3 compatible.\n";
            glfwTerminate();
            engineError = 1;
        } else {
            glfwMakeContextCurrent(window);
            glewExperimental = GL_TRUE;
            if (glewInit() != GLEW_OK) {
                std::cerr << "Failed to initialize GLEW\n";
                engineError = 1;
            } else {
                glGetError();  // GLEW's initialisation leaves an error flag behind
                haveContext = true;
            }
        }
    }

    // A render target the context cannot make would stop the program at the camera's
    // framebuffer check; report it as a start-up failure instead.
    if (haveContext) {
        int largestWidth = 0, largestHeight = 0;
        largestRenderTarget(largestWidth, largestHeight);
        if (windowSettings.width > largestWidth || windowSettings.height > largestHeight) {
            std::cerr << "Window size " << windowSettings.width << " x " << windowSettings.height
                      << " exceeds the largest render target of this OpenGL implementation, " << largestWidth
                      << " x " << largestHeight << "\n";
            engineError = 1;
            haveContext = false;
        }
    }

    if (haveContext) {
        glfwSetInputMode(window, GLFW_STICKY_KEYS, 1);
        const unsigned halfWidth = static_cast<unsigned>(windowSettings.width) / 2u;
        const unsigned halfHeight = static_cast<unsigned>(windowSettings.height) / 2u;
        glfwSetCursorPos(window, static_cast<double>(halfWidth), static_cast<double>(halfHeight));

        glEnable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glEnable(GL_CULL_FACE);

        screenQuadVertices.push_back(vec3(-1, -1, 0));
        screenQuadVertices.push_back(vec3(1, -1, 0));
        screenQuadVertices.push_back(vec3(-1, 1, 0));
        screenQuadVertices.push_back(vec3(-1, 1, 0));
        screenQuadVertices.push_back(vec3(1, -1, 0));
        screenQuadVertices.push_back(vec3(1, 1, 0));
        screenQuad = new VertexBuffer(screenQuadVertices);

        if (gameManager) gameManager->init();

        shadowMappingPipeline = new ShadowMappingPipeline();
        deferredPipeline = new DeferredRenderingPipeline();
        postProcessingPipeline = new PostProcessingRenderingPipeline();
        volumePipeline = new VolumeRenderingPipeline();
        skyboxPipeline = new SkyboxRenderPipeline();
    }

    std::cout << "VantorEngine init end" << std::endl;
    return engineError;
}

int run() {
    std::cout << "VantorEngine run start" << std::endl;
    updateBackgroundMusic();
    // Passes slower than the update limit never update the camera: give it its placed view now.
    if (camera) camera->updateViewMatrix();
    do {
        const double now = glfwGetTime();
        const double dt = now - lastFrameTime;
        lastFrameTime = now;
        runFrame(dt);
    } while (glfwGetKey(window, GLFW_KEY_ESCAPE) != GLFW_PRESS && !glfwWindowShouldClose(window));
    std::cout << "VantorEngine run end" << std::endl;
    return engineError;
}

void runFrame(double dt) {
    fps = 1.0 / dt;
    if (dt < kMaxUpdateFrameTime) {
        if (gameManager) gameManager->update(dt);
        if (rootObject) rootObject->update(dt);
        if (camera) camera->update(dt);
    }
    renderFrame();
}

void renderFrame() {
    if (camera && rootObject) {
        FrameBuffer* target = camera->_frameBuffer;
        target->bind();
        target->clear(true, true, true, vec4(0.1f, 0.5f, 0.1f, 0.0f), 1.0f, 0);
        target->unbind();

        shadowMappingPipeline->render();
        skyboxPipeline->render();
        volumePipeline->render();

        if (gameManager) gameManager->draw();
        camera->present();
    }
    glfwSwapBuffers(window);
    glfwPollEvents();
}

int deinit() { return deinit(nullptr); }

int deinit(const std::function<void(const char* step)>& afterStep) {
    std::cout << "VantorEngine deinit start" << std::endl;
    const auto done = [&afterStep](const char* step) {
        if (afterStep) afterStep(step);
    };
    rootObject = nullptr;
    camera = nullptr;
    if (gameManager) gameManager->deinit();
    done("game manager");

    delete shadowMappingPipeline;
    shadowMappingPipeline = nullptr;
    done("shadow mapping pipeline");
    delete deferredPipeline;
    deferredPipeline = nullptr;
    done("deferred pipeline");
    delete postProcessingPipeline;
    postProcessingPipeline = nullptr;
    done("post-processing pipeline");
    delete volumePipeline;
    volumePipeline = nullptr;
    done("volume pipeline");
    delete skyboxPipeline;
    skyboxPipeline = nullptr;
    done("skybox pipeline");

    // Shared GL objects must go while the context still exists.
    if (window) clearResourceCaches();
    done("resource caches");
    glfwTerminate();
    window = nullptr;
    done("GLFW");
    releaseBackgroundMusic();
    done("music");
    std::cout << "VantorEngine deinit end" << std::endl;
    return engineError;
}

}  // namespace VantorEngine

// Frame time of the demo scene against a bare slicing loop in the same run.
//
//   frame_bench                      every size and rate of the table, one child process each
//   frame_bench W H RATE [SECONDS]   one configuration in this process
//
// For one configuration the real demo starts (engine, scene, dataset 0, all pipelines) with a
// W x H window and the given sampling rate, and the whole frame (updates, shadow, sky, volume,
// present) is timed. Then, on the same context, a bare loop draws the same number of
// window-size slices per frame as the volume pipeline did (bind, clear, one screen quad with the
// passthrough shader reading the other ping-pong target). The ratio is what the real volume
// shader and the rest of the engine cost on top of the slicing itself.
// Needs a display (run under xvfb-run) and the working directory at the repository root with
// catalogue entry 0 generated.
#include <GL/glew.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Camera.h"
#include "Engine.h"
#include "FTGameManager.h"
#include "FrameBuffer.h"
#include "GLSLProgram.h"
#include "RenderTexture.h"
#include "ResourceCache.h"
#include "VertexBuffer.h"
#include "VolumeRenderingPipeline.h"
#include "VolumeSliceFrame.h"
#include "VolumetricObject.h"

using namespace VantorEngine;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int minimumFrames = 1;
constexpr int maximumFrames = 30;
constexpr double defaultBudgetSeconds = 4.0;

struct Configuration {
    int width, height, rate;
};
const Configuration table[] = {
    {256, 192, 50}, {256, 192, 250}, {256, 192, 500}, {1024, 768, 50}, {1024, 768, 250}, {1024, 768, 500},
};

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the whole process (the renderer's worker threads included), in seconds:
// steadier than the wall clock on a machine shared with other work.
double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

// Wall and processor milliseconds per frame over a run of frames.
struct FrameTime {
    double wallMs = 0.0;
    double cpuMs = 0.0;
};

class FrameTimer {
public:
    FrameTimer() : _wall(Clock::now()), _cpu(processorSeconds()) {}
    double elapsedSeconds() const { return secondsSince(_wall); }
    FrameTime perFrame(int frames) const {
        return FrameTime{secondsSince(_wall) * 1000.0 / frames, (processorSeconds() - _cpu) * 1000.0 / frames};
    }

private:
    Clock::time_point _wall;
    double _cpu;
};

// Slices the volume pipeline draws for the current camera: both stacks.
int slicesPerFrame(const FallowTide::FTGameManager& manager) {
    const VolumetricObject& volume = *manager._volumetricObject;
    VolumetricObject& node = const_cast<VolumetricObject&>(volume);
    const VolumeSliceFrame frame = VolumeSliceFrame::compute(camera->_position, camera->_viewMatrix, camera->_near,
                                                             node.getWorldMatrix(), node._halfExtents,
                                                             node._samplingRate);
    return frame.forEachBackSlice([](float) {}) + frame.forEachFrontSlice([](float) {});
}

// Times `frames` passes of `slices` bare ping-pong slices at the window size.
FrameTime bareLoop(int slices, int frames) {
    const int w = windowSettings.width, h = windowSettings.height;
    std::shared_ptr<GLSLProgram> program =
        getOrCreateProgram("resources\\shaders\\PassthroughUV.vs", "resources\\shaders\\PassthroughUV.fs", "");
    const GLint eyeTexture = program->getUniformLocation("eyeTexture");
    const std::vector<GLenum> drawBuffers = {GL_COLOR_ATTACHMENT0};
    RenderTexture* textures[2];
    FrameBuffer* buffers[2];
    for (int i = 0; i < 2; ++i) {
        textures[i] = new RenderTexture(w, h, RGBA8);
        const std::vector<RenderTexture*> colour = {textures[i]};
        buffers[i] = new FrameBuffer(&colour, &drawBuffers, nullptr, false);
    }
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    program->bind();
    if (eyeTexture != -1) glUniform1i(eyeTexture, 1);
    int pingPong = 0;
    glFinish();
    const FrameTimer timer;
    for (int f = 0; f < frames; ++f) {
        for (int s = 0; s < slices; ++s) {
            const int next = pingPong ^ 1;
            textures[next]->bind(1);
            buffers[pingPong]->bind();
            buffers[pingPong]->clear(true, false, false, vec4(0.0f), 1.0f, 0);
            screenQuad->bind();
            screenQuad->draw();
            screenQuad->unbind();
            buffers[pingPong]->unbind();
            textures[next]->unbind(1);
            pingPong = next;
        }
        glfwSwapBuffers(window);
        glFinish();
    }
    const FrameTime time = timer.perFrame(frames);
    program->unbind();
    for (int i = 0; i < 2; ++i) {
        delete buffers[i];
        delete textures[i];
    }
    return time;
}

int runOne(int width, int height, int rate, double budgetSeconds) {
    std::vector<std::string> words = {"nimbrel", std::to_string(width), std::to_string(height), "60", "0", "0",
                                      std::to_string(rate)};
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    FallowTide::FTGameManager manager;
    gameManager = &manager;
    if (init(static_cast<int>(words.size()), argv.data()) != 0) {
        deinit();
        std::fprintf(stderr, "engine start-up failed\n");
        return 1;
    }
    // One frame with every update so the camera has its view matrix; the view then stays fixed
    // (mouse look would follow whatever the pointer does).
    constexpr double frameStep = 1.0 / 60.0;
    manager.update(frameStep);
    rootObject->update(frameStep);
    camera->update(frameStep);
    renderFrame();
    glFinish();

    int frames = 0;
    const FrameTimer demoTimer;
    while (frames < maximumFrames && (frames < minimumFrames || demoTimer.elapsedSeconds() < budgetSeconds)) {
        manager.update(frameStep);
        rootObject->update(frameStep);
        renderFrame();
        glFinish();
        ++frames;
    }
    const FrameTime demo = demoTimer.perFrame(frames);
    // The volume pipeline alone, on the frame the camera's framebuffer already holds.
    const FrameTimer volumeTimer;
    for (int f = 0; f < frames; ++f) {
        volumePipeline->render();
        glFinish();
    }
    const FrameTime volume = volumeTimer.perFrame(frames);
    const int slices = slicesPerFrame(manager);
    const FrameTime bare = bareLoop(slices, frames);
    deinit();
    std::printf("RESULT %d %d %d %d %d %.3f %.3f %.3f %.3f %.3f %.3f\n", width, height, rate, slices, frames,
                demo.wallMs, volume.wallMs, bare.wallMs, demo.cpuMs, volume.cpuMs, bare.cpuMs);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4) {
        const double budget = argc >= 5 ? std::atof(argv[4]) : defaultBudgetSeconds;
        return runOne(std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]), budget);
    }
    // Milliseconds per frame, wall clock, then processor time of all the renderer's threads.
    std::printf("%-9s %4s %6s %6s | %9s %9s %9s %6s | %9s %9s %9s %6s\n", "window", "rate", "slices", "frames",
                "demo", "volume", "bare", "ratio", "demo cpu", "vol cpu", "bare cpu", "ratio");
    int failures = 0;
    for (const Configuration& c : table) {
        // A fresh process per configuration: the engine starts once per process.
        const std::string command = std::string(argv[0]) + " " + std::to_string(c.width) + " " +
                                    std::to_string(c.height) + " " + std::to_string(c.rate) + " 2>/dev/null";
        FILE* child = popen(command.c_str(), "r");
        if (!child) {
            ++failures;
            continue;
        }
        char line[512];
        bool found = false;
        while (std::fgets(line, sizeof line, child)) {
            int w, h, rate, slices, frames;
            double demo, volume, bare, demoCpu, volumeCpu, bareCpu;
            if (std::sscanf(line, "RESULT %d %d %d %d %d %lf %lf %lf %lf %lf %lf", &w, &h, &rate, &slices, &frames,
                            &demo, &volume, &bare, &demoCpu, &volumeCpu, &bareCpu) == 11) {
                const std::string size = std::to_string(w) + "x" + std::to_string(h);
                std::printf("%-9s %4d %6d %6d | %9.1f %9.1f %9.1f %6.2f | %9.1f %9.1f %9.1f %6.2f\n", size.c_str(),
                            rate, slices, frames, demo, volume, bare, bare > 0.0 ? demo / bare : 0.0, demoCpu,
                            volumeCpu, bareCpu, bareCpu > 0.0 ? demoCpu / bareCpu : 0.0);
                std::fflush(stdout);
                found = true;
            }
        }
        pclose(child);
        if (!found) {
            std::printf("%dx%d rate %d: no result (see the run's messages)\n", c.width, c.height, c.rate);
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

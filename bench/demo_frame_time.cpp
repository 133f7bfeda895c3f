// Whole-frame time of the demo for one window size and sampling rate, the demo's half of the
// comparison with a general-purpose GPU ray caster (bench/vtk_compare.py, scripts/bench-vs-vtk.sh).
//
//   demo_frame_time W H RATE [FRAMES [PNG]]
//
// Starts the real demo (engine, scene, dataset 0, every pipeline) with a W x H window and the
// given sampling rate, draws warm-up frames, then times FRAMES whole frames (game-manager, scene
// and camera updates, shadow, sky, volume, present, swap) one by one, each ended with glFinish.
// Prints the geometry the other renderer must reproduce (GEOMETRY lines), every frame time
// (FRAME_MS wall, then processor) and "RESULT W H RATE FRAMES MEDIAN_MS MIN_MS MEDIAN_CPU_MS".
// Processor time is that of the whole process, the software renderer's threads included: on a
// machine shared with other work it is steadier than the wall clock. With PNG, the camera's
// image of the last timed frame is written there.
// Needs a display (run under xvfb-run) and the working directory at the repository root with
// catalogue entry 0 generated.
#include <GL/glew.h>
#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>
#include <stb_image_write.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Camera.h"
#include "Engine.h"
#include "FTGameManager.h"
#include "FrameBuffer.h"
#include "GameObject.h"
#include "VolumeTexture.h"
#include "VolumetricObject.h"

using namespace VantorEngine;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int defaultFrames = 5;
// The first frames pay for shader compilation and first texture uploads in the driver.
constexpr int warmUpFrames = 2;
constexpr double frameStep = 1.0 / 60.0;

double processorSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + 1e-6 * (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The camera keeps the demo's start-up view: the pointer sits at the window centre and no key
// is down, whatever the X server's real pointer does.
void centredCursor(GLFWwindow*, double* x, double* y) {
    *x = static_cast<double>(static_cast<uint32_t>(windowSettings.width) / 2);
    *y = static_cast<double>(static_cast<uint32_t>(windowSettings.height) / 2);
}
void ignoreCursor(GLFWwindow*, double, double) {}
int noKey(GLFWwindow*, int) { return GLFW_RELEASE; }

// One pass of the main loop, as the engine's run does it for a frame under the dt limit.
void drawFrame(FallowTide::FTGameManager& manager) {
    manager.update(frameStep);
    rootObject->update(frameStep);
    camera->update(frameStep);
    renderFrame();
    glFinish();
}

// What the other renderer needs to show the same volume from the same eye.
void printGeometry(FallowTide::FTGameManager& manager) {
    VolumetricObject& volume = *manager._volumetricObject;
    const mat4 world = volume.getWorldMatrix();
    std::printf("GEOMETRY volume_world");
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) std::printf(" %.7g", world[column][row]);
    std::printf("\n");
    std::printf("GEOMETRY half_extents %.7g %.7g %.7g\n", volume._halfExtents.x, volume._halfExtents.y,
                volume._halfExtents.z);
    const VolumeDescription& d = volume._volumeTexture->_volDescription;
    std::printf("GEOMETRY volume_size %d %d %d %d\n", d._width, d._height, d._depth, d._bitsPerSample);
    std::printf("GEOMETRY sampling_rate %.7g\n", volume._samplingRate);
    const vec3 up = glm::cross(camera->_right, camera->_direction);
    std::printf("GEOMETRY camera %.7g %.7g %.7g %.7g %.7g %.7g %.7g %.7g %.7g %.7g %.7g %.7g\n",
                camera->_position.x, camera->_position.y, camera->_position.z, camera->_direction.x,
                camera->_direction.y, camera->_direction.z, up.x, up.y, up.z, camera->_fieldOfView, camera->_near,
                camera->_far);
}

// Writes the camera's colour image (what present copies to the window) as an RGB PNG.
bool writeFrame(const std::string& path) {
    const int w = windowSettings.width, h = windowSettings.height;
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    camera->_frameBuffer->bindForReading(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    // GL rows run bottom-up; the frame's alpha is not meant to be seen.
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(static_cast<size_t>(h - 1 - y) * w + x) * 3 + c] = pixels[(static_cast<size_t>(y) * w + x) * 4 + c];
    return stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT RATE [FRAMES [PNG]]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]), rate = std::atoi(argv[3]);
    const int frames = argc >= 5 ? std::max(1, std::atoi(argv[4])) : defaultFrames;
    const std::string png = argc >= 6 ? argv[5] : "";

    std::vector<std::string> words = {"nimbrel", std::to_string(width), std::to_string(height), "60", "0", "0",
                                      std::to_string(rate)};
    std::vector<char*> engineArgv;
    for (std::string& w : words) engineArgv.push_back(w.data());
    engineArgv.push_back(nullptr);

    FallowTide::FTGameManager manager;
    gameManager = &manager;
    if (init(static_cast<int>(words.size()), engineArgv.data()) != 0) {
        deinit();
        std::fprintf(stderr, "engine start-up failed\n");
        return 1;
    }
    camera->_input = Camera::Input{centredCursor, ignoreCursor, noKey};

    for (int i = 0; i < warmUpFrames; ++i) drawFrame(manager);
    printGeometry(manager);

    std::vector<double> times, processorTimes;
    for (int i = 0; i < frames; ++i) {
        const Clock::time_point start = Clock::now();
        const double processorStart = processorSeconds();
        drawFrame(manager);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        processorTimes.push_back(1000.0 * (processorSeconds() - processorStart));
        std::printf("FRAME_MS %.3f %.3f\n", times.back(), processorTimes.back());
        std::fflush(stdout);
    }
    int status = 0;
    if (!png.empty() && !writeFrame(png)) {
        std::fprintf(stderr, "cannot write %s\n", png.c_str());
        status = 1;
    }
    deinit();

    std::printf("RESULT %d %d %d %d %.3f %.3f %.3f\n", width, height, rate, frames, median(times),
                *std::min_element(times.begin(), times.end()), median(processorTimes));
    return status;
}

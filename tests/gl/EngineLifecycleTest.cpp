// The engine's real start-up and shut-down: init opens its own window and builds the five
// pipelines, deinit terminates GLFW. Both run at most once per process and would take the other
// tests' window with them, so each test runs them in a fresh copy of this test program
// (a death test of the "threadsafe" style, which re-executes the binary) and expects it to end
// with status 0; what differs is printed on standard error.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "BackgroundMusic.h"
#include "Camera.h"
#include "DeferredRenderingPipeline.h"
#include "Engine.h"
#include "GameObject.h"
#include "PostProcessingRenderingPipeline.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"
#include "VolumeRenderingPipeline.h"

using namespace VantorEngine;

namespace {

// Builds what the pipelines need (a camera and a scene root) and counts the engine's calls.
class SceneOnlyGameManager : public IGameManager {
public:
    void init() override {
        ++_inits;
        _camera = new Camera();
        camera = _camera;
        _root = new GameObject();
        rootObject = _root;
    }
    void deinit() override {
        ++_deinits;
        delete _camera;
        _camera = nullptr;
        delete _root;
        _root = nullptr;
    }
    void update(double) override {}
    void draw() override {}
    void setTitleInfo(std::string) override {}

    int _inits = 0;
    int _deinits = 0;
    Camera* _camera = nullptr;
    GameObject* _root = nullptr;
};

// Collects mismatches; the child process prints them and ends with status 1 if there are any.
class Findings {
public:
    template <typename T>
    void expectEqual(const char* what, const T& actual, const T& expected) {
        if (actual == expected) return;
        std::ostringstream line;
        line << what << ": got " << actual << ", expected " << expected;
        _lines.push_back(line.str());
    }
    void expectTrue(const char* what, bool condition) {
        if (!condition) _lines.push_back(std::string(what) + ": not so");
    }
    [[noreturn]] void exitWithVerdict() const {
        for (const std::string& line : _lines) std::fprintf(stderr, "MISMATCH %s\n", line.c_str());
        std::fflush(stderr);
        std::exit(_lines.empty() ? 0 : 1);
    }

private:
    std::vector<std::string> _lines;
};

// A small window, the defaults for the rest.
int startEngine(SceneOnlyGameManager& manager) {
    static char program[] = "gl_tests", width[] = "64", height[] = "48", refresh[] = "60", fullscreen[] = "0";
    char* argv[] = {program, width, height, refresh, fullscreen, nullptr};
    gameManager = &manager;
    return init(5, argv);
}

// What init leaves behind, compared before and after a second call.
struct EngineState {
    GLFWwindow* window;
    Camera* camera;
    GameObject* rootObject;
    void* pipelines[5];
    VertexBuffer* screenQuad;
    size_t screenQuadCorners;
    WindowSettings settings;
    std::vector<std::string> arguments;
    int32_t engineError;
    bool initialized;

    static EngineState now() {
        namespace E = VantorEngine;
        return {E::window,
                E::camera,
                E::rootObject,
                {E::shadowMappingPipeline, E::deferredPipeline, E::postProcessingPipeline, E::volumePipeline,
                 E::skyboxPipeline},
                E::screenQuad,
                E::screenQuadVertices.size(),
                E::windowSettings,
                E::arguments,
                E::engineError,
                E::initialized};
    }
    bool operator==(const EngineState& o) const {
        for (int i = 0; i < 5; ++i)
            if (pipelines[i] != o.pipelines[i]) return false;
        return window == o.window && camera == o.camera && rootObject == o.rootObject && screenQuad == o.screenQuad &&
               screenQuadCorners == o.screenQuadCorners && settings.width == o.settings.width &&
               settings.height == o.settings.height && settings.refreshRate == o.settings.refreshRate &&
               settings.fullscreen == o.settings.fullscreen && arguments == o.arguments &&
               engineError == o.engineError && initialized == o.initialized;
    }
};

void secondInitChild() {
    Findings findings;
    SceneOnlyGameManager manager;
    const int first = startEngine(manager);
    findings.expectEqual("first init", first, 0);
    findings.expectTrue("window opened", window != nullptr);
    const EngineState before = EngineState::now();

    static char program[] = "again", width[] = "300", height[] = "200", refresh[] = "30", fullscreen[] = "1";
    char* argv[] = {program, width, height, refresh, fullscreen, nullptr};
    testing::internal::CaptureStdout();
    const int second = init(5, argv);
    const std::string out = testing::internal::GetCapturedStdout();

    findings.expectEqual("second init", second, 1);
    findings.expectEqual<std::string>("second init output", out, "VantorEngine init start\n");
    findings.expectTrue("registry unchanged by the second init", EngineState::now() == before);
    findings.expectEqual("game manager inits", manager._inits, 1);
    findings.expectEqual("deinit", deinit(), 0);
    findings.exitWithVerdict();
}

void deinitOrderChild() {
    Findings findings;
    SceneOnlyGameManager manager;
    findings.expectEqual("init", startEngine(manager), 0);
    findings.expectTrue("music record open", backgroundMusic != nullptr);

    // After each step: its name, and what the registry shows of the steps taken so far.
    std::vector<std::string> steps;
    std::vector<std::string> states;
    const auto afterStep = [&](const char* step) {
        steps.push_back(step);
        std::string state;
        for (const void* pipeline : {static_cast<const void*>(shadowMappingPipeline),
                                     static_cast<const void*>(deferredPipeline),
                                     static_cast<const void*>(postProcessingPipeline),
                                     static_cast<const void*>(volumePipeline), static_cast<const void*>(skyboxPipeline)})
            state += pipeline ? 'P' : '-';
        // A context is current only while GLFW and its window are alive.
        state += glfwGetCurrentContext() ? " glfw" : " ----";
        state += backgroundMusic ? " music" : " -----";
        state += manager._deinits == 1 && !camera && !rootObject ? " scene-gone" : " scene";
        states.push_back(state);
    };
    glfwSetErrorCallback(nullptr);  // glfwGetCurrentContext after glfwTerminate reports an error
    testing::internal::CaptureStdout();
    const int result = deinit(afterStep);
    const std::string out = testing::internal::GetCapturedStdout();

    const std::vector<std::string> expectedSteps = {
        "game manager",   "shadow mapping pipeline", "deferred pipeline", "post-processing pipeline",
        "volume pipeline", "skybox pipeline",        "resource caches",   "GLFW",
        "music"};
    const std::vector<std::string> expectedStates = {
        "PPPPP glfw music scene-gone", "-PPPP glfw music scene-gone", "--PPP glfw music scene-gone",
        "---PP glfw music scene-gone", "----P glfw music scene-gone", "----- glfw music scene-gone",
        "----- glfw music scene-gone", "----- ---- music scene-gone", "----- ---- ----- scene-gone"};
    const auto join = [](const std::vector<std::string>& lines) {
        std::string all;
        for (const std::string& line : lines) all += "\n  " + line;
        return all;
    };
    findings.expectEqual("steps", join(steps), join(expectedSteps));
    findings.expectEqual("registry after each step", join(states), join(expectedStates));
    findings.expectEqual("deinit result", result, 0);
    findings.expectEqual<std::string>("deinit output", out, "VantorEngine deinit start\nVantorEngine deinit end\n");
    findings.expectTrue("window cleared", window == nullptr);
    findings.exitWithVerdict();
}

}  // namespace

class EngineLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// Fault caught: a second init that builds a second window, scene or pipeline set, or re-reads
// the command line.
TEST_F(EngineLifecycleTest, SecondInitReturnsOneAndChangesNothing) {
    EXPECT_EXIT(secondInitChild(), testing::ExitedWithCode(0), "");
}

// Fault caught: pipelines deleted in another order, or GLFW terminated or the music released
// out of turn.
TEST_F(EngineLifecycleTest, DeinitDeletesPipelinesInOrderThenTerminatesGlfwThenReleasesMusic) {
    EXPECT_EXIT(deinitOrderChild(), testing::ExitedWithCode(0), "");
}

// One pass of the engine's main loop (runFrame) and the loop itself (run) on the test window,
// with a game manager, a scene root, a camera and pipelines that write what is called, in
// order, into one log. The pipelines skip their drawing: only the pass's sequence is checked.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Camera.h"
#include "Engine.h"
#include "GLTestFixture.h"
#include "GameObject.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"
#include "VolumeRenderingPipeline.h"

using namespace VantorEngine;

namespace {

using CallLog = std::vector<std::string>;

class LoggingGameManager : public IGameManager {
public:
    explicit LoggingGameManager(CallLog& log) : _log(log) {}
    void init() override {}
    void deinit() override {}
    void update(double dt) override {
        _log.push_back("game manager update");
        _updateDts.push_back(dt);
        _fpsSeenByUpdate.push_back(fps);
    }
    void draw() override { _log.push_back("game manager draw"); }
    void setTitleInfo(std::string) override {}

    std::vector<double> _updateDts;
    std::vector<double> _fpsSeenByUpdate;

private:
    CallLog& _log;
};

class LoggingRoot : public GameObject {
public:
    explicit LoggingRoot(CallLog& log) : _log(log) {}
    void update(double dt) override {
        _log.push_back("root update");
        _updateDts.push_back(dt);
        GameObject::update(dt);
    }
    std::vector<double> _updateDts;

private:
    CallLog& _log;
};

class LoggingCamera : public Camera {
public:
    explicit LoggingCamera(CallLog& log) : _log(log) {}
    // The real update reads the shared X pointer; the order is what matters here.
    void update(double dt) override {
        _log.push_back("camera update");
        _updateDts.push_back(dt);
    }
    void present() override {
        _log.push_back("camera present");
        Camera::present();
    }
    std::vector<double> _updateDts;

private:
    CallLog& _log;
};

template <typename Pipeline>
class LoggingPipeline : public Pipeline {
public:
    LoggingPipeline(CallLog& log, const char* name) : _log(log), _name(name) {}
    void render() override { _log.push_back(_name); }

private:
    CallLog& _log;
    std::string _name;
};

const CallLog kUpdatedPass = {"game manager update", "root update",    "camera update",    "shadow mapping render",
                              "skybox render",       "volume render",  "game manager draw", "camera present"};
const CallLog kDrawOnlyPass = {"shadow mapping render", "skybox render", "volume render", "game manager draw",
                               "camera present"};

}  // namespace

class EngineLoopTest : public TestSupport::GLTest {
protected:
    void SetUp() override {
        TestSupport::GLTest::SetUp();
        _manager = new LoggingGameManager(_log);
        _camera = new LoggingCamera(_log);
        _root = new LoggingRoot(_log);
        gameManager = _manager;
        camera = _camera;
        rootObject = _root;
        shadowMappingPipeline = new LoggingPipeline<ShadowMappingPipeline>(_log, "shadow mapping render");
        skyboxPipeline = new LoggingPipeline<SkyboxRenderPipeline>(_log, "skybox render");
        volumePipeline = new LoggingPipeline<VolumeRenderingPipeline>(_log, "volume render");
        _savedFps = fps;
        _savedLastFrameTime = lastFrameTime;
    }

    void TearDown() override {
        delete shadowMappingPipeline;
        delete skyboxPipeline;
        delete volumePipeline;
        shadowMappingPipeline = nullptr;
        skyboxPipeline = nullptr;
        volumePipeline = nullptr;
        rootObject = nullptr;
        delete _root;
        delete _camera;  // clears the registry's camera
        gameManager = nullptr;
        delete _manager;
        fps = _savedFps;
        lastFrameTime = _savedLastFrameTime;
        glfwSetWindowShouldClose(window, GLFW_FALSE);
    }

    CallLog _log;
    LoggingGameManager* _manager = nullptr;
    LoggingCamera* _camera = nullptr;
    LoggingRoot* _root = nullptr;
    double _savedFps = 0.0;
    double _savedLastFrameTime = 0.0;
};

// Faults caught: a slow pass that still animates, one that skips drawing or leaves fps stale,
// and updates in another order or before fps is recorded.
TEST_F(EngineLoopTest, SlowPassSkipsUpdatesButRecordsFpsAndDrawsAndUpdatesRunManagerRootCamera) {
    struct Case {
        double dt;
        bool updates;
    };
    const Case cases[] = {{1.0 / 60.0, true}, {0.4999, true}, {0.5, false}, {3.0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "dt " << c.dt);
        _log.clear();
        _manager->_fpsSeenByUpdate.clear();
        _manager->_updateDts.clear();
        _root->_updateDts.clear();
        _camera->_updateDts.clear();
        fps = -1.0;

        runFrame(c.dt);

        EXPECT_EQ(_log, c.updates ? kUpdatedPass : kDrawOnlyPass);
        EXPECT_DOUBLE_EQ(fps, 1.0 / c.dt);
        if (c.updates) {
            // Each update gets the pass's dt, and the title update already sees this pass's fps.
            EXPECT_EQ(_manager->_updateDts, std::vector<double>{c.dt});
            EXPECT_EQ(_root->_updateDts, std::vector<double>{c.dt});
            EXPECT_EQ(_camera->_updateDts, std::vector<double>{c.dt});
            ASSERT_EQ(_manager->_fpsSeenByUpdate.size(), 1u);
            EXPECT_DOUBLE_EQ(_manager->_fpsSeenByUpdate[0], 1.0 / c.dt);
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Fault caught: a loop that tests the close request before drawing, or measures dt from
// something other than the previous pass's timer reading.
TEST_F(EngineLoopTest, RunDrawsThePassInWhichCloseIsRequestedAndTimesItFromTheLastPass) {
    // Ten seconds since the "previous pass": this pass draws without updating.
    const double before = glfwGetTime();
    lastFrameTime = before - 10.0;
    glfwSetWindowShouldClose(window, GLFW_TRUE);
    testing::internal::CaptureStdout();
    const int result = run();
    const std::string out = testing::internal::GetCapturedStdout();
    const double after = glfwGetTime();

    EXPECT_EQ(result, engineError);
    EXPECT_EQ(out, "VantorEngine run start\nVantorEngine run end\n");
    EXPECT_EQ(_log, kDrawOnlyPass);
    EXPECT_GE(lastFrameTime, before);
    EXPECT_LE(lastFrameTime, after);
    EXPECT_GT(fps, 1.0 / (10.0 + (after - before)) * 0.999);
    EXPECT_LE(fps, 1.0 / 10.0);
}

// Fault caught: a loop whose every pass is too slow to update draws the scene from the origin
// (the view matrix of a camera that was never updated) instead of from where the camera stands.
TEST_F(EngineLoopTest, SlowPassesStillSeeFromWhereTheCameraWasPlaced) {
    _camera->_position = vec3(0.0f, 0.0f, 3.0f);
    _camera->_horizontalAngle = 3.14f;  // looking along -z
    _camera->_verticalAngle = 0.0f;
    lastFrameTime = glfwGetTime() - 10.0;
    glfwSetWindowShouldClose(window, GLFW_TRUE);
    testing::internal::CaptureStdout();
    run();
    testing::internal::GetCapturedStdout();

    ASSERT_EQ(_log, kDrawOnlyPass);
    // The eye maps to the origin of eye space and the point one unit ahead of it onto -z.
    const vec4 eye = _camera->_viewMatrix * vec4(0.0f, 0.0f, 3.0f, 1.0f);
    const vec4 ahead = _camera->_viewMatrix * vec4(0.0f, 0.0f, 2.0f, 1.0f);
    EXPECT_NEAR(eye.x, 0.0f, 1e-5f);
    EXPECT_NEAR(eye.y, 0.0f, 1e-5f);
    EXPECT_NEAR(eye.z, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.x, 0.0f, 2e-3f);
    EXPECT_NEAR(ahead.y, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.z, -1.0f, 1e-5f);
}

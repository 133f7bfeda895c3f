// The demo's game manager on a real context: the scene its init builds, and the window title
// its update writes during a pass of the engine's loop.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Camera.h"
#include "DatasetCatalogue.h"
#include "DirectionalLight.h"
#include "Engine.h"
#include "FTGameManager.h"
#include "GLTestFixture.h"
#include "GameObject.h"
#include "IRenderPipeline.h"
#include "Light.h"
#include "ResourceCache.h"
#include "VolumeTexture.h"
#include "VolumetricObject.h"
#include "WindowTitle.h"

using namespace VantorEngine;
using FallowTide::FTGameManager;

namespace {

void expectVecNear(const vec3& actual, const vec3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// `expected` written column by column, as the matrix is stored.
void expectMatrixNear(const mat4& actual, const float (&expected)[16], float tolerance = 1e-5f) {
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            EXPECT_NEAR(actual[column][row], expected[4 * column + row], tolerance)
                << "element (" << column << ", " << row << ")";
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

// Records the nodes a traversal hands over, in order.
class VisitRecorder : public IRenderPipeline {
public:
    void render() override {}
    void draw(GameObject* object) override { _visited.push_back(object); }
    std::vector<GameObject*> _visited;
};

// A volume file of 4 × 4 × 2 voxels with its 6-byte size header.
std::string tinyVolumeBytes() {
    std::string bytes = {4, 0, 4, 0, 2, 0};
    for (int i = 0; i < 4 * 4 * 2; ++i) {
        bytes.push_back(static_cast<char>((i * 97) & 0xff));
        bytes.push_back(static_cast<char>(i & 0x0f));
    }
    return bytes;
}

}  // namespace

class FTGameManagerSceneTest : public TestSupport::GLTest {
protected:
    void SetUp() override {
        TestSupport::GLTest::SetUp();
        _savedLight = std::make_unique<DirectionalLight>(getDirectionalLight());
        // Anything but the demo's light, so that init has to replace it.
        setDirectionalLight(DirectionalLight(vec3(0.7f), vec3(0.6f), vec3(0.5f), vec3(1.0f, -1.0f, 0.0f),
                                             orthographic(-1.0f, 1.0f, -1.0f, 1.0f, -1.0f, 1.0f)));
        // Catalogue entry 0 is served from the cache by a tiny stand-in whose scale differs on
        // each axis, so that the exchange of y and z in the volume's placement shows.
        VolumeDescription tiny;
        tiny._path = _files.write("tiny.dat", tinyVolumeBytes());
        tiny._hasHeader = true;
        tiny._bitsPerSample = 12;
        testing::internal::CaptureStdout();  // its loading lines
        _volume = std::make_shared<VolumeTexture>(tiny);
        testing::internal::GetCapturedStdout();
        _volume->_volDescription._scale = vec3(0.5f, 0.25f, 2.0f);
        volumeTextureCache[FallowTide::datasetDescription(0)._path] = _volume;
        arguments = {"nimbrel", "256", "192", "60", "0", "0", "50"};
        rootObject = nullptr;

        testing::internal::CaptureStdout();
        _manager.init();
        _initOutput = testing::internal::GetCapturedStdout();
    }

    void TearDown() override {
        rootObject = nullptr;
        _manager.deinit();  // deletes the camera and the scene tree
        camera = nullptr;
        _volume.reset();
        clearResourceCaches();
        arguments.clear();
        setDirectionalLight(*_savedLight);
    }

    TestSupport::TempDir _files;
    std::unique_ptr<DirectionalLight> _savedLight;
    std::shared_ptr<VolumeTexture> _volume;
    FTGameManager _manager;
    std::string _initOutput;
};

// Faults caught: a changed banner, light, camera start, tree shape, node setting or volume
// placement (a missing, swapped or reordered turn, or a scale without the y/z exchange).
TEST_F(FTGameManagerSceneTest, InitBuildsTheDemoSceneAsDescribed) {
    Light* light = _manager._light;
    VolumetricObject* volume = _manager._volumetricObject;
    ASSERT_NE(light, nullptr);
    ASSERT_NE(volume, nullptr);
    ASSERT_NE(rootObject, nullptr);
    ASSERT_EQ(light->_children.size(), 1u);
    GameObject* marker = light->_children[0];
    GameObject* pivot = light->_parent;
    ASSERT_NE(pivot, nullptr);

    struct Row {
        const char* name;
        std::function<void()> check;
    };
    const Row rows[] = {
        {"banner: the first four lines init prints",
         [&] {
             const std::vector<std::string> printed = lines(_initOutput);
             const std::vector<std::string> banner = {
                 "Starting Nimbrel! demo", "_____________________________________________________________",
                 "F2: Toggle frame time display", "F3: Toggle wireframe mode"};
             ASSERT_GE(printed.size(), banner.size()) << _initOutput;
             EXPECT_EQ(std::vector<std::string>(printed.begin(), printed.begin() + 4), banner);
             EXPECT_EQ(banner[1].size(), 61u);
         }},
        {"directional light replaced",
         [&] {
             const DirectionalLight sun = getDirectionalLight();
             expectVecNear(sun._diffuseColor, vec3(0.03f));
             expectVecNear(sun._ambientColor, vec3(0.2f));
             expectVecNear(sun._specularColor, vec3(0.0f));
             expectVecNear(sun._direction, vec3(0.0f, -0.99388373f, 0.11043153f));
             const float projection[16] = {0.02f, 0, 0, 0, 0, 0.02f, 0, 0, 0, 0, -0.02f, 0, 0, -1, 0, 1};
             expectMatrixNear(sun._projectionMatrix, projection);
         }},
        {"camera at (0, 0, 3) and registered",
         [&] {
             ASSERT_NE(_manager._camera, nullptr);
             EXPECT_EQ(camera, _manager._camera);
             expectVecNear(_manager._camera->_position, vec3(0.0f, 0.0f, 3.0f), 0.0f);
         }},
        {"tree and traversal order: marker, light, pivot, volume, root",
         [&] {
             EXPECT_EQ(rootObject->_children, (std::vector<GameObject*>{pivot, volume}));
             EXPECT_EQ(pivot->_children, std::vector<GameObject*>{light});
             EXPECT_TRUE(marker->_children.empty());
             VisitRecorder recorder;
             rootObject->traverse(&recorder);
             EXPECT_EQ(recorder._visited, (std::vector<GameObject*>{marker, light, pivot, volume, rootObject}));
             // The pivot spins the light about +y at 20 degrees per second.
             expectVecNear(pivot->_rotationAxis, vec3(0.0f, 1.0f, 0.0f), 0.0f);
             EXPECT_EQ(pivot->_rotationSpeed, 20.0f);
             EXPECT_TRUE(pivot->_rotating);
             // The marker: the skybox cube, shrunk, drawn by the shadow-mapping pipeline.
             EXPECT_EQ(marker->_model, getOrCreateSkyboxModel());
             const float markerMatrix[16] = {1e-5f, 0, 0, 0, 0, 1e-5f, 0, 0, 0, 0, 1e-5f, 0, 0, 0, 0, 1};
             expectMatrixNear(marker->_localMatrix, markerMatrix, 1e-10f);
             EXPECT_TRUE(marker->_shadowMapped);
             EXPECT_FALSE(pivot->_shadowMapped);
         }},
        {"point light settings and range",
         [&] {
             expectVecNear(light->getPosition(), vec3(2.0f, 2.0f, 0.0f), 0.0f);
             EXPECT_EQ(light->_attenuationConstant, 1.0f);
             EXPECT_EQ(light->_attenuationLinear, 1.0f);
             EXPECT_EQ(light->_attenuationExp, 1.0f);
             expectVecNear(light->_diffuseColor, vec3(1.0f), 0.0f);
             expectVecNear(light->_ambientColor, vec3(0.1f), 0.0f);
             expectVecNear(light->_specularColor, vec3(1.0f), 0.0f);
             EXPECT_EQ(light->_shadowNear, 1.0f);
             EXPECT_EQ(light->_shadowFar, 100.0f);
             EXPECT_NEAR(light->_range, 45.307f, 0.001f);
             EXPECT_TRUE(light->_isLight);
         }},
        {"volume placement: scale (s.x, s.z, s.y), then 180 degrees about y, then 90 about x",
         [&] {
             // s = (0.5, 0.25, 2). The volume's own x goes to world -x, its y to world -z and its
             // z (the slice axis) to world -y, each scaled by s along its own axis.
             const float placement[16] = {-0.5f, 0, 0, 0, 0, 0, -0.25f, 0, 0, -2.0f, 0, 0, 0, 0, 0, 1};
             expectMatrixNear(volume->_localMatrix, placement);
             expectVecNear(volume->_halfExtents, vec3(0.5f, 2.0f, 0.25f));
         }},
        {"volume settings",
         [&] {
             EXPECT_EQ(volume->_volumeTexture, _volume);
             EXPECT_EQ(volumeTextureCache.size(), 1u) << "only catalogue entry 0 is requested";
             EXPECT_EQ(volume->_referenceSamplingRate, 50.0f);
             EXPECT_EQ(volume->_samplingRate, 50.0f);
             expectVecNear(volume->_lightColor, vec3(1.0f), 0.0f);
             expectVecNear(volume->_lightDirection, vec3(1.0f, -1.0f, 1.0f) / std::sqrt(3.0f));
             EXPECT_EQ(volume->_light, light);
             EXPECT_TRUE(volume->_isVolume);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.check();
    }
}

namespace {

// The camera's keyboard while the title is checked: W is held, so the camera moves in its own
// update; the cursor stays at the window centre, so the view does not turn.
int holdW(GLFWwindow*, int key) { return key == GLFW_KEY_W ? GLFW_PRESS : GLFW_RELEASE; }
void cursorAtCentre(GLFWwindow*, double* x, double* y) {
    *x = static_cast<double>(static_cast<unsigned>(windowSettings.width) / 2u);
    *y = static_cast<double>(static_cast<unsigned>(windowSettings.height) / 2u);
}
void ignoreCursorMove(GLFWwindow*, double, double) {}

}  // namespace

class FTGameManagerTitleTest : public TestSupport::GLTest {
protected:
    void SetUp() override {
        TestSupport::GLTest::SetUp();
        _savedTitle = TestSupport::readWindowTitle(window);
        _manager._camera = new Camera();
        _manager._camera->_input = Camera::Input{cursorAtCentre, ignoreCursorMove, holdW};
        camera = _manager._camera;
        gameManager = &_manager;
        rootObject = nullptr;  // no scene: the pass only updates, swaps and polls
    }
    void TearDown() override {
        gameManager = nullptr;
        _manager.deinit();  // deletes the camera, which clears the registry's
        glfwSetWindowTitle(window, _savedTitle.c_str());
    }

    FTGameManager _manager;
    std::string _savedTitle;
};

// Faults caught: a title built from another rate, time or position (the camera's position after
// its own update, say), one that drops the volume pipeline's text, and text that is not
// forgotten after it was shown once, or is forgotten by a pass that did not update.
TEST_F(FTGameManagerTitleTest, TitleShowsRateTimePreUpdatePositionAndTitleInfoOnce) {
    const double dt = 1.0 / 60.0;
    _manager._camera->_position = vec3(1.5f, -2.0f, 0.25f);
    _manager.setTitleInfo(" | focus slice z = 0.5");
    runFrame(dt);
    EXPECT_EQ(TestSupport::readWindowTitle(window),
              "Nimbrel! | FPS = 60 | Frametime = 16.6667 | ms | pos(1.5, -2, 0.25) | focus slice z = 0.5");
    EXPECT_NE(_manager._camera->_position, vec3(1.5f, -2.0f, 0.25f)) << "the camera moved after the title";
    EXPECT_TRUE(_manager._titleInfo.empty());

    // No new text: the next title ends with the position.
    _manager._camera->_position = vec3(-4.0f, 8.0f, 0.5f);
    runFrame(dt);
    EXPECT_EQ(TestSupport::readWindowTitle(window), "Nimbrel! | FPS = 60 | Frametime = 16.6667 | ms | pos(-4, 8, 0.5)");

    // A slow pass writes no title and keeps the text for the next one that does.
    _manager.setTitleInfo(" | focus slice z = 0.75");
    runFrame(0.5);
    EXPECT_EQ(TestSupport::readWindowTitle(window), "Nimbrel! | FPS = 60 | Frametime = 16.6667 | ms | pos(-4, 8, 0.5)");
    EXPECT_EQ(_manager._titleInfo, " | focus slice z = 0.75");
    _manager._camera->_position = vec3(0.0f, 0.0f, 3.0f);
    runFrame(0.0125);
    EXPECT_EQ(TestSupport::readWindowTitle(window),
              "Nimbrel! | FPS = 80 | Frametime = 12.5 | ms | pos(0, 0, 3) | focus slice z = 0.75");
}

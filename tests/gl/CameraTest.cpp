// The free camera on a real context: projection, mouse look and key movement through substituted
// cursor and key functions (the real pointer is shared by every test process on the display),
// and present.
#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "Camera.h"
#include "Engine.h"
#include "FrameBuffer.h"
#include "GLTestFixture.h"
#include "RenderTexture.h"

using namespace VantorEngine;

namespace {

// Keys the fake keyboard reports as pressed, and the fake cursor with its moves by the camera.
std::set<int> heldKeys;
double cursorX = 0.0, cursorY = 0.0;
std::vector<std::pair<double, double>> cursorMoves;

int fakeGetKey(GLFWwindow*, int key) { return heldKeys.count(key) ? GLFW_PRESS : GLFW_RELEASE; }
void fakeGetCursorPos(GLFWwindow*, double* x, double* y) {
    *x = cursorX;
    *y = cursorY;
}
void fakeSetCursorPos(GLFWwindow*, double x, double y) {
    cursorX = x;
    cursorY = y;
    cursorMoves.emplace_back(x, y);
}
Camera::Input fakeInput() { return Camera::Input{fakeGetCursorPos, fakeSetCursorPos, fakeGetKey}; }

void expectVecNear(const vec3& actual, const vec3& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

}  // namespace

class CameraTest : public TestSupport::GLTest {
protected:
    void SetUp() override {
        TestSupport::GLTest::SetUp();
        _savedSettings = windowSettings;
        heldKeys.clear();
        cursorMoves.clear();
        cursorX = windowSettings.width / 2;
        cursorY = windowSettings.height / 2;
    }
    void TearDown() override {
        windowSettings = _savedSettings;
        camera = nullptr;
    }
    WindowSettings _savedSettings;
};

TEST_F(CameraTest, StartsWithDocumentedViewAndProjectionAt1024x768) {
    windowSettings.width = 1024;
    windowSettings.height = 768;
    Camera cam;
    EXPECT_EQ(cam._position, vec3(0.0f, 2.0f, 25.0f));
    EXPECT_FLOAT_EQ(cam._horizontalAngle, 3.14f);
    EXPECT_EQ(cam._viewMatrix, mat4(1.0f));  // until the first update
    const mat4& p = cam._projectionMatrix;
    EXPECT_NEAR(p[0][0], 1.81066f, 1e-4f);
    EXPECT_NEAR(p[1][1], 2.41421f, 1e-4f);
    EXPECT_NEAR(p[2][2], -1.00040f, 1e-5f);
    EXPECT_NEAR(p[3][2], -0.0200040f, 1e-6f);
    EXPECT_FLOAT_EQ(p[2][3], -1.0f);
    EXPECT_FLOAT_EQ(p[3][3], 0.0f);
    EXPECT_FLOAT_EQ(p[0][1], 0.0f);
    EXPECT_FLOAT_EQ(p[2][0], 0.0f);
    // The targets take the window size.
    EXPECT_EQ(cam._colorTexture->_width, 1024);
    EXPECT_EQ(cam._colorTexture->_height, 768);
    EXPECT_EQ(cam._colorTexture->_type, RGBA8);
    EXPECT_EQ(cam._depthTexture->_type, DEPTH24_STENCIL8);
    EXPECT_EQ(cam._frameBuffer->_width, 1024);
    // Input comes from GLFW unless replaced.
    EXPECT_EQ(cam._input.getKey, &glfwGetKey);
    EXPECT_EQ(cam._input.getCursorPos, &glfwGetCursorPos);
    EXPECT_EQ(cam._input.setCursorPos, &glfwSetCursorPos);
}

TEST_F(CameraTest, FrameBufferHoldsColourAndDepthStencilTargets) {
    Camera cam;
    glBindFramebuffer(GL_FRAMEBUFFER, cam._frameBuffer->_id);
    GLint colour = 0, depthStencil = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &colour);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &depthStencil);
    EXPECT_EQ(static_cast<GLuint>(colour), cam._colorTexture->_id);
    EXPECT_EQ(static_cast<GLuint>(depthStencil), cam._depthTexture->_id);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

TEST_F(CameraTest, DestructorClearsOnlyItsOwnRegistryEntry) {
    auto* registered = new Camera;
    auto* other = new Camera;
    camera = registered;
    delete other;
    EXPECT_EQ(camera, registered);
    delete registered;
    EXPECT_EQ(camera, nullptr);
}

TEST_F(CameraTest, VectorsAndViewFollowTheAngles) {
    Camera cam;
    cam._input = fakeInput();
    cam.update(0.0);
    expectVecNear(cam._direction, vec3(0.0016f, 0.0f, -1.0f), 1e-4f);
    expectVecNear(cam._right, vec3(1.0f, 0.0f, 0.0008f), 1e-4f);
    const vec3 up = glm::cross(cam._right, cam._direction);
    expectVecNear(up, vec3(0.0f, 1.0f, 0.0f), 1e-4f);
    // The eye maps to the origin and the viewing direction to -z.
    expectVecNear(vec3(cam._viewMatrix * vec4(cam._position, 1.0f)), vec3(0.0f), 1e-4f);
    expectVecNear(vec3(cam._viewMatrix * vec4(cam._direction, 0.0f)), vec3(0.0f, 0.0f, -1.0f), 1e-5f);

    // Pitch is not limited: past a quarter turn the image turns over.
    cam._verticalAngle = 2.0f;
    cam.update(0.0);
    EXPECT_LT(glm::cross(cam._right, cam._direction).y, 0.0f);
    EXPECT_LT(cam._viewMatrix[1][1], 0.0f);
}

TEST_F(CameraTest, WithoutAWindowTheViewStillFollowsTheAngles) {
    Camera cam;
    heldKeys = {GLFW_KEY_W};
    cam._input = fakeInput();
    GLFWwindow* const saved = window;
    window = nullptr;
    cam._horizontalAngle = 0.0f;  // looking along +z
    cam.update(1.0);
    window = saved;
    EXPECT_EQ(cam._position, vec3(0.0f, 2.0f, 25.0f));  // no keyboard, no movement
    expectVecNear(cam._direction, vec3(0.0f, 0.0f, 1.0f), 1e-6f);
    expectVecNear(vec3(cam._viewMatrix * vec4(0.0f, 2.0f, 26.0f, 1.0f)), vec3(0.0f, 0.0f, -1.0f), 1e-5f);
}

TEST_F(CameraTest, CentreOfAnOddSizedWindowIsRoundedDown) {
    windowSettings.width = 257;
    windowSettings.height = 193;
    Camera cam;
    cam._input = fakeInput();
    cursorX = 128.0;
    cursorY = 96.0;
    const float horizontal = cam._horizontalAngle, vertical = cam._verticalAngle;
    cam.update(0.0);
    EXPECT_EQ(cam._horizontalAngle, horizontal);
    EXPECT_EQ(cam._verticalAngle, vertical);
    EXPECT_EQ(cursorMoves, (std::vector<std::pair<double, double>>{{128.0, 96.0}}));
}

struct CameraMouseCase {
    const char* name;
    int dx, dy;  // cursor offset from the window centre, pixels
    float horizontalChange, verticalChange;
};

class CameraMouseTest : public CameraTest, public ::testing::WithParamInterface<CameraMouseCase> {};

TEST_P(CameraMouseTest, CursorOffsetTurnsTheViewAndIsRecentred) {
    const CameraMouseCase& c = GetParam();
    Camera cam;
    cam._input = fakeInput();
    const int centreX = windowSettings.width / 2, centreY = windowSettings.height / 2;
    cursorX = centreX + c.dx;
    cursorY = centreY + c.dy;

    const float horizontal = cam._horizontalAngle, vertical = cam._verticalAngle;
    cam.update(0.0);
    EXPECT_NEAR(cam._horizontalAngle - horizontal, c.horizontalChange, 1e-5f);
    EXPECT_NEAR(cam._verticalAngle - vertical, c.verticalChange, 1e-5f);
    // The cursor is put back at the centre on every update.
    EXPECT_EQ(cursorMoves, (std::vector<std::pair<double, double>>{{centreX, centreY}}));

    // A second update with the cursor left at the centre turns no further.
    const float afterFirst = cam._horizontalAngle, verticalAfterFirst = cam._verticalAngle;
    cam.update(0.0);
    EXPECT_EQ(cam._horizontalAngle, afterFirst);
    EXPECT_EQ(cam._verticalAngle, verticalAfterFirst);
    EXPECT_EQ(cursorMoves.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CameraMouseTest,
    ::testing::Values(CameraMouseCase{"AtCentre", 0, 0, 0.0f, 0.0f},
                      CameraMouseCase{"RightTurnsRight", 100, 0, -0.5f, 0.0f},
                      CameraMouseCase{"UpTiltsUp", 0, -40, 0.0f, 0.2f},
                      CameraMouseCase{"LeftAndDown", -30, 20, 0.15f, -0.1f}),
    [](const ::testing::TestParamInfo<CameraMouseCase>& info) { return std::string(info.param.name); });

struct CameraKeyCase {
    const char* name;
    std::set<int> keys;
    double dt;
    // Expected displacement as multiples of the camera's direction, right and up vectors.
    float alongDirection, alongRight, alongUp;
};

class CameraKeyTest : public CameraTest, public ::testing::WithParamInterface<CameraKeyCase> {};

TEST_P(CameraKeyTest, KeysMoveAlongTheCameraAxes) {
    const CameraKeyCase& c = GetParam();
    Camera cam;
    cam._input = fakeInput();
    cam.update(0.0);  // settle the axes without moving
    const vec3 start = cam._position;
    const vec3 direction = cam._direction, right = cam._right, up = glm::cross(right, direction);

    heldKeys = c.keys;
    cam.update(c.dt);
    // The axes are not quite orthogonal (the right vector uses 1.57), so compare whole vectors.
    const vec3 expected = start + direction * c.alongDirection + right * c.alongRight + up * c.alongUp;
    expectVecNear(cam._position, expected, 1e-5f);
    if (c.alongDirection == 0.0f && c.alongRight == 0.0f && c.alongUp == 0.0f) {
        EXPECT_EQ(cam._position, start);  // opposite keys cancel exactly
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CameraKeyTest,
    ::testing::Values(
        CameraKeyCase{"NoKeys", {}, 1.0, 0, 0, 0},
        CameraKeyCase{"ForwardForOneSecond", {GLFW_KEY_W}, 1.0, 0.2f, 0, 0},
        CameraKeyCase{"ShiftIsTenTimesFaster", {GLFW_KEY_W, GLFW_KEY_LEFT_SHIFT}, 1.0, 2.0f, 0, 0},
        CameraKeyCase{"Backward", {GLFW_KEY_S}, 0.5, -0.1f, 0, 0},
        CameraKeyCase{"ForwardAndBackwardCancel", {GLFW_KEY_W, GLFW_KEY_S}, 1.0, 0, 0, 0},
        CameraKeyCase{"RightAndLeftCancel", {GLFW_KEY_D, GLFW_KEY_A, GLFW_KEY_LEFT_SHIFT}, 1.0, 0, 0, 0},
        CameraKeyCase{"StrafeRight", {GLFW_KEY_D}, 1.0, 0, 0.2f, 0},
        CameraKeyCase{"StrafeLeftFast", {GLFW_KEY_A, GLFW_KEY_LEFT_SHIFT}, 0.25, 0, -0.5f, 0},
        CameraKeyCase{"SpaceRises", {GLFW_KEY_SPACE}, 1.0, 0, 0, 0.2f},
        CameraKeyCase{"ControlSinks", {GLFW_KEY_LEFT_CONTROL}, 1.0, 0, 0, -0.2f},
        CameraKeyCase{"RightShiftIsNotFast", {GLFW_KEY_W, GLFW_KEY_RIGHT_SHIFT}, 1.0, 0.2f, 0, 0},
        CameraKeyCase{"Diagonal", {GLFW_KEY_W, GLFW_KEY_D, GLFW_KEY_SPACE}, 1.0, 0.2f, 0.2f, 0.2f}),
    [](const ::testing::TestParamInfo<CameraKeyCase>& info) { return std::string(info.param.name); });

struct CameraPresentCase {
    const char* name;
    int width, height;  // windowSettings while the camera exists; the window stays 256 x 192
};

class CameraPresentTest : public CameraTest, public ::testing::WithParamInterface<CameraPresentCase> {};

TEST_P(CameraPresentTest, CopiesExactlyTheSettingsRectangle) {
    const CameraPresentCase& c = GetParam();
    windowSettings.width = c.width;
    windowSettings.height = c.height;
    Camera cam;
    cam._frameBuffer->bind();
    cam._frameBuffer->clear(true, true, true, vec4(1.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0);
    cam._frameBuffer->unbind();
    glClearColor(0.0f, 0.0f, 1.0f, 1.0f);  // what the window is cleared to outside the copy
    cam.present();
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    std::vector<unsigned char> pixels(TestSupport::kTestWidth * TestSupport::kTestHeight * 4);
    glReadPixels(0, 0, TestSupport::kTestWidth, TestSupport::kTestHeight, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.data());
    int red = 0, blue = 0, insideWrong = 0, outsideWrong = 0;
    for (int y = 0; y < TestSupport::kTestHeight; ++y) {
        for (int x = 0; x < TestSupport::kTestWidth; ++x) {
            const unsigned char* p = &pixels[(y * TestSupport::kTestWidth + x) * 4];
            const bool isRed = p[0] == 255 && p[1] == 0 && p[2] == 0;
            const bool isBlue = p[0] == 0 && p[1] == 0 && p[2] == 255;
            red += isRed;
            blue += isBlue;
            const bool inside = x < c.width && y < c.height;
            if (inside && !isRed) ++insideWrong;
            if (!inside && !isBlue) ++outsideWrong;
        }
    }
    EXPECT_EQ(insideWrong, 0);
    EXPECT_EQ(outsideWrong, 0);
    EXPECT_EQ(red, std::min(c.width, TestSupport::kTestWidth) * std::min(c.height, TestSupport::kTestHeight));
}

INSTANTIATE_TEST_SUITE_P(Cases, CameraPresentTest,
                         ::testing::Values(CameraPresentCase{"WholeWindow", 256, 192},
                                           CameraPresentCase{"LowerLeftPart", 100, 60},
                                           CameraPresentCase{"OddSize", 131, 77}),
                         [](const ::testing::TestParamInfo<CameraPresentCase>& info) {
                             return std::string(info.param.name);
                         });

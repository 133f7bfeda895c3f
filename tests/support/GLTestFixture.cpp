#include "GLTestFixture.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Engine.h"
#include "GLStateCache.h"

namespace TestSupport {

namespace {
GLFWwindow* testWindow = nullptr;
bool contextFailed = false;
}  // namespace

bool ensureGLContext(int width, int height) {
    if (testWindow) return true;
    if (contextFailed) return false;
    // What GLFW says about a refused display or context, so a failure names its cause.
    glfwSetErrorCallback([](int code, const char* text) { std::fprintf(stderr, "GLFW error %d: %s\n", code, text); });
    // A busy X server occasionally refuses a connection for a moment as well; try a few times.
    bool glfwReady = false;
    for (int attempt = 0; attempt < 5 && !glfwReady; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200 * attempt));
        glfwReady = glfwInit() == GLFW_TRUE;
    }
    if (!glfwReady) {
        contextFailed = true;
        return false;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 3);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    // A busy X server occasionally refuses a new context for a moment; try a few times.
    for (int attempt = 0; attempt < 5 && !testWindow; ++attempt) {
        if (attempt > 0) std::this_thread::sleep_for(std::chrono::milliseconds(200 * attempt));
        testWindow = glfwCreateWindow(width, height, "Vantor Engine test", nullptr, nullptr);
    }
    if (!testWindow) {
        contextFailed = true;
        return false;
    }
    glfwMakeContextCurrent(testWindow);
    glewExperimental = GL_TRUE;
    if (glewInit() != GLEW_OK) {
        contextFailed = true;
        return false;
    }
    glGetError();
    // The core profile has no default vertex array object.
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    VantorEngine::window = testWindow;
    VantorEngine::windowSettings.width = width;
    VantorEngine::windowSettings.height = height;
    return true;
}

void resetGLStateCaches() {
    VantorEngine::currentViewport = VantorEngine::Viewport{};
    glActiveTexture(GL_TEXTURE0);
    VantorEngine::activeTextureUnit = 0;
}

void GLTest::SetUp() {
    // CI always has Xvfb; a missing context is a failure there, not a skip.
    ASSERT_TRUE(ensureGLContext()) << "no OpenGL 3.3 core context (run under xvfb-run)";
    resetGLStateCaches();
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nimbrel-test-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    _path = made ? std::string(made) : std::string();
}

TempDir::~TempDir() {
    if (!_path.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(_path, ec);
    }
}

std::string TempDir::write(const std::string& name, const std::string& bytes) const {
    const std::string full = file(name);
    std::ofstream out(full, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

}  // namespace TestSupport

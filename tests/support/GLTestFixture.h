#pragma once
// A hidden OpenGL 3.3 core window for tests that need real GL (Mesa llvmpipe under Xvfb).
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <string>

struct GLFWwindow;

namespace TestSupport {

constexpr int kTestWidth = 256;
constexpr int kTestHeight = 192;

// Creates the window and context once per process (hidden, 3.3 core), loads GLEW, binds a
// vertex array object so buffer binds work, registers the window and its size in the engine
// registry (VantorEngine::window, VantorEngine::windowSettings). Returns false when no display
// or no 3.3 context is available.
bool ensureGLContext(int width = kTestWidth, int height = kTestHeight);

// Resets the engine's GL state caches to their start values and GL to texture unit 0.
void resetGLStateCaches();

// Fixture: every test starts on a current context with fresh caches.
class GLTest : public ::testing::Test {
protected:
    void SetUp() override;
};

// A fresh folder under the system temporary directory, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return _path; }
    std::string file(const std::string& name) const { return _path + "/" + name; }
    // Writes `bytes` to `name` inside the folder and returns the full path.
    std::string write(const std::string& name, const std::string& bytes) const;

private:
    std::string _path;
};

}  // namespace TestSupport

#pragma once
// Helpers for the GPU resource tests: counting wrappers around GLEW entry points, tiny shader
// programs written to a temporary folder, and state read-back.
#include <GL/glew.h>

#include <string>
#include <vector>

#include "GLTestFixture.h"

namespace ResourceTests {

// While alive, every glActiveTexture call is counted (and still performed).
struct ActiveTextureCounter {
    static inline int calls = 0;
    static inline PFNGLACTIVETEXTUREPROC real = nullptr;
    static void GLAPIENTRY counting(GLenum unit) {
        ++calls;
        real(unit);
    }
    ActiveTextureCounter() {
        calls = 0;
        real = __glewActiveTexture;
        __glewActiveTexture = counting;
    }
    ~ActiveTextureCounter() { __glewActiveTexture = real; }
};

// Records the type of every shader object created.
struct CreateShaderRecorder {
    static inline std::vector<GLenum> types;
    static inline PFNGLCREATESHADERPROC real = nullptr;
    static GLuint GLAPIENTRY recording(GLenum type) {
        types.push_back(type);
        return real(type);
    }
    CreateShaderRecorder() {
        types.clear();
        real = __glewCreateShader;
        __glewCreateShader = recording;
    }
    ~CreateShaderRecorder() { __glewCreateShader = real; }
};

struct CreateProgramCounter {
    static inline int calls = 0;
    static inline PFNGLCREATEPROGRAMPROC real = nullptr;
    static GLuint GLAPIENTRY counting() {
        ++calls;
        return real();
    }
    CreateProgramCounter() {
        calls = 0;
        real = __glewCreateProgram;
        __glewCreateProgram = counting;
    }
    ~CreateProgramCounter() { __glewCreateProgram = real; }
};

struct GetUniformLocationCounter {
    static inline int calls = 0;
    static inline PFNGLGETUNIFORMLOCATIONPROC real = nullptr;
    static GLint GLAPIENTRY counting(GLuint program, const GLchar* name) {
        ++calls;
        return real(program, name);
    }
    GetUniformLocationCounter() {
        calls = 0;
        real = __glewGetUniformLocation;
        __glewGetUniformLocation = counting;
    }
    ~GetUniformLocationCounter() { __glewGetUniformLocation = real; }
};

// Records the list handed to every glDrawBuffers call.
struct DrawBuffersRecorder {
    static inline std::vector<std::vector<GLenum>> calls;
    static inline PFNGLDRAWBUFFERSPROC real = nullptr;
    static void GLAPIENTRY recording(GLsizei n, const GLenum* buffers) {
        calls.emplace_back(buffers, buffers + n);
        real(n, buffers);
    }
    DrawBuffersRecorder() {
        calls.clear();
        real = __glewDrawBuffers;
        __glewDrawBuffers = recording;
    }
    ~DrawBuffersRecorder() { __glewDrawBuffers = real; }
};

inline GLint getInteger(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

inline GLint levelParameter(GLenum target, GLint level, GLenum name) {
    GLint value = 0;
    glGetTexLevelParameteriv(target, level, name, &value);
    return value;
}

inline GLint textureParameter(GLenum target, GLenum name) {
    GLint value = 0;
    glGetTexParameteriv(target, name, &value);
    return value;
}

// A fresh context state for resource tests: earlier tests in the same process may have left
// GL errors (a broken program's lookups) or deleted the bound vertex array object.
class ResourceGLTest : public TestSupport::GLTest {
protected:
    void SetUp() override {
        TestSupport::GLTest::SetUp();
        if (HasFatalFailure()) return;  // no context: nothing below may touch GL
        while (glGetError() != GL_NO_ERROR) {
        }
        if (getInteger(GL_VERTEX_ARRAY_BINDING) == 0) {
            GLuint vao = 0;
            glGenVertexArrays(1, &vao);
            glBindVertexArray(vao);
        }
    }
};

// The path with every '/' turned into '\', the way resource paths are written.
inline std::string backslashed(std::string path) {
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Passes the position through and writes a constant colour.
constexpr const char* kPassVertexShader =
    "#version 330 core\n"
    "layout(location = 0) in vec3 position;\n"
    "layout(location = 1) in vec2 uv;\n"
    "out vec2 texCoord;\n"
    "void main() { texCoord = uv; gl_Position = vec4(position, 1.0); }\n";

constexpr const char* kColourFragmentShader =
    "#version 330 core\n"
    "uniform vec4 colour;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = colour; }\n";

// Samples a 2D texture on unit 0 at the interpolated coordinate.
constexpr const char* kSampleFragmentShader =
    "#version 330 core\n"
    "uniform sampler2D image;\n"
    "in vec2 texCoord;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = texture(image, texCoord); }\n";

}  // namespace ResourceTests

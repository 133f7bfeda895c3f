#include "GLSLProgram.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <vector>

#include "FilePath.h"

namespace VantorEngine {

namespace {

constexpr GLsizei kShaderLogSize = 2048;

// After a link failure the user gets to read the log before the process ends; without a
// terminal on standard input (CI, pipes) nobody can answer, so the process ends at once.
[[noreturn]] void waitForKeyAndExit() {
    if (isatty(STDIN_FILENO)) {
        std::printf("Press any key to continue . . .");
        std::fflush(stdout);
        std::getchar();
    }
    std::exit(1);
}

// Hands `source` to `shader` as one NUL-terminated string and compiles it.
void compileSource(GLuint shader, const std::string& source) {
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
}

}  // namespace

std::string readShaderFile(const std::string& path) {
    std::ifstream file(nativePath(path));
    if (!file.is_open()) {
        std::printf("Impossible to open %s. Are you in the right directory?\n", path.c_str());
        return std::string();
    }
    std::string result;
    std::string line;
    while (std::getline(file, line, '\n')) {
        result += '\n';
        result += line;
    }
    return result;
}

int checkShaderCompiled(GLuint shader, GLint& status) {
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status) return 1;
    char log[kShaderLogSize] = {};
    GLsizei length = 0;
    glGetShaderInfoLog(shader, kShaderLogSize, &length, log);
    std::printf("Error: shader(%04d), Info log: %s\n", static_cast<int>(shader), log);
    glDeleteShader(shader);
    return 0;
}

GLuint compileProgram(const std::string& vertexShaderPath, const std::string& fragmentShaderPath,
                      const std::string& geometryShaderPath) {
    const GLuint vertexShader = glCreateShader(GL_VERTEX_SHADER);
    const GLuint fragmentShader = glCreateShader(GL_FRAGMENT_SHADER);
    const GLuint program = glCreateProgram();
    GLint status = 0;

    if (!vertexShaderPath.empty()) {
        compileSource(vertexShader, readShaderFile(vertexShaderPath));
        glAttachShader(program, vertexShader);
        if (!checkShaderCompiled(vertexShader, status)) {
            std::printf("<compileProgram compilation error with vertexShader>:\n");
            std::printf("%s\n", vertexShaderPath.c_str());
            return 0;
        }
    }
    if (!fragmentShaderPath.empty()) {
        compileSource(fragmentShader, readShaderFile(fragmentShaderPath));
        glAttachShader(program, fragmentShader);
        if (!checkShaderCompiled(fragmentShader, status)) {
            std::printf("<compileProgram compilation error with fragmentShader>:\n");
            std::printf("%s\n", fragmentShaderPath.c_str());
            return 0;
        }
    }
    if (!geometryShaderPath.empty()) {
        const std::string source = readShaderFile(geometryShaderPath);
        const GLuint geometryShader = glCreateShader(GL_GEOMETRY_SHADER);
        compileSource(geometryShader, source);
        if (!checkShaderCompiled(geometryShader, status)) {
            std::printf("<compileProgram compilation error with geomShader>:\n");
            std::printf("%s\n", geometryShaderPath.c_str());
            return 0;
        }
        // Attached only once it is known to have compiled.
        glAttachShader(program, geometryShader);
    }

    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (linked) return program;

    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    // One byte more than reported keeps the log terminated even when a driver reports 0.
    std::vector<char> log(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    glGetProgramInfoLog(program, length, &length, log.data());
    std::fprintf(stderr, "Failed to link program:\n%s\n", log.data());
    std::fflush(stderr);
    glDeleteProgram(program);
    std::fflush(stdout);
    waitForKeyAndExit();
}

GLSLProgram::GLSLProgram(const std::string& vertexShaderPath, const std::string& fragmentShaderPath,
                         const std::string& geometryShaderPath) {
    _id = compileProgram(vertexShaderPath, fragmentShaderPath, geometryShaderPath);
}

GLSLProgram::~GLSLProgram() {
    if (_id != 0) glDeleteProgram(_id);
}

void GLSLProgram::bind() { glUseProgram(_id); }

void GLSLProgram::unbind() { glUseProgram(0); }

GLint GLSLProgram::getUniformLocation(const std::string& name) {
    bind();
    const auto found = _uniformLocations.find(name);
    if (found != _uniformLocations.end()) return found->second;
    const GLint location = glGetUniformLocation(_id, name.c_str());
    _uniformLocations.emplace(name, location);
    if (location == -1) {
        std::cout << "glGetUniformLocation failed for shader " << static_cast<unsigned>(_id) << " uniform \""
                  << name << "\"" << std::endl;
    }
    return location;
}

}  // namespace VantorEngine

// Shader programs: the read-compile-attach-link sequence, its diagnostics and the uniform cache.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "GLSLProgram.h"
#include "GLTestFixture.h"
#include "ResourceTestHelpers.h"

using namespace VantorEngine;
using namespace ResourceTests;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

namespace {

constexpr const char* kBrokenShader = "#version 330 core\nvoid main() { this is not glsl; }\n";

constexpr const char* kGeometryShader =
    "#version 330 core\n"
    "layout(triangles) in;\n"
    "layout(triangle_strip, max_vertices = 3) out;\n"
    "in vec2 texCoord[];\n"
    "out vec2 texCoordG;\n"
    "void main() {\n"
    "  for (int i = 0; i < 3; ++i) { texCoordG = texCoord[i]; gl_Position = gl_in[i].gl_Position; EmitVertex(); }\n"
    "  EndPrimitive();\n"
    "}\n";

constexpr const char* kGeometryFragmentShader =
    "#version 330 core\n"
    "in vec2 texCoordG;\n"
    "out vec4 fragColour;\n"
    "void main() { fragColour = vec4(texCoordG, 0.0, 1.0); }\n";

class GLSLProgramTest : public ResourceGLTest {
protected:
    TestSupport::TempDir dir;
    std::string vs() { return dir.write("pass.vs", kPassVertexShader); }
    std::string fs() { return dir.write("colour.fs", kColourFragmentShader); }
};

GLint attachedShaderCount(GLuint program) {
    GLint count = 0;
    glGetProgramiv(program, GL_ATTACHED_SHADERS, &count);
    return count;
}

TEST_F(GLSLProgramTest, LinksVertexAndFragmentStagesWithoutAGeometryShader) {
    const std::string v = vs();
    const std::string f = fs();
    CreateShaderRecorder recorder;
    GLSLProgram program(v, f, "");
    ASSERT_NE(program._id, 0u);
    GLint linked = 0;
    glGetProgramiv(program._id, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    EXPECT_EQ(attachedShaderCount(program._id), 2);
    EXPECT_EQ(recorder.types, (std::vector<GLenum>{GL_VERTEX_SHADER, GL_FRAGMENT_SHADER}));
    EXPECT_TRUE(program._uniformLocations.empty());
}

TEST_F(GLSLProgramTest, GeometryStageIsCreatedLastAndAttached) {
    const std::string v = vs();
    const std::string g = dir.write("pass.gs", kGeometryShader);
    const std::string f = dir.write("geom.fs", kGeometryFragmentShader);
    CreateShaderRecorder recorder;
    GLSLProgram program(v, f, g);
    ASSERT_NE(program._id, 0u);
    EXPECT_EQ(attachedShaderCount(program._id), 3);
    EXPECT_EQ(recorder.types, (std::vector<GLenum>{GL_VERTEX_SHADER, GL_FRAGMENT_SHADER, GL_GEOMETRY_SHADER}));
}

TEST_F(GLSLProgramTest, SourceHandedToTheDriverStartsWithANewlineAndHasNoTrailingOne) {
    GLSLProgram program(vs(), fs(), "");
    ASSERT_NE(program._id, 0u);
    GLuint shaders[2] = {};
    GLsizei count = 0;
    glGetAttachedShaders(program._id, 2, &count, shaders);
    ASSERT_EQ(count, 2);
    for (GLuint shader : shaders) {
        char source[1024] = {};
        glGetShaderSource(shader, sizeof source, nullptr, source);
        const std::string text(source);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.front(), '\n');
        EXPECT_NE(text.back(), '\n');
    }
}

TEST_F(GLSLProgramTest, BackslashPathsOpenThroughTheNativeForm) {
    GLSLProgram program(backslashed(vs()), backslashed(fs()), "");
    EXPECT_NE(program._id, 0u);
}

struct CompileFailure {
    const char* name;
    int brokenStage;  // 0 vertex, 1 fragment, 2 geometry
    const char* label;
};

class GLSLProgramCompileFailure : public GLSLProgramTest,
                                  public ::testing::WithParamInterface<CompileFailure> {};

TEST_P(GLSLProgramCompileFailure, ReportsTheStageAndPathAndYieldsIdZero) {
    const CompileFailure& c = GetParam();
    const std::string broken = dir.write("broken.glsl", kBrokenShader);
    const std::string v = c.brokenStage == 0 ? broken : vs();
    const std::string f = c.brokenStage == 1 ? broken : dir.write("geom.fs", kGeometryFragmentShader);
    const std::string g = c.brokenStage == 2 ? broken : dir.write("pass.gs", kGeometryShader);
    CaptureStdout();
    GLSLProgram program(v, f, g);
    std::fflush(stdout);
    const std::string out = GetCapturedStdout();
    EXPECT_EQ(program._id, 0u);
    EXPECT_EQ(program._uniformLocations.size(), 0u);

    // "Error: shader(NNNN), Info log: ..." with the name zero-padded to four digits.
    const size_t at = out.find("Error: shader(");
    ASSERT_NE(at, std::string::npos) << out;
    EXPECT_EQ(out.substr(at + 18, 13), "), Info log: ") << out;
    const GLuint failed = static_cast<GLuint>(std::stoul(out.substr(at + 14, 4)));
    // An attached shader is only flagged for deletion; a detached one is gone at once.
    GLint flagged = GL_TRUE;
    if (glIsShader(failed)) glGetShaderiv(failed, GL_DELETE_STATUS, &flagged);
    EXPECT_EQ(flagged, GL_TRUE) << "the shader that failed is deleted";
    const std::string tail = std::string("<compileProgram compilation error with ") + c.label + ">:\n" + broken + "\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail) << out;
    // Stages after the failing one are never read.
    EXPECT_EQ(out.find("Error: shader(", at + 1), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Stages, GLSLProgramCompileFailure,
                         ::testing::Values(CompileFailure{"Vertex", 0, "vertexShader"},
                                           CompileFailure{"Fragment", 1, "fragmentShader"},
                                           CompileFailure{"Geometry", 2, "geomShader"}),
                         [](const ::testing::TestParamInfo<CompileFailure>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(GLSLProgramTest, MissingFileIsReportedAndCompiledFromAnEmptySource) {
    const std::string missing = backslashed(dir.file("nowhere.vs"));
    CaptureStdout();
    GLSLProgram program(missing, fs(), "");
    std::fflush(stdout);
    const std::string out = GetCapturedStdout();
    EXPECT_NE(out.find("Impossible to open " + missing + ". Are you in the right directory?\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("<compileProgram compilation error with vertexShader>:\n" + missing + "\n"), std::string::npos)
        << out;
    EXPECT_EQ(program._id, 0u);
}

TEST_F(GLSLProgramTest, LinkFailureReportsOnStandardErrorAndExitsWithStatusOneWithoutWaiting) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Compiles, but a vertex stage without main cannot link.
    const std::string noMain = dir.write("nomain.vs", "#version 330 core\nvoid helper() {}\n");
    const std::string f = fs();
    // Standard input is not a terminal in the child, so nothing waits for a key.
    EXPECT_EXIT(
        {
            std::freopen("/dev/null", "r", stdin);
            GLSLProgram program(noMain, f, "");
        },
        ::testing::ExitedWithCode(1), "Failed to link program:\n");
}

TEST_F(GLSLProgramTest, UniformLookupAsksTheDriverOncePerNameAndReportsAMissingOneOnce) {
    GLSLProgram program(vs(), fs(), "");
    ASSERT_NE(program._id, 0u);
    GetUniformLocationCounter counter;

    CaptureStdout();
    const GLint first = program.getUniformLocation("colour");
    const GLint second = program.getUniformLocation("colour");
    const GLint missing = program.getUniformLocation("nope");
    const GLint missingAgain = program.getUniformLocation("nope");
    std::fflush(stdout);
    const std::string out = GetCapturedStdout();

    EXPECT_GE(first, 0);
    EXPECT_EQ(second, first);
    EXPECT_EQ(missing, -1);
    EXPECT_EQ(missingAgain, -1);
    EXPECT_EQ(counter.calls, 2);
    EXPECT_EQ(out, "glGetUniformLocation failed for shader " + std::to_string(program._id) + " uniform \"nope\"\n");
    EXPECT_EQ(program._uniformLocations.at("nope"), -1);
    EXPECT_EQ(program._uniformLocations.at("colour"), first);
}

TEST_F(GLSLProgramTest, CachedUniformLookupStillMakesTheProgramCurrent) {
    GLSLProgram program(vs(), fs(), "");
    program.getUniformLocation("colour");
    program.unbind();
    EXPECT_EQ(getInteger(GL_CURRENT_PROGRAM), 0);
    program.getUniformLocation("colour");
    EXPECT_EQ(getInteger(GL_CURRENT_PROGRAM), static_cast<GLint>(program._id));
}

TEST_F(GLSLProgramTest, BrokenProgramBindsNothingAndEveryUniformIsMinusOne) {
    CaptureStdout();
    GLSLProgram program(dir.write("broken.vs", kBrokenShader), fs(), "");
    const GLint location = program.getUniformLocation("colour");
    std::fflush(stdout);
    GetCapturedStdout();
    EXPECT_EQ(program._id, 0u);
    EXPECT_EQ(location, -1);
    EXPECT_EQ(getInteger(GL_CURRENT_PROGRAM), 0);
}

TEST_F(GLSLProgramTest, DestructorDeletesTheProgram) {
    GLuint id = 0;
    {
        GLSLProgram program(vs(), fs(), "");
        id = program._id;
        ASSERT_TRUE(glIsProgram(id));
        program.unbind();
    }
    EXPECT_FALSE(glIsProgram(id));
}

}  // namespace

// Reading shader files: the leading-newline line joining and the missing-file message.
#include <gtest/gtest.h>

#include <string>

#include "GLSLProgram.h"
#include "GLTestFixture.h"

using namespace VantorEngine;

namespace {

struct SourceCase {
    const char* name;
    std::string file;
    std::string expected;
};

class ReadShaderFile : public ::testing::TestWithParam<SourceCase> {};

TEST_P(ReadShaderFile, PrefixesEveryLineWithANewline) {
    TestSupport::TempDir dir;
    const std::string path = dir.write("s.glsl", GetParam().file);
    testing::internal::CaptureStdout();
    const std::string source = readShaderFile(path);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(source, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ReadShaderFile,
                         ::testing::Values(SourceCase{"TwoEndedLines", "x\ny\n", "\nx\ny"},
                                           SourceCase{"LastLineUnended", "x\ny", "\nx\ny"},
                                           SourceCase{"BlankLineKept", "x\n\ny\n", "\nx\n\ny"},
                                           SourceCase{"Empty", "", ""}),
                         [](const ::testing::TestParamInfo<SourceCase>& info) { return std::string(info.param.name); });

TEST(ReadShaderFileMissing, PrintsThePathAsGivenAndReturnsNothing) {
    const std::string path = "resources\\shaders\\DoesNotExist.vs";
    testing::internal::CaptureStdout();
    const std::string source = readShaderFile(path);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Impossible to open resources\\shaders\\DoesNotExist.vs. Are you in the right directory?\n");
    EXPECT_EQ(source, "");
}

TEST(ReadShaderFileBackslashes, OpensTheNativeForm) {
    TestSupport::TempDir dir;
    std::string path = dir.write("b.glsl", "void main() {}\n");
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    EXPECT_EQ(readShaderFile(path), "\nvoid main() {}");
}

}  // namespace

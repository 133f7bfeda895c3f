// Building each surface pipeline from fresh caches compiles and links its shaders and finds
// every uniform it looks up: any compile error, missing file or optimised-away uniform prints
// a line, so a silent construction is the check.
#include <GL/glew.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "DeferredRenderingPipeline.h"
#include "PipelineTestScene.h"
#include "PostProcessingRenderingPipeline.h"
#include "ResourceCache.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"

using namespace VantorEngine;
using namespace PipelineTest;

struct BuildCase {
    const char* name;
    std::function<void()> buildAndDestroy;
};

class SurfacePipelinesBuildTest : public SceneTest, public ::testing::WithParamInterface<BuildCase> {};

TEST_P(SurfacePipelinesBuildTest, BuildsWithoutAnyDiagnostic) {
    clearResourceCaches();
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    GetParam().buildAndDestroy();
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    clearResourceCaches();
}

INSTANTIATE_TEST_SUITE_P(
    Pipelines, SurfacePipelinesBuildTest,
    ::testing::Values(BuildCase{"ShadowMapping", [] { ShadowMappingPipeline pipeline; }},
                      // The sky also reads its six generated faces through the engine's BMP reader.
                      BuildCase{"Skybox", [] { SkyboxRenderPipeline pipeline; }},
                      BuildCase{"Deferred", [] { DeferredRenderingPipeline pipeline; }},
                      BuildCase{"PostProcessing", [] { PostProcessingRenderingPipeline pipeline; }}),
    [](const ::testing::TestParamInfo<BuildCase>& info) { return std::string(info.param.name); });

// The matrices the surface pipelines build without GL: the shadow bias, the sky's
// translation-free view and the six cube-face projections of a point light's shadow.
#include <gtest/gtest.h>

#include <cmath>

#include "DeferredRenderingPipeline.h"
#include "ShadowMappingPipeline.h"
#include "SkyboxRenderPipeline.h"

using namespace VantorEngine;

TEST(SurfacePipelineMathTest, BiasMapsTheLightClipCubeOntoTheUnitCube) {
    const mat4 bias = shadowBiasMatrix();
    const vec4 low = bias * vec4(-1.0f, -1.0f, -1.0f, 1.0f);
    const vec4 high = bias * vec4(1.0f, 1.0f, 1.0f, 1.0f);
    const vec4 middle = bias * vec4(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_EQ(low, vec4(0.0f, 0.0f, 0.0f, 1.0f));
    EXPECT_EQ(high, vec4(1.0f, 1.0f, 1.0f, 1.0f));
    EXPECT_EQ(middle, vec4(0.5f, 0.5f, 0.5f, 1.0f));
}

TEST(SurfacePipelineMathTest, SkyViewKeepsTheTurnAndDropsTheEye) {
    const mat4 view = lookAt(vec3(3.0f, -2.0f, 7.0f), vec3(4.0f, -1.0f, 6.0f), vec3(0.0f, 1.0f, 0.0f));
    const mat4 sky = withoutTranslation(view);
    EXPECT_EQ(sky[3], vec4(0.0f, 0.0f, 0.0f, 1.0f));
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(sky[column][3], 0.0f);
        for (int row = 0; row < 3; ++row) EXPECT_EQ(sky[column][row], view[column][row]);
    }
    // The same turn from another eye gives the same sky view.
    const mat4 elsewhere = lookAt(vec3(-50.0f, 9.0f, 0.0f), vec3(-49.0f, 10.0f, -1.0f), vec3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(withoutTranslation(elsewhere), sky);
}

TEST(SurfacePipelineMathTest, EachCubeFaceLooksAlongItsAxisWithGlFaceOrientation) {
    const vec3 light(1.0f, 2.0f, -3.0f);
    const float near = 0.5f, far = 40.0f;
    const std::array<mat4, 6> faces = cubeFaceMatrices(light, near, far);
    // Per face: its axis, and the world directions of the face's s and t texture axes.
    const vec3 axis[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const vec3 sAxis[6] = {{0, 0, -1}, {0, 0, 1}, {1, 0, 0}, {1, 0, 0}, {1, 0, 0}, {-1, 0, 0}};
    const vec3 tAxis[6] = {{0, -1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, -1, 0}, {0, -1, 0}};
    for (int face = 0; face < 6; ++face) {
        SCOPED_TRACE(face);
        auto ndc = [&](const vec3& p) {
            const vec4 clip = faces[face] * vec4(p, 1.0f);
            return vec3(clip) / clip.w;
        };
        const vec3 centre = ndc(light + axis[face] * 10.0f);
        EXPECT_NEAR(centre.x, 0.0f, 1e-5f);
        EXPECT_NEAR(centre.y, 0.0f, 1e-5f);
        EXPECT_NEAR(ndc(light + axis[face] * near).z, -1.0f, 1e-4f);
        EXPECT_NEAR(ndc(light + axis[face] * far).z, 1.0f, 1e-4f);
        // 90° field of view: a point 45° off the axis lands on the face's edge, and the face's
        // s and t axes run along screen x and y as a cube-map lookup expects them.
        const vec3 edgeS = ndc(light + (axis[face] + sAxis[face]) * 10.0f);
        const vec3 edgeT = ndc(light + (axis[face] + tAxis[face]) * 10.0f);
        EXPECT_NEAR(edgeS.x, 1.0f, 1e-5f);
        EXPECT_NEAR(edgeS.y, 0.0f, 1e-5f);
        EXPECT_NEAR(edgeT.x, 0.0f, 1e-5f);
        EXPECT_NEAR(edgeT.y, 1.0f, 1e-5f);
    }
}

// The directional light record and the engine-wide instance (no GL needed).
#include <gtest/gtest.h>

#include <cmath>

#include "DirectionalLight.h"

using namespace VantorEngine;

namespace {

void expectVecNear(const vec3& actual, const vec3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// Restores the engine-wide light after a test that replaces it.
class DirectionalLightTest : public ::testing::Test {
protected:
    void TearDown() override { setDirectionalLight(_saved); }
    DirectionalLight _saved = getDirectionalLight();
};

}  // namespace

TEST_F(DirectionalLightTest, StartUpLightHasItsDefaults) {
    const DirectionalLight light = getDirectionalLight();
    expectVecNear(light._diffuseColor, vec3(0.8f, 0.6f, 0.6f));
    expectVecNear(light._ambientColor, vec3(0.1f));
    expectVecNear(light._specularColor, vec3(0.3f));
    expectVecNear(light._direction, vec3(0.0f, 0.70711f, 0.70711f));
    const mat4& p = light._projectionMatrix;
    EXPECT_NEAR(p[0][0], 0.01f, 1e-7f);
    EXPECT_NEAR(p[1][1], 2.0f / 850.0f, 1e-7f);
    EXPECT_NEAR(p[2][2], -2.0f / 415.0f, 1e-7f);
    EXPECT_NEAR(p[3][0], 0.0f, 1e-7f);
    EXPECT_NEAR(p[3][1], 450.0f / 850.0f, 1e-6f);
    EXPECT_NEAR(p[3][2], 385.0f / 415.0f, 1e-6f);
    EXPECT_FLOAT_EQ(p[3][3], 1.0f);
    EXPECT_FLOAT_EQ(p[0][1], 0.0f);
    EXPECT_FLOAT_EQ(p[2][3], 0.0f);
}

TEST_F(DirectionalLightTest, ConstructorNormalisesAndLooksAlongTheDirection) {
    const DirectionalLight light(vec3(1), vec3(0), vec3(0), vec3(0.0f, -0.9f, 0.1f), mat4(1.0f));
    expectVecNear(light._direction, vec3(0.0f, -0.99388f, 0.11043f));
    EXPECT_NEAR(glm::length(light._direction), 1.0f, 1e-6f);
    // The view looks down its own -z along the light direction, from the origin.
    expectVecNear(vec3(light._viewMatrix * vec4(light._direction, 0.0f)), vec3(0.0f, 0.0f, -1.0f));
    expectVecNear(vec3(light._viewMatrix[3]), vec3(0.0f));
    EXPECT_EQ(light._viewMatrix, lookAt(vec3(0.0f), light._direction, vec3(0.0f, 1.0f, 0.0f)));
}

TEST_F(DirectionalLightTest, SetReplacesEveryFieldAndGetReturnsACopy) {
    const mat4 box = orthographic(-50.0f, 50.0f, 0.0f, 100.0f, -50.0f, 50.0f);
    setDirectionalLight(DirectionalLight(vec3(0.03f), vec3(0.2f), vec3(0.0f), vec3(0.0f, -0.9f, 0.1f), box));
    DirectionalLight copy = getDirectionalLight();
    expectVecNear(copy._diffuseColor, vec3(0.03f));
    expectVecNear(copy._ambientColor, vec3(0.2f));
    expectVecNear(copy._specularColor, vec3(0.0f));
    EXPECT_NEAR(glm::length(copy._direction), 1.0f, 1e-6f);
    EXPECT_EQ(copy._projectionMatrix, box);
    EXPECT_EQ(copy._viewMatrix, directionalLight._viewMatrix);

    copy._diffuseColor = vec3(5.0f);  // changing the copy leaves the engine's light alone
    expectVecNear(directionalLight._diffuseColor, vec3(0.03f));
}

// Point lights: range, range-scaled world matrix and the engine-wide light list.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "GLTestFixture.h"
#include "Light.h"

using namespace VantorEngine;

namespace {

// The demo's light: white diffuse and specular, dim ambient, all attenuation terms 1.
Light* demoLight(vec3 position = vec3(2.0f, 2.0f, 0.0f)) {
    return new Light(position, 1.0f, 1.0f, 1.0f, vec3(1.0f), vec3(0.1f), vec3(1.0f), 1.0f, 100.0f);
}

bool listed(const Light* light) { return std::find(lights.begin(), lights.end(), light) != lights.end(); }

}  // namespace

class LightTest : public TestSupport::GLTest {};

struct LightRangeCase {
    const char* name;
    float constant, linear, quadratic;
    vec3 diffuse, ambient, specular;
    float range;
};

class LightRangeTest : public TestSupport::GLTest, public ::testing::WithParamInterface<LightRangeCase> {};

TEST_P(LightRangeTest, RangeIsWhereTheAttenuatedLightFades) {
    const LightRangeCase& c = GetParam();
    Light light(vec3(0.0f), c.constant, c.linear, c.quadratic, c.diffuse, c.ambient, c.specular, 1.0f, 10.0f);
    EXPECT_NEAR(light._range, c.range, 1e-3f);
    EXPECT_NEAR(light.computeRange(), c.range, 1e-3f);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LightRangeTest,
    ::testing::Values(
        // m = 2.1, q = -2098: (sqrt(8393) - 1) / 2.
        LightRangeCase{"DemoLight", 1, 1, 1, vec3(1), vec3(0.1f), vec3(1), 45.30666f},
        // No quadratic term: |(1 + 1 - 1000) / 2|.
        LightRangeCase{"LinearOnly", 1, 2, 0, vec3(1, 0, 0), vec3(0), vec3(0), 499.0f},
        // The brightest channel decides: blue sums to 0.5, so q = 1 + 1 - 500.
        LightRangeCase{"BrightestChannelWins", 1, 1, 0, vec3(0.1f, 0.2f, 0.3f), vec3(0.0f, 0.1f, 0.1f),
                  vec3(0.0f, 0.0f, 0.1f), 498.0f},
        // m = 1, q = 0 + 1 - 1000: (sqrt(2² + 4·4·999) - 2) / (2·4).
        LightRangeCase{"WithQuadraticTerm", 0, 2, 4, vec3(1), vec3(0), vec3(0), 15.55546f}),
    [](const ::testing::TestParamInfo<LightRangeCase>& info) { return std::string(info.param.name); });

TEST_F(LightTest, ConstructorPlacesAndMarksTheLight) {
    Light* light = demoLight();
    EXPECT_TRUE(light->_isLight);
    EXPECT_EQ(light->getModel(), nullptr);
    EXPECT_EQ(light->_diffuseColor, vec3(1.0f));
    EXPECT_EQ(light->_ambientColor, vec3(0.1f));
    EXPECT_FLOAT_EQ(light->_shadowNear, 1.0f);
    EXPECT_FLOAT_EQ(light->_shadowFar, 100.0f);
    light->setTexture("resources\\textures\\anything.bmp");
    EXPECT_EQ(light->getTexture(), nullptr);  // a light takes no texture
    delete light;
}

TEST_F(LightTest, WorldMatrixScalesAxesByRangeButNotPosition) {
    GameObject parent;
    Light* light = demoLight();
    parent.addChild(light);
    const float range = light->_range;
    const mat4 world = light->getWorldMatrix();
    EXPECT_EQ(world[3], vec4(2.0f, 2.0f, 0.0f, 1.0f));
    for (int axis = 0; axis < 3; ++axis) {
        vec4 expected(0.0f);
        expected[axis] = range;
        EXPECT_EQ(world[axis], expected) << "column " << axis;
    }
    EXPECT_EQ(light->getWorldPosition(), vec3(2.0f, 2.0f, 0.0f));

    // A turned parent moves the world position; getPosition stays relative to the parent.
    parent.rotate(vec3(0, 1, 0), 90.0f);
    const vec3 worldPosition = light->getWorldPosition();
    EXPECT_NEAR(worldPosition.x, 0.0f, 1e-5f);
    EXPECT_NEAR(worldPosition.z, -2.0f, 1e-5f);
    EXPECT_EQ(light->getPosition(), vec3(2.0f, 2.0f, 0.0f));
}

TEST_F(LightTest, ChildrenInheritTheRangeScale) {
    Light* light = demoLight();
    auto* marker = new GameObject;
    marker->translate(1.0f, 0.0f, 0.0f);
    marker->scale(0.00001f, 0.00001f, 0.00001f);
    light->addChild(marker);
    const float range = light->_range;
    const vec3 markerPosition = marker->getWorldPosition();
    EXPECT_NEAR(markerPosition.x, 2.0f + range, 1e-4f);
    EXPECT_NEAR(markerPosition.y, 2.0f, 1e-5f);
    EXPECT_NEAR(marker->getWorldMatrix()[0][0], 0.00001f * range, 1e-8f);
    delete light;
}

TEST_F(LightTest, ListKeepsConstructionOrderAcrossDestruction) {
    const std::vector<Light*> before = lights;
    Light* first = demoLight();
    Light* second = demoLight();
    EXPECT_EQ(lights.size(), before.size() + 2);
    EXPECT_EQ(lights[lights.size() - 2], first);
    EXPECT_EQ(lights.back(), second);

    delete first;
    EXPECT_FALSE(listed(first));
    EXPECT_EQ(lights.size(), before.size() + 1);
    EXPECT_EQ(lights.back(), second);

    Light* third = demoLight();
    EXPECT_EQ(lights.back(), third);
    EXPECT_EQ(lights[lights.size() - 2], second);

    // getLights hands out a copy.
    std::vector<Light*> copy = getLights();
    EXPECT_EQ(copy, lights);
    copy.clear();
    EXPECT_TRUE(listed(second));

    delete second;
    delete third;
    EXPECT_EQ(lights, before);
}

TEST_F(LightTest, LightDeletedWithItsTreeLeavesTheList) {
    auto* root = new GameObject;
    auto* pivot = new GameObject;
    Light* light = demoLight();
    root->addChild(pivot);
    pivot->addChild(light);
    ASSERT_TRUE(listed(light));
    delete root;
    EXPECT_FALSE(listed(light));
}

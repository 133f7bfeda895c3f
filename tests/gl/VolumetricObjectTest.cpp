// The volume-carrying scene node: half extents, noise animation and its volume reference.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "GLTestFixture.h"
#include "VolumetricObject.h"

using namespace VantorEngine;

class VolumetricObjectTest : public TestSupport::GLTest {};

TEST_F(VolumetricObjectTest, NewNodeIsAVolumeWithUnitBoxAndNoTexture) {
    VolumetricObject volume;
    EXPECT_TRUE(volume._isVolume);
    EXPECT_FALSE(volume._isLight);
    EXPECT_TRUE(volume._active);
    EXPECT_EQ(volume._volumeTexture, nullptr);
    EXPECT_EQ(volume._halfExtents, vec3(1.0f));
    EXPECT_EQ(volume._lightColor, vec3(1.0f));
    EXPECT_EQ(volume._lightDirection, vec3(1.0f, 1.0f, 0.0f));
    EXPECT_EQ(volume._noisePosOffset, vec2(0.0f));
    EXPECT_EQ(volume._light, nullptr);
    EXPECT_FLOAT_EQ(volume._samplingRate, 0.0f);
}

TEST_F(VolumetricObjectTest, ScaleMultipliesHalfExtentsAndMatrix) {
    VolumetricObject volume;
    volume.scale(0.5f, 0.5f, 0.5f);
    EXPECT_EQ(volume._halfExtents, vec3(0.5f));
    for (int axis = 0; axis < 3; ++axis) {
        vec4 expected(0.0f);
        expected[axis] = 0.5f;
        EXPECT_EQ(volume.getLocalMatrix()[axis], expected);
    }
    volume.scale(2.0f, 4.0f, 8.0f);
    EXPECT_EQ(volume._halfExtents, vec3(1.0f, 2.0f, 4.0f));

    // Turning and moving the box leaves its size alone.
    volume.rotate(vec3(0, 1, 0), 45.0f);
    volume.translate(3.0f, 0.0f, 0.0f);
    volume.setPosition(1.0f, 1.0f, 1.0f);
    EXPECT_EQ(volume._halfExtents, vec3(1.0f, 2.0f, 4.0f));
}

TEST_F(VolumetricObjectTest, ShrinkChannelShrinksTheBoxToo) {
    VolumetricObject volume;
    volume._shrinking = true;
    volume._shrinkRate = std::log(2.0f);
    for (int i = 0; i < 4; ++i) volume.update(0.25);
    EXPECT_NEAR(volume._halfExtents.x, 0.5f, 1e-5f);
    EXPECT_NEAR(volume.getLocalMatrix()[0][0], 0.5f, 1e-5f);
}

struct VolumeNoiseCase {
    const char* name;
    vec2 speed;
    std::vector<double> steps;
    std::vector<vec2> expected;  // offset after each step
};

class VolumeNoiseOffsetTest : public TestSupport::GLTest, public ::testing::WithParamInterface<VolumeNoiseCase> {};

TEST_P(VolumeNoiseOffsetTest, AdvancesBySpeedAndStepsBackOnceAboveOne) {
    const VolumeNoiseCase& c = GetParam();
    VolumetricObject volume;
    volume._noiseSpeed = c.speed;
    ASSERT_EQ(c.steps.size(), c.expected.size());
    for (size_t i = 0; i < c.steps.size(); ++i) {
        volume.update(c.steps[i]);
        EXPECT_NEAR(volume._noisePosOffset.x, c.expected[i].x, 1e-5f) << "step " << i;
        EXPECT_NEAR(volume._noisePosOffset.y, c.expected[i].y, 1e-5f) << "step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VolumeNoiseOffsetTest,
    ::testing::Values(
        VolumeNoiseCase{"WrapsPastOne", vec2(0.6f, 0.0f), {0.5, 0.5, 0.5, 0.5},
                  {vec2(0.3f, 0), vec2(0.6f, 0), vec2(0.9f, 0), vec2(0.2f, 0)}},
        VolumeNoiseCase{"StillNoiseNeverMoves", vec2(0.0f), {0.5, 1.0, 100.0}, {vec2(0), vec2(0), vec2(0)}},
        VolumeNoiseCase{"AxesWrapSeparately", vec2(0.5f, 0.75f), {1.0, 1.0},
                  {vec2(0.5f, 0.75f), vec2(1.0f, 0.5f)}},  // exactly 1 stays
        VolumeNoiseCase{"OnlyOneStepBack", vec2(3.0f, 0.0f), {1.0}, {vec2(2.0f, 0)}},
        VolumeNoiseCase{"NegativeSpeedIsNotWrapped", vec2(-0.5f, 0.0f), {1.0, 1.0}, {vec2(-0.5f, 0), vec2(-1.0f, 0)}}),
    [](const ::testing::TestParamInfo<VolumeNoiseCase>& info) { return std::string(info.param.name); });

TEST_F(VolumetricObjectTest, UpdateAlsoAnimatesTheChildren) {
    VolumetricObject volume;
    auto* child = new GameObject;
    child->_moving = true;
    child->_velocity = vec3(0.0f, 0.0f, 1.0f);
    volume.addChild(child);
    volume.update(0.5);
    EXPECT_EQ(child->getWorldPosition(), vec3(0.0f, 0.0f, 0.5f));
}

TEST_F(VolumetricObjectTest, VolumeReferenceIsReleasedWhenReplacedAndOnDestruction) {
    // Null stand-ins with counting deleters: only the reference handling is under test.
    int released = 0;
    const auto counted = [&released]() {
        return std::shared_ptr<VolumeTexture>(static_cast<VolumeTexture*>(nullptr),
                                              [&released](VolumeTexture*) { ++released; });
    };
    auto* volume = new VolumetricObject;
    volume->setVolumeTexture(counted());
    EXPECT_EQ(released, 0);
    volume->setVolumeTexture(counted());
    EXPECT_EQ(released, 1);
    delete volume;
    EXPECT_EQ(released, 2);
}

// Slice frame and slice positions of the volume pipeline, without GL.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "MathUtils.h"
#include "VolumeSliceFrame.h"

using namespace VantorEngine;

namespace {

constexpr float cameraNear = 0.01f;
const float sqrt3 = std::sqrt(3.0f);

// View matrix of an eye at `eye` whose backward axis (the direction toward the eye) is `back`.
mat4 viewLookingFrom(const vec3& eye, const vec3& back) {
    const vec3 w = glm::normalize(back);
    const vec3 helper = std::fabs(w.y) < 0.9f ? vec3(0.0f, 1.0f, 0.0f) : vec3(1.0f, 0.0f, 0.0f);
    const vec3 right = glm::normalize(glm::cross(helper, w));
    const vec3 up = glm::cross(w, right);
    mat4 cameraToWorld(1.0f);
    cameraToWorld[0] = vec4(right, 0.0f);
    cameraToWorld[1] = vec4(up, 0.0f);
    cameraToWorld[2] = vec4(w, 0.0f);
    cameraToWorld[3] = vec4(eye, 1.0f);
    return glm::inverse(cameraToWorld);
}

struct Stacks {
    std::vector<float> back;
    std::vector<float> front;
};

Stacks slicesOf(const VolumeSliceFrame& frame) {
    Stacks s;
    const int backCount = frame.forEachBackSlice([&](float z) { s.back.push_back(z); });
    const int frontCount = frame.forEachFrontSlice([&](float z) { s.front.push_back(z); });
    EXPECT_EQ(backCount, static_cast<int>(s.back.size()));
    EXPECT_EQ(frontCount, static_cast<int>(s.front.size()));
    return s;
}

bool finiteMatrix(const mat4& m) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            if (!std::isfinite(m[c][r])) return false;
    return true;
}

}  // namespace

TEST(VolumeSliceFrame, CameraOnPlusZAxisSeesWholeVolumeInBackStack) {
    const vec3 eye(0.0f, 0.0f, 3.0f);
    const mat4 view = lookAt(eye, vec3(0.0f, 0.0f, 2.0f), vec3(0.0f, 1.0f, 0.0f));
    const VolumeSliceFrame frame =
        VolumeSliceFrame::compute(eye, view, cameraNear, mat4(1.0f), vec3(1.0f), 50.0f);

    EXPECT_NEAR(frame.w.x, 0.0f, 1e-6f);
    EXPECT_NEAR(frame.w.y, 0.0f, 1e-6f);
    EXPECT_NEAR(frame.w.z, 1.0f, 1e-6f);
    EXPECT_EQ(frame.rotation, mat4(1.0f));
    EXPECT_NEAR(frame.r, sqrt3, 1e-6f);
    EXPECT_NEAR(frame.zEye, 3.0f / sqrt3, 1e-5f);
    EXPECT_EQ(frame.zFocus, 1.0f);  // 2 / sqrt(3) clamped
    EXPECT_EQ(frame.focusText(), " | focus slice z = 1");

    const Stacks s = slicesOf(frame);
    EXPECT_TRUE(s.front.empty());
    ASSERT_FALSE(s.back.empty());
    EXPECT_EQ(s.back.front(), -1.0f);
    EXPECT_LE(s.back.back(), 1.0f);
    EXPECT_GT(s.back.back() + frame.step, 1.0f);
    // 0.02 apart from -1 to 1: 100 or 101 slices depending on the rounding of the sums.
    EXPECT_GE(s.back.size(), 100u);
    EXPECT_LE(s.back.size(), 101u);
}

// The result depends on the distance along the viewing direction only, including the two
// directions that need a guard: looking exactly along +z (w = -z) and along -z.
TEST(VolumeSliceFrame, SameDistanceFromAnySideGivesSameFocus) {
    const vec3 sides[] = {
        {1.0f, 0.0f, 0.0f}, {-1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, -1.0f, 0.0f},
        {0.0f, 0.0f, 1.0f}, {0.0f, 0.0f, -1.0f}, {0.3f, -0.5f, 0.8f}, {1e-5f, 0.0f, -1.0f},
    };
    for (const vec3& side : sides) {
        SCOPED_TRACE(testing::Message() << "seen from (" << side.x << ", " << side.y << ", " << side.z << ")");
        const vec3 w = glm::normalize(side);
        const vec3 eye = 3.0f * w;
        const VolumeSliceFrame frame =
            VolumeSliceFrame::compute(eye, viewLookingFrom(eye, w), cameraNear, mat4(1.0f), vec3(1.0f), 50.0f);
        ASSERT_TRUE(finiteMatrix(frame.frame));
        // R turns the slice axis onto the direction toward the eye.
        const vec3 turned = vec3(frame.rotation * vec4(0.0f, 0.0f, 1.0f, 0.0f));
        EXPECT_NEAR(glm::length(turned - w), 0.0f, 1e-4f);
        EXPECT_NEAR(frame.zEye, 3.0f / sqrt3, 1e-4f);
        EXPECT_EQ(frame.zFocus, 1.0f);
        EXPECT_EQ(frame.focusText(), " | focus slice z = 1");
    }
}

TEST(VolumeSliceFrame, RotationGuardsTheUndefinedDirections) {
    // acos is undefined just above 1: the identity instead of NaN.
    EXPECT_EQ(VolumeSliceFrame::sliceRotation(vec3(0.0f, 0.0f, std::nextafter(1.0f, 2.0f))), mat4(1.0f));
    // Exactly along -z the axis has no length: a half turn about x.
    const mat4 halfTurn = VolumeSliceFrame::sliceRotation(vec3(0.0f, 0.0f, -1.0f));
    ASSERT_TRUE(finiteMatrix(halfTurn));
    const vec4 z = halfTurn * vec4(0.0f, 0.0f, 1.0f, 0.0f);
    EXPECT_NEAR(z.z, -1.0f, 1e-6f);
    // Below -1 by rounding: still finite.
    EXPECT_TRUE(finiteMatrix(VolumeSliceFrame::sliceRotation(vec3(0.0f, 0.0f, std::nextafter(-1.0f, -2.0f)))));
}

TEST(VolumeSliceFrame, CameraInsideSphereStopsBackStackAtEyeLimit) {
    // With a near distance larger than the focal distance in slice units, the eye limit
    // (zEye - near, the near distance taken unconverted) comes before the focal plane.
    const vec3 eye(0.0f, 0.0f, 0.5f);
    const float nearDistance = 0.6f;
    const mat4 view = lookAt(eye, vec3(0.0f, 0.0f, -0.5f), vec3(0.0f, 1.0f, 0.0f));
    const VolumeSliceFrame frame =
        VolumeSliceFrame::compute(eye, view, nearDistance, mat4(1.0f), vec3(1.0f), 50.0f);
    ASSERT_LT(frame.zEye, 1.0f);
    EXPECT_NEAR(frame.eyeLimit, 0.5f / sqrt3 - nearDistance, 1e-5f);
    ASSERT_LT(frame.eyeLimit, frame.zFocus);

    const Stacks s = slicesOf(frame);
    ASSERT_GE(s.back.size(), 2u);
    EXPECT_GE(s.back.back(), frame.eyeLimit);
    EXPECT_LT(s.back[s.back.size() - 2], frame.eyeLimit);
    ASSERT_FALSE(s.front.empty());
    EXPECT_EQ(s.front.front(), 1.0f);
    EXPECT_GT(s.front.back(), frame.zFocus);
}

TEST(VolumeSliceFrame, FocalPointBehindVolumeGivesOneBackSlice) {
    // A small volume just in front of the eye: the focal point one unit ahead lies beyond it.
    const vec3 eye(0.0f, 0.0f, 0.5f);
    const mat4 view = lookAt(eye, vec3(0.0f, 0.0f, -0.5f), vec3(0.0f, 1.0f, 0.0f));
    const VolumeSliceFrame frame =
        VolumeSliceFrame::compute(eye, view, cameraNear, mat4(1.0f), vec3(0.25f), 50.0f);
    EXPECT_EQ(frame.zFocus, -1.0f);

    const Stacks s = slicesOf(frame);
    ASSERT_EQ(s.back.size(), 1u);
    EXPECT_EQ(s.back[0], -1.0f);
    ASSERT_FALSE(s.front.empty());
    EXPECT_EQ(s.front.front(), 1.0f);
    EXPECT_GT(s.front.back(), -1.0f);
    EXPECT_LE(s.front.back() - frame.step, -1.0f);
    EXPECT_EQ(frame.focusText(), " | focus slice z = -1");
}

TEST(VolumeSliceFrame, FocusInsideVolumeSplitsStacksAtFocus) {
    const vec3 eye(0.0f, 0.0f, 1.5f);
    const mat4 view = lookAt(eye, vec3(0.0f, 0.0f, 0.5f), vec3(0.0f, 1.0f, 0.0f));
    const VolumeSliceFrame frame =
        VolumeSliceFrame::compute(eye, view, cameraNear, mat4(1.0f), vec3(1.0f), 50.0f);
    EXPECT_NEAR(frame.zFocus, 0.5f / sqrt3, 1e-5f);
    EXPECT_EQ(frame.focusText(), " | focus slice z = 0.288675");

    const Stacks s = slicesOf(frame);
    ASSERT_FALSE(s.back.empty());
    ASSERT_FALSE(s.front.empty());
    EXPECT_LE(s.back.back(), frame.zFocus);
    EXPECT_GT(s.back.back() + frame.step, frame.zFocus);
    EXPECT_GT(s.front.back(), frame.zFocus);
    EXPECT_LE(s.front.back() - frame.step, frame.zFocus);
    // Together the stacks hold about 2 x rate slices.
    EXPECT_NEAR(static_cast<double>(s.back.size() + s.front.size()), 100.0, 2.0);
}

TEST(VolumeSliceFrame, FrameFollowsVolumePlacementAndScale) {
    // A volume at (0, 0, -2) with half extents 0.5 seen from (0, 0, 1): distance 3, r = sqrt(0.75).
    const vec3 eye(0.0f, 0.0f, 1.0f);
    const mat4 view = lookAt(eye, vec3(0.0f, 0.0f, 0.0f), vec3(0.0f, 1.0f, 0.0f));
    const mat4 world = translationMatrix(0.0f, 0.0f, -2.0f) * rotationMatrix(90.0f, vec3(1.0f, 0.0f, 0.0f));
    const VolumeSliceFrame frame =
        VolumeSliceFrame::compute(eye, view, cameraNear, world, vec3(0.5f), 50.0f);
    const float r = std::sqrt(0.75f);
    EXPECT_NEAR(frame.r, r, 1e-6f);
    EXPECT_NEAR(frame.zEye, 3.0f / r, 1e-4f);
    const vec4 centre = frame.sliceModel(0.0f) * vec4(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(centre.z, -2.0f, 1e-6f);
    const vec4 nearSide = frame.sliceModel(1.0f) * vec4(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(nearSide.z, -2.0f + r, 1e-5f);
}

TEST(VolumeSliceFrame, DegenerateRatesEndBothStacks) {
    const vec3 eye(0.0f, 0.0f, 1.5f);
    const mat4 view = lookAt(eye, vec3(0.0f, 0.0f, 0.5f), vec3(0.0f, 1.0f, 0.0f));
    struct Case {
        float rate;
        int maxBack, maxFront;
    };
    // Rate 0: an infinite step, one slice per stack. A huge rate: a step that no longer moves z.
    const Case cases[] = {{0.0f, 1, 1}, {-50.0f, 70, 40}, {1e12f, 1, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rate " << c.rate);
        const VolumeSliceFrame frame = VolumeSliceFrame::compute(eye, view, cameraNear, mat4(1.0f), vec3(1.0f), c.rate);
        const Stacks s = slicesOf(frame);
        EXPECT_GE(s.back.size(), 1u);
        EXPECT_GE(s.front.size(), 1u);
        EXPECT_LE(static_cast<int>(s.back.size()), c.maxBack);
        EXPECT_LE(static_cast<int>(s.front.size()), c.maxFront);
    }
}

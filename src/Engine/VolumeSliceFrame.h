#pragma once
// The view-aligned slice frame of one volume and the positions of its two slice stacks.
// Pure arithmetic, no GL: the volume pipeline draws what this computes.
#include <string>

#include "MathUtils.h"

namespace VantorEngine {

struct VolumeSliceFrame {
    // Radians to degrees, as the rotation function takes degrees.
    static constexpr float radiansToDegrees = 57.2957763671875f;

    vec3 w{0.0f, 0.0f, 1.0f};  // camera's backward axis (unit vector from the scene toward the eye)
    vec3 p{0.0f};              // centre of the volume (translation of its world matrix)
    float r = 0.0f;            // radius of the slice stack: length of the half extents
    mat4 rotation{1.0f};       // R: turns (0, 0, 1) onto w
    mat4 frame{1.0f};          // S = T(p) x Sc(r, r, r) x R
    float zEye = 0.0f;         // slice-frame z of the eye
    float zFocus = 0.0f;       // slice-frame z of the focal point c - w, clamped to -1..1
    float eyeLimit = 0.0f;     // the back stack stops at the first slice at or past this z
    float step = 0.0f;         // slice spacing in slice-frame units: 1 / abs(samplingRate)

    // Builds the frame for an eye at `eye` with view matrix `view` and near distance `nearDistance`,
    // looking at a volume with world matrix `world`, half extents `halfExtents` and `samplingRate`.
    static VolumeSliceFrame compute(const vec3& eye, const mat4& view, float nearDistance,
                                    const mat4& world, const vec3& halfExtents, float samplingRate);

    // R for a unit backward axis w. Two directions have no axis of their own: exactly along
    // -z (and anything rounding to it) gets a half turn about x; w.z rounding above 1 gets
    // the identity rather than the NaN of acos.
    static mat4 sliceRotation(const vec3& w);

    // " | focus slice z = " followed by zFocus as a stream writes a float.
    std::string focusText() const;

    // Slice model matrix of the slice at z: S x T(0, 0, z).
    mat4 sliceModel(float z) const;

    // Calls visit(z) for every slice of the back stack, far side first, and returns the count.
    // A step that no longer moves z (a huge sampling rate) or a NaN ends the stack.
    template <typename Visit>
    int forEachBackSlice(Visit&& visit) const {
        int count = 0;
        if (!(zFocus >= -1.0f)) return count;
        float z = -1.0f;
        for (;;) {
            visit(z);
            ++count;
            if (z >= eyeLimit) break;
            const float next = z + step;
            if (!(next <= zFocus) || next == z) break;
            z = next;
        }
        return count;
    }

    // Calls visit(z) for every slice of the front stack, near side first, and returns the count.
    template <typename Visit>
    int forEachFrontSlice(Visit&& visit) const {
        int count = 0;
        if (!(zFocus < 1.0f)) return count;
        float z = 1.0f;
        for (;;) {
            visit(z);
            ++count;
            const float next = z - step;
            if (!(next > zFocus) || next == z) break;
            z = next;
        }
        return count;
    }
};

}  // namespace VantorEngine

#include "VolumeSliceFrame.h"

#include <cmath>
#include <sstream>

namespace VantorEngine {

namespace {
constexpr const char* focusTextPrefix = " | focus slice z = ";
// Below this squared length the axis (0, 0, 1) x w is too short to normalise safely.
constexpr float minimumAxisLengthSquared = 1e-12f;
}  // namespace

mat4 VolumeSliceFrame::sliceRotation(const vec3& w) {
    // Rounding can push w.z a hair above 1, where acos has no value.
    if (w.z >= 1.0f) return mat4(1.0f);
    const float angle = std::acos(std::fmax(w.z, -1.0f));
    if (angle == 0.0f) return mat4(1.0f);
    const vec3 axis(-w.y, w.x, 0.0f);
    if (axis.x * axis.x + axis.y * axis.y < minimumAxisLengthSquared) {
        // w is (0, 0, +-1) to within rounding: +1 needs nothing, -1 a half turn about x.
        return w.z > 0.0f ? mat4(1.0f) : rotationMatrix(180.0f, vec3(1.0f, 0.0f, 0.0f));
    }
    return rotationMatrix(angle * radiansToDegrees, axis);
}

VolumeSliceFrame VolumeSliceFrame::compute(const vec3& eye, const mat4& view, float nearDistance,
                                           const mat4& world, const vec3& halfExtents,
                                           float samplingRate) {
    VolumeSliceFrame f;
    f.w = glm::normalize(vec3(view[0][2], view[1][2], view[2][2]));
    f.p = vec3(world[3]);
    f.r = glm::length(halfExtents);
    f.step = 1.0f / std::fabs(samplingRate);
    f.rotation = sliceRotation(f.w);
    f.frame = translationMatrix(f.p.x, f.p.y, f.p.z) * scaleMatrix(f.r, f.r, f.r) * f.rotation;

    const mat4 inverseFrame = glm::inverse(f.frame);
    const vec4 eyeInFrame = inverseFrame * vec4(eye, 1.0f);
    const vec4 focusInFrame = inverseFrame * vec4(eye - f.w, 1.0f);
    f.zEye = eyeInFrame.z / eyeInFrame.w;
    f.zFocus = std::fmin(std::fmax(focusInFrame.z, -1.0f), 1.0f);
    // The near distance is subtracted as it is, in world units.
    f.eyeLimit = f.zEye - nearDistance;
    return f;
}

std::string VolumeSliceFrame::focusText() const {
    std::ostringstream text;
    text << focusTextPrefix << zFocus;
    return text.str();
}

mat4 VolumeSliceFrame::sliceModel(float z) const {
    return frame * translationMatrix(0.0f, 0.0f, z);
}

}  // namespace VantorEngine

#include "DirectionalLight.h"

#include <cmath>

namespace VantorEngine {

DirectionalLight::DirectionalLight(vec3 diffuseColor, vec3 ambientColor, vec3 specularColor, vec3 direction,
                                   mat4 projection)
    : _diffuseColor(diffuseColor), _ambientColor(ambientColor), _specularColor(specularColor) {
    const float lengthSquared = direction.x * direction.x + direction.y * direction.y + direction.z * direction.z;
    const float inverseLength = static_cast<float>(1.0 / std::sqrt(static_cast<double>(lengthSquared)));
    _direction = direction * inverseLength;
    _projectionMatrix = projection;
    _viewMatrix = lookAt(vec3(0.0f), _direction, vec3(0.0f, 1.0f, 0.0f));
}

// The start-up light, in place until the demo installs its own.
DirectionalLight directionalLight(vec3(0.8f, 0.6f, 0.6f), vec3(0.1f, 0.1f, 0.1f), vec3(0.3f, 0.3f, 0.3f),
                                  vec3(0.0f, 1.0f, 1.0f),
                                  orthographic(-100.0f, 100.0f, -650.0f, 200.0f, -400.0f, 15.0f));

void setDirectionalLight(const DirectionalLight& light) { directionalLight = light; }

DirectionalLight getDirectionalLight() { return directionalLight; }

}  // namespace VantorEngine

#include "Light.h"

#include <algorithm>
#include <cmath>

namespace VantorEngine {

std::vector<Light*> lights;

namespace {
// Brightness (summed over the three colours) at which the attenuated light counts as gone.
constexpr float kRangeBrightnessScale = 1000.0f;
}  // namespace

Light::Light(vec3 position, float attenuationConstant, float attenuationLinear, float attenuationExp,
             vec3 diffuseColor, vec3 ambientColor, vec3 specularColor, float shadowNear, float shadowFar)
    : _diffuseColor(diffuseColor),
      _ambientColor(ambientColor),
      _specularColor(specularColor),
      _attenuationConstant(attenuationConstant),
      _attenuationLinear(attenuationLinear),
      _attenuationExp(attenuationExp),
      _shadowNear(shadowNear),
      _shadowFar(shadowFar) {
    translate(position.x, position.y, position.z);
    _range = computeRange();
    _isLight = true;
    lights.push_back(this);
}

Light::~Light() {
    auto found = std::find(lights.begin(), lights.end(), this);
    if (found != lights.end()) lights.erase(found);
}

void Light::setTexture(std::string) {}

mat4 Light::getWorldMatrix() {
    mat4 scaled = _localMatrix;
    scaled[0] *= _range;
    scaled[1] *= _range;
    scaled[2] *= _range;
    if (_parent) return _parent->getWorldMatrix() * scaled;
    return scaled;
}

vec3 Light::getPosition() { return vec3(_localMatrix[3].x, _localMatrix[3].y, _localMatrix[3].z); }

float Light::computeRange() {
    const float r = _diffuseColor.x + _ambientColor.x + _specularColor.x;
    const float g = _diffuseColor.y + _ambientColor.y + _specularColor.y;
    const float b = _diffuseColor.z + _ambientColor.z + _specularColor.z;
    const float brightest = std::max(std::max(r, g), b);
    const float q = _attenuationConstant + 1.0f - kRangeBrightnessScale * brightest;
    if (_attenuationExp == 0.0f) return std::fabs(q / _attenuationLinear);
    const float discriminant = _attenuationLinear * _attenuationLinear - 4.0f * _attenuationExp * q;
    const float root = static_cast<float>(std::sqrt(static_cast<double>(discriminant)));
    return (root - _attenuationLinear) / (2.0f * _attenuationExp);
}

std::vector<Light*> getLights() { return lights; }

}  // namespace VantorEngine

#pragma once
// A point light: a scene node with colours and a distance attenuation, from which it derives
// the radius of its light volume. Every existing Light is listed in `lights`.
#include <string>
#include <vector>

#include "GameObject.h"

namespace VantorEngine {

class Light : public GameObject {
public:
    // Places the light at `position` relative to its future parent and appends it to `lights`.
    Light(vec3 position, float attenuationConstant, float attenuationLinear, float attenuationExp,
          vec3 diffuseColor, vec3 ambientColor, vec3 specularColor, float shadowNear, float shadowFar);
    // Leaves `lights`, then deletes the node's children.
    ~Light() override;
    // A light takes no texture.
    void setTexture(std::string texturePath) override;
    // The local matrix with its axes scaled by `_range`, under the parent's world matrix.
    mat4 getWorldMatrix() override;
    // Position relative to the parent, without the range scale.
    virtual vec3 getPosition();

    // Distance at which exp·d² + linear·d + (constant + 1 − 1000·brightest channel) reaches 0.
    float computeRange();

    vec3 _diffuseColor = vec3(0.0f);
    vec3 _ambientColor = vec3(0.0f);
    vec3 _specularColor = vec3(0.0f);
    float _attenuationConstant = 0.0f;
    float _attenuationLinear = 0.0f;
    float _attenuationExp = 0.0f;
    float _shadowNear = 0.0f;
    float _shadowFar = 0.0f;
    float _range = 0.0f;  // computed once by the constructor
};

// Every existing Light, in construction order (not owning).
extern std::vector<Light*> lights;

// A copy of `lights`.
std::vector<Light*> getLights();

}  // namespace VantorEngine

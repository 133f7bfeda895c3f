#pragma once
// The scene's one directional light: colours, a unit direction and the view and orthographic
// projection of its shadow box. Not a scene node; the engine keeps one in `directionalLight`.
#include "MathUtils.h"

namespace VantorEngine {

class DirectionalLight {
public:
    // `direction` need not be of unit length; a zero direction or one parallel to +y gives NaNs.
    DirectionalLight(vec3 diffuseColor, vec3 ambientColor, vec3 specularColor, vec3 direction,
                     mat4 projection);

    vec3 _diffuseColor;
    vec3 _ambientColor;
    vec3 _specularColor;
    vec3 _direction;          // unit direction the light shines in
    mat4 _viewMatrix;         // look-at from the origin towards _direction, up (0, 1, 0)
    mat4 _projectionMatrix;   // orthographic box of the shadow map
};

// The engine-wide directional light; the demo replaces it at start-up.
extern DirectionalLight directionalLight;

// Replaces every field of `directionalLight`.
void setDirectionalLight(const DirectionalLight& light);
// A copy of `directionalLight`.
DirectionalLight getDirectionalLight();

}  // namespace VantorEngine

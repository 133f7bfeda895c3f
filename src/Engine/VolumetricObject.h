#pragma once
// The scene node that carries a volume: a shared volume texture and the per-object settings the
// volume pipeline reads when it slices the node (sampling rates, box size, light, noise offset).
#include <memory>

#include "GameObject.h"

namespace VantorEngine {

class Light;
class VolumeTexture;

class VolumetricObject : public GameObject {
public:
    VolumetricObject();
    ~VolumetricObject() override;
    // GameObject's animation, then the noise offset advances by _noiseSpeed·dt.
    void update(double dt) override;
    // Scales _halfExtents as well as the local matrix.
    void scale(float x, float y, float z) override;

    void setVolumeTexture(std::shared_ptr<VolumeTexture> volumeTexture);

    std::shared_ptr<VolumeTexture> _volumeTexture;
    float _referenceSamplingRate = 0.0f;
    float _samplingRate = 0.0f;               // slices per unit of the slice frame
    vec3 _lightColor = vec3(1.0f, 1.0f, 1.0f);      // used while no light is attached
    vec3 _lightDirection = vec3(1.0f, 1.0f, 0.0f);  // used, normalised, while no light is attached
    vec3 _halfExtents = vec3(1.0f, 1.0f, 1.0f);     // half size of the box in world units
    vec2 _noisePosOffset = vec2(0.0f, 0.0f);
    float _noiseOffsetFactor = 0.0f;
    vec2 _noiseSpeed = vec2(0.0f, 0.0f);      // noise offset advance per second
    Light* _light = nullptr;                  // not owned
};

}  // namespace VantorEngine

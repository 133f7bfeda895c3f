#include "VolumetricObject.h"

namespace VantorEngine {

VolumetricObject::VolumetricObject() { _isVolume = true; }

VolumetricObject::~VolumetricObject() { _volumeTexture.reset(); }

void VolumetricObject::update(double dt) {
    GameObject::update(dt);
    const float seconds = static_cast<float>(dt);
    _noisePosOffset.x += _noiseSpeed.x * seconds;
    _noisePosOffset.y += _noiseSpeed.y * seconds;
    // One step back into range per update is enough for the speeds the noise is animated with.
    if (_noisePosOffset.x > 1.0f) _noisePosOffset.x -= 1.0f;
    if (_noisePosOffset.y > 1.0f) _noisePosOffset.y -= 1.0f;
}

void VolumetricObject::scale(float x, float y, float z) {
    _halfExtents = vec3(_halfExtents.x * x, _halfExtents.y * y, _halfExtents.z * z);
    GameObject::scale(x, y, z);
}

void VolumetricObject::setVolumeTexture(std::shared_ptr<VolumeTexture> volumeTexture) {
    _volumeTexture = std::move(volumeTexture);
}

}  // namespace VantorEngine

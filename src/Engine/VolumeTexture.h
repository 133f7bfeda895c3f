#pragma once
// A volume dataset as one 3D texture: gradient in RGB (-1..1), 7-bit density in A (0..1).
#include "ITexture.h"
#include "VolumeDescription.h"

namespace VantorEngine {

class VolumeTexture : public ITexture {
public:
    // Reads the file, converts it, computes and filters the gradients and uploads the texture.
    // A missing file or a size that cannot be loaded ends the program with a message.
    explicit VolumeTexture(VolumeDescription description);
    ~VolumeTexture() override;

    void bind(int unit) override;
    void unbind(int unit) override;

    VolumeDescription _volDescription;  // with the size taken from the file's header
};

}  // namespace VantorEngine

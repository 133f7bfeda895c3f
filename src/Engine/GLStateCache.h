#pragma once

namespace VantorEngine {

// Last viewport set by FrameBuffer::bind (nothing else calls glViewport).
struct Viewport {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Viewport& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    bool operator!=(const Viewport& o) const { return !(*this == o); }
};

extern Viewport currentViewport;
// Unit last selected with glActiveTexture (0 = GL_TEXTURE0); only texture classes select units.
extern int activeTextureUnit;

// Selects `unit` with glActiveTexture only when it differs from activeTextureUnit.
void selectTextureUnit(int unit);

}  // namespace VantorEngine

#include "GLStateCache.h"

#include <GL/glew.h>

namespace VantorEngine {

Viewport currentViewport;
int activeTextureUnit = 0;

void selectTextureUnit(int unit) {
    if (unit != activeTextureUnit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        activeTextureUnit = unit;
    }
}

}  // namespace VantorEngine

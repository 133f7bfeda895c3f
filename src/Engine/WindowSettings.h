#pragma once
#include <cstdint>

namespace VantorEngine {

// Window size and mode from the command line; width and height are used as unsigned values
// wherever they are halved, divided or used to size render targets.
struct WindowSettings {
    int32_t width = 1024;
    int32_t height = 768;
    int32_t refreshRate = 60;
    bool fullscreen = false;
};

}  // namespace VantorEngine

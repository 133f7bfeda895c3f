#include "Engine.h"

#include <iostream>

#include "StringToInt.h"

namespace VantorEngine {

WindowSettings parseCommandLine(int argc, char** argv) {
    WindowSettings settings;
    for (int i = 0; i < argc; ++i) arguments.emplace_back(argv[i] ? argv[i] : "");

    const size_t count = arguments.size();
    bool ok = true;
    if (count >= 3) {
        ok = convertOrReport(arguments[1], settings.width) &&
             convertOrReport(arguments[2], settings.height);
    }
    if (ok && count >= 4) ok = convertOrReport(arguments[3], settings.refreshRate);
    if (ok && count >= 5) {
        int32_t fullscreen = 0;
        ok = convertOrReport(arguments[4], fullscreen);
        settings.fullscreen = ok && fullscreen != 0;
    }
    if (!ok) settings.fullscreen = false;
    return settings;
}

void toggleWireframe() {
    wireframeMode = !wireframeMode;
    std::cout << "wireframe mode " << (wireframeMode ? "on" : "off") << std::endl;
}

}  // namespace VantorEngine

// Entry point of the demo: runs the engine with the demo's game manager.
#include <cstdio>
#include <cstdlib>

#include "Engine.h"
#include "FTGameManager.h"

int main(int argc, char** argv) {
    FallowTide::FTGameManager manager;
    VantorEngine::gameManager = &manager;
    if (VantorEngine::init(argc, argv) == 0) VantorEngine::run();
    const int error = VantorEngine::deinit();
    if (error != 0) {
        // The engine recorded a start-up failure; the game manager is left as it is.
        std::fflush(stdout);
        std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", "error == 0",
                     "src\\Game\\main", 19);
        std::fflush(stderr);
        std::_Exit(EXIT_FAILURE);
    }
    return 0;
}

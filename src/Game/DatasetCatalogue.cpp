#include "DatasetCatalogue.h"

namespace FallowTide {

namespace {

using VantorEngine::vec3;
using VantorEngine::VolumeDescription;

// Header entries take their size from the file; the .raw and .pvm files are 512 x 512 x depth.
VolumeDescription withHeader(const char* path) {
    VolumeDescription d;
    d._path = path;
    d._hasHeader = true;
    d._bitsPerSample = 12;
    d._scale = vec3(1.0f);
    return d;
}

VolumeDescription headerless(const char* path, int depth, int bits, float scale, bool flipY, bool flipZ) {
    VolumeDescription d;
    d._path = path;
    d._hasHeader = false;
    d._width = 512;
    d._height = 512;
    d._depth = depth;
    d._bitsPerSample = bits;
    d._scale = vec3(scale);
    d._flipX = false;
    d._flipY = flipY;
    d._flipZ = flipZ;
    return d;
}

}  // namespace

VolumeDescription datasetDescription(int index) {
    switch (index) {
        case 0: return withHeader("resources\\stagbeetle277x277x164.dat");
        case 1: return withHeader("resources\\stagbeetle416x416x247.dat");
        case 2: return withHeader("resources\\present246x246x221.dat");
        case 3: return withHeader("resources\\present492x492x442.dat");
        case 4: return withHeader("resources\\christmastree256x249x256.dat");
        case 5: return headerless("resources\\stent16.raw", 174, 12, 0.5f, false, true);
        case 6: return headerless("resources\\backpack16.raw", 373, 12, 1.0f, false, false);
        case 7: return headerless("resources\\vertebra16.raw", 512, 12, 1.0f, false, false);
        case 8: return headerless("resources\\prone16.raw", 463, 12, 0.25f, true, true);
        case 9: return headerless("resources\\supine16.raw", 426, 12, 0.25f, true, true);
        case 10: return headerless("resources\\colon_phantom16.raw", 442, 12, 0.25f, true, true);
        case 11: return headerless("resources\\Bonsai1.pvm", 182, 16, 0.25f, true, true);
        default: return VolumeDescription();
    }
}

int datasetCatalogueSize() { return datasetCount; }

int datasetIndexForFileName(const std::string& name) {
    for (int i = 0; i < datasetCount; ++i) {
        const std::string path = datasetDescription(i)._path;
        const std::string file = path.substr(path.find_last_of('\\') + 1);
        if (file == name) return i;
    }
    return -1;
}

}  // namespace FallowTide

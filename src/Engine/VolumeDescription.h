#pragma once
// Where a volume dataset file is and how to interpret its samples.
#include <string>

#include "MathUtils.h"

namespace VantorEngine {

struct VolumeDescription {
    std::string _path;        // relative to the working directory, backslash separators
    bool _hasHeader = false;  // the file starts with the 6-byte size header
    int _width = 0;           // voxels along x; replaced by the header value when _hasHeader
    int _height = 0;          // voxels along y; replaced by the header value when _hasHeader
    int _depth = 0;           // slices along z; replaced by the header value when _hasHeader
    int _bitsPerSample = 0;   // significant bits per sample, 7 to 16
    vec3 _scale = vec3(1.0f); // applied by the demo to the object carrying the volume
    bool _flipX = false;      // mirror the grid along that axis while converting
    bool _flipY = false;
    bool _flipZ = false;
};

}  // namespace VantorEngine

#pragma once
// Synthetic stand-ins for the catalogue's datasets: a recognisable object per entry in CT-like
// values, with soft edges and a little noise inside the object (empty space stays exactly 0),
// written in the entry's exact file layout.
#include <cstdint>
#include <string>
#include <vector>

#include "VolumeDescription.h"

namespace FallowTide {

// The catalogue entry with its size filled in (header entries take it from the file name).
VantorEngine::VolumeDescription generatedDatasetDescription(int index);

// Samples of entry `index` in file order (x fastest), already mirrored so that the entry's
// flips show the object upright. Uses `threads` workers (0: the hardware's).
std::vector<uint16_t> generateDatasetSamples(int index, int threads = 0);

// Writes entry `index` to its catalogue path below `root` (the path's folders are created).
// Returns false with `error` set when the file cannot be written.
bool writeGeneratedDataset(int index, const std::string& root, std::string& error, int threads = 0);

// The entry's file path below `root`, in native form.
std::string generatedDatasetPath(int index, const std::string& root);

}  // namespace FallowTide

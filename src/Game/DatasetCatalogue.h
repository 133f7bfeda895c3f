#pragma once
// The demo's twelve volume datasets, in command-line index order.
#include "VolumeDescription.h"

namespace FallowTide {

constexpr int datasetCount = 12;

// Entry `index` (0 .. datasetCount - 1) of the catalogue, built afresh on each call.
VantorEngine::VolumeDescription datasetDescription(int index);

// Number of entries: datasetCount.
int datasetCatalogueSize();

// The index whose path ends in the file name `name` ("stent16.raw"), or -1.
int datasetIndexForFileName(const std::string& name);

}  // namespace FallowTide

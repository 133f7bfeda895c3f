// Writes synthetic stand-ins for the demo's volume datasets at their catalogue paths.
//
//   generate_datasets [--root DIR] [--index N | --name FILE | --all] [--if-missing] [--threads N]
//
// DIR defaults to the working directory (run it from the repository root); --name takes the
// file name of a catalogue entry ("stent16.raw"); --if-missing skips files that exist.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "DatasetCatalogue.h"
#include "DatasetGenerator.h"

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: generate_datasets [--root DIR] [--index N | --name FILE | --all] [--if-missing] [--threads N]\n"
                 "Catalogue entries:\n");
    for (int i = 0; i < FallowTide::datasetCatalogueSize(); ++i)
        std::fprintf(stderr, "  %2d  %s\n", i, FallowTide::datasetDescription(i)._path.c_str());
}

bool parseIndex(const char* text, int& index) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value >= FallowTide::datasetCatalogueSize()) return false;
    index = int(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root = ".";
    std::vector<int> indices;
    bool all = false, ifMissing = false;
    int threads = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--root" && hasValue) {
            root = argv[++i];
        } else if (arg == "--index" && hasValue) {
            int index = 0;
            if (!parseIndex(argv[++i], index)) {
                std::fprintf(stderr, "generate_datasets: --index needs 0 to %d, not '%s'\n",
                             FallowTide::datasetCatalogueSize() - 1, argv[i]);
                return 2;
            }
            indices.push_back(index);
        } else if (arg == "--name" && hasValue) {
            const int index = FallowTide::datasetIndexForFileName(argv[++i]);
            if (index < 0) {
                std::fprintf(stderr, "generate_datasets: no catalogue entry is named '%s'\n", argv[i]);
                usage();
                return 2;
            }
            indices.push_back(index);
        } else if (arg == "--all") {
            all = true;
        } else if (arg == "--if-missing") {
            ifMissing = true;
        } else if (arg == "--threads" && hasValue) {
            threads = std::atoi(argv[++i]);
        } else {
            usage();
            return arg == "--help" || arg == "-h" ? 0 : 2;
        }
    }
    if (all) {
        indices.clear();
        for (int i = 0; i < FallowTide::datasetCatalogueSize(); ++i) indices.push_back(i);
    }
    if (indices.empty()) {
        usage();
        return 2;
    }
    for (int index : indices) {
        const std::string path = FallowTide::generatedDatasetPath(index, root);
        if (ifMissing && std::filesystem::exists(path)) {
            std::printf("%s exists, kept\n", path.c_str());
            continue;
        }
        const auto start = std::chrono::steady_clock::now();
        std::string error;
        if (!FallowTide::writeGeneratedDataset(index, root, error, threads)) {
            std::fprintf(stderr, "generate_datasets: %s\n", error.c_str());
            return 1;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const VantorEngine::VolumeDescription d = FallowTide::generatedDatasetDescription(index);
        std::printf("%s written: %d x %d x %d, %d bits%s (%.1f s)\n", path.c_str(), d._width, d._height, d._depth,
                    d._bitsPerSample, d._hasHeader ? ", size header" : "", seconds);
        std::fflush(stdout);
    }
    return 0;
}

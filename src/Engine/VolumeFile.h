#pragma once
// Reading volume dataset files: the optional 6-byte little-endian size header, then 16-bit
// little-endian samples, x fastest. Parsing works on bytes in memory as well as on a file.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "VolumeDescription.h"

namespace VantorEngine {

// Memory of at least hugePageBytes, aligned to and asking for transparent huge pages where the
// system offers them: a dataset's sample list is hundreds of megabytes, and mapping it page by
// page costs more than reading it. Fails like operator new. Released with releaseLargeBlock,
// given the same byte count.
constexpr size_t hugePageBytes = size_t(2) << 20;
// Asks for transparent huge pages over a block aligned to hugePageBytes; advice only.
void adviseHugePages(void* block, size_t bytes);
void* allocateLargeBlock(size_t bytes);
void releaseLargeBlock(void* block, size_t bytes) noexcept;

// Leaves new elements uninitialised so a large sample list is not cleared before the read
// overwrites it; the reader zeroes only what the file does not supply.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    T* allocate(size_t n) {
        if (n * sizeof(T) < hugePageBytes) return std::allocator<T>::allocate(n);
        return static_cast<T*>(allocateLargeBlock(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n * sizeof(T) < hugePageBytes) std::allocator<T>::deallocate(p, n);
        else releaseLargeBlock(p, n * sizeof(T));
    }
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// width * height * depth samples in file order (x fastest).
using VolumeSamples = std::vector<uint16_t, UninitialisedAllocator<uint16_t>>;

constexpr int volumeHeaderBytes = 6;
constexpr int minBitsPerSample = 7;
constexpr int maxBitsPerSample = 16;

enum class VolumeReadResult {
    read,        // the samples are in the list (a short file leaves the rest at 0)
    cannotOpen,  // the file is missing or unreadable
    badHeader,   // the file is too short to hold its size header
    badSize,     // the size cannot be loaded (see volumeSizeProblem)
};

// Why a volume of the description's size and bit depth cannot be converted and uploaded, or
// an empty string when it can. Sizes must be positive, the byte count must fit the 32-bit index
// checks, and with maxTextureSize > 0 no side may exceed it.
std::string volumeSizeProblem(const VolumeDescription& description, int maxTextureSize);

// Sets the size from the first 6 bytes; false when fewer are given.
bool parseVolumeHeader(VolumeDescription& description, const unsigned char* bytes, size_t size);

// Samples from in-memory file contents: header (when the description has one), size check,
// then the samples; missing samples are 0 and bytes after the last one are ignored.
VolumeReadResult parseVolumeFile(VolumeDescription& description, const unsigned char* bytes, size_t size,
                                 int maxTextureSize, VolumeSamples& samples, std::string& problem);

// Called once the size is known and has passed the checks, before the samples are read: a
// caller can prepare what the size needs while the file is read.
using VolumeSizeKnown = std::function<void(const VolumeDescription&)>;

// The same from the file at the description's path, printing the reading lines on standard
// output. `progress` (may be empty) receives the fraction of the samples read so far.
VolumeReadResult readVolumeFile(VolumeDescription& description, int maxTextureSize,
                                VolumeSamples& samples, std::string& problem,
                                const std::function<void(double)>& progress = {},
                                const VolumeSizeKnown& sizeKnown = {});

// readVolumeFile for a load that cannot go on without the volume: a missing file or a size
// that cannot work is reported on standard error (with how to make the file) and the process
// ends with a failure status.
void readVolumeFileOrExit(VolumeDescription& description, int maxTextureSize, VolumeSamples& samples,
                          const std::function<void(double)>& progress = {}, const VolumeSizeKnown& sizeKnown = {});

}  // namespace VantorEngine

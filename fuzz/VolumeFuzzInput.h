#pragma once
// Layout of a volume fuzz input, shared by the target and the seed generator: a description
// followed by the dataset file's bytes.
//   byte 0       flags: bit 0 header, bit 1 flip x, bit 2 flip y, bit 3 flip z
//   byte 1       bits per sample (signed)
//   bytes 2..13  width, height, depth: 32-bit little-endian signed (ignored with a header)
//   bytes 14..   the file
#include <cstddef>
#include <cstdint>

namespace VolumeFuzzInput {

constexpr std::size_t descriptionBytes = 14;
constexpr uint8_t headerFlag = 1, flipXFlag = 2, flipYFlag = 4, flipZFlag = 8;

}  // namespace VolumeFuzzInput

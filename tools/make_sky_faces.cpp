// Writes the six sky cube-map faces "posx.bmp" ... "negz.bmp" (24-bit BMP) under
// <resources>/textures: a blue gradient over a bright horizon, a few soft clouds above it and
// darkening ground below. Every texel is coloured from its direction through the cube, so the
// faces meet without seams. Run at each build with the resources folder as argument; a face is
// rewritten only when its bytes change.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "FilePath.h"

namespace {

constexpr int kFaceSize = 256;  // texels per edge; 256 × 3 bytes per row needs no padding
constexpr int kBmpHeaderSize = 54;

struct Colour {
    float r, g, b;
};

struct Direction {
    float x, y, z;
};

Colour mix(const Colour& a, const Colour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

float smoothStep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

// Cheap deterministic lattice noise in 0..1, so the clouds get a ragged edge.
float hash3(int x, int y, int z) {
    uint32_t h = static_cast<uint32_t>(x) * 73856093u ^ static_cast<uint32_t>(y) * 19349663u ^
                 static_cast<uint32_t>(z) * 83492791u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xffffu) / 65535.0f;
}

float valueNoise(float x, float y, float z) {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y)),
              iz = static_cast<int>(std::floor(z));
    const float fx = x - ix, fy = y - iy, fz = z - iz;
    const float ux = fx * fx * (3 - 2 * fx), uy = fy * fy * (3 - 2 * fy), uz = fz * fz * (3 - 2 * fz);
    float result = 0.0f;
    for (int dz = 0; dz < 2; ++dz)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) {
                const float w = (dx ? ux : 1 - ux) * (dy ? uy : 1 - uy) * (dz ? uz : 1 - uz);
                result += w * hash3(ix + dx, iy + dy, iz + dz);
            }
    return result;
}

// Cloud centres as unit directions (azimuth, elevation in degrees) with their angular radius.
struct Cloud {
    float azimuthDeg, elevationDeg, radiusDeg;
};
constexpr std::array<Cloud, 7> kClouds = {{
    {-10.0f, 18.0f, 11.0f},
    {35.0f, 26.0f, 9.0f},
    {100.0f, 14.0f, 12.0f},
    {160.0f, 30.0f, 10.0f},
    {215.0f, 12.0f, 13.0f},
    {280.0f, 22.0f, 9.0f},
    {330.0f, 40.0f, 8.0f},
}};

Colour skyColour(Direction d) {
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    d = {d.x / length, d.y / length, d.z / length};
    const Colour zenith{0.10f, 0.25f, 0.62f};
    const Colour horizonSky{0.72f, 0.83f, 0.95f};
    const Colour horizonGround{0.42f, 0.45f, 0.36f};
    const Colour deepGround{0.17f, 0.21f, 0.12f};

    if (d.y < 0.0f) return mix(horizonGround, deepGround, smoothStep(0.0f, 0.5f, -d.y));

    Colour colour = mix(horizonSky, zenith, std::pow(d.y, 0.6f));
    // Each cloud is a row of puffs, widest in the middle, with a flattened underside.
    constexpr int kPuffs = 5;
    constexpr float kDegrees = 3.14159265f / 180.0f;
    float cover = 0.0f;
    for (const Cloud& cloud : kClouds) {
        for (int puff = 0; puff < kPuffs; ++puff) {
            const float offset = (puff - (kPuffs - 1) * 0.5f) / ((kPuffs - 1) * 0.5f);  // -1..1
            const float radius = cloud.radiusDeg * (1.0f - 0.45f * offset * offset) * kDegrees;
            const float az = (cloud.azimuthDeg + offset * cloud.radiusDeg * 1.6f) * kDegrees;
            const float el = (cloud.elevationDeg + (1.0f - offset * offset) * cloud.radiusDeg * 0.25f) * kDegrees;
            const Direction c{std::cos(el) * std::sin(az), std::sin(el), -std::cos(el) * std::cos(az)};
            // Angular distance, with the part below the puff's centre squeezed so the base is flat.
            const float below = std::max(0.0f, std::sin(el) - d.y) * 2.0f;
            const float angle = std::acos(std::clamp(d.x * c.x + d.y * c.y + d.z * c.z, -1.0f, 1.0f)) + below;
            const float ragged = 0.8f + 0.4f * valueNoise(d.x * 14.0f + 11.0f, d.y * 14.0f, d.z * 14.0f);
            cover = std::max(cover, 1.0f - smoothStep(0.5f * radius, radius * ragged, angle));
        }
    }
    // A thin band of haze softens the horizon line itself.
    cover *= smoothStep(0.02f, 0.12f, d.y);
    return mix(colour, Colour{0.97f, 0.97f, 0.98f}, cover * 0.9f);
}

// Direction through texel (s, t) of a face, both in -1..1, with t growing along the texture's
// rows as uploaded (the file's first stored row is t = -1). These are the cube-map face axes
// (major axis, s and t axes) inverted.
Direction faceDirection(int face, float s, float t) {
    switch (face) {
        case 0: return {1.0f, -t, -s};   // +X
        case 1: return {-1.0f, -t, s};   // -X
        case 2: return {s, 1.0f, t};     // +Y
        case 3: return {s, -1.0f, -t};   // -Y
        case 4: return {s, -t, 1.0f};    // +Z
        default: return {-s, -t, -1.0f}; // -Z
    }
}

void putLittleEndian(std::vector<unsigned char>& bytes, size_t offset, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) bytes[offset + i] = static_cast<unsigned char>((value >> (8 * i)) & 0xffu);
}

// A 24-bit uncompressed BMP of one face: rows stored in upload order, blue-green-red.
std::vector<unsigned char> encodeFace(int face) {
    const int rowBytes = (kFaceSize * 3 + 3) / 4 * 4;
    const uint32_t imageBytes = static_cast<uint32_t>(rowBytes * kFaceSize);
    std::vector<unsigned char> bytes(kBmpHeaderSize + imageBytes, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLittleEndian(bytes, 2, kBmpHeaderSize + imageBytes, 4);
    putLittleEndian(bytes, 10, kBmpHeaderSize, 4);
    putLittleEndian(bytes, 14, 40, 4);  // BITMAPINFOHEADER
    putLittleEndian(bytes, 18, kFaceSize, 4);
    putLittleEndian(bytes, 22, kFaceSize, 4);
    putLittleEndian(bytes, 26, 1, 2);   // planes
    putLittleEndian(bytes, 28, 24, 2);  // bits per pixel
    putLittleEndian(bytes, 30, 0, 4);   // no compression
    putLittleEndian(bytes, 34, imageBytes, 4);
    putLittleEndian(bytes, 38, 2835, 4);  // 72 dpi
    putLittleEndian(bytes, 42, 2835, 4);
    for (int row = 0; row < kFaceSize; ++row) {
        const float t = (row + 0.5f) / kFaceSize * 2.0f - 1.0f;
        for (int column = 0; column < kFaceSize; ++column) {
            const float s = (column + 0.5f) / kFaceSize * 2.0f - 1.0f;
            const Colour c = skyColour(faceDirection(face, s, t));
            const size_t at = kBmpHeaderSize + static_cast<size_t>(row) * rowBytes + column * 3;
            bytes[at + 0] = static_cast<unsigned char>(std::lround(std::clamp(c.b, 0.0f, 1.0f) * 255.0f));
            bytes[at + 1] = static_cast<unsigned char>(std::lround(std::clamp(c.g, 0.0f, 1.0f) * 255.0f));
            bytes[at + 2] = static_cast<unsigned char>(std::lround(std::clamp(c.r, 0.0f, 1.0f) * 255.0f));
        }
    }
    return bytes;
}

bool writeIfChanged(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::string existing;
    if (VantorEngine::readWholeFile(path, existing) && existing.size() == bytes.size() &&
        std::equal(bytes.begin(), bytes.end(), existing.begin(),
                   [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); }))
        return true;
    std::FILE* file = VantorEngine::openFile(path, "wb");
    if (!file) {
        std::fprintf(stderr, "make_sky_faces: cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_sky_faces <resources folder>\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/textures";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "make_sky_faces: cannot create %s\n", folder.c_str());
        return 1;
    }
    static const std::array<const char*, 6> kFaceFiles = {"posx.bmp", "negx.bmp", "posy.bmp",
                                                          "negy.bmp", "posz.bmp", "negz.bmp"};
    for (int face = 0; face < 6; ++face) {
        if (!writeIfChanged(folder + "/" + kFaceFiles[face], encodeFace(face))) return 1;
    }
    return 0;
}

// Writes the two images the volume pipeline reads at run time:
//   <resources>/textures/noise4.jpg            jitter noise that breaks up slicing rings
//   <resources>/textures/transfer_function.png pre-integrated transfer function (CT preset)
// Usage: make_volume_textures <resources folder>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int noiseSize = 128;
constexpr int noiseQuality = 100;  // JPEG quality: keep the noise close to uniform
constexpr unsigned noiseSeed = 20261210u;

// The table is 255 texels wide so that "trfunc_delta" (1/510) is exactly half a texel and
// densities 0 and 1 fall on the centres of the first and last texels.
constexpr int tableSize = 255;
constexpr int integrationSteps = 48;

struct Rgba {
    float r, g, b, a;
};

float smoothstep(float edge0, float edge1, float x) {
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

float mix(float a, float b, float t) { return a + (b - a) * t; }

// The plain transfer function: colour and opacity of one reference slice at density d (0..1).
// Air is transparent, soft tissue faint and warm, bone opaque and bright.
Rgba ctPreset(float d) {
    constexpr float tissueStart = 0.10f, tissueFull = 0.22f;
    constexpr float boneStart = 0.42f, boneFull = 0.60f;
    constexpr float tissueOpacity = 0.004f;
    constexpr float boneOpacity = 0.45f;
    const float tissue = smoothstep(tissueStart, tissueFull, d);
    const float bone = smoothstep(boneStart, boneFull, d);
    Rgba c;
    // Warm red-orange tissue turning to ivory bone.
    c.r = mix(0.90f, 1.00f, bone);
    c.g = mix(mix(0.42f, 0.60f, tissue), 0.95f, bone);
    c.b = mix(mix(0.30f, 0.42f, tissue), 0.86f, bone);
    c.a = tissue * mix(tissueOpacity, boneOpacity, bone);
    // The densest material is slightly more opaque still.
    c.a = std::min(1.0f, c.a + 0.2f * smoothstep(0.8f, 1.0f, d));
    return c;
}

// Colour and opacity of a slab whose density runs linearly from `front` (toward the eye) to
// `back`, composited front to back over sub-steps; colour is returned unpremultiplied.
Rgba preIntegrate(float front, float back) {
    float transparency = 1.0f;
    float r = 0.0f, g = 0.0f, b = 0.0f;
    for (int k = 0; k < integrationSteps; ++k) {
        const float d = front + (back - front) * (static_cast<float>(k) + 0.5f) / integrationSteps;
        const Rgba c = ctPreset(d);
        const float alpha = 1.0f - std::pow(1.0f - c.a, 1.0f / integrationSteps);
        r += transparency * alpha * c.r;
        g += transparency * alpha * c.g;
        b += transparency * alpha * c.b;
        transparency *= 1.0f - alpha;
    }
    const float alpha = 1.0f - transparency;
    if (alpha <= 0.0f) {
        Rgba mid = ctPreset(0.5f * (front + back));
        mid.a = 0.0f;
        return mid;
    }
    return Rgba{r / alpha, g / alpha, b / alpha, alpha};
}

uint8_t toByte(float v) {
    return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

bool writeTransferFunction(const std::string& path) {
    std::vector<uint8_t> pixels(static_cast<size_t>(tableSize) * tableSize * 4);
    for (int row = 0; row < tableSize; ++row) {        // back density (v); row 0 is v = 0
        for (int col = 0; col < tableSize; ++col) {    // front density (u)
            const float front = static_cast<float>(col) / (tableSize - 1);
            const float back = static_cast<float>(row) / (tableSize - 1);
            const Rgba c = preIntegrate(front, back);
            uint8_t* px = &pixels[(static_cast<size_t>(row) * tableSize + col) * 4];
            px[0] = toByte(c.r);
            px[1] = toByte(c.g);
            px[2] = toByte(c.b);
            // Opacity is stored as its square root (the shader squares it) so the faint
            // tissue values keep their precision in eight bits.
            px[3] = toByte(std::sqrt(c.a));
        }
    }
    return stbi_write_png(path.c_str(), tableSize, tableSize, 4, pixels.data(), tableSize * 4) != 0;
}

bool writeNoise(const std::string& path) {
    std::mt19937 generator(noiseSeed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> pixels(static_cast<size_t>(noiseSize) * noiseSize);
    for (auto& p : pixels) p = static_cast<uint8_t>(byte(generator));
    return stbi_write_jpg(path.c_str(), noiseSize, noiseSize, 1, pixels.data(), noiseQuality) != 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path textures = std::filesystem::path(argv[1]) / "textures";
    std::error_code ec;
    std::filesystem::create_directories(textures, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", textures.string().c_str(), ec.message().c_str());
        return 1;
    }
    const std::string noisePath = (textures / "noise4.jpg").string();
    const std::string tablePath = (textures / "transfer_function.png").string();
    if (!writeNoise(noisePath)) {
        std::fprintf(stderr, "cannot write %s\n", noisePath.c_str());
        return 1;
    }
    if (!writeTransferFunction(tablePath)) {
        std::fprintf(stderr, "cannot write %s\n", tablePath.c_str());
        return 1;
    }
    return 0;
}

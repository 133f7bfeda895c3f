// Writes the demo's music file, a short generated tone, as a 16-bit mono RIFF/WAVE file:
//   make_music RESOURCES_DIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSampleRate = 22050;
constexpr double kSeconds = 2.0;
constexpr double kPi = 3.14159265358979323846;

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path root = argc > 1 ? argv[1] : "resources";
    const std::filesystem::path path = root / "sounds" / "Fallow Tide final.wav";
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (std::filesystem::exists(path)) return 0;

    const uint32_t frames = static_cast<uint32_t>(kSampleRate * kSeconds);
    std::vector<uint8_t> wav;
    putTag(wav, "RIFF");
    putU32(wav, 36 + frames * 2);
    putTag(wav, "WAVE");
    putTag(wav, "fmt ");
    putU32(wav, 16);
    putU16(wav, 1);  // integer PCM
    putU16(wav, 1);  // mono
    putU32(wav, kSampleRate);
    putU32(wav, kSampleRate * 2);
    putU16(wav, 2);
    putU16(wav, 16);
    putTag(wav, "data");
    putU32(wav, frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        // A soft A-minor chord with a fade in and out, so the file is not a bare beep.
        const double envelope = std::sin(kPi * t / kSeconds);
        const double s = 0.5 * std::sin(2 * kPi * 220.0 * t) + 0.3 * std::sin(2 * kPi * 261.63 * t) +
                         0.2 * std::sin(2 * kPi * 329.63 * t);
        putU16(wav, static_cast<uint16_t>(static_cast<int16_t>(envelope * s * 12000.0)));
    }
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    if (!file || std::fwrite(wav.data(), 1, wav.size(), file) != wav.size()) {
        std::fprintf(stderr, "make_music: cannot write %s\n", path.string().c_str());
        if (file) std::fclose(file);
        return 1;
    }
    std::fclose(file);
    std::printf("make_music: wrote %s\n", path.string().c_str());
    return 0;
}

// Writes the seed corpora of the fuzz targets: small, well-formed inputs of each format plus a
// few near-misses, so fuzzing starts from the interesting paths. Usage: make_fuzz_seeds DIR
// (creates DIR/fuzz_<target>/<seed>).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "VolumeFuzzInput.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void putText(Bytes& b, const char* text) {
    for (; *text; ++text) b.push_back(uint8_t(*text));
}

// BMP with a 54-byte header; without the size field the reader takes width x height x 3.
Bytes bmp(int32_t width, int32_t height, uint32_t bits, bool writeSizeField) {
    // A negative (top-down) height still stores |height| rows.
    const uint32_t stride = (uint32_t(width) * 3 + 3) / 4 * 4;
    const uint32_t dataSize = stride * uint32_t(height < 0 ? -height : height);
    Bytes b;
    putText(b, "BM");
    put32(b, 54 + dataSize);
    put32(b, 0);
    put32(b, 54);
    put32(b, 40);
    put32(b, uint32_t(width));
    put32(b, uint32_t(height));
    put16(b, 1);
    put16(b, bits);
    put32(b, 0);
    put32(b, writeSizeField ? dataSize : 0);
    put32(b, 2835);
    put32(b, 2835);
    put32(b, 0);
    put32(b, 0);
    for (uint32_t i = 0; i < dataSize; ++i) b.push_back(uint8_t(i * 37));
    return b;
}

Bytes dds(const char* fourCC, uint32_t width, uint32_t height, uint32_t mipMaps, uint32_t blockBytes) {
    uint32_t levelZero = ((width + 3) / 4) * ((height + 3) / 4) * blockBytes;
    Bytes b;
    putText(b, "DDS ");
    put32(b, 124);
    put32(b, 0x1007 | (mipMaps > 1 ? 0x20000 : 0));
    put32(b, height);
    put32(b, width);
    put32(b, levelZero);
    put32(b, 0);
    put32(b, mipMaps);
    for (int i = 0; i < 11; ++i) put32(b, 0);
    put32(b, 32);  // pixel format size
    put32(b, 4);   // has FourCC
    putText(b, fourCC);
    for (int i = 0; i < 5; ++i) put32(b, 0);
    put32(b, 0x1000);
    for (int i = 0; i < 4; ++i) put32(b, 0);
    const uint32_t data = mipMaps > 1 ? 2 * levelZero : levelZero;
    for (uint32_t i = 0; i < data; ++i) b.push_back(uint8_t(i * 11 + 5));
    return b;
}

Bytes wav(uint16_t format, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t frames, bool listChunk) {
    const uint32_t dataSize = frames * channels * (bits / 8);
    Bytes body;
    putText(body, "WAVE");
    putText(body, "fmt ");
    put32(body, 16);
    put16(body, format);
    put16(body, channels);
    put32(body, rate);
    put32(body, rate * channels * (bits / 8));
    put16(body, channels * (bits / 8));
    put16(body, bits);
    if (listChunk) {
        putText(body, "LIST");
        put32(body, 5);  // odd size: padded to 6
        putText(body, "INFOx");
        body.push_back(0);
    }
    putText(body, "data");
    put32(body, dataSize);
    for (uint32_t i = 0; i < dataSize; ++i) body.push_back(uint8_t(i * 13));
    Bytes b;
    putText(b, "RIFF");
    put32(b, uint32_t(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes arguments(const std::vector<std::string>& args) {
    Bytes b;
    for (size_t i = 0; i < args.size(); ++i) {
        if (i) b.push_back(0);
        putText(b, args[i].c_str());
    }
    return b;
}

// A fuzz_volume input: description, then the file (with its header when `header`).
Bytes volume(uint8_t flags, int8_t bits, int32_t w, int32_t h, int32_t d, bool header, uint32_t maxSample) {
    Bytes b;
    b.push_back(flags | (header ? VolumeFuzzInput::headerFlag : 0));
    b.push_back(uint8_t(bits));
    put32(b, uint32_t(header ? 0 : w));
    put32(b, uint32_t(header ? 0 : h));
    put32(b, uint32_t(header ? 0 : d));
    if (header) {
        put16(b, uint32_t(w));
        put16(b, uint32_t(h));
        put16(b, uint32_t(d));
    }
    const uint32_t count = uint32_t(w) * uint32_t(h) * uint32_t(d);
    for (uint32_t i = 0; i < count; ++i) put16(b, (i * 977u) % (maxSample + 1));
    return b;
}

bool write(const std::filesystem::path& dir, const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    bool ok = true;

    const auto bmpDir = root / "fuzz_bmp";
    ok &= write(bmpDir, "rgb_3x2", bmp(3, 2, 24, true));
    ok &= write(bmpDir, "rgb_4x4_size0", bmp(4, 4, 24, false));
    ok &= write(bmpDir, "rgb_1x1", bmp(1, 1, 24, true));
    ok &= write(bmpDir, "bits32", bmp(2, 2, 32, true));
    Bytes truncated = bmp(8, 8, 24, true);
    truncated.resize(100);
    ok &= write(bmpDir, "truncated", truncated);
    ok &= write(bmpDir, "top_down", bmp(2, -2, 24, true));

    const auto ddsDir = root / "fuzz_dds";
    ok &= write(ddsDir, "dxt1_8x8_mips", dds("DXT1", 8, 8, 4, 8));
    ok &= write(ddsDir, "dxt3_4x4", dds("DXT3", 4, 4, 1, 16));
    ok &= write(ddsDir, "dxt5_5x3_mips", dds("DXT5", 5, 3, 3, 16));
    ok &= write(ddsDir, "dxt1_no_levels", dds("DXT1", 4, 4, 0, 8));
    Bytes shortDds = dds("DXT5", 16, 16, 5, 16);
    shortDds.resize(200);
    ok &= write(ddsDir, "dxt5_truncated", shortDds);

    const auto wavDir = root / "fuzz_wav";
    ok &= write(wavDir, "pcm16_stereo", wav(1, 2, 44100, 16, 32, false));
    ok &= write(wavDir, "pcm8_mono_list", wav(1, 1, 8000, 8, 17, true));
    ok &= write(wavDir, "float32_mono", wav(3, 1, 48000, 32, 8, false));
    Bytes shortWav = wav(1, 2, 22050, 16, 64, false);
    shortWav.resize(60);
    ok &= write(wavDir, "truncated_data", shortWav);

    const auto argsDir = root / "fuzz_command_line";
    ok &= write(argsDir, "none", arguments({}));
    ok &= write(argsDir, "one", arguments({"800"}));
    ok &= write(argsDir, "size", arguments({"800", "600"}));
    ok &= write(argsDir, "all", arguments({"800", "600", "75", "1", "5", "250"}));
    ok &= write(argsDir, "letters", arguments({"800", "abc"}));
    ok &= write(argsDir, "suffix", arguments({"800x", " +600", "-1", "0"}));
    ok &= write(argsDir, "range", arguments({"99999999999", "600", "2147483647", "-2147483648"}));

    const auto volumeDir = root / "fuzz_volume";
    using namespace VolumeFuzzInput;
    ok &= write(volumeDir, "header_12bit", volume(0, 12, 5, 4, 3, true, 4095));
    ok &= write(volumeDir, "raw_16bit_flips", volume(flipYFlag | flipZFlag, 16, 4, 3, 6, false, 65535));
    ok &= write(volumeDir, "raw_12bit_flipx_wrap", volume(flipXFlag, 12, 3, 3, 3, false, 8191));
    ok &= write(volumeDir, "line_7bit", volume(0, 7, 9, 1, 1, false, 127));
    Bytes shortVolume = volume(flipZFlag, 12, 6, 6, 6, false, 4095);
    shortVolume.resize(shortVolume.size() / 3 + 1);  // odd: ends inside a sample
    ok &= write(volumeDir, "raw_truncated", shortVolume);
    ok &= write(volumeDir, "header_only", volume(0, 12, 0, 0, 0, true, 0));

    if (!ok) return 1;
    std::printf("fuzz seeds written under %s\n", root.string().c_str());
    return 0;
}

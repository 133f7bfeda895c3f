#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "BackgroundMusic.h"
#include "GLTestFixture.h"
#include "Engine.h"
#include "Sound.h"
#include "SoundSystem.h"
#include "WavHeader.h"

using namespace VantorEngine;

namespace {

void putU32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}
void putU16(std::string& s, uint16_t v) {
    s.push_back(static_cast<char>(v));
    s.push_back(static_cast<char>(v >> 8));
}

// A PCM WAVE file; `extraChunk` goes between fmt and data, `declaredData` may lie.
std::string makeWav(uint32_t dataBytes, uint32_t declaredData, bool extraChunk = false,
                    uint16_t bits = 16, uint16_t channels = 1) {
    std::string w = "RIFF";
    putU32(w, 0);
    w += "WAVE";
    w += "fmt ";
    putU32(w, 16);
    putU16(w, 1);
    putU16(w, channels);
    putU32(w, 8000);
    putU32(w, 8000u * channels * bits / 8);
    putU16(w, static_cast<uint16_t>(channels * bits / 8));
    putU16(w, bits);
    if (extraChunk) {
        w += "LIST";
        putU32(w, 3);  // odd size: padded to 4
        w += "abc";
        w.push_back('\0');
    }
    w += "data";
    putU32(w, declaredData);
    w.append(dataBytes, '\x01');
    return w;
}

bool parse(const std::string& bytes, WavInfo& info, std::string& error) {
    return parseWavHeader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), info, error);
}

TEST(WavHeader, ReadsFormatAndDataChunk) {
    WavInfo info;
    std::string error;
    ASSERT_TRUE(parse(makeWav(100, 100, true, 16, 2), info, error)) << error;
    EXPECT_EQ(info.format, 1);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.sampleRate, 8000u);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.dataSize, 100u);
    EXPECT_EQ(info.dataOffset, 12u + 24u + 12u + 8u);  // RIFF, fmt, padded LIST, data header
}

struct BadWav {
    const char* name;
    std::string bytes;
    const char* error;
};

class WavHeaderBad : public testing::TestWithParam<BadWav> {};

TEST_P(WavHeaderBad, Refused) {
    WavInfo info;
    std::string error;
    EXPECT_FALSE(parse(GetParam().bytes, info, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WavHeaderBad,
    testing::Values(BadWav{"empty", "", "not a RIFF/WAVE file"},
                    BadWav{"notRiff", "RIFX\0\0\0\0WAVE" + std::string(40, '\0'), "not a RIFF/WAVE file"},
                    BadWav{"headerOnly", makeWav(0, 0).substr(0, 12), "no format chunk"},
                    BadWav{"truncatedFormat", makeWav(0, 0).substr(0, 24), "format chunk too short"},
                    BadWav{"dataLargerThanFile", makeWav(10, 1000), "data chunk larger than the file"},
                    BadWav{"dataSizeNearMaximum", makeWav(10, 0xFFFFFFF0u), "data chunk larger than the file"},
                    BadWav{"noDataChunk", makeWav(0, 0).substr(0, 36), "no data chunk"},
                    BadWav{"zeroBits", makeWav(4, 4, false, 0), "unsupported sample format"}),
    [](const testing::TestParamInfo<BadWav>& info) { return std::string(info.param.name); });

TEST(SoundSystem, CreatesSoundFromFileAndReleases) {
    TestSupport::TempDir dir;
    const std::string path = dir.write("tone.wav", makeWav(16000, 16000));
    SoundSystem* system = nullptr;
    ASSERT_EQ(SoundSystem::create(&system), SoundResult::ok);
    EXPECT_EQ(system->setOutput(6), SoundResult::ok);
    EXPECT_EQ(system->init(32, 0, nullptr), SoundResult::ok);
    Sound* sound = nullptr;
    ASSERT_EQ(system->createSound(path, 0, nullptr, &sound), SoundResult::ok);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->sampleBytes(), 16000u);
    EXPECT_DOUBLE_EQ(sound->lengthSeconds(), 1.0);
    EXPECT_EQ(system->update(), SoundResult::ok);
    EXPECT_EQ(system->updateCount(), 1u);
    sound->release();
    EXPECT_EQ(system->close(), SoundResult::ok);
    EXPECT_EQ(system->release(), SoundResult::ok);
}

TEST(SoundSystem, MissingAndCorruptFilesGiveNoSound) {
    TestSupport::TempDir dir;
    SoundSystem* system = nullptr;
    SoundSystem::create(&system);
    system->init(32, 0, nullptr);
    Sound* sound = reinterpret_cast<Sound*>(0x1);
    EXPECT_EQ(system->createSound(dir.file("missing.wav"), 0, nullptr, &sound), SoundResult::fileNotFound);
    EXPECT_EQ(sound, nullptr);
    const std::string corrupt = dir.write("corrupt.wav", "RIFF1234WAVEjunk");
    EXPECT_EQ(system->createSound(corrupt, 0, nullptr, &sound), SoundResult::badFormat);
    EXPECT_EQ(sound, nullptr);
    system->release();
}

TEST(SoundSystem, RefusesSoundsBeforeInit) {
    SoundSystem* system = nullptr;
    SoundSystem::create(&system);
    Sound* sound = nullptr;
    EXPECT_EQ(system->createSound("x.wav", 0, nullptr, &sound), SoundResult::invalidState);
    EXPECT_EQ(system->update(), SoundResult::invalidState);
    system->release();
}

TEST(BackgroundMusic, OpenedBeforeMainAndReleasedOnce) {
    // The record was created during static initialisation, with the generated music file.
    ASSERT_NE(backgroundMusic, nullptr);
    ASSERT_NE(backgroundMusic->_system, nullptr);
    EXPECT_TRUE(backgroundMusic->_system->initialised());
    EXPECT_EQ(backgroundMusic->_system->outputType(), 6);
    EXPECT_EQ(backgroundMusic->_system->maxChannels(), 32);
    ASSERT_NE(backgroundMusic->_sound, nullptr) << "run the build: it generates the music file";
    EXPECT_GT(backgroundMusic->_sound->sampleBytes(), 0u);
    updateBackgroundMusic();
    EXPECT_EQ(backgroundMusic->_system->updateCount(), 1u);
    releaseBackgroundMusic();
    EXPECT_EQ(backgroundMusic, nullptr);
    releaseBackgroundMusic();  // a second release finds nothing to free
}

}  // namespace

#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "WavHeader.h"

namespace VantorEngine {

// A sound loaded into memory by SoundSystem::createSound: the WAVE header and its samples.
class Sound {
public:
    Sound(std::string path, const WavInfo& info, std::vector<uint8_t> samples);
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // Frees the sound; the pointer is invalid afterwards.
    void release();

    const std::string& path() const { return _path; }
    const WavInfo& info() const { return _info; }
    size_t sampleBytes() const { return _samples.size(); }
    // Length in seconds from the header's rate and frame size.
    double lengthSeconds() const;

private:
    ~Sound() = default;

    std::string _path;
    WavInfo _info;
    std::vector<uint8_t> _samples;
};

}  // namespace VantorEngine

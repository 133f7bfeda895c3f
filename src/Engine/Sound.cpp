#include "Sound.h"

#include <utility>

namespace VantorEngine {

Sound::Sound(std::string path, const WavInfo& info, std::vector<uint8_t> samples)
    : _path(std::move(path)), _info(info), _samples(std::move(samples)) {}

void Sound::release() { delete this; }

double Sound::lengthSeconds() const {
    const double frameBytes = static_cast<double>(_info.channels) * (_info.bitsPerSample / 8);
    if (frameBytes <= 0.0 || _info.sampleRate == 0) return 0.0;
    return static_cast<double>(_samples.size()) / frameBytes / _info.sampleRate;
}

}  // namespace VantorEngine

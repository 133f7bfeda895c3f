#include "SoundSystem.h"

#include <cstdint>
#include <vector>

#include "FilePath.h"
#include "Sound.h"
#include "WavHeader.h"

namespace VantorEngine {

SoundResult SoundSystem::create(SoundSystem** system) {
    if (!system) return SoundResult::invalidState;
    *system = new SoundSystem();
    return SoundResult::ok;
}

SoundResult SoundSystem::setOutput(int outputType) {
    if (_initialised) return SoundResult::invalidState;  // output is chosen before init
    _outputType = outputType;
    return SoundResult::ok;
}

SoundResult SoundSystem::init(int maxChannels, unsigned, void*) {
    if (_initialised || maxChannels <= 0) return SoundResult::invalidState;
    _maxChannels = maxChannels;
    _initialised = true;
    return SoundResult::ok;
}

SoundResult SoundSystem::createSound(const std::string& path, unsigned, void*, Sound** sound) {
    if (!sound) return SoundResult::invalidState;
    *sound = nullptr;
    if (!_initialised) {
        _lastError = "sound system not initialised";
        return SoundResult::invalidState;
    }
    std::string bytes;
    if (!readWholeFile(path, bytes)) {
        _lastError = "cannot open file";
        return SoundResult::fileNotFound;
    }
    WavInfo info;
    std::string error;
    if (!parseWavHeader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), info, error)) {
        _lastError = error;
        return SoundResult::badFormat;
    }
    const auto* first = reinterpret_cast<const uint8_t*>(bytes.data()) + info.dataOffset;
    std::vector<uint8_t> samples(first, first + info.dataSize);
    *sound = new Sound(path, info, std::move(samples));
    return SoundResult::ok;
}

SoundResult SoundSystem::update() {
    if (!_initialised) return SoundResult::invalidState;
    ++_updateCount;
    return SoundResult::ok;
}

SoundResult SoundSystem::close() {
    _initialised = false;
    return SoundResult::ok;
}

SoundResult SoundSystem::release() {
    delete this;
    return SoundResult::ok;
}

}  // namespace VantorEngine

#pragma once
#include <string>

namespace VantorEngine {

class Sound;

enum class SoundResult { ok, invalidState, fileNotFound, badFormat };

// The engine's small sound layer: it opens and decodes music files and keeps them in memory.
// Nothing is sent to an audio device; the engine never starts playback.
class SoundSystem {
public:
    // Creates a system in `system` (null on failure).
    static SoundResult create(SoundSystem** system);

    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Output kind; kept only for reporting, every kind plays to nowhere.
    SoundResult setOutput(int outputType);
    SoundResult init(int maxChannels, unsigned flags, void* extraDriverData);
    // Reads the RIFF/WAVE file at `path` (backslash or native separators); `sound` is null on
    // failure, and `lastError()` tells why.
    SoundResult createSound(const std::string& path, unsigned mode, void* extendedInfo, Sound** sound);
    SoundResult update();
    SoundResult close();
    // Frees the system; the pointer is invalid afterwards.
    SoundResult release();

    bool initialised() const { return _initialised; }
    int outputType() const { return _outputType; }
    int maxChannels() const { return _maxChannels; }
    unsigned updateCount() const { return _updateCount; }
    const std::string& lastError() const { return _lastError; }

private:
    SoundSystem() = default;
    ~SoundSystem() = default;

    bool _initialised = false;
    int _outputType = 0;
    int _maxChannels = 0;
    unsigned _updateCount = 0;
    std::string _lastError;
};

}  // namespace VantorEngine

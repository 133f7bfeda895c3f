#pragma once

namespace VantorEngine {

class SoundSystem;
class Sound;

// The music file, opened before main and released at shut-down; it is never played.
struct BackgroundMusic {
    SoundSystem* _system = nullptr;  // owned
    Sound* _sound = nullptr;         // owned
};

// The music file's path as the engine names it.
extern const char* const backgroundMusicPath;

// Creates the sound system and loads the music into backgroundMusic. A missing or unreadable
// file is reported on standard error; the engine runs on without sound.
void openBackgroundMusic();
// One update of the sound system when the main loop starts.
void updateBackgroundMusic();
// Releases the sound, closes and releases the system, deletes the record.
void releaseBackgroundMusic();

}  // namespace VantorEngine

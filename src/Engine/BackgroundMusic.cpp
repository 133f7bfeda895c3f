#include "BackgroundMusic.h"

#include <iostream>

#include "Engine.h"
#include "Sound.h"
#include "SoundSystem.h"

namespace VantorEngine {

BackgroundMusic* backgroundMusic = nullptr;
const char* const backgroundMusicPath = "resources\\sounds\\Fallow Tide final.wav";

namespace {

constexpr int kOutputType = 6;
constexpr int kChannels = 32;

// Opens the music during static initialisation, before main.
struct BackgroundMusicOpener {
    BackgroundMusicOpener() { openBackgroundMusic(); }
};
const BackgroundMusicOpener opener;

}  // namespace

void openBackgroundMusic() {
    auto* music = new BackgroundMusic();
    SoundSystem::create(&music->_system);
    if (music->_system) {
        music->_system->setOutput(kOutputType);
        music->_system->init(kChannels, 0, nullptr);
        music->_system->createSound(backgroundMusicPath, 0, nullptr, &music->_sound);
        if (!music->_sound) {
            std::cerr << "Could not load music file " << backgroundMusicPath << ": "
                      << music->_system->lastError() << "; running without music" << std::endl;
        }
    }
    backgroundMusic = music;
}

void updateBackgroundMusic() {
    if (backgroundMusic && backgroundMusic->_system) backgroundMusic->_system->update();
}

void releaseBackgroundMusic() {
    if (!backgroundMusic) return;
    // Only what was created is released.
    if (backgroundMusic->_sound) backgroundMusic->_sound->release();
    if (backgroundMusic->_system) {
        backgroundMusic->_system->close();
        backgroundMusic->_system->release();
    }
    delete backgroundMusic;
    // The record is gone; later calls find nothing to release.
    backgroundMusic = nullptr;
}

}  // namespace VantorEngine

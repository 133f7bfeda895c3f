#include "VolumeTexture.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "GLStateCache.h"
#include "VolumeFile.h"
#include "VolumePreprocessing.h"

namespace VantorEngine {

namespace {

// A one-line progress display on standard error, shown only when it is a terminal so that
// redirected output stays exactly the console lines.
class LoadProgress {
public:
    explicit LoadProgress(const std::string& path) : _path(path), _enabled(isatty(fileno(stderr)) == 1) {}
    ~LoadProgress() { finish(); }

    // `fraction` below 0 shows the stage without a percentage.
    void show(const char* stage, double fraction) {
        if (!_enabled) return;
        const int percent = fraction < 0.0 ? -1 : int(fraction * 100.0);
        if (_shown && stage == _lastStage && percent == _lastPercent) return;
        _lastStage = stage;
        _lastPercent = percent;
        if (percent < 0) std::fprintf(stderr, "\r\033[K[%s] %s...", _path.c_str(), stage);
        else std::fprintf(stderr, "\r\033[K[%s] %s %3d%%", _path.c_str(), stage, percent);
        std::fflush(stderr);
        _shown = true;
    }

    void finish() {
        if (!_shown) return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        _shown = false;
    }

private:
    std::string _path;
    bool _enabled;
    bool _shown = false;
    const char* _lastStage = nullptr;
    int _lastPercent = -1;
};

// Console lines go to standard output with the progress line cleared first, so that on a
// terminal the two never share a line.
void printLine(LoadProgress& progress, const char* text) {
    progress.finish();
    std::printf("%s\n", text);
    std::fflush(stdout);
}

}  // namespace

VolumeTexture::VolumeTexture(VolumeDescription description) : _volDescription(std::move(description)) {
    GLint maxTextureSize = 0;
    glGetIntegerv(GL_MAX_3D_TEXTURE_SIZE, &maxTextureSize);

    LoadProgress progress(_volDescription._path);
    VolumeSamples samples;
    // The graphics buffer is allocated as soon as the size is known, and a second thread has its
    // pages mapped while this one reads the file and, if that is quicker, while the sweep starts
    // filling it: mapping half a gigabyte of fresh memory costs about as much as the passes
    // themselves, and this way it overlaps with both.
    GraphicsBuffer buffer(nullptr, std::free);
    size_t bytes = 0;
    std::thread populate;
    readVolumeFileOrExit(
        _volDescription, maxTextureSize, samples,
        [&](double fraction) {
            if (fraction < 1.0) progress.show("reading", fraction);
            else progress.finish();
        },
        [&](const VolumeDescription& sized) {
            bytes = size_t(sized._width) * size_t(sized._height) * size_t(sized._depth) * colorChannels;
            buffer = allocateGraphicsBuffer(bytes);
            if (buffer) populate = std::thread(populateGraphicsBuffer, buffer.get(), bytes);
        });

    const VolumeDescription& d = _volDescription;

    // Conversion, gradients and filter run as one sweep over the buffer; the console lines keep
    // their order around it.
    printLine(progress, "Converting raw data to graphics data...");
    progress.show("converting, computing and filtering gradients", -1.0);
    if (!buffer) {
        std::fflush(stdout);
        std::fprintf(stderr, "Cannot allocate %zu bytes for the volume %s.\n", bytes, d._path.c_str());
        std::exit(EXIT_FAILURE);
    }
    preprocessVolume(d, samples.data(), buffer.get());
    if (populate.joinable()) populate.join();
    printLine(progress, "Converting finished");
    printLine(progress, "Pre-calculate gradients...");
    printLine(progress, "Pre-calculation finished");
    printLine(progress, "Filtering gradients...");
    printLine(progress, "Filtering finished");

    progress.show("uploading", -1.0);
    glGenTextures(1, &_id);
    glBindTexture(GL_TEXTURE_3D, _id);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_BORDER);
    glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA8_SNORM, d._width, d._height, d._depth, 0, GL_RGBA, GL_BYTE,
                 buffer.get());
    glBindTexture(GL_TEXTURE_3D, 0);
    progress.finish();
    // Released after the upload, not between the passes: unmapping 256 MiB of samples is not
    // free, and both lists exist at the same time anyway.
    VolumeSamples().swap(samples);
}

VolumeTexture::~VolumeTexture() {
    if (_id != 0) glDeleteTextures(1, &_id);
}

void VolumeTexture::bind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(GL_TEXTURE_3D, _id);
}

void VolumeTexture::unbind(int unit) {
    selectTextureUnit(unit);
    glBindTexture(GL_TEXTURE_3D, 0);
}

}  // namespace VantorEngine

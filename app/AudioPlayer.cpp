#include "app/AudioPlayer.h"

#include <SDL_mixer.h>
#include <signal.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <system_error>

namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 2048;  // about 46 ms at 44.1 kHz: no underruns from a slow frame

int mixerVolume(float fraction) { return static_cast<int>(std::lround(fraction * MIX_MAX_VOLUME)); }

// SDL's audio subsystem brings its event subsystem along, which takes SIGINT and SIGTERM and turns
// them into quit events that nobody reads (GLFW owns the window): Ctrl+C would stop working.
// The handlers in place before are put back.
class KeepSignalHandlers {
public:
    KeepSignalHandlers() {
        sigaction(SIGINT, nullptr, &interrupt);
        sigaction(SIGTERM, nullptr, &terminate);
    }
    ~KeepSignalHandlers() {
        sigaction(SIGINT, &interrupt, nullptr);
        sigaction(SIGTERM, &terminate, nullptr);
    }

private:
    struct sigaction interrupt {};
    struct sigaction terminate {};
};

// The mixer says only that it could not load the file; reading its first byte tells a file the system
// cannot read (missing, no permission, a folder, an I/O error) from one that is no audio.
void reportMusicFailure(const std::string& path) {
    std::cout << "ERROR: Failed to load music '" << path << "': ";
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::cout << std::strerror(errno) << std::endl;
        return;
    }
    errno = 0;
    const bool readable = std::fgetc(file) != EOF || !std::ferror(file);
    const int readError = errno;
    std::fclose(file);
    if (!readable) {
        std::cout << std::strerror(readError) << std::endl;
        return;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    std::cout << "not a playable audio file";
    if (!error) std::cout << " (" << size << " bytes)";
    std::cout << std::endl;
}

}  // namespace

AudioPlayer::AudioPlayer() {
    KeepSignalHandlers keep;
    // Mix_OpenAudio starts SDL's audio subsystem itself; SDL picks the first driver that works.
    if (Mix_OpenAudio(kSampleRate, MIX_DEFAULT_FORMAT, kChannels, kChunkFrames) != 0) {
        std::cerr << "Could not init sound engine" << std::endl;
        return;
    }
    deviceOpen = true;
}

AudioPlayer::~AudioPlayer() { release(); }

void AudioPlayer::startMusic(const std::string& path) {
    if (!deviceOpen) return;
    if (music) {
        Mix_HaltMusic();
        Mix_FreeMusic(music);
        music = nullptr;
    }
    music = Mix_LoadMUS(path.c_str());
    if (!music) {
        reportMusicFailure(path);
        return;
    }
    // Volume before play: the first mixed samples already have it, as if started paused.
    applyVolumes();
    if (Mix_PlayMusic(music, 0) != 0)
        std::cout << "ERROR: Failed to play music '" << path << "': the mixer refused to start it" << std::endl;
}

void AudioPlayer::mute() {
    muted = true;
    master = 0.0f;
    applyVolumes();
}

void AudioPlayer::unmute() {
    master = 1.0f;
    applyVolumes();
    muted = false;
}

void AudioPlayer::applyVolumes() {
    if (!deviceOpen) return;
    Mix_MasterVolume(mixerVolume(master));
    // The mixer's master volume reaches sound effects only, not the music stream, so the music
    // carries the master volume in its own.
    Mix_VolumeMusic(mixerVolume(kMusicVolume * master));
}

void AudioPlayer::release() {
    if (!deviceOpen) return;
    Mix_HaltChannel(-1);
    Mix_HaltMusic();
    if (music) Mix_FreeMusic(music);
    music = nullptr;
    Mix_CloseAudio();
    deviceOpen = false;
}

bool AudioPlayer::isPlaying() const { return deviceOpen && music && Mix_PlayingMusic() != 0; }

float AudioPlayer::musicVolume() const {
    if (!deviceOpen) return 0.0f;
    return static_cast<float>(Mix_VolumeMusic(-1)) / MIX_MAX_VOLUME;
}

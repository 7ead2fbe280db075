// The background music: opens the audio device at start-up, plays "assets/media/music.mp3" once and
// mutes or restores all sound. Without a usable audio device (no sound card, no driver) it says so
// once on standard error and every operation does nothing, so the demo runs silently.
#pragma once

#include <string>

typedef struct _Mix_Music Mix_Music;

inline constexpr const char* kMusicPath = "assets/media/music.mp3";
inline constexpr float kMusicVolume = 0.8f;

class AudioPlayer {
public:
    // Opens the device (44100 Hz, stereo); on failure prints "Could not init sound engine" to stderr.
    // SDL's audio subsystem stays up until the process ends, so the driver is chosen once per process.
    AudioPlayer();
    // Releases the device if release() was not called.
    ~AudioPlayer();
    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // Plays the file once, not looped, at 0.8 of the master volume. A file that cannot be played gives
    // one ERROR line (with the system's reason when it cannot be read) and silence. A second call restarts the music.
    void startMusic(const std::string& path = kMusicPath);
    // Master volume 0 or 1; called every frame, so both are cheap and repeatable.
    void mute();
    void unmute();
    // Stops all sound and closes the device; later calls do nothing.
    void release();

    bool hasDevice() const { return deviceOpen; }
    bool isMuted() const { return muted; }
    bool isPlaying() const;
    // The music's effective volume, 0 to 1 (0.8 times the master volume).
    float musicVolume() const;

private:
    void applyVolumes();

    bool deviceOpen = false;
    Mix_Music* music = nullptr;
    bool muted = false;
    float master = 1.0f;
};

// The music player on SDL's "dummy" audio driver (mixes in real time without a sound card, so the
// real path runs on CI), and on a driver that does not exist, where every operation must be harmless.
#include "app/AudioPlayer.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

// The source tree's music, whatever folder the test binary runs in.
std::string musicPath() {
    namespace fs = std::filesystem;
    for (fs::path dir = fs::current_path(); !dir.empty(); dir = dir.parent_path()) {
        if (fs::exists(dir / kMusicPath)) return (dir / kMusicPath).string();
        if (dir == dir.parent_path()) break;
    }
    return kMusicPath;
}

void (*interruptHandler())(int) {
    struct sigaction current {};
    sigaction(SIGINT, nullptr, &current);
    return current.sa_handler;
}

class ScopedAudioDriver {
public:
    explicit ScopedAudioDriver(const char* driver) { setenv("SDL_AUDIODRIVER", driver, 1); }
    ~ScopedAudioDriver() { unsetenv("SDL_AUDIODRIVER"); }
};

TEST(AudioPlayer, PlaysMutesAndRestoresTheMusicOnTheDummyDriver) {
    ScopedAudioDriver driver("dummy");
    const auto handlerBefore = interruptHandler();
    testing::internal::CaptureStderr();
    AudioPlayer player;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    ASSERT_TRUE(player.hasDevice());
    EXPECT_EQ(interruptHandler(), handlerBefore) << "SDL must not take Ctrl+C away from the demo";
    EXPECT_FALSE(player.isPlaying()) << "no music before startMusic";

    testing::internal::CaptureStdout();
    player.startMusic(musicPath());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(player.isPlaying());
    // 0.8 of the mixer's 128 steps: 102.
    EXPECT_NEAR(player.musicVolume(), 0.8f, 1.0f / 128);

    // The frame loop calls these every frame; repeating them changes nothing.
    player.mute();
    player.mute();
    EXPECT_TRUE(player.isMuted());
    EXPECT_EQ(player.musicVolume(), 0.0f) << "the music must fall silent with the master volume";
    EXPECT_TRUE(player.isPlaying()) << "muting silences, it does not stop";

    player.unmute();
    player.unmute();
    EXPECT_FALSE(player.isMuted());
    EXPECT_NEAR(player.musicVolume(), 0.8f, 1.0f / 128);

    player.release();
    EXPECT_FALSE(player.hasDevice());
    EXPECT_FALSE(player.isPlaying());
    player.release();  // the destructor releases again
}

// A file the mixer refuses is one ERROR line and silence; one the system cannot read says the system's
// reason, not that it is no audio. Mode 000 is readable for root, so that case runs only for others;
// /proc/self/mem opens for anyone and fails its first read (address 0 is never mapped).
TEST(AudioPlayer, MusicThatCannotBePlayedIsOneErrorLineWithItsReasonAndSilence) {
    namespace fs = std::filesystem;
    ScopedAudioDriver driver("dummy");
    AudioPlayer player;
    ASSERT_TRUE(player.hasDevice());

    const fs::path dir = fs::temp_directory_path() / ("verdance-music-" + std::to_string(::getpid()));
    fs::create_directories(dir / "folder.mp3");
    std::ofstream(dir / "noise.mp3", std::ios::binary) << std::string(1000, 'z');
    std::ofstream(dir / "locked.mp3", std::ios::binary) << std::string(1000, 'z');
    fs::permissions(dir / "locked.mp3", fs::perms::none);
    const bool root = ::geteuid() == 0;

    const struct {
        std::string path;
        const char* reason;
    } cases[] = {
        {"no/such/music.mp3", "No such file or directory"},
        {(dir / "folder.mp3").string(), "Is a directory"},
        {"/proc/self/mem", "Input/output error"},
        {(dir / "noise.mp3").string(), "not a playable audio file (1000 bytes)"},
        {(dir / "locked.mp3").string(), root ? "" : "Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (!*c.reason) {
            std::cout << "[ SKIPPED  ] " << c.path << ": running as root, which reads files of mode 000\n";
            continue;
        }
        testing::internal::CaptureStdout();
        player.startMusic(c.path);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "ERROR: Failed to load music '" + c.path + "': " + c.reason + "\n");
        EXPECT_FALSE(player.isPlaying());
    }
    player.unmute();
    player.mute();
    fs::remove_all(dir);
}

// Mute toggled before the music starts still holds once it plays (M pressed during the load).
TEST(AudioPlayer, MusicStartedWhileMutedStaysSilent) {
    ScopedAudioDriver driver("dummy");
    AudioPlayer player;
    ASSERT_TRUE(player.hasDevice());
    player.mute();
    player.startMusic(musicPath());
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.musicVolume(), 0.0f);
    player.unmute();
    EXPECT_NEAR(player.musicVolume(), 0.8f, 1.0f / 128);
}

// Runs in the child process of the death test below; the exit code names the first broken promise.
[[noreturn]] void operateWithoutADevice() {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    testing::internal::CaptureStdout();
    int broken = 0;
    {
        AudioPlayer player;
        if (player.hasDevice()) broken = 2;
        player.startMusic(musicPath());
        player.mute();
        if (!player.isMuted()) broken = 3;
        player.unmute();
        if (player.isPlaying() || player.musicVolume() != 0.0f) broken = 4;
        player.release();
    }
    if (!testing::internal::GetCapturedStdout().empty()) broken = 5;
    std::exit(broken);
}

// SDL keeps the audio driver it started with for the whole process, so this runs in a fresh one.
TEST(AudioPlayerDeathTest, WithoutADeviceItSaysSoOnceAndEveryOperationIsHarmless) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(operateWithoutADevice(), testing::ExitedWithCode(0), "^Could not init sound engine\n$");
}

}  // namespace

// The music player on SDL's "dummy" audio driver (mixes in real time without a sound card, so the
// real path runs on CI), and on a driver that does not exist, where every operation must be harmless.
#include "app/AudioPlayer.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

TEST(AudioPlayer, MissingMusicFileIsOneErrorLineAndSilence) {
    ScopedAudioDriver driver("dummy");
    AudioPlayer player;
    ASSERT_TRUE(player.hasDevice());
    testing::internal::CaptureStdout();
    player.startMusic("no/such/music.mp3");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("ERROR: ", 0), 0u) << out;
    EXPECT_NE(out.find("'no/such/music.mp3'"), std::string::npos) << out;
    EXPECT_EQ(out.find('\n'), out.size() - 1) << "one line: " << out;
    EXPECT_FALSE(player.isPlaying());
    player.unmute();
    player.mute();
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

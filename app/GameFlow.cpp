#include "app/GameFlow.h"

#include <cstdlib>

namespace {

int standardRand() { return std::rand(); }

}  // namespace

GameFlow::GameFlow(RandomSource random) : random(random ? random : standardRand) {}

void GameFlow::finishLoading() {
    loadPending = false;
    introActive = true;
    introTimer = kIntroSeconds;
}

FrameEvents GameFlow::advance(double delta, bool wireframe) {
    FrameEvents events;
    // The first play frame keeps play time 0: its step belongs to the intro's last frame.
    const double playDelta = firstPlayFrame ? 0.0 : delta;
    firstPlayFrame = false;
    playTime_ += playDelta;

    if (running) {
        events.play = true;
        events.playDelta = static_cast<float>(playDelta);
        // End of play first, then the light change: a frame long enough to reach both does both.
        if (playTime_ >= kPlayEndSeconds - kClockTolerance) {
            running = false;
            creditsActive = true;
            events.playEnds = true;
        }
        if (!lightChanged && playTime_ >= kLightChangeSeconds - kClockTolerance) {
            lightChanged = true;
            events.lightChange = true;
        }
        if (!wireframe) {
            pulseTimer -= playDelta;
            events.pulses = duePulses();
        }
    }

    if (introActive && introTimer > kClockTolerance) {
        introTimer -= delta;
        events.drawIntro = true;
    }
    if (introActive && introTimer <= kClockTolerance) {
        introActive = false;
        running = true;
        playTime_ = 0.0;
        firstPlayFrame = true;
        events.playStarts = true;
    }
    events.drawCredits = creditsActive;
    return events;
}

// Each pulse schedules the next one from its own due time, not from the frame that noticed it, so a
// long frame neither stretches the gaps nor loses pulses: it reports all that fell inside it.
int GameFlow::duePulses() {
    int pulses = 0;
    while (pulseTimer < 0.0f) {
        // The top 15 bits give 0..32767 whatever RAND_MAX is (glibc's is 2^31 - 1).
        const int draw = random() / (RAND_MAX / 32768 + 1);
        pulseTimer += draw / 32767.0 + kPulseMinimumGap;
        ++pulses;
    }
    return pulses;
}

GameFlow& gameFlow() {
    static GameFlow flow;
    return flow;
}

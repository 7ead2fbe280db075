#include "app/GameFlow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// A small generator in 0..RAND_MAX so each case sees the same pulse gaps.
unsigned randomState = 1;
int testRandom() {
    randomState = randomState * 1103515245u + 12345u;
    return static_cast<int>((randomState >> 1) % (static_cast<unsigned>(RAND_MAX) + 1u));
}

// The pulse times the schedule promises: the first at 1 s of play, then gaps of 0.5 to 1.5 s drawn
// from the same generator in the same order.
std::vector<double> pulseSchedule(double until) {
    randomState = 1;
    std::vector<double> times;
    for (double t = 1.0; t <= until;) {
        times.push_back(t);
        const int draw = testRandom() / (RAND_MAX / 32768 + 1);
        t += draw / 32767.0 + 0.5;
    }
    return times;
}

struct FrameLengths {
    std::string name;
    std::vector<double> pattern;  // repeated until the credits
};

struct Timeline {
    double introSeconds = 0.0;      // frame time from the end of loading to the start of play
    double firstPlayTime = -1.0;    // play time shown by the first play frame
    std::vector<double> lightChangeAt, playEndAt;
    double playTimeBeforeLightChange = -1.0, playTimeBeforeEnd = -1.0;
    int playFramesAfterEnd = 0;
    bool creditsOnEveryFrameAfterEnd = true;
    bool pulsesMatchSchedule = true;
    int pulses = 0;
};

Timeline runToCredits(const std::vector<double>& pattern, const std::vector<double>& schedule) {
    randomState = 1;
    GameFlow flow(testRandom);
    flow.finishLoading();
    Timeline run;
    bool playing = false;
    int framesAfterEnd = -1;  // counts the credits frames looked at after the end of play
    double previousPlayTime = 0.0;
    for (std::size_t frame = 0; frame < 100000 && framesAfterEnd < 5; ++frame) {
        const double delta = pattern[frame % pattern.size()];
        const FrameEvents events = flow.advance(delta, false);
        if (framesAfterEnd >= 0) {
            ++framesAfterEnd;
            if (events.play) ++run.playFramesAfterEnd;
            if (!events.drawCredits) run.creditsOnEveryFrameAfterEnd = false;
        }
        if (events.drawIntro) run.introSeconds += delta;
        if (events.play && !playing) {
            playing = true;
            run.firstPlayTime = flow.playTime();
        }
        if (events.play) {
            run.pulses += events.pulses;
            // Every pulse due by now has been reported, and none that is not yet due (a pulse due
            // on the frame's very time may fall either way with rounding).
            int surelyDue = 0, perhapsDue = 0;
            for (double t : schedule) {
                surelyDue += t < flow.playTime() - 1e-9 ? 1 : 0;
                perhapsDue += t <= flow.playTime() + 1e-9 ? 1 : 0;
            }
            if (run.pulses < surelyDue || run.pulses > perhapsDue) run.pulsesMatchSchedule = false;
        }
        if (events.lightChange) {
            run.lightChangeAt.push_back(flow.playTime());
            run.playTimeBeforeLightChange = previousPlayTime;
        }
        if (events.playEnds) {
            run.playEndAt.push_back(flow.playTime());
            run.playTimeBeforeEnd = previousPlayTime;
            framesAfterEnd = 0;
        }
        previousPlayTime = flow.playTime();
    }
    return run;
}

}  // namespace

TEST(GameFlow, TimelineHoldsAtAnyFrameLength) {
    const std::vector<FrameLengths> cases = {
        {"1/60 s", {1.0 / 60.0}},   {"0.25 s", {0.25}}, {"0.5 s", {0.5}},
        {"1.0 s", {1.0}},           {"3.0 s", {3.0}},   {"uneven 0.45 to 2.7 s", {0.45, 0.9, 0.61, 2.7, 0.5, 1.3}},
    };
    const std::vector<double> schedule = pulseSchedule(200.0);
    for (const FrameLengths& c : cases) {
        SCOPED_TRACE(c.name);
        const Timeline run = runToCredits(c.pattern, schedule);
        double longest = 0.0;
        for (double d : c.pattern) longest = std::max(longest, d);

        // The intro lasts its 11 s of frames and no frame more.
        EXPECT_GE(run.introSeconds, kIntroSeconds - 1e-6);
        EXPECT_LT(run.introSeconds, kIntroSeconds + longest);
        EXPECT_EQ(run.firstPlayTime, 0.0);

        // Each event exactly once, on the first frame at or past its time.
        ASSERT_EQ(run.lightChangeAt.size(), 1u);
        EXPECT_GE(run.lightChangeAt[0], kLightChangeSeconds - 1e-6);
        EXPECT_LT(run.playTimeBeforeLightChange, kLightChangeSeconds - 1e-6);
        ASSERT_EQ(run.playEndAt.size(), 1u);
        EXPECT_GE(run.playEndAt[0], kPlayEndSeconds - 1e-6);
        EXPECT_LT(run.playTimeBeforeEnd, kPlayEndSeconds - 1e-6);

        EXPECT_EQ(run.playFramesAfterEnd, 0);
        EXPECT_TRUE(run.creditsOnEveryFrameAfterEnd);
        EXPECT_TRUE(run.pulsesMatchSchedule) << run.pulses << " pulses";
    }
}

TEST(GameFlow, AFixedRateReachesEachTimeOnTheExpectedFrame) {
    // At 30 frames a second the intro is 330 frames and play frame n shows play time n / 30, so a
    // video frame's time maps onto play time without drift.
    GameFlow flow;
    flow.finishLoading();
    int introFrames = 0;
    while (!flow.advance(1.0 / 30.0, false).playStarts) ++introFrames;
    EXPECT_EQ(introFrames + 1, 330);
    int lightChangeFrame = -1, endFrame = -1;
    for (int n = 0; n < 6000 && endFrame < 0; ++n) {
        const FrameEvents events = flow.advance(1.0 / 30.0, false);
        EXPECT_NEAR(flow.playTime(), n / 30.0, 1e-9);
        if (events.lightChange) lightChangeFrame = n;
        if (events.playEnds) endFrame = n;
    }
    EXPECT_EQ(lightChangeFrame, 85 * 30);
    EXPECT_EQ(endFrame, 165 * 30);
}

TEST(GameFlow, WireframeFramesNeitherPulseNorMoveTheSchedule) {
    GameFlow flow;
    flow.finishLoading();
    flow.advance(kIntroSeconds, false);
    flow.advance(0.5, false);
    const double timer = flow.pulseTimer;
    for (int frame = 0; frame < 10; ++frame) EXPECT_EQ(flow.advance(0.7, true).pulses, 0);
    EXPECT_EQ(flow.pulseTimer, timer);
    EXPECT_GT(flow.advance(0.7, false).pulses + flow.advance(0.7, false).pulses, 0);
}

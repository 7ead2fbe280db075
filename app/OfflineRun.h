// The demo rendered offline, one frame at a time, on a hidden window (or, with no X display, a
// surfaceless context) whose clock advances exactly 1 / fps a frame, for the movie and capture tools
// (one code path, so their frames agree).
// Video time: frame k shows k / fps seconds, frame 0 being the intro's first frame, right after the
// load sequence, where the demo starts its music; play time t is video time 11 + t.
// Frames before the first one asked for are only simulated (particles included), so a frame comes out
// the same whichever frame a run starts drawing at. The particle speeds come from fixed seeds
// instead of the platform's random device, so every run draws the same pictures.
#pragma once

#include "app/Clock.h"
#include "app/Demo.h"
#include "app/GameFlow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The intro's length: video time of play time 0.
inline constexpr double kVideoSecondsBeforePlay = kIntroSeconds;

// The first frame shown at or after `videoSeconds` (a frame is shown from its own time on).
long frameAtVideoTime(double videoSeconds, double framesPerSecond);
// Frames of the whole movie: intro, play and `creditsSeconds` of credits.
long movieFrameCount(double framesPerSecond, double creditsSeconds);

class OfflineRun {
public:
    explicit OfflineRun(double framesPerSecond);
    ~OfflineRun();

    // Starts the demo hidden (surfaceless where DISPLAY is unset) at width x height (0 x 0: the settings' size) and runs the load sequence.
    // Returns 0, or start-up's exit code.
    // `demoWindowSamples`: framebuffer 0 multisampled like the demo's window (Demo::setDemoWindowSamples).
    int start(int width, int height, bool demoWindowSamples = false);
    // Simulates the frames before `index` that are still to come, then draws frame `index` and returns
    // its pixels: RGBA, opaque, top row first. `index` is not below nextFrame().
    const std::vector<std::uint8_t>& drawFrame(long index);
    // Simulates the frames before `index` that are still to come, asking `stop` before each; false as
    // soon as it says stop (a late first frame is minutes of simulation away).
    bool simulateUntil(long index, const std::function<bool()>& stop);
    // Tears the demo down; returns its exit code.
    int shutdown();

    long nextFrame() const { return next; }
    int width() const;
    int height() const;
    FrameLoop& frameLoop() { return *loop; }

private:
    double framesPerSecond;
    Demo demo;
    std::unique_ptr<FixedStepClock> clock;
    std::unique_ptr<FrameLoop> loop;
    long next = 0;
};

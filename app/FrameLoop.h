// The body of the program after start-up: time keeping with a fixed 1/60 s simulation step, the
// game flow's events, and the buffer swap. What a frame draws, and in which order, is the pass
// list's (FramePasses). Time comes from the Clock it is given.
#pragma once

#include "app/Clock.h"
#include "app/FramePacer.h"
#include "app/FramePasses.h"
#include "app/GameFlow.h"
#include "app/RenderTargets.h"

#include <GL/glew.h>

#include <functional>
#include <memory>
#include <optional>

class AudioPlayer;
class FrameProfiler;
struct GLFWwindow;
class Level;
class TitleScreens;

class FrameLoop {
public:
    // `screens` and `audio` may be null (tests): no title images, no sound. `window` is null on a context
    // without one (framebuffer 0 is then its pbuffer): no events are polled and nothing is swapped.
    FrameLoop(GLFWwindow* window, const RenderTargets& targets, PostProcessing& post, Level& level,
              TitleScreens* screens, AudioPlayer* audio, Clock& clock, GameFlow& flow);

    // Runs frames until the window's close flag is set, paced by `pacer` where the swap does not
    // wait (FramePacer.h). Unlike single frames run by tools, it keeps a still credits picture on
    // screen without drawing it again while nothing it depends on changes.
    void run(const FramePacer& pacer);
    // One iteration; the first reading of the clock happens on construction.
    void runFrame();
    // One iteration without any drawing: time, simulation steps, timed events, timers and the
    // particles (emission and compute step) advance as in runFrame, so the frames drawn after it are
    // those runFrame would have given. Tools use it to reach a play time quickly.
    void simulateFrame();

    double playTime() const { return flow.playTime(); }
    // What the last frame did (play start, light change, end of play, pulses).
    const FrameEvents& lastEvents() const { return events; }

    // Tools: time every pass of the play frames drawn (null: no measurement).
    void setProfiler(FrameProfiler* value) { profiler = value; }
    // The frame's passes; offline tools read the finished picture there.
    FramePasses& passes() { return framePasses; }
    // How many frames have been presented (swapped, or finished without a window).
    long presentedFrames() const { return presentCount; }

private:
    void frame(bool draw);
    void simulateLevel(const FrameEvents& events, bool draw);
    void startPlay();
    void timedEvents(const FrameEvents& events);
    void loadSequence();
    bool stillPictureShown(const FrameEvents& events) const;

    // What a credits frame shows besides its image: the viewer's keys and the window can change it.
    struct StillPicture {
        float brightness;
        float zoom;
        bool wireframe;
        bool culling;
        int width;
        int height;
        bool operator==(const StillPicture&) const = default;
    };
    static StillPicture currentStillPicture();

    GLFWwindow* window;
    FramePasses framePasses;
    Level& level;
    AudioPlayer* audio;
    Clock& clock;
    GameFlow& flow;

    double lastTime = 0.0;
    float accumulator = 0.0f;
    FrameEvents events;

    FrameProfiler* profiler = nullptr;
    long presentCount = 0;

    bool keepStillPictures = false;        // run() only: tools see every frame drawn
    std::optional<StillPicture> shownStill; // the credits picture on screen, when one is
    bool presented = false;                // the last frame swapped buffers
    double swapSeconds = 0.0;              // how long that swap took
};

// The body of the program after start-up: time keeping with a fixed 1/60 s simulation step, the
// level's passes in their fixed order, resolve, the three-pass bloom blur and the composite onto the
// window, the game phases, and the buffer swap. Time comes from the Clock it is given.
#pragma once

#include "app/Clock.h"
#include "app/FramePacer.h"
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
class Object;
class Surface;

// The two full-window post-processing quads and their surfaces (blur, composite).
struct PostProcessing {
    std::shared_ptr<Surface> blurSurface;
    std::shared_ptr<Object> blurScreen;
    std::shared_ptr<Surface> compositeSurface;
    std::shared_ptr<Object> compositeScreen;
};

// Creates the blur and composite surfaces and their screen objects.
PostProcessing createPostProcessing();

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

    // Tools: time every pass (null: no measurement), and look at the finished frame before the swap.
    void setProfiler(FrameProfiler* value) { profiler = value; }
    void setBeforeSwap(std::function<void()> value) { beforeSwap = std::move(value); }

    // The post-processing chain on its own: resolve, volumetric, blur, composite onto framebuffer 0.
    void postProcess();

private:
    void frame(bool draw);
    void renderLevel(const FrameEvents& events, bool draw);
    void renderShadows();
    void resolve();
    void renderVolumetricLight();
    GLuint bloomBlur();
    void composite(GLuint bloom);
    void startPlay();
    void timedEvents(const FrameEvents& events, bool draw);
    void loadSequence();
    void mark(const char* pass);
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
    const RenderTargets& targets;
    PostProcessing& post;
    Level& level;
    TitleScreens* screens;
    AudioPlayer* audio;
    Clock& clock;
    GameFlow& flow;

    double lastTime = 0.0;
    float accumulator = 0.0f;
    FrameEvents events;

    FrameProfiler* profiler = nullptr;
    bool measuring = false;  // this frame draws and a profiler is attached
    std::function<void()> beforeSwap;

    bool keepStillPictures = false;        // run() only: tools see every frame drawn
    std::optional<StillPicture> shownStill; // the credits picture on screen, when one is
    bool presented = false;                // the last frame swapped buffers
    double swapSeconds = 0.0;              // how long that swap took
};

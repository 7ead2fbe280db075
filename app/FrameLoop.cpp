#include "app/FrameLoop.h"

#include "app/AudioPlayer.h"
#include "app/FixedStep.h"
#include "app/FrameProfiler.h"
#include "app/GlobalState.h"
#include "render/Level.h"

#include <GLFW/glfw3.h>

#include <chrono>
#include <thread>

namespace {

// Set when the window system asks for the window's contents again (exposed after being covered).
bool windowNeedsRedraw = false;

void onWindowRefresh(GLFWwindow* /*window*/) { windowNeedsRedraw = true; }

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

FrameLoop::FrameLoop(GLFWwindow* window, const RenderTargets& targets, PostProcessing& post, Level& level,
                     TitleScreens* screens, AudioPlayer* audio, Clock& clock, GameFlow& flow)
    : window(window), framePasses(targets, post, level, screens), level(level), audio(audio), clock(clock),
      flow(flow) {
    lastTime = clock.now();
}

void FrameLoop::run(const FramePacer& pacer) {
    keepStillPictures = true;
    glfwSetWindowRefreshCallback(window, onWindowRefresh);
    while (!glfwWindowShouldClose(window)) {
        const double start = steadySeconds();
        runFrame();
        const double next = pacer.nextFrameStart(start, swapSeconds, presented);
        const double wait = next - steadySeconds();
        if (wait > 0.0) std::this_thread::sleep_for(std::chrono::duration<double>(wait));
    }
    glfwSetWindowRefreshCallback(window, nullptr);
    keepStillPictures = false;
}

void FrameLoop::runFrame() { frame(true); }

void FrameLoop::simulateFrame() { frame(false); }

void FrameLoop::frame(bool draw) {
    GlobalState& state = GlobalState::instance();

    const double now = clock.now();
    const double delta = now - lastTime;
    lastTime = now;

    if (window) glfwPollEvents();
    if (audio) flow.musicMuted ? audio->mute() : audio->unmute();

    events = flow.advance(delta, state.wireframe);
    state.deltaTime = events.play ? events.playDelta : static_cast<float>(delta);
    state.time = static_cast<float>(flow.playTime());

    // The credits picture stays on screen until something it shows changes; drawing it again would
    // only repeat the same pixels.
    if (draw && stillPictureShown(events)) draw = false;
    presented = false;

    if (events.play) simulateLevel(events, draw);
    if (draw) {
        const bool measuring = profiler && events.play;
        framePasses.setProfiler(measuring ? profiler : nullptr);
        framePasses.draw({.level = events.play,
                          .wireframe = state.wireframe,
                          .pulses = events.pulses,
                          .intro = events.drawIntro,
                          .credits = events.drawCredits});
        framePasses.setProfiler(nullptr);
    }
    if (events.playStarts) startPlay();

    if (draw && keepStillPictures) {
        // Only a credits frame without the level under it is the picture that later frames repeat.
        if (events.drawCredits && !events.play) {
            shownStill = currentStillPicture();
            windowNeedsRedraw = false;
        } else {
            shownStill.reset();
        }
    }

    if (flow.loadPending) {
        loadSequence();
    } else if (draw) {
        if (window) {
            const double swapStart = steadySeconds();
            glfwSwapBuffers(window);
            swapSeconds = steadySeconds() - swapStart;
        }
        presented = true;
        ++presentCount;
    }
}

FrameLoop::StillPicture FrameLoop::currentStillPicture() {
    const GlobalState& state = GlobalState::instance();
    return {state.brightness, state.zoom, state.wireframe, glIsEnabled(GL_CULL_FACE) == GL_TRUE, state.width,
            state.height};
}

bool FrameLoop::stillPictureShown(const FrameEvents& events) const {
    return keepStillPictures && shownStill && events.drawCredits && !events.play && !flow.loadPending &&
           !windowNeedsRedraw && *shownStill == currentStillPicture();
}

// The play phase's simulation: the fixed steps, the game flow's timed events, and, in frames that are
// not drawn, the particles' part of the scene pass. Everything here comes before the frame's passes,
// so a light switched on this frame has its shadow map drawn this frame.
void FrameLoop::simulateLevel(const FrameEvents& events, bool draw) {
    if (profiler && draw) profiler->begin();
    for (int steps = consumeFixedSteps(accumulator, events.playDelta); steps > 0; --steps) level.update();
    if (profiler && draw) profiler->mark("update");
    timedEvents(events);
    if (!draw) level.stepParticles(events.pulses);  // no pulses fall into wireframe frames
}

// The intro's last frame ends with the pose of play time 0, so the first play frame shows it.
void FrameLoop::startPlay() {
    GlobalState::instance().time = 0.0f;
    level.update();
    accumulator = 0.0f;
}

void FrameLoop::timedEvents(const FrameEvents& events) {
    if (events.playEnds) glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    if (!events.lightChange) return;
    level.setLightEnabled(LightKind::POINT_LIGHT, "Point.002", true);
    // The spot light aimed at the hope flower is a spot light: switch it by its own kind.
    level.setLightEnabled(LightKind::SPOT_LIGHT, "Spot.001", true);
    level.setLightEnabled(LightKind::POINT_LIGHT, "Point.001", false);
    level.setLightEnabled(LightKind::POINT_LIGHT, "Point.003", false);
    level.rebuildLightBuffers();
}

void FrameLoop::loadSequence() {
    framePasses.draw({.intro = true});  // on screen while the level loads
    if (window) glfwSwapBuffers(window);
    level.load();
    flow.finishLoading();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    accumulator = 0.0f;
    lastTime = clock.now();  // the load's duration does not enter the next frame
    if (audio) audio->startMusic();
}

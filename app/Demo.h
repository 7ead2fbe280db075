// The demo's lifetime: start-up in its fixed order, the frame loop, shutdown in its fixed order.
// The entry point owns one Demo; tests and tools drive the same object.
#pragma once

#include "app/AudioPlayer.h"
#include "app/Clock.h"
#include "app/FrameLoop.h"
#include "app/GlobalState.h"
#include "app/RenderTargets.h"
#include "app/SurfacelessContext.h"
#include "app/TitleScreens.h"
#include "render/Level.h"

#include <memory>

struct GLFWwindow;

class Demo {
public:
    // Brings the system up. Returns 0, or 1 after a fatal start-up failure (message printed, GLFW
    // terminated, console paused).
    int start();
    // Runs the frame loop on `clock` until the window's close flag is set.
    void run(Clock& clock);
    // Tears down in order and returns the exit code of a normal run.
    int shutdown();

    // Start-up without showing the window, for tools and tests that read frames back; never full-screen.
    void setHidden(bool value) { hidden = value; }
    // Start-up with no window at all, on a surfaceless context (no display needed) whose framebuffer 0
    // is a pbuffer made like the window.
    void setSurfaceless(bool value) { surfaceless = value; }
    // Framebuffer 0 of a hidden or surfaceless start multisampled like the demo's window (4 samples)
    // instead of single-sample; its frames are the same bytes. The build warms the driver's shader
    // cache both ways, so that the demo's first start finds the window's variants too.
    void setDemoWindowSamples(bool value) { demoWindowSamples = value; }
    // A window (and render targets) of this size instead of the settings' one; 0 keeps the settings.
    void setSize(int width, int height) {
        sizeOverride[0] = width;
        sizeOverride[1] = height;
    }

    // Null on a surfaceless context.
    GLFWwindow* getWindow() const { return window; }
    const RenderTargets& getTargets() const { return targets; }
    PostProcessing& getPostProcessing() { return post; }
    Level& getLevel() { return level; }
    TitleScreens* getTitleScreens() { return screens.get(); }
    AudioPlayer* getAudio() { return audio.get(); }

private:
    int createWindow(const GlobalState& state);
    int framebufferSamples() const;

    Settings settings;
    bool hidden = false;
    bool surfaceless = false;
    bool demoWindowSamples = false;
    std::unique_ptr<SurfacelessContext> offscreenContext;
    int sizeOverride[2] = {0, 0};
    GLFWwindow* window = nullptr;
    RenderTargets targets;
    PostProcessing post;
    Level level;
    // Made once the context exists; reset in shutdown's order.
    std::unique_ptr<TitleScreens> screens;
    std::unique_ptr<AudioPlayer> audio;
};

// start(), run() on GLFW's clock, shutdown(): what the executable does.
int runDemo();

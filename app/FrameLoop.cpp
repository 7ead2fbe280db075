#include "app/FrameLoop.h"

#include "app/AudioPlayer.h"
#include "app/FixedStep.h"
#include "app/FrameProfiler.h"
#include "app/GlobalState.h"
#include "app/TitleScreens.h"
#include "gl/GlObjects.h"
#include "render/Level.h"
#include "scene/Object.h"
#include "scene/ScreenObjects.h"
#include "shaders/Surface.h"

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

PostProcessing createPostProcessing() {
    PostProcessing post;
    post.blurSurface = createGaussianSurface();
    post.blurScreen = createScreenObject(post.blurSurface);
    post.compositeSurface = createBloomSurface();
    post.compositeScreen = createScreenObject(post.compositeSurface);
    return post;
}

FrameLoop::FrameLoop(GLFWwindow* window, const RenderTargets& targets, PostProcessing& post, Level& level,
                     TitleScreens* screens, AudioPlayer* audio, Clock& clock, GameFlow& flow)
    : window(window), targets(targets), post(post), level(level), screens(screens), audio(audio), clock(clock),
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

    // In play the composite covers the whole window and the scene target is cleared just before the
    // scene pass; only the intro, the credits and the wireframe view draw onto this clear.
    if (draw && (!events.play || state.wireframe)) bindAndClear(0);

    if (events.play) renderLevel(events, draw);

    if (events.drawIntro && draw) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glClear(GL_DEPTH_BUFFER_BIT);
        if (screens) screens->drawIntro();
    }
    if (events.playStarts) startPlay();

    if (events.drawCredits && draw) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glClear(GL_DEPTH_BUFFER_BIT);
        if (screens) screens->drawCredits();
    }
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
        if (beforeSwap) beforeSwap();
        if (window) {
            const double swapStart = steadySeconds();
            glfwSwapBuffers(window);
            swapSeconds = steadySeconds() - swapStart;
        }
        presented = true;
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

void FrameLoop::mark(const char* pass) {
    if (measuring) profiler->mark(pass);
}

// The play phase: simulation, then the level's passes in their fixed order.
void FrameLoop::renderLevel(const FrameEvents& events, bool draw) {
    const GlobalState& state = GlobalState::instance();
    measuring = profiler && draw;
    if (measuring) profiler->begin();
    for (int steps = consumeFixedSteps(accumulator, events.playDelta); steps > 0; --steps) level.update();
    mark("update");

    if (draw) {
        renderShadows();
        glViewport(0, 0, state.width, state.height);
        level.renderCameraDepth();         // leaves framebuffer 0 bound
        mark("camera depth");
        bindAndClear(targets.scene.framebuffer);
    }

    timedEvents(events, draw);

    if (state.wireframe) {
        // Lines straight onto the window; no emission and no post-processing.
        if (draw) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            level.renderScene(0);
        } else {
            level.stepParticles(0);
        }
        return;
    }
    if (draw) {
        level.renderScene(events.pulses);  // into sceneTarget, still bound
        mark("scene");
        postProcess();
    } else {
        level.stepParticles(events.pulses);
    }
}

// Point, directional and spot shadow maps; leaves framebuffer 0 bound and the shadow-map viewport.
void FrameLoop::renderShadows() {
    const GlobalState& state = GlobalState::instance();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, state.shadowMapSize, state.shadowMapSize);
    level.renderPointShadows();        // back faces culled
    mark("point shadows");
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glCullFace(GL_FRONT);              // front faces: no acne on lit surfaces
    level.renderDirectionalShadows();
    mark("directional shadows");
    level.renderSpotShadows();
    mark("spot shadows");
    glCullFace(GL_BACK);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void FrameLoop::postProcess() {
    resolve();
    mark("resolve");
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    renderVolumetricLight();
    mark("volumetric light");
    const GLuint bloom = bloomBlur();
    mark("bloom blur");
    composite(bloom);
    mark("composite");
}

void FrameLoop::resolve() {
    const GlobalState& state = GlobalState::instance();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, targets.scene.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, targets.resolve.framebuffer);
    for (int i = 0; i < 2; ++i) {
        glReadBuffer(GL_COLOR_ATTACHMENT0 + i);
        glDrawBuffer(GL_COLOR_ATTACHMENT0 + i);
        glBlitFramebuffer(0, 0, state.width, state.height, 0, 0, state.width, state.height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
    }
    // glDrawBuffer narrowed the resolve target to one attachment; later writers expect both.
    const GLenum both[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(2, both);
}

// A level without its volumetric pipe (not loaded) gives no volumetric light (attachment 0 black) and
// passes the scene's bright part on to the bloom blur (attachment 1).
void FrameLoop::renderVolumetricLight() {
    if (level.stages.volumetricLightPipe) {
        level.renderVolumetricLight(targets.resolve.colour, targets.volumetric.framebuffer);
        return;
    }
    const GlobalState& state = GlobalState::instance();
    glBindFramebuffer(GL_FRAMEBUFFER, targets.volumetric.framebuffer);
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, targets.resolve.framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT1);
    glDrawBuffer(GL_COLOR_ATTACHMENT1);
    glBlitFramebuffer(0, 0, state.width, state.height, 0, 0, state.width, state.height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    const GLenum both[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(2, both);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

// Three separable passes: horizontal into blur target 1, vertical into 0, horizontal into 1.
GLuint FrameLoop::bloomBlur() {
    Shader& blur = *post.blurSurface->shader;
    blur.use();
    bool horizontal = true;
    bool firstPass = true;
    for (int pass = 0; pass < 3; ++pass) {
        glBindFramebuffer(GL_FRAMEBUFFER, targets.blur.framebuffers[horizontal ? 1 : 0]);
        blur.setBool("horizontal", horizontal);
        const GLuint source = firstPass ? targets.volumetric.colour[1] : targets.blur.colour[horizontal ? 0 : 1];
        horizontal = !horizontal;
        post.blurSurface->setTextures(source);
        post.blurScreen->draw();
        firstPass = false;
    }
    return targets.blur.colour[1];
}

void FrameLoop::composite(GLuint bloom) {
    bindAndClear(0);
    post.compositeSurface->setTextures(targets.resolve.colour[0], bloom, targets.volumetric.colour[0]);
    post.compositeScreen->draw();
}

// The intro's last frame ends with the pose of play time 0, so the first play frame shows it.
void FrameLoop::startPlay() {
    GlobalState::instance().time = 0.0f;
    level.update();
    accumulator = 0.0f;
}

void FrameLoop::timedEvents(const FrameEvents& events, bool draw) {
    if (events.playEnds) glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    if (!events.lightChange) return;
    level.setLightEnabled(LightKind::POINT_LIGHT, "Point.002", true);
    // The spot light aimed at the hope flower is a spot light: switch it by its own kind.
    level.setLightEnabled(LightKind::SPOT_LIGHT, "Spot.001", true);
    level.setLightEnabled(LightKind::POINT_LIGHT, "Point.001", false);
    level.setLightEnabled(LightKind::POINT_LIGHT, "Point.003", false);
    level.rebuildLightBuffers();
    if (!draw) return;
    // The lights just switched on have never had their shadow maps drawn; this frame's scene pass
    // shades with them, so they are drawn now rather than one frame late.
    renderShadows();
    const GlobalState& state = GlobalState::instance();
    glViewport(0, 0, state.width, state.height);
    glBindFramebuffer(GL_FRAMEBUFFER, targets.scene.framebuffer);
}

void FrameLoop::loadSequence() {
    bindAndClear(0);
    if (screens) screens->drawIntro();  // on screen while the level loads
    if (window) glfwSwapBuffers(window);
    level.load();
    flow.finishLoading();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    accumulator = 0.0f;
    lastTime = clock.now();  // the load's duration does not enter the next frame
    if (audio) audio->startMusic();
}

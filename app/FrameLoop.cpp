#include "app/FrameLoop.h"

#include "app/FixedStep.h"
#include "app/GlobalState.h"
#include "scene/Object.h"
#include "scene/ScreenObjects.h"
#include "shaders/Surface.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdlib>

PostProcessing createPostProcessing() {
    PostProcessing post;
    post.blurSurface = createGaussianSurface();
    post.blurScreen = createScreenObject(post.blurSurface);
    post.compositeSurface = createBloomSurface();
    post.compositeScreen = createScreenObject(post.compositeSurface);
    return post;
}

FrameLoop::FrameLoop(GLFWwindow* window, const RenderTargets& targets, PostProcessing& post, Clock& clock,
                     GameFlow& flow)
    : window(window), targets(targets), post(post), clock(clock), flow(flow) {
    lastTime = static_cast<float>(clock.now());
}

void FrameLoop::run() {
    while (!glfwWindowShouldClose(window)) runFrame();
}

void FrameLoop::runFrame() {
    GlobalState& state = GlobalState::instance();

    const float now = static_cast<float>(clock.now());
    const float delta = now - lastTime;
    lastTime = now;
    playTime_ += delta;
    state.deltaTime = delta;
    state.time = playTime_;

    glfwPollEvents();

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindFramebuffer(GL_FRAMEBUFFER, targets.scene.framebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    if (flow.running) {
        consumeFixedSteps(accumulator_, delta);

        // Shadow and camera-depth passes of the level join here, each leaving framebuffer 0 bound.
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, state.width, state.height);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBindFramebuffer(GL_FRAMEBUFFER, targets.scene.framebuffer);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

        timedEvents();

        if (!state.wireframe) {
            emissionPulse(delta);
            // The level's scene pass draws into sceneTarget here.
            postProcess();
        }
    }

    if (flow.introActive && flow.introTimer > 0.0f) {
        flow.introTimer -= delta;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glClear(GL_DEPTH_BUFFER_BIT);
    }
    if (flow.introActive && flow.introTimer <= 0.0f) startPlay();

    if (flow.creditsActive) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glClear(GL_DEPTH_BUFFER_BIT);
    }

    if (flow.loadPending)
        loadSequence();
    else
        glfwSwapBuffers(window);
}

void FrameLoop::postProcess() {
    resolve();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    renderVolumetricLight();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const GLuint bloom = bloomBlur();
    composite(bloom);
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

// Until the level brings its volumetric pipe, the volumetric target carries no light (attachment 0
// black) and passes the scene's bright part on to the bloom blur (attachment 1).
void FrameLoop::renderVolumetricLight() {
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
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    post.compositeSurface->setTextures(targets.resolve.colour[0], bloom, targets.volumetric.colour[0]);
    post.compositeScreen->draw();
}

void FrameLoop::startPlay() {
    flow.introActive = false;
    flow.running = true;
    // One simulation step so the first play frame shows the animated pose; the level's update joins here.
    accumulator_ = 0.0f;
    lastTime = static_cast<float>(clock.now());
    playTime_ = 0.0f;
}

void FrameLoop::timedEvents() {
    const float t = playTime_;
    if (t <= kPlayEndSeconds && static_cast<double>(t) > kPlayEndLowerBound) {
        flow.running = false;
        flow.creditsActive = true;
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    }
    // The 85 s light change joins here with the level's light switches.
}

bool FrameLoop::emissionPulse(float delta) {
    flow.pulseTimer -= delta;
    if (flow.pulseTimer >= 0.0f) return false;
    // rand() is never seeded, so every run repeats the same pulse sequence.
    flow.pulseTimer = static_cast<float>(std::rand()) / 32767.0f + 0.5f;
    return true;
}

void FrameLoop::loadSequence() {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // The intro image is drawn and presented here, then the level loads.
    glfwSwapBuffers(window);
    flow.loadPending = false;
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    flow.introActive = true;
    flow.introTimer = kIntroSeconds;
    accumulator_ = 0.0f;
    lastTime = static_cast<float>(clock.now());
}

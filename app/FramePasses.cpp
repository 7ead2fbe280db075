#include "app/FramePasses.h"

#include "app/FrameProfiler.h"
#include "app/GlobalState.h"
#include "app/TitleScreens.h"
#include "gl/PassState.h"
#include "render/Level.h"
#include "render/VolumetricLightPipe.h"
#include "scene/Object.h"
#include "scene/ScreenObjects.h"
#include "shaders/Shader.h"
#include "shaders/Surface.h"

#include <cstring>

namespace {

// The level's depth passes draw into targets of their own (each light's map, the camera's depth
// map), which they bind and clear themselves; the pass states the rest.
constexpr GLuint kLevelsOwnTargets = 0;

}  // namespace

PostProcessing createPostProcessing() {
    PostProcessing post;
    post.blurSurface = createGaussianSurface();
    post.blurScreen = createScreenObject(post.blurSurface);
    post.compositeSurface = createBloomSurface();
    post.compositeScreen = createScreenObject(post.compositeSurface);
    return post;
}

FramePasses::FramePasses(const RenderTargets& targets, PostProcessing& post, Level& level, TitleScreens* screens)
    : targets(targets), post(post), level(level), screens(screens) {}

void FramePasses::pass(const char* name, const PassState& state, const std::function<void()>& work) {
    beginPass(state);
    work();
    if (profiler) profiler->mark(name);
}

void FramePasses::draw(const FramePlan& plan) {
    const GlobalState& state = GlobalState::instance();
    const int w = state.width, h = state.height;
    if (plan.level && plan.wireframe) {
        // Lines straight onto the window; no emission and no post-processing.
        levelPasses(0, 0);
    } else if (plan.level) {
        levelPasses(targets.scene.framebuffer, plan.pulses);
        postProcess();
    } else {
        //    pass                target        viewport  clear                 culled   blending
        pass("window",           {0,           w, h,     kClearColourAndDepth, GL_BACK, false}, [] {});
    }
    // The title images lie over whatever the frame drew, whatever depth it left.
    if (plan.intro)
        pass("intro",            {0,           w, h,     kClearDepth,          GL_BACK, false},
             [&] { if (screens) screens->drawIntro(); });
    if (plan.credits)
        pass("credits",          {0,           w, h,     kClearDepth,          GL_BACK, false},
             [&] { if (screens) screens->drawCredits(); });
    if (keepPictures) readFinishedPicture();
}

void FramePasses::levelPasses(GLuint sceneTarget, int pulses) {
    const GlobalState& state = GlobalState::instance();
    const int w = state.width, h = state.height, shadow = state.shadowMapSize;
    // Front faces are culled in the 2D shadow maps: no acne on the lit surfaces.
    //    pass                   target              viewport        clear                 culled    blending
    pass("point shadows",       {kLevelsOwnTargets, shadow, shadow, kKeepContents,        GL_BACK,  false},
         [&] { level.renderPointShadows(); });
    pass("directional shadows", {kLevelsOwnTargets, shadow, shadow, kKeepContents,        GL_FRONT, false},
         [&] { level.renderDirectionalShadows(); });
    pass("spot shadows",        {kLevelsOwnTargets, shadow, shadow, kKeepContents,        GL_FRONT, false},
         [&] { level.renderSpotShadows(); });
    pass("camera depth",        {kLevelsOwnTargets, w, h,           kKeepContents,        GL_BACK,  false},
         [&] { level.renderCameraDepth(); });
    pass("scene",               {sceneTarget, w, h,                 kClearColourAndDepth, GL_BACK,  false},
         [&] { level.renderScene(pulses); });
}

void FramePasses::postProcess() {
    const GlobalState& state = GlobalState::instance();
    const int w = state.width, h = state.height;
    //    pass                target                            viewport  clear                 culled   blending
    pass("resolve",          {targets.resolve.framebuffer,     w, h,     kKeepContents,        GL_BACK, false},
         [&] { resolve(); });
    pass("volumetric light", {targets.volumetric.framebuffer,  w, h,     kKeepContents,        GL_BACK, false},
         [&] { volumetricLight(); });
    bloomBlur();  // three passes of its own
    if (profiler) profiler->mark("bloom blur");
    pass("composite",        {0,                               w, h,     kClearColourAndDepth, GL_BACK, false},
         [&] { composite(); });
}

// The multisampled scene, both attachments, into the resolve target (bound).
void FramePasses::resolve() {
    const GlobalState& state = GlobalState::instance();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, targets.scene.framebuffer);
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

// Into the volumetric target (bound). A level without its volumetric pipe (not loaded) gives no
// volumetric light (attachment 0 black) and passes the scene's bright part on to the bloom blur
// (attachment 1).
void FramePasses::volumetricLight() {
    if (level.stages.volumetricLightPipe) {
        level.renderVolumetricLight(targets.resolve.colour, targets.volumetric.framebuffer);
        return;
    }
    const GlobalState& state = GlobalState::instance();
    glClear(GL_COLOR_BUFFER_BIT);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, targets.resolve.framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT1);
    glDrawBuffer(GL_COLOR_ATTACHMENT1);
    glBlitFramebuffer(0, 0, state.width, state.height, 0, 0, state.width, state.height, GL_COLOR_BUFFER_BIT,
                      GL_NEAREST);
    const GLenum both[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(2, both);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

// Three separable passes from the volumetric target's bright attachment: horizontal into blur
// target 1, vertical into 0, horizontal into 1. Every texel is written: nothing is cleared.
void FramePasses::bloomBlur() {
    const GlobalState& state = GlobalState::instance();
    Shader& blur = *post.blurSurface->shader;
    const GLuint sources[3] = {targets.volumetric.colour[1], targets.blur.colour[1], targets.blur.colour[0]};
    for (int i = 0; i < 3; ++i) {
        const bool horizontal = i != 1;
        beginPass({targets.blur.framebuffers[horizontal ? 1 : 0], state.width, state.height, kKeepContents, GL_BACK,
                   false});
        blur.use();
        blur.setBool("horizontal", horizontal);
        post.blurSurface->setTextures(sources[i]);
        post.blurScreen->draw();
    }
}

// The scene, the bloom (blur target 1) and the volumetric light onto the window (bound).
void FramePasses::composite() {
    post.compositeSurface->setTextures(targets.resolve.colour[0], targets.blur.colour[1], targets.volumetric.colour[0]);
    post.compositeScreen->draw();
}

void FramePasses::readFinishedPicture() {
    const GlobalState& state = GlobalState::instance();
    const int w = state.width, h = state.height;
    std::vector<std::uint8_t> bottomUp(static_cast<std::size_t>(w) * h * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    picture.resize(bottomUp.size());
    const std::size_t row = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y)
        std::memcpy(&picture[static_cast<std::size_t>(h - 1 - y) * row], &bottomUp[static_cast<std::size_t>(y) * row],
                    row);
    // The window is opaque whatever alpha the composite leaves.
    for (std::size_t i = 3; i < picture.size(); i += 4) picture[i] = 255;
}

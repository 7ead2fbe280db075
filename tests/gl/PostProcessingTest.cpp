#include "app/FrameLoop.h"
#include "app/GlobalState.h"
#include "render/Level.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr int kSize = 64;

float luminanceAt(const std::vector<std::uint8_t>& rgba, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * kSize + x) * 4;
    return (rgba[i] + rgba[i + 1] + rgba[i + 2]) / (3.0f * 255.0f);
}

// A bright spot in the scene target's bright attachment spreads through the three blur passes and
// the composite reaches framebuffer 0; a dim lit colour is tone-mapped below white.
TEST(PostProcessing, BloomSpreadsABrightSpotOntoTheWindow) {
    const testsupport::GlobalStateGuard restore;
    GlobalState& state = GlobalState::instance();
    state.width = kSize;
    state.height = kSize;
    const RenderTargets targets = createRenderTargets(kSize, kSize);
    PostProcessing post = createPostProcessing();
    FixedStepClock clock(1.0 / 60.0);
    GameFlow flow;
    Level level;
    FrameLoop loop(gltest::window(), targets, post, level, nullptr, nullptr, clock, flow);

    glBindFramebuffer(GL_FRAMEBUFFER, targets.scene.framebuffer);
    const GLfloat black[] = {0.0f, 0.0f, 0.0f, 1.0f};
    glClearBufferfv(GL_COLOR, 0, black);
    glClearBufferfv(GL_COLOR, 1, black);
    // A 4x4 spot in the middle: lit colour 0.5, bright colour 8.0 (the scene target is GL_RGB, so
    // values above 1 are clamped there; the bloom still sees a full-white spot).
    glEnable(GL_SCISSOR_TEST);
    glScissor(30, 30, 4, 4);
    const GLfloat lit[] = {0.5f, 0.5f, 0.5f, 1.0f};
    const GLfloat bright[] = {8.0f, 8.0f, 8.0f, 1.0f};
    glClearBufferfv(GL_COLOR, 0, lit);
    glClearBufferfv(GL_COLOR, 1, bright);
    glDisable(GL_SCISSOR_TEST);

    glViewport(0, 0, kSize, kSize);
    glDisable(GL_DEPTH_TEST);
    loop.passes().postProcess();

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const auto pixels = gltest::readPixelsRgba(0, 0, kSize, kSize);
    gltest::savePng("post_processing_bloom.png", kSize, kSize, pixels);

    const float centre = luminanceAt(pixels, 32, 32);
    const float halo = luminanceAt(pixels, 36, 32);      // two texels beyond the spot's edge
    const float farAway = luminanceAt(pixels, 5, 5);
    EXPECT_GT(centre, 0.5f);
    EXPECT_GT(halo, 0.05f) << "the bright spot did not spread";
    EXPECT_LT(halo, centre);
    EXPECT_LT(farAway, 0.01f);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace

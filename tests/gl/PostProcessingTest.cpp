#include "app/FrameLoop.h"
#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "render/Level.h"
#include "scene/Object.h"
#include "shaders/Surface.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

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

// The demo's window is multisampled and the offline tools' is single-sample; the composite is all the
// play phase draws onto it, so it must give the same bytes on both or the movie's frames are not the
// demo's. Noise inputs put many pixels next to an 8-bit rounding step, where a coordinate differing
// in its last bits shows.
TEST(PostProcessing, CompositeGivesTheSameBytesOnMultisampledAndSingleSampleWindows) {
    constexpr int size = 250;  // not a power of two: texel centres are then inexact in floating point
    const testsupport::GlobalStateGuard restore;
    GlobalState::instance().width = size;
    GlobalState::instance().height = size;
    PostProcessing post = createPostProcessing();

    std::mt19937 random(20261211);
    std::uniform_real_distribution<float> value(0.0f, 1.5f);
    std::vector<float> noise(static_cast<std::size_t>(size) * size * 4);
    GLuint inputs[3];
    for (GLuint& input : inputs) {
        for (float& channel : noise) channel = value(random);
        input = createLinearTexture2D(size, size, GL_RGBA16F, GL_RGBA, noise.data(), "composite input");
    }
    post.compositeSurface->setTextures(inputs[0], inputs[1], inputs[2]);

    const ColourTarget single = createColourTarget(size, size, {.colourFormat = GL_RGBA8, .depthStencil = true},
                                                   "single-sample window", {"colour"}, "single-sample incomplete");
    const ColourTarget multi =
        createColourTarget(size, size, {.colourFormat = GL_RGBA8, .samples = 4, .depthStencil = true},
                           "multisampled window", {"colour"}, "multisampled incomplete");
    std::vector<std::uint8_t> pictures[2];
    for (int i = 0; i < 2; ++i) {
        glBindFramebuffer(GL_FRAMEBUFFER, i == 0 ? single.framebuffer : multi.framebuffer);
        glViewport(0, 0, size, size);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        post.compositeScreen->draw();
        if (i == 1) {  // resolved into the single-sample target, as a read-back of the window resolves it
            glBindFramebuffer(GL_READ_FRAMEBUFFER, multi.framebuffer);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, single.framebuffer);
            glBlitFramebuffer(0, 0, size, size, 0, 0, size, size, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        }
        glBindFramebuffer(GL_FRAMEBUFFER, single.framebuffer);
        pictures[i] = gltest::readPixelsRgba(0, 0, size, size);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    for (const ColourTarget& target : {single, multi}) {
        glDeleteFramebuffers(1, &target.framebuffer);
        glDeleteTextures(1, target.colour.data());
        glDeleteRenderbuffers(1, &target.depthStencil);
    }
    glDeleteTextures(3, inputs);

    std::size_t differing = 0;
    for (std::size_t i = 0; i < pictures[0].size(); ++i) differing += pictures[0][i] != pictures[1][i];
    EXPECT_EQ(differing, 0u) << "of " << pictures[0].size() << " bytes";
}

}  // namespace

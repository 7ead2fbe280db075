// The real frame loop on the baked level, driven by a scripted clock of long frames as software GL
// gives them: the light change and the credits each happen once, at their times, and the viewer's
// face-culling choice survives the passes that switch culling for themselves.
#include "app/FrameLoop.h"
#include "app/GlobalState.h"
#include "app/Input.h"
#include "app/TitleScreens.h"
#include "render/Level.h"
#include "render/Particles.h"
#include "scene/Camera.h"
#include "scene/Lights.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

constexpr int kSize = 96;

// Every reading is `step` seconds after the previous one; the step can change between frames.
class ScriptedClock final : public Clock {
public:
    double now() override {
        const double reading = current;
        current += step;
        if (onReading) onReading(++readings);
        return reading;
    }
    double step = 0.7;
    std::function<void(int)> onReading;  // called with the number of readings so far
    int readings = 0;

private:
    double current = 0.0;
};

// Small targets and shadow maps keep a few hundred real frames affordable; settings restored after.
class FrameLoopTest : public testing::Test {
protected:
    void SetUp() override {
        GlobalState& state = GlobalState::instance();
        state.width = kSize;
        state.height = kSize;
        state.shadowMapSize = 256;
        state.wireframe = false;
        glViewport(0, 0, kSize, kSize);
        glEnable(GL_CULL_FACE);  // as start-up leaves it
        cullingEnabled = true;
        targets = createRenderTargets(kSize, kSize);
        post = createPostProcessing();
        screens = std::make_unique<TitleScreens>();
        loop = std::make_unique<FrameLoop>(gltest::window(), targets, post, level, screens.get(), nullptr, clock,
                                           flow);
        loop->passes().keepFinishedPictures(true);
    }
    void TearDown() override {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glEnable(GL_CULL_FACE);
        cullingEnabled = true;
    }

    // The first frame loads the level (its log kept out of the test output) and starts the intro.
    // Its particles and pulses follow the offline renders' fixed seeds, so its pictures repeat from
    // run to run whichever tests ran before.
    void load() {
        std::srand(1);
        std::ostringstream log;
        std::streambuf* previous = std::cout.rdbuf(log.rdbuf());
        loop->runFrame();
        std::cout.rdbuf(previous);
        ASSERT_FALSE(level.objects.empty()) << log.str();
        seedRepeatably({level.stages.goodParticles.get(), level.stages.hopeParticles.get(),
                        level.stages.badParticles.get()});
    }

    gltest::ScopedWorkingDirectory cwd{VERDANCE_SOURCE_DIR};
    testsupport::GlobalStateGuard restore;
    RenderTargets targets;
    PostProcessing post;
    Level level;
    std::unique_ptr<TitleScreens> screens;
    ScriptedClock clock;
    GameFlow flow;
    std::unique_ptr<FrameLoop> loop;
    // The last frame drawn, as the pass list read it back, bottom row first like glReadPixels.
    std::vector<std::uint8_t> window() const { return bottomRowFirst(loop->passes().finishedPicture()); }

    static std::vector<std::uint8_t> bottomRowFirst(const std::vector<std::uint8_t>& topRowFirst) {
        std::vector<std::uint8_t> rows(topRowFirst.size());
        const std::size_t row = static_cast<std::size_t>(kSize) * 4;
        for (std::size_t y = 0; y * row < rows.size(); ++y)
            std::copy_n(&topRowFirst[y * row], row, &rows[rows.size() - (y + 1) * row]);
        return rows;
    }
};

// The window as read straight back, opaque, as the pass list keeps its pictures.
std::vector<std::uint8_t> opaqueWindow() {
    std::vector<std::uint8_t> pixels = gltest::readPixelsRgba(0, 0, kSize, kSize);
    for (std::size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    return pixels;
}

bool enabled(const Level& level, const char* name) {
    for (std::size_t i = 0; i < level.pointLightNames.size(); ++i)
        if (level.pointLightNames[i] == name) return level.pointLights[i]->enabled == 1;
    for (std::size_t i = 0; i < level.spotLightNames.size(); ++i)
        if (level.spotLightNames[i] == name) return level.spotLights[i]->enabled == 1;
    ADD_FAILURE() << "no light named " << name;
    return false;
}

int changedValues(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int changed = 0;
    for (std::size_t i = 0; i < a.size(); ++i) changed += a[i] != b[i];
    return changed;
}

int litPixels(const std::vector<std::uint8_t>& rgba) {
    int lit = 0;
    for (std::size_t i = 0; i < rgba.size(); i += 4) lit += rgba[i] + rgba[i + 1] + rgba[i + 2] > 0;
    return lit;
}

}  // namespace

TEST_F(FrameLoopTest, LongFramesReachTheLightChangeOnceAndThenTheCredits) {
    load();
    ASSERT_FALSE(enabled(level, "Point.002"));
    ASSERT_FALSE(enabled(level, "Spot.001"));

    int lightBufferChanges = 0;
    double changedAt = -1.0, before = -1.0;
    std::vector<GLuint> buffers = level.stages.lightBuffers;
    std::vector<std::uint8_t> lastPlayFrame;
    while (!flow.creditsActive) {
        const double previous = loop->playTime();
        const bool playing = flow.running;
        // Frames near the two events are drawn; the others run the same frame without drawing,
        // which keeps a few hundred frames of the real level affordable.
        const bool nearEvent = std::abs(previous - 85.0) < 2.0 || previous > 163.0;
        if (playing && nearEvent) {
            loop->runFrame();
        } else {
            loop->simulateFrame();
        }
        if (level.stages.lightBuffers != buffers) {
            ++lightBufferChanges;
            changedAt = loop->playTime();
            before = previous;
            buffers = level.stages.lightBuffers;
        }
        if (playing && nearEvent) lastPlayFrame = window();
        ASSERT_LT(loop->playTime(), 200.0) << "play never ended";
    }
    EXPECT_EQ(lightBufferChanges, 1);
    EXPECT_GE(changedAt, 85.0);
    EXPECT_LT(before, 85.0);
    EXPECT_TRUE(enabled(level, "Point.002"));
    EXPECT_TRUE(enabled(level, "Spot.001"));
    EXPECT_FALSE(enabled(level, "Point.001"));
    EXPECT_FALSE(enabled(level, "Point.003"));
    EXPECT_GE(loop->playTime(), 165.0);

    // The credits picture on black, as drawn on its own, is what the following frames show; the
    // level stands still and its buffers stay as they are.
    const glm::mat4 view = level.camera->getViewMatrix();
    loop->runFrame();
    const std::vector<std::uint8_t> credits = window();
    loop->runFrame();
    EXPECT_EQ(window(), credits);
    EXPECT_EQ(level.camera->getViewMatrix(), view);
    EXPECT_EQ(level.stages.lightBuffers, buffers);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    screens->drawCredits();
    EXPECT_EQ(opaqueWindow(), credits);
    EXPECT_GT(litPixels(credits), 0);
    gltest::savePng("frame_loop_credits.png", kSize, kSize, credits);
    gltest::savePng("frame_loop_last_play_frame.png", kSize, kSize, lastPlayFrame);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FrameLoopTest, FaceCullingStaysAsTheViewerLastSetIt) {
    load();
    while (loop->playTime() < 30.0 || !flow.running) loop->runFrame();

    // Frames that do not move the clock draw the same picture, so only culling can change it.
    clock.step = 0.0;
    loop->runFrame();  // the first reading after the change still lies one 0.7 s step on
    loop->runFrame();
    const std::vector<std::uint8_t> culled = window();

    keyCallback(gltest::window(), GLFW_KEY_F2, 0, GLFW_RELEASE, 0);
    loop->runFrame();
    const std::vector<std::uint8_t> unculled = window();
    EXPECT_GT(changedValues(unculled, culled), 1000) << "back faces of the lit objects were not drawn";
    loop->runFrame();
    EXPECT_EQ(changedValues(window(), unculled), 0) << "culling came back on by itself";
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));

    keyCallback(gltest::window(), GLFW_KEY_F2, 0, GLFW_RELEASE, 0);
    loop->runFrame();
    EXPECT_EQ(changedValues(window(), culled), 0);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    gltest::savePng("frame_loop_culled.png", kSize, kSize, culled);
    gltest::savePng("frame_loop_unculled.png", kSize, kSize, unculled);
}

// The live loop keeps a still credits picture on screen: it presents it once, then again only when
// something it shows changes (here the brightness keys), instead of redrawing it every refresh.
TEST_F(FrameLoopTest, LiveLoopPresentsTheStillCreditsOnlyWhenTheyChange) {
    load();
    clock.step = 3.0;
    while (!flow.creditsActive) loop->simulateFrame();
    clock.step = 0.7;

    const long presentedBefore = loop->presentedFrames();
    const auto presents = [&] { return static_cast<int>(loop->presentedFrames() - presentedBefore); };
    std::vector<int> presentsAtReading;
    const int start = clock.readings;
    clock.onReading = [&](int reading) {
        const int frame = reading - start;  // the reading at the start of this frame of run()
        presentsAtReading.push_back(presents());
        if (frame == 4) keyCallback(gltest::window(), GLFW_KEY_F4, 0, GLFW_RELEASE, 0);
        if (frame == 8) glfwSetWindowShouldClose(gltest::window(), GLFW_TRUE);
    };
    loop->run(FramePacer{1, 60});
    clock.onReading = nullptr;
    glfwSetWindowShouldClose(gltest::window(), GLFW_FALSE);

    // Frame 1 draws the credits on black; 2 and 3 keep them; 4 follows the key; 5 to 8 keep that.
    EXPECT_EQ(presents(), 2);
    EXPECT_EQ(presentsAtReading, (std::vector<int>{0, 1, 1, 1, 2, 2, 2, 2}));
    EXPECT_GT(litPixels(window()), 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

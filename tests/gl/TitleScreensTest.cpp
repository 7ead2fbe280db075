// The intro and credits pictures drawn into off-screen targets and read back: centred, one picture
// pixel per window pixel whatever the window size, nothing outside the 1800 x 900 plane, the GL
// state the level's passes rely on restored after every draw, and the credits replacing the intro.
#include "app/GlobalState.h"
#include "app/TitleScreens.h"
#include "scene/Object.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// A colour and depth target of the given size, bound, cleared to black, with a matching viewport.
class Target {
public:
    Target(int width, int height) : width(width), height(height) {
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glGenTextures(1, &colour);
        glBindTexture(GL_TEXTURE_2D, colour);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
        glGenRenderbuffers(1, &depth);
        glBindRenderbuffer(GL_RENDERBUFFER, depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
        glViewport(0, 0, width, height);
        clear();
    }
    ~Target() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteTextures(1, &colour);
        glDeleteRenderbuffers(1, &depth);
    }
    void clear() const {
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClearDepth(1.0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    std::vector<std::uint8_t> pixels() const { return gltest::readPixelsRgba(0, 0, width, height); }

    const int width;
    const int height;

private:
    GLuint framebuffer = 0, colour = 0, depth = 0;
};

// The window the title screens believe in (their camera is built from GlobalState), restored after.
class TitleScreensTest : public testing::Test {
protected:
    void TearDown() override { glViewport(0, 0, 256, 256); }
    static void useWindow(int width, int height) {
        GlobalState& state = GlobalState::instance();
        state.width = width;
        state.height = height;
        state.brightness = 0.0f;
    }

    gltest::ScopedWorkingDirectory cwd{VERDANCE_SOURCE_DIR};
    testsupport::GlobalStateGuard restore;
};

int sumAt(const std::vector<std::uint8_t>& rgba, int width, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return rgba[i] + rgba[i + 1] + rgba[i + 2];
}

float brightestInRow(const std::vector<std::uint8_t>& rgba, int width, int y) {
    int best = 0;
    for (int x = 0; x < width; ++x) best = std::max(best, sumAt(rgba, width, x, y));
    return best / (3.0f * 255.0f);
}

TEST_F(TitleScreensTest, IntroFillsASmallWindowWithThePicturesMiddle) {
    useWindow(800, 800);
    Target target(800, 800);
    GlobalState::instance().debugCameraActive = false;
    TitleScreens screens;
    EXPECT_TRUE(GlobalState::instance().debugCameraActive) << "the title camera is a debug camera";

    screens.drawIntro();
    const auto pixels = target.pixels();
    gltest::savePng("title_intro.png", target.width, target.height, pixels);

    EXPECT_GT(sumAt(pixels, 800, 400, 400), 30) << "the picture's dusk haze belongs in the centre";
    // The 800 rows show picture rows 50 to 850 (top-down); the title's letters cross picture row
    // 370, window row 800 - 1 - 320 = 479 from the bottom. The haze around them stays below 0.25.
    EXPECT_GT(brightestInRow(pixels, 800, 479), 0.6f);
    // Read bottom row first the picture would be upside down: the title row would be the haze's.
    EXPECT_LT(brightestInRow(pixels, 800, 800 - 1 - 479), 0.4f);
}

// A window wider and taller than the picture: 1800 x 900 pixels in its middle, black around.
TEST_F(TitleScreensTest, PictureKeepsItsPixelSizeCentredInALargeWindow) {
    useWindow(2000, 1000);
    Target large(2000, 1000);
    {
        TitleScreens screens;
        screens.drawIntro();
    }
    const auto wide = large.pixels();
    gltest::savePng("title_intro_2000x1000.png", large.width, large.height, wide);

    int left = large.width, right = -1, bottom = large.height, top = -1;
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x < large.width; ++x)
            if (sumAt(wide, large.width, x, y) > 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                bottom = std::min(bottom, y);
                top = std::max(top, y);
            }
    // Nothing outside columns 100..1899 and rows 50..949; the picture's own content is centred.
    EXPECT_GE(left, 100);
    EXPECT_LE(right, 1899);
    EXPECT_GE(bottom, 50);
    EXPECT_LE(top, 949);
    EXPECT_NEAR((left + right) / 2.0, 999.5, 1.0);
    EXPECT_NEAR((bottom + top) / 2.0, 499.5, 1.0);
    // The haze spans most of the picture's width: a plane squeezed to the window's height would not.
    EXPECT_GT(right - left, 1200);

    // The thin rule under the title lies on picture row 700 of 900 (top-down): window row
    // 1000 - 50 - 700 = 250 from the bottom, bright against its neighbours at column 800.
    int ruleRow = 0;
    for (int y = 200; y < 300; ++y)
        if (sumAt(wide, large.width, 800, y) > sumAt(wide, large.width, 800, ruleRow)) ruleRow = y;
    EXPECT_NEAR(ruleRow, 249.5, 2.0);

    // The picture's transparent margin lets what lies behind show through (here a blue clear colour).
    {
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        TitleScreens screens;
        screens.drawIntro();
        const auto overBlue = large.pixels();
        const std::size_t inside = (static_cast<std::size_t>(100) * large.width + 150) * 4;  // picture (50, 850)
        EXPECT_EQ(overBlue[inside], 0);
        EXPECT_EQ(overBlue[inside + 2], 255) << "the picture must blend by its alpha";
    }

    // The same picture pixels in a smaller window: its centre 800 x 800 crop, unscaled.
    useWindow(800, 800);
    Target small(800, 800);
    TitleScreens screens;
    screens.drawIntro();
    const auto middle = small.pixels();
    int differing = 0;
    for (int y = 0; y < 800; ++y)
        for (int x = 0; x < 800; ++x)
            if (std::abs(sumAt(middle, 800, x, y) - sumAt(wide, 2000, x + 600, y + 100)) > 6) ++differing;
    EXPECT_EQ(differing, 0);
}

TEST_F(TitleScreensTest, EveryDrawLeavesDepthTestOnAndBlendingOffAndIgnoresTheDepthBuffer) {
    useWindow(64, 64);
    Target target(64, 64);
    TitleScreens screens;
    struct Before {
        const char* name;
        bool depthTest;
        bool blend;
    };
    const Before cases[] = {{"depth off, blend on", false, true}, {"depth on, blend off", true, false},
                            {"both on", true, true}, {"both off", false, false}};
    for (const Before& before : cases) {
        for (const bool credits : {false, true}) {
            SCOPED_TRACE(std::string(before.name) + (credits ? ", credits" : ", intro"));
            // Depth 0 everywhere: anything drawn with depth testing on would be rejected.
            glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
            glClearDepth(0.0);
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glClearDepth(1.0);
            before.depthTest ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
            before.blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
            credits ? screens.drawCredits() : screens.drawIntro();
            EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
            EXPECT_FALSE(glIsEnabled(GL_BLEND));
            EXPECT_GT(sumAt(target.pixels(), 64, 32, 32), 30) << "the picture must show over any depth";
        }
    }
}

TEST_F(TitleScreensTest, CreditsReplaceTheIntroForGood) {
    useWindow(800, 800);
    Target target(800, 800);
    TitleScreens screens;
    screens.drawIntro();
    const auto intro = target.pixels();
    const std::shared_ptr<Object> introScreen = screens.getScreen();

    target.clear();
    screens.drawCredits();
    const auto credits = target.pixels();
    gltest::savePng("title_credits.png", target.width, target.height, credits);
    EXPECT_NE(screens.getScreen(), introScreen);
    EXPECT_EQ(screens.getScreen()->getName(), "GuiObject");

    int changed = 0;
    for (std::size_t i = 0; i < intro.size(); i += 4)
        if (std::abs(int(intro[i]) - int(credits[i])) > 24) ++changed;
    EXPECT_GT(changed, 800 * 800 / 20) << "the credits picture differs from the intro over much of the window";

    // drawIntro after the credits draws what the screen holds now: the credits.
    target.clear();
    screens.drawIntro();
    EXPECT_EQ(target.pixels(), credits);
}

}  // namespace

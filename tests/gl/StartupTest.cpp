#include "app/RenderTargets.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

GLint textureLevelParameter(GLenum target, GLuint texture, GLenum name) {
    glBindTexture(target, texture);
    GLint value = 0;
    glGetTexLevelParameteriv(target, 0, name, &value);
    glBindTexture(target, 0);
    return value;
}

TEST(RenderTargets, AreCompleteWithTheirFormatsAndSamples) {
    const RenderTargets targets = createRenderTargets(64, 48);

    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    EXPECT_EQ(bound, 0);

    const std::array<GLuint, 5> framebuffers = {targets.scene.framebuffer, targets.resolve.framebuffer,
                                                targets.blur.framebuffers[0], targets.blur.framebuffers[1],
                                                targets.volumetric.framebuffer};
    for (GLuint fb : framebuffers) {
        glBindFramebuffer(GL_FRAMEBUFFER, fb);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE)) << "framebuffer " << fb;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);

    for (GLuint colour : targets.scene.colour) {
        EXPECT_EQ(textureLevelParameter(GL_TEXTURE_2D_MULTISAMPLE, colour, GL_TEXTURE_SAMPLES), 4);
        EXPECT_EQ(textureLevelParameter(GL_TEXTURE_2D_MULTISAMPLE, colour, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
        EXPECT_EQ(textureLevelParameter(GL_TEXTURE_2D_MULTISAMPLE, colour, GL_TEXTURE_FIXED_SAMPLE_LOCATIONS),
                  GL_TRUE);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, targets.scene.depthStencil);
    GLint samples = 0, depthFormat = 0;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_SAMPLES, &samples);
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_INTERNAL_FORMAT, &depthFormat);
    EXPECT_EQ(samples, 4);
    EXPECT_EQ(depthFormat, GL_DEPTH24_STENCIL8);

    const std::array<GLuint, 6> hdrTextures = {targets.resolve.colour[0], targets.resolve.colour[1],
                                               targets.blur.colour[0],    targets.blur.colour[1],
                                               targets.volumetric.colour[0], targets.volumetric.colour[1]};
    for (GLuint texture : hdrTextures) {
        EXPECT_EQ(textureLevelParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_INTERNAL_FORMAT), GL_RGBA16F);
        EXPECT_EQ(textureLevelParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_WIDTH), 64);
        EXPECT_EQ(textureLevelParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_HEIGHT), 48);
    }

    // Both colour attachments of the scene, resolve and volumetric targets are drawn into.
    for (GLuint fb : {targets.scene.framebuffer, targets.resolve.framebuffer, targets.volumetric.framebuffer}) {
        glBindFramebuffer(GL_FRAMEBUFFER, fb);
        GLint drawBuffer1 = 0;
        glGetIntegerv(GL_DRAW_BUFFER1, &drawBuffer1);
        EXPECT_EQ(drawBuffer1, GL_COLOR_ATTACHMENT1) << "framebuffer " << fb;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

// Runs the demo in `dir`; with `seconds`, stops it after that long (exit code 124 then means it
// was still running).
ProcessResult runDemoIn(const std::filesystem::path& dir, int seconds = 0) {
    const std::string stop = seconds > 0 ? "timeout " + std::to_string(seconds) + " " : "";
    return runProcess("cd '" + dir.string() + "' && " + stop + "'" VERDANCE_EXECUTABLE "'");
}

TEST(WindowSize, IsRefusedOutsideOneTo32767NamingTheSideAndItsValue) {
    EXPECT_EQ(refuseWindowSize(1, 1), std::nullopt);
    EXPECT_EQ(refuseWindowSize(32767, 32767), std::nullopt);
    EXPECT_EQ(refuseWindowSize(3000000000L, 800), "width 3000000000 is outside 1 to 32767");
    EXPECT_EQ(refuseWindowSize(800, 32768), "height 32768 is outside 1 to 32767");
    EXPECT_EQ(refuseWindowSize(800, -5), "height -5 is outside 1 to 32767");
}

TEST(RenderTargetSize, IsRefusedBelowOneAndAboveEitherDriverLimit) {
    EXPECT_EQ(refuseRenderTargetSize(1, 1, 16384, 16384), std::nullopt);
    EXPECT_EQ(refuseRenderTargetSize(16384, 8192, 16384, 16384), std::nullopt);
    EXPECT_EQ(refuseRenderTargetSize(0, 800, 16384, 16384), "0 x 800 has a side below 1");
    EXPECT_EQ(refuseRenderTargetSize(800, -5, 16384, 16384), "800 x -5 has a side below 1");
    EXPECT_EQ(refuseRenderTargetSize(8193, 800, 16384, 8192),
              "8193 x 800 is above the driver's render-target limit of 8192 (GL_MAX_TEXTURE_SIZE 16384, "
              "GL_MAX_RENDERBUFFER_SIZE 8192)");
    EXPECT_NE(refuseRenderTargetSize(800, 16385, 16384, 16384), std::nullopt);
}

TEST(Demo, WindowSizesOutsideWhatTheDriverAllowsAreAFatalStartupError) {
    GLint maxTexture = 0, maxRenderbuffer = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTexture);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
    const int limit = std::min(maxTexture, maxRenderbuffer);
    ASSERT_GT(limit, 0);

    const struct {
        std::string name;
        long width, height;
        int exitCode;        // 124: still running when stopped
        const char* output;  // a line it prints; nullptr: none with "ERROR: Failed to create window"
    } cases[] = {
        {"width -5", -5, 800, 1, "ERROR: Failed to create window: width -5 is outside 1 to 32767\n"},
        {"width 0", 0, 800, 1, "ERROR: Failed to create window: width 0 is outside 1 to 32767\n"},
        {"height 0", 800, 0, 1, "ERROR: Failed to create window: height 0 is outside 1 to 32767\n"},
        {"width limit + 1", limit + 1, 64, 1, "ERROR: Failed to create window: "},
        {"height limit + 1", 64, limit + 1, 1, "is above the driver's render-target limit"},
        {"width 100000", 100000, 64, 1, "ERROR: Failed to create window: width 100000 is outside 1 to 32767\n"},
        // Beyond 32 bits: narrowed, it would be a negative width that names nothing.
        {"width 3000000000", 3000000000L, 800, 1,
         "ERROR: Failed to create window: width 3000000000 is outside 1 to 32767\n"},
        {"1 x 1 starts and runs", 1, 1, 124, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const gltest::ScratchDir scratch("window-size");
        const std::filesystem::path& dir = scratch.path;
        std::ofstream(dir / "assets/settings.ini")
            << "[window]\nwidth = " << c.width << "\nheight = " << c.height << "\n";
        const ProcessResult result = runDemoIn(dir, c.exitCode == 124 ? 5 : 0);
        EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
        if (c.output)
            EXPECT_NE(result.output.find(c.output), std::string::npos) << result.output;
        else
            EXPECT_EQ(result.output.find("ERROR: Failed to create window"), std::string::npos) << result.output;
    }
}

// Run from a folder without "assets", the demo says which folder it missed and stops before anything
// else (no settings message, no shader errors).
TEST(Demo, WithoutTheAssetsFolderItNamesTheFolderOnOneLineAndExits1) {
    const std::filesystem::path dir =
        std::filesystem::path(testing::TempDir()) / ("verdance-no-assets-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const ProcessResult result = runDemoIn(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "ERROR: Failed to find the assets folder '" + (dir / "assets").string() +
                                 "': No such file or directory (start the demo from the repository root)\n");
    std::filesystem::remove_all(dir);
}

}  // namespace

#include "app/RenderTargets.h"
#include "tests/support/GlTestContext.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

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

struct ProcessResult {
    int exitCode = -1;
    std::string output;
};

ProcessResult runDemoIn(const std::filesystem::path& dir) {
    // No terminal on standard input: the fatal-exit pause must not wait.
    const std::string command = "cd '" + dir.string() + "' && '" VERDANCE_EXECUTABLE "' </dev/null 2>&1";
    ProcessResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) result.output += buffer;
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

TEST(Demo, WindowOfWidthZeroIsAFatalStartupError) {
    const gltest::ScratchDir scratch("width-zero");
    const auto& dir = scratch.path;
    std::ofstream(dir / "assets/settings.ini") << "[window]\nwidth = 0\n";

    const ProcessResult result = runDemoIn(dir);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.output.find("ERROR: Failed to create window\n"), std::string::npos) << result.output;
}

}  // namespace

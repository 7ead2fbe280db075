#include "app/RenderTargets.h"

#include "gl/GlObjects.h"

#include <algorithm>
#include <utility>
#include <string>

namespace {

void checkComplete(const char* message) {
    checkFramebuffer(message);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

constexpr GLenum kTwoDrawBuffers[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
constexpr const char* kIncomplete = "ERROR: Frame buffer not complete!";

SceneTarget createSceneTarget(int width, int height) {
    SceneTarget target;
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    labelObject(GL_FRAMEBUFFER, target.framebuffer, "sceneTarget");
    glGenTextures(2, target.colour.data());
    for (int i = 0; i < 2; ++i) {
        glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, target.colour[i]);
        glTexImage2DMultisample(GL_TEXTURE_2D_MULTISAMPLE, kSceneSamples, GL_RGB, width, height, GL_TRUE);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D_MULTISAMPLE,
                               target.colour[i], 0);
    }
    glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
    glGenRenderbuffers(1, &target.depthStencil);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depthStencil);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, kSceneSamples, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, target.depthStencil);
    glDrawBuffers(2, kTwoDrawBuffers);
    checkComplete("ERROR::FRAMEBUFFER:: Framebuffer is not complete!");
    return target;
}

}  // namespace

RenderTargets createRenderTargets(int width, int height) {
    RenderTargets targets;
    targets.scene = createSceneTarget(width, height);
    targets.resolve = createHdrColourTarget(width, height, "resolveTarget", {"resolve colour", "resolve bright"},
                                            true, kIncomplete);
    for (int i = 0; i < 2; ++i) {
        const ColourTarget blur = createHdrColourTarget(width, height, i == 0 ? "blurTarget 0" : "blurTarget 1",
                                                        {i == 0 ? "blur 0" : "blur 1"}, false, kIncomplete);
        targets.blur.framebuffers[i] = blur.framebuffer;
        targets.blur.colour[i] = blur.colour[0];
    }
    targets.volumetric = createHdrColourTarget(width, height, "volumetricTarget",
                                               {"volumetric light", "volumetric bright"}, false, kIncomplete);
    return targets;
}

std::optional<std::string> refuseWindowSize(long width, long height) {
    for (const auto& [name, value] : {std::pair{"width", width}, std::pair{"height", height}})
        if (value < 1 || value > kLargestWindowSide)
            return std::string(name) + " " + std::to_string(value) + " is outside 1 to " +
                   std::to_string(kLargestWindowSide);
    return std::nullopt;
}

std::optional<std::string> refuseRenderTargetSize(int width, int height, int maxTextureSize, int maxRenderbufferSize) {
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width < 1 || height < 1) return size + " has a side below 1";
    const int limit = std::min(maxTextureSize, maxRenderbufferSize);
    if (width > limit || height > limit)
        return size + " is above the driver's render-target limit of " + std::to_string(limit) +
               " (GL_MAX_TEXTURE_SIZE " + std::to_string(maxTextureSize) + ", GL_MAX_RENDERBUFFER_SIZE " +
               std::to_string(maxRenderbufferSize) + ")";
    return std::nullopt;
}

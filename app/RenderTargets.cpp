#include "app/RenderTargets.h"

#include "textures/GlObjects.h"

#include <algorithm>
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

ResolveTarget createResolveTarget(int width, int height) {
    ResolveTarget target;
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    labelObject(GL_FRAMEBUFFER, target.framebuffer, "resolveTarget");
    for (int i = 0; i < 2; ++i) {
        target.colour[i] = createHdrColourTexture(width, height, i == 0 ? "resolve colour" : "resolve bright");
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, target.colour[i], 0);
    }
    glGenRenderbuffers(1, &target.depthStencil);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depthStencil);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, target.depthStencil);
    glDrawBuffers(2, kTwoDrawBuffers);
    checkComplete(kIncomplete);
    return target;
}

BlurTargets createBlurTargets(int width, int height) {
    BlurTargets targets;
    glGenFramebuffers(2, targets.framebuffers.data());
    for (int i = 0; i < 2; ++i) {
        glBindFramebuffer(GL_FRAMEBUFFER, targets.framebuffers[i]);
        labelObject(GL_FRAMEBUFFER, targets.framebuffers[i], i == 0 ? "blurTarget 0" : "blurTarget 1");
        targets.colour[i] = createHdrColourTexture(width, height, i == 0 ? "blur 0" : "blur 1");
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, targets.colour[i], 0);
        checkComplete(kIncomplete);
    }
    return targets;
}

VolumetricTarget createVolumetricTarget(int width, int height) {
    VolumetricTarget target;
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    labelObject(GL_FRAMEBUFFER, target.framebuffer, "volumetricTarget");
    for (int i = 0; i < 2; ++i) {
        target.colour[i] = createHdrColourTexture(width, height, i == 0 ? "volumetric light" : "volumetric bright");
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, target.colour[i], 0);
    }
    glDrawBuffers(2, kTwoDrawBuffers);
    checkComplete(kIncomplete);
    return target;
}

}  // namespace

RenderTargets createRenderTargets(int width, int height) {
    RenderTargets targets;
    targets.scene = createSceneTarget(width, height);
    targets.resolve = createResolveTarget(width, height);
    targets.blur = createBlurTargets(width, height);
    targets.volumetric = createVolumetricTarget(width, height);
    return targets;
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

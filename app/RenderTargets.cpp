#include "app/RenderTargets.h"

#include "gl/GlObjects.h"

#include <algorithm>
#include <utility>
#include <string>

namespace {

constexpr const char* kIncomplete = "ERROR: Frame buffer not complete!";

}  // namespace

RenderTargets createRenderTargets(int width, int height) {
    RenderTargets targets;
    targets.scene = createColourTarget(width, height,
                                       {.colourFormat = GL_RGB, .samples = kSceneSamples, .depthStencil = true},
                                       "sceneTarget", {"scene colour", "scene bright"},
                                       "ERROR::FRAMEBUFFER:: Framebuffer is not complete!");
    targets.resolve = createColourTarget(width, height, {.depthStencil = true}, "resolveTarget",
                                         {"resolve colour", "resolve bright"}, kIncomplete);
    for (int i = 0; i < 2; ++i) {
        const ColourTarget blur = createColourTarget(width, height, {}, i == 0 ? "blurTarget 0" : "blurTarget 1",
                                                     {i == 0 ? "blur 0" : "blur 1"}, kIncomplete);
        targets.blur.framebuffers[i] = blur.framebuffer;
        targets.blur.colour[i] = blur.colour[0];
    }
    targets.volumetric = createColourTarget(width, height, {}, "volumetricTarget",
                                            {"volumetric light", "volumetric bright"}, kIncomplete);
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

// The off-screen targets of the post-processing chain, all the window's size for the whole run:
// the 4x multisampled scene, its single-sample HDR resolve, the bloom ping-pong pair and the
// volumetric output. An incomplete target is reported and start-up goes on.
#pragma once

#include "gl/GlObjects.h"

#include <GL/glew.h>

#include <array>
#include <optional>
#include <string>

// GL_TEXTURE_2D_MULTISAMPLE colour 0: the lit colour; 1: its bright part. With a multisampled
// depth-stencil renderbuffer.
using SceneTarget = ColourTarget;

// Colour 0: the lit scene; 1: its bright part. With a depth-stencil renderbuffer.
using ResolveTarget = ColourTarget;

struct BlurTargets {
    std::array<GLuint, 2> framebuffers{};
    std::array<GLuint, 2> colour{};
};

// Colour 0 feeds the composite, 1 the bloom blur.
using VolumetricTarget = ColourTarget;

struct RenderTargets {
    SceneTarget scene;
    ResolveTarget resolve;
    BlurTargets blur;
    VolumetricTarget volumetric;
};

inline constexpr int kSceneSamples = 4;

// Creates the four targets in order through the GL layer's one maker, leaving framebuffer 0 bound.
RenderTargets createRenderTargets(int width, int height);

// The largest window side start-up asks for: GLFW asserts on negative sizes, and no driver has render
// targets beyond X11's 32767. The driver's own, smaller limits are known once its context exists.
inline constexpr long kLargestWindowSide = 32767;

// Why no window can be `width` x `height` (a side outside 1 to kLargestWindowSide), naming the side,
// its value and the limit; or nothing.
std::optional<std::string> refuseWindowSize(long width, long height);

// Why the driver cannot hold render targets of `width` x `height` (a side below 1, or above
// GL_MAX_TEXTURE_SIZE or GL_MAX_RENDERBUFFER_SIZE, given here as read from the context), or nothing.
std::optional<std::string> refuseRenderTargetSize(int width, int height, int maxTextureSize, int maxRenderbufferSize);

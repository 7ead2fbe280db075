// The off-screen targets of the post-processing chain, all the window's size for the whole run:
// the 4x multisampled scene, its single-sample HDR resolve, the bloom ping-pong pair and the
// volumetric output; and, without a window, the screen the composite goes to. An incomplete target is
// reported and start-up goes on.
#pragma once

#include <GL/glew.h>

#include <array>
#include <optional>
#include <string>

struct SceneTarget {
    GLuint framebuffer = 0;
    std::array<GLuint, 2> colour{};  // GL_TEXTURE_2D_MULTISAMPLE: lit colour, bright part
    GLuint depthStencil = 0;         // multisampled renderbuffer
};

struct ResolveTarget {
    GLuint framebuffer = 0;
    std::array<GLuint, 2> colour{};
    GLuint depthStencil = 0;
};

struct BlurTargets {
    std::array<GLuint, 2> framebuffers{};
    std::array<GLuint, 2> colour{};
};

struct VolumetricTarget {
    GLuint framebuffer = 0;
    std::array<GLuint, 2> colour{};  // 0 feeds the composite, 1 the bloom blur
};

// What the composite, the title screens and the wireframe view draw onto: the window's framebuffer 0,
// or, on a context without a window, an offscreen 8-bit colour and depth of the window's size.
struct ScreenTarget {
    GLuint framebuffer = 0;
    GLuint colour = 0;        // renderbuffer, GL_RGBA8; 0 for the window
    GLuint depthStencil = 0;  // renderbuffer
    // The colour buffer a read-back of the finished frame reads.
    GLenum readBuffer() const { return framebuffer ? GL_COLOR_ATTACHMENT0 : GL_BACK; }
};

struct RenderTargets {
    SceneTarget scene;
    ResolveTarget resolve;
    BlurTargets blur;
    VolumetricTarget volumetric;
    ScreenTarget screen;
};

inline constexpr int kSceneSamples = 4;

// Creates the four targets in order, leaving framebuffer 0 bound after each; the screen is the window's.
RenderTargets createRenderTargets(int width, int height);
// The screen of a context without a window; leaves framebuffer 0 bound.
ScreenTarget createOffscreenScreen(int width, int height);

// Why the driver cannot hold render targets of `width` x `height` (a side below 1, or above
// GL_MAX_TEXTURE_SIZE or GL_MAX_RENDERBUFFER_SIZE, given here as read from the context), or nothing.
std::optional<std::string> refuseRenderTargetSize(int width, int height, int maxTextureSize, int maxRenderbufferSize);

// GL objects that several passes build alike, each written once: debug labels, the framebuffer
// check with its message, filtering and wrapping of textures and samplers, linear 2D textures,
// colour targets (every render target of the frame) and 2D depth targets, the unit cube's vertex
// array and the six cube-face views.
// Its own layer, below every folder that makes GL objects; it knows nothing of the demo's data.
// GlName owns one name and deletes it; the other builders hand their names to the caller to own.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string_view>

// One GL name and the call that deletes it: moves, never copies, deletes when destroyed or reset.
class GlName {
public:
    using Deleter = void (*)(GLuint);

    GlName() = default;
    GlName(GLuint name, Deleter deleter) : name(name), deleter(deleter) {}
    GlName(GlName&& other) noexcept;
    GlName& operator=(GlName&& other) noexcept;
    GlName(const GlName&) = delete;
    GlName& operator=(const GlName&) = delete;
    ~GlName() { reset(); }

    GLuint get() const { return name; }
    void reset();

private:
    GLuint name = 0;
    Deleter deleter = nullptr;
};

// Deleters for GlName, one per kind of object.
void deleteBuffer(GLuint name);
void deleteVertexArray(GLuint name);
void deleteSampler(GLuint name);

// Names the object for debuggers and driver messages. An empty label, or a context without
// glObjectLabel, leaves it unnamed.
void labelObject(GLenum kind, GLuint name, std::string_view label);

// Checks the framebuffer bound to GL_FRAMEBUFFER. When it is incomplete, prints `message` as one
// line (followed by " (<what>, status 0x....)" when `what` is given) and returns false. The
// binding is left as it is.
bool checkFramebuffer(const char* message, const char* what = nullptr);

// How many checkFramebuffer calls in this process found their framebuffer incomplete: work that
// would be kept (the lighting cache) compares it before and after, so a result drawn into an
// incomplete target is never kept.
std::uint64_t incompleteFramebufferCount();

// Binds `framebuffer` to GL_FRAMEBUFFER and clears its colour and depth.
void bindAndClear(GLuint framebuffer);

// How a texture or a sampler filters and wraps.
struct Sampling {
    GLenum filter = GL_LINEAR;         // minification and magnification alike
    GLenum wrap = GL_CLAMP_TO_EDGE;    // S and T
    GLenum wrapR = GL_NONE;            // the third axis; GL_NONE leaves it as it is
    bool farBorder = false;            // border colour 1.0 (with GL_CLAMP_TO_BORDER: beyond a depth map reads far)
    bool compareDepth = false;         // depth comparison GL_LEQUAL (shadow lookups)
};
// Sets `sampling` on the texture bound to `target`.
void setTextureSampling(GLenum target, const Sampling& sampling);
// A sampler object with `sampling`.
GlName createSampler(const Sampling& sampling, std::string_view label);

// A width x height 2D texture of `internalFormat`, filled from `pixels` (`format` floats; null: no
// data), linear filtering, clamped to its edge, so passes read between texels and never wrap.
// Leaves texture 0 bound.
GLuint createLinearTexture2D(int width, int height, GLenum internalFormat, GLenum format, const float* pixels,
                             std::string_view label);

// What a colour target holds besides its size.
struct ColourTargetLayout {
    GLenum colourFormat = GL_RGBA16F;  // every colour attachment's internal format
    int samples = 1;                   // above 1: multisampled colour textures and depth-stencil buffer
    bool depthStencil = false;         // a GL_DEPTH24_STENCIL8 renderbuffer
};
// A framebuffer with one colour texture per label (at most two; single-sample ones are made by
// createLinearTexture2D) and, when the layout asks, a depth-stencil renderbuffer; every colour
// attachment is drawn. Checked with `incompleteMessage`; leaves framebuffer 0 bound. The one maker of
// colour targets: the frame's own and the volumetric light's.
struct ColourTarget {
    GLuint framebuffer = 0;
    std::array<GLuint, 2> colour{};
    GLuint depthStencil = 0;  // 0 unless asked for
};
ColourTarget createColourTarget(int width, int height, const ColourTargetLayout& layout, std::string_view label,
                                std::initializer_list<std::string_view> colourLabels, const char* incompleteMessage);

// A framebuffer whose only attachment is a width x height GL_DEPTH_COMPONENT texture (nearest
// filtering, border depth 1.0 so lookups beyond the map read the far plane), checked with
// `incompleteMessage`; the texture's label is `label` and " depth". Leaves framebuffer and texture 0
// bound.
struct DepthTextureTarget {
    GLuint framebuffer = 0;
    GLuint texture = 0;
};
DepthTextureTarget createDepthTextureTarget(int width, int height, std::string_view label,
                                            const char* incompleteMessage);

// The unit cube: 36 vertices of 8 floats (position, face normal, texture coordinate), corners at
// +-1, two triangles per face; drawn from inside with culling off, so the winding does not matter.
inline constexpr int kCubeVertexCount = 36;
inline constexpr int kCubeFloatsPerVertex = 8;
std::array<float, kCubeVertexCount * kCubeFloatsPerVertex> unitCubeVertices();

// A vertex array and the one buffer it reads, deleted together.
struct VertexArray {
    GlName array;
    GlName buffer;
};
// The unit cube with every component multiplied by `scale`, at attributes 0 (position), 1 (normal)
// and 2 (texture coordinate); draw with glDrawArrays(GL_TRIANGLES, 0, kCubeVertexCount).
VertexArray createCubeVertexArray(float scale, std::string_view label);

// Look-at views from `eye` through the six cube faces, in GL_TEXTURE_CUBE_MAP_POSITIVE_X + i order,
// each oriented so that what it renders lands on its face the way GL samples the face.
std::array<glm::mat4, 6> cubeFaceViews(glm::vec3 eye);

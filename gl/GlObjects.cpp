#include "gl/GlObjects.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cstdio>
#include <iostream>
#include <string>
#include <utility>

GlName::GlName(GlName&& other) noexcept : name(std::exchange(other.name, 0)), deleter(other.deleter) {}

GlName& GlName::operator=(GlName&& other) noexcept {
    if (this != &other) {
        reset();
        name = std::exchange(other.name, 0);
        deleter = other.deleter;
    }
    return *this;
}

void GlName::reset() {
    if (name != 0 && deleter != nullptr) deleter(name);
    name = 0;
}

void deleteBuffer(GLuint name) { glDeleteBuffers(1, &name); }
void deleteVertexArray(GLuint name) { glDeleteVertexArrays(1, &name); }
void deleteSampler(GLuint name) { glDeleteSamplers(1, &name); }

void labelObject(GLenum kind, GLuint name, std::string_view label) {
    // glObjectLabel is core in 4.3; guarded so that an older context only loses the names.
    if (label.empty() || glObjectLabel == nullptr) return;
    glObjectLabel(kind, name, static_cast<GLsizei>(label.size()), label.data());
}

namespace {
std::uint64_t incompleteFramebuffers = 0;
}  // namespace

std::uint64_t incompleteFramebufferCount() { return incompleteFramebuffers; }

bool checkFramebuffer(const char* message, const char* what) {
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) return true;
    ++incompleteFramebuffers;
    std::cout << message;
    if (what) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%04X", status);
        std::cout << " (" << what << ", status " << hex << ")";
    }
    std::cout << std::endl;
    return false;
}

void bindAndClear(GLuint framebuffer) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

namespace {

// One list of parameters for textures and samplers alike; `set` and `setColour` take the parameter.
template <typename Set, typename SetColour>
void applySampling(const Sampling& sampling, Set set, SetColour setColour) {
    set(GL_TEXTURE_MIN_FILTER, sampling.filter);
    set(GL_TEXTURE_MAG_FILTER, sampling.filter);
    set(GL_TEXTURE_WRAP_S, sampling.wrap);
    set(GL_TEXTURE_WRAP_T, sampling.wrap);
    if (sampling.wrapR != GL_NONE) set(GL_TEXTURE_WRAP_R, sampling.wrapR);
    if (sampling.farBorder) {
        const GLfloat border[] = {1.0f, 1.0f, 1.0f, 1.0f};
        setColour(GL_TEXTURE_BORDER_COLOR, border);
    }
    if (sampling.compareDepth) {
        set(GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        set(GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    }
}

}  // namespace

void setTextureSampling(GLenum target, const Sampling& sampling) {
    applySampling(
        sampling, [&](GLenum name, GLenum value) { glTexParameteri(target, name, static_cast<GLint>(value)); },
        [&](GLenum name, const GLfloat* value) { glTexParameterfv(target, name, value); });
}

GlName createSampler(const Sampling& sampling, std::string_view label) {
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    applySampling(
        sampling, [&](GLenum name, GLenum value) { glSamplerParameteri(sampler, name, static_cast<GLint>(value)); },
        [&](GLenum name, const GLfloat* value) { glSamplerParameterfv(sampler, name, value); });
    labelObject(GL_SAMPLER, sampler, label);
    return GlName(sampler, deleteSampler);
}

GLuint createLinearTexture2D(int width, int height, GLenum internalFormat, GLenum format, const float* pixels,
                             std::string_view label) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internalFormat), width, height, 0, format, GL_FLOAT, pixels);
    setTextureSampling(GL_TEXTURE_2D, Sampling{});
    labelObject(GL_TEXTURE, texture, label);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

ColourTarget createColourTarget(int width, int height, const ColourTargetLayout& layout, std::string_view label,
                                std::initializer_list<std::string_view> colourLabels, const char* incompleteMessage) {
    ColourTarget target;
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    labelObject(GL_FRAMEBUFFER, target.framebuffer, label);
    const bool multisampled = layout.samples > 1;
    const GLenum textureKind = multisampled ? GL_TEXTURE_2D_MULTISAMPLE : GL_TEXTURE_2D;
    GLsizei count = 0;
    for (std::string_view colourLabel : colourLabels) {
        if (count == static_cast<GLsizei>(target.colour.size())) break;
        GLuint& texture = target.colour[count];
        if (multisampled) {
            glGenTextures(1, &texture);
            glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, texture);
            glTexImage2DMultisample(GL_TEXTURE_2D_MULTISAMPLE, layout.samples, layout.colourFormat, width, height,
                                    GL_TRUE);
            glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
            labelObject(GL_TEXTURE, texture, colourLabel);
        } else {
            texture = createLinearTexture2D(width, height, layout.colourFormat, GL_RGBA, nullptr, colourLabel);
        }
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + count, textureKind, texture, 0);
        ++count;
    }
    if (layout.depthStencil) {
        glGenRenderbuffers(1, &target.depthStencil);
        glBindRenderbuffer(GL_RENDERBUFFER, target.depthStencil);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, multisampled ? layout.samples : 0, GL_DEPTH24_STENCIL8,
                                         width, height);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, target.depthStencil);
    }
    const GLenum drawn[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(count, drawn);
    checkFramebuffer(incompleteMessage);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return target;
}

DepthTextureTarget createDepthTextureTarget(int width, int height, std::string_view label,
                                            const char* incompleteMessage) {
    DepthTextureTarget target;
    glGenFramebuffers(1, &target.framebuffer);
    glGenTextures(1, &target.texture);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glBindTexture(GL_TEXTURE_2D, target.texture);
    labelObject(GL_FRAMEBUFFER, target.framebuffer, label);
    if (!label.empty()) labelObject(GL_TEXTURE, target.texture, std::string(label) + " depth");
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    setTextureSampling(GL_TEXTURE_2D, {.filter = GL_NEAREST, .wrap = GL_CLAMP_TO_BORDER, .farBorder = true});
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, target.texture, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    checkFramebuffer(incompleteMessage);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return target;
}

std::array<float, kCubeVertexCount * kCubeFloatsPerVertex> unitCubeVertices() {
    std::array<float, kCubeVertexCount * kCubeFloatsPerVertex> vertices{};
    // Two triangles per face over the face's two other axes (b, c); texture coordinates follow them.
    constexpr float corners[6][2] = {{-1, -1}, {1, -1}, {1, 1}, {1, 1}, {-1, 1}, {-1, -1}};
    std::size_t out = 0;
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {1.0f, -1.0f}) {
            const int b = (axis + 1) % 3;
            const int c = (axis + 2) % 3;
            for (const auto& corner : corners) {
                float position[3];
                float normal[3] = {0, 0, 0};
                position[axis] = sign;
                position[b] = corner[0];
                position[c] = corner[1];
                normal[axis] = sign;
                for (float v : position) vertices[out++] = v;
                for (float v : normal) vertices[out++] = v;
                vertices[out++] = (corner[0] + 1.0f) * 0.5f;
                vertices[out++] = (corner[1] + 1.0f) * 0.5f;
            }
        }
    }
    return vertices;
}

VertexArray createCubeVertexArray(float scale, std::string_view label) {
    auto vertices = unitCubeVertices();
    for (float& v : vertices) v *= scale;
    GLuint array = 0, buffer = 0;
    glGenVertexArrays(1, &array);
    glGenBuffers(1, &buffer);
    glBindVertexArray(array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices.data(), GL_STATIC_DRAW);
    constexpr GLsizei stride = kCubeFloatsPerVertex * sizeof(float);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(3 * sizeof(float)));
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(6 * sizeof(float)));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    labelObject(GL_VERTEX_ARRAY, array, label);
    return {GlName(array, deleteVertexArray), GlName(buffer, deleteBuffer)};
}

std::array<glm::mat4, 6> cubeFaceViews(glm::vec3 eye) {
    // GL samples a cube face with t running along -y on the side faces, +z on +Y and -z on -Y
    // (OpenGL's cube-map face selection table); these up vectors make each rendered image land on
    // its face that way. Face 2 (+Y) looks up and face 3 (-Y) looks down: swapping them would put
    // the ground overhead.
    return {
        glm::lookAt(eye, eye + glm::vec3(1, 0, 0), glm::vec3(0, -1, 0)),
        glm::lookAt(eye, eye + glm::vec3(-1, 0, 0), glm::vec3(0, -1, 0)),
        glm::lookAt(eye, eye + glm::vec3(0, 1, 0), glm::vec3(0, 0, 1)),
        glm::lookAt(eye, eye + glm::vec3(0, -1, 0), glm::vec3(0, 0, -1)),
        glm::lookAt(eye, eye + glm::vec3(0, 0, 1), glm::vec3(0, -1, 0)),
        glm::lookAt(eye, eye + glm::vec3(0, 0, -1), glm::vec3(0, -1, 0)),
    };
}

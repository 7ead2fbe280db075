#include "render/SimpleDepthMap.h"

#include "app/GlobalState.h"
#include "shaders/ShaderRegistry.h"

#include <glm/gtc/matrix_transform.hpp>

#include <iostream>

namespace {
constexpr float kDegreesToRadians = 0.017453292f;
}

SimpleDepthMap::SimpleDepthMap() : shader(::getShader(SIMPLE_DEPTH_SHADER)) {}

SimpleDepthMap::SimpleDepthMap(glm::vec3 position, glm::vec3 direction, float extent, float farPlane,
                               bool orthographic)
    : shader(::getShader(SIMPLE_DEPTH_SHADER)) {
    const float nearPlane = GlobalState::instance().nearPlane;
    projection = orthographic ? glm::ortho(-extent, extent, -extent, extent, nearPlane, farPlane)
                              : glm::perspective(extent * kDegreesToRadians, 1.0f, nearPlane, farPlane);
    view = glm::lookAt(position, position + direction, glm::vec3(0.0f, 1.0f, 0.0f));
    lightSpaceMatrix = projection * view;
}

void SimpleDepthMap::createDepthTarget(GLuint* framebuffer, GLuint* texture, int width, int height) {
    glGenFramebuffers(1, framebuffer);
    glGenTextures(1, texture);
    glBindFramebuffer(GL_FRAMEBUFFER, *framebuffer);
    glBindTexture(GL_TEXTURE_2D, *texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    const GLfloat border[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, *texture, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
        std::cout << "Camera Depth Framebuffer not complete!" << std::endl;
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void SimpleDepthMap::bind(const GLuint* framebuffer, const glm::mat4& viewProjection) {
    glBindFramebuffer(GL_FRAMEBUFFER, *framebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    shader->use();
    shader->setMat4("viewProjectionMat", viewProjection);
}

void SimpleDepthMap::bindForLight(const GLuint* framebuffer) { bind(framebuffer, lightSpaceMatrix); }

void SimpleDepthMap::bindForCamera(const GLuint* framebuffer, glm::mat4 viewProjection) {
    bind(framebuffer, viewProjection);
}

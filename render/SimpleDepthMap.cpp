#include "render/SimpleDepthMap.h"

#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "shaders/ShaderRegistry.h"

#include <glm/gtc/matrix_transform.hpp>


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
    const DepthTextureTarget target =
        createDepthTextureTarget(width, height, "", "Camera Depth Framebuffer not complete!");
    *framebuffer = target.framebuffer;
    *texture = target.texture;
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

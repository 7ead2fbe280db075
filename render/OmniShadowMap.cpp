#include "render/OmniShadowMap.h"

#include "app/GlobalState.h"
#include "scene/Lights.h"
#include "shaders/Shader.h"
#include "shaders/ShaderRegistry.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>

#include <iostream>
#include <string>

OmniShadowMap::OmniShadowMap() : shader(::getShader(DEPTH_SHADER)) {}

void OmniShadowMap::initLights(std::vector<std::shared_ptr<PointLight>> lights) {
    const GlobalState& state = GlobalState::instance();
    const int size = state.shadowMapSize;
    projection = glm::perspective(glm::radians(90.0f), 1.0f, state.nearPlane, state.farPlane);

    for (const std::shared_ptr<PointLight>& light : lights) {
        glGenFramebuffers(1, &light->depthFramebuffer);
        glGenTextures(1, &light->depthTexture);
        glBindTexture(GL_TEXTURE_CUBE_MAP, light->depthTexture);
        for (int face = 0; face < 6; ++face)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT32F, size, size, 0,
                         GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
        glBindFramebuffer(GL_FRAMEBUFFER, light->depthFramebuffer);
        glFramebufferTexture(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, light->depthTexture, 0);
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
            std::cout << "Framebuffer not complete!" << std::endl;
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
}

std::array<glm::mat4, 6> OmniShadowMap::faceTransforms(glm::vec3 p) const {
    // The GL cube-map face conventions: each face looks down its axis with these up vectors.
    return {
        projection * glm::lookAt(p, p + glm::vec3(1, 0, 0), glm::vec3(0, -1, 0)),
        projection * glm::lookAt(p, p + glm::vec3(-1, 0, 0), glm::vec3(0, -1, 0)),
        projection * glm::lookAt(p, p + glm::vec3(0, 1, 0), glm::vec3(0, 0, 1)),
        projection * glm::lookAt(p, p + glm::vec3(0, -1, 0), glm::vec3(0, 0, -1)),
        projection * glm::lookAt(p, p + glm::vec3(0, 0, 1), glm::vec3(0, -1, 0)),
        projection * glm::lookAt(p, p + glm::vec3(0, 0, -1), glm::vec3(0, -1, 0)),
    };
}

void OmniShadowMap::renderFromLight(std::shared_ptr<PointLight> light) {
    const std::array<glm::mat4, 6> transforms = faceTransforms(light->position);
    glBindFramebuffer(GL_FRAMEBUFFER, light->depthFramebuffer);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    shader->use();
    shader->setVec3("lightPos", light->position);
    shader->setFloat("farPlane", GlobalState::instance().farPlane);
    static const auto names = indexedUniformNames<6>("shadowTransforms[");
    for (std::size_t face = 0; face < 6; ++face) shader->setMat4(names[face], transforms[face]);
}

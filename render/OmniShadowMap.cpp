#include "render/OmniShadowMap.h"

#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "scene/Lights.h"
#include "shaders/Shader.h"
#include "shaders/ShaderRegistry.h"

#include <GL/glew.h>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <string>

OmniShadowMap::OmniShadowMap() : shader(::getShader(DEPTH_SHADER)) {}

void OmniShadowMap::initLights(std::vector<std::shared_ptr<PointLight>> lights) {
    const GlobalState& state = GlobalState::instance();
    projection = glm::perspective(glm::radians(90.0f), 1.0f, state.nearPlane, state.farPlane);

    for (const std::shared_ptr<PointLight>& light : lights) {
        glGenFramebuffers(1, &light->depthFramebuffer);
        glGenTextures(1, &light->depthTexture);
        glBindTexture(GL_TEXTURE_CUBE_MAP, light->depthTexture);
        setTextureSampling(GL_TEXTURE_CUBE_MAP,
                           {.filter = GL_NEAREST, .wrap = GL_CLAMP_TO_EDGE, .wrapR = GL_CLAMP_TO_EDGE});
        glBindFramebuffer(GL_FRAMEBUFFER, light->depthFramebuffer);
        glDrawBuffer(GL_NONE);
        glReadBuffer(GL_NONE);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    shareStorage(lights);
}

void OmniShadowMap::allocateStorage(PointLight& light) {
    const int size = GlobalState::instance().shadowMapSize;
    glBindTexture(GL_TEXTURE_CUBE_MAP, light.depthTexture);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT32F, size, size, 0,
                     GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, light.depthFramebuffer);
    glFramebufferTexture(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, light.depthTexture, 0);
    checkFramebuffer("Framebuffer not complete!");
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    withStorage.push_back(light.depthTexture);
}

void OmniShadowMap::shareStorage(const std::vector<std::shared_ptr<PointLight>>& lights) {
    const auto hasStorage = [&](const PointLight& light) {
        return std::find(withStorage.begin(), withStorage.end(), light.depthTexture) != withStorage.end();
    };
    for (const std::shared_ptr<PointLight>& light : lights) {
        if (!isOn(*light) || hasStorage(*light)) continue;
        const auto spare = std::find_if(lights.begin(), lights.end(), [&](const std::shared_ptr<PointLight>& other) {
            return !isOn(*other) && hasStorage(*other);
        });
        if (spare == lights.end()) {
            allocateStorage(*light);
            continue;
        }
        std::swap(light->depthFramebuffer, (*spare)->depthFramebuffer);
        std::swap(light->depthTexture, (*spare)->depthTexture);
        // New storage reads as depth 0 (the driver zero-fills it) until the light's first pass; the
        // taken cube is made to read the same, so the frame in which the light comes on looks alike.
        glBindFramebuffer(GL_FRAMEBUFFER, light->depthFramebuffer);
        glClearDepth(0.0);
        glClear(GL_DEPTH_BUFFER_BIT);
        glClearDepth(1.0);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
}

std::array<glm::mat4, 6> OmniShadowMap::faceTransforms(glm::vec3 p) const {
    std::array<glm::mat4, 6> transforms = cubeFaceViews(p);
    for (glm::mat4& transform : transforms) transform = projection * transform;
    return transforms;
}

void OmniShadowMap::renderFromLight(std::shared_ptr<PointLight> light, bool clear) {
    const std::array<glm::mat4, 6> transforms = faceTransforms(light->position);
    glBindFramebuffer(GL_FRAMEBUFFER, light->depthFramebuffer);
    if (clear) glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    shader->use();
    shader->setVec3("lightPos", light->position);
    shader->setFloat("farPlane", GlobalState::instance().farPlane);
    static const auto names = indexedUniformNames<6>("shadowTransforms[");
    for (std::size_t face = 0; face < 6; ++face) shader->setMat4(names[face], transforms[face]);
}

// The Level's render stages: shadow targets and light buffers at load, and the frame's passes.
#include "scene/Level.h"

#include "app/GlobalState.h"
#include "render/LightBuffers.h"
#include "render/OmniShadowMap.h"
#include "render/Particles.h"
#include "render/SimpleDepthMap.h"
#include "render/Skybox.h"
#include "render/VolumetricLightPipe.h"
#include "scene/Object.h"
#include "shaders/Shader.h"

#include <string>

namespace {

constexpr float kDirectionalExtent = 7.0f;   // half-width of the sun's box: 14 x 14 m around its node
constexpr float kSpotFieldOfView = 60.0f;    // degrees, whatever the cone: the cone fits inside
constexpr float kSpotFarPlane = 100.0f;

}  // namespace

void Level::createRenderStages() {
    const GlobalState& state = GlobalState::instance();
    const int size = state.shadowMapSize;

    // load() makes these first; a level built through loadLevel alone gets them here.
    if (!omniShadowMap) omniShadowMap = std::make_shared<OmniShadowMap>();
    if (!cameraDepthMap) cameraDepthMap = std::make_shared<SimpleDepthMap>();
    omniShadowMap->initLights(pointLights);
    cameraDepthMap->createDepthTarget(camera->getDepthFramebuffer(), camera->getDepthTexture(), state.width,
                                      state.height);
    for (const auto& light : directionalLights) {
        auto map = std::make_shared<SimpleDepthMap>(light->position, light->direction, kDirectionalExtent,
                                                    state.farPlane, true);
        map->createDepthTarget(&light->depthFramebuffer, &light->depthTexture, size, size);
        directionalDepthMaps.push_back(std::move(map));
    }
    for (const auto& light : spotLights) {
        auto map = std::make_shared<SimpleDepthMap>(light->position, light->direction, kSpotFieldOfView,
                                                    kSpotFarPlane, false);
        map->createDepthTarget(&light->depthFramebuffer, &light->depthTexture, size, size);
        spotDepthMaps.push_back(std::move(map));
    }
    // After the targets, so each buffer element carries its light's shadow names.
    lightBuffers = createLightBuffers(pointLights, directionalLights, spotLights);
    volumetricLightPipe = std::make_shared<VolumetricLightPipe>();
}

void Level::rebuildLightBuffers() {
    // The replaced buffers would otherwise stay allocated until the context ends, three per rebuild.
    if (!lightBuffers.empty()) glDeleteBuffers(static_cast<GLsizei>(lightBuffers.size()), lightBuffers.data());
    lightBuffers = createLightBuffers(pointLights, directionalLights, spotLights);
}

void Level::drawCasters(const std::shared_ptr<Shader>& shader) {
    const glm::mat4 culling = camera->getCullingViewProjectionMatrix();
    for (const auto& object : objects)
        if (frustum->shouldDraw(*object, culling)) object->drawWith(shader);
}

void Level::renderPointShadows() {
    for (const auto& light : pointLights) {
        if (light->enabled == 0) continue;
        omniShadowMap->renderFromLight(light);
        drawCasters(omniShadowMap->getShader());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
}

void Level::renderDirectionalShadows() {
    for (std::size_t i = 0; i < directionalLights.size(); ++i) {
        if (directionalLights[i]->enabled != 1) continue;
        directionalDepthMaps[i]->bindForLight(&directionalLights[i]->depthFramebuffer);
        drawCasters(directionalDepthMaps[i]->getShader());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
}

void Level::renderSpotShadows() {
    for (std::size_t i = 0; i < spotLights.size(); ++i) {
        if (spotLights[i]->enabled != 1) continue;
        spotDepthMaps[i]->bindForLight(&spotLights[i]->depthFramebuffer);
        drawCasters(spotDepthMaps[i]->getShader());
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
}

void Level::renderCameraDepth() {
    cameraDepthMap->bindForCamera(camera->getDepthFramebuffer(), camera->getViewProjectionMatrix());
    drawCasters(cameraDepthMap->getShader());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

namespace {

// "Begins with" as the flower names use it: the text stands at the start and nowhere else.
bool beginsWith(const std::string& name, const std::string& text) { return name.rfind(text) == 0; }

}  // namespace

void Level::emitParticles(const Object& object) {
    const glm::vec3 at(object.getTransform()->getModelMatrix()[3]);
    // Just below the blossom, so the particles rise out of it.
    const glm::vec3 below(at.x, static_cast<float>(static_cast<double>(at.y) - 0.005), at.z);
    const std::string& name = object.getName();
    if (beginsWith(name, "flower_dead")) {
        if (badParticles) badParticles->emit(at, 500, 0.0f);
    } else if (name == "flower_alive.002") {
        if (goodParticles) goodParticles->emit(below, 6000, 0.07f);
    } else if (beginsWith(name, "flower_alive")) {
        if (goodParticles) goodParticles->emit(below, 3000, 0.03f);
    } else if (beginsWith(name, "flower_hope")) {
        if (hopeParticles) hopeParticles->emit(below, 1500, 0.01f);
    }
}

void Level::renderScene(int pulses) {
    skybox->draw(camera);
    for (const auto& program : programs) {
        program->setFrameUniforms(camera, lightBuffers, pointLights, directionalLights, spotLights);
        if (program->getType() != PBR) continue;
        for (std::size_t i = 0; i < directionalDepthMaps.size(); ++i)
            program->setMat4("light_space_matrices[" + std::to_string(i) + "]",
                             directionalDepthMaps[i]->getLightSpaceMatrix());
        for (std::size_t i = 0; i < spotDepthMaps.size(); ++i)
            program->setMat4("light_space_matrices_spot[" + std::to_string(i) + "]",
                             spotDepthMaps[i]->getLightSpaceMatrix());
        // The cube maps store hardware depth; the lookup rebuilds it from the projection's near plane.
        program->setFloat("nearPlane", GlobalState::instance().nearPlane);
    }
    const glm::mat4 culling = camera->getCullingViewProjectionMatrix();
    for (const auto& object : objects)
        if (frustum->shouldDraw(*object, culling)) object->draw();
    stepParticles(pulses);
    for (const auto& particles : {goodParticles, hopeParticles, badParticles})
        if (particles) particles->draw(camera);
}

void Level::stepParticles(int pulses) {
    if (pulses > 0) {
        const glm::mat4 culling = camera->getCullingViewProjectionMatrix();
        for (const auto& object : objects) {
            if (!frustum->shouldDraw(*object, culling)) continue;
            for (int burst = 0; burst < pulses; ++burst) emitParticles(*object);
        }
    }
    for (const auto& particles : {goodParticles, hopeParticles, badParticles})
        if (particles) particles->simulate();
}

void Level::renderVolumetricLight(const std::array<GLuint, 2>& resolveTextures, GLuint volumetricFramebuffer) {
    volumetricLightPipe->downSample(*camera->getDepthTexture());
    volumetricLightPipe->setMarchUniforms(camera, lightBuffers, pointLights, directionalLights, spotLights,
                                          spotDepthMaps);
    volumetricLightPipe->march();
    volumetricLightPipe->blur();
    volumetricLightPipe->upSample(resolveTextures[0], volumetricFramebuffer);
}

#include "render/Level.h"

#include "app/GlobalState.h"
#include "models/BoundingBox.h"
#include "models/Geometry.h"
#include "render/ImageBasedLighting.h"
#include "render/LightBuffers.h"
#include "render/OmniShadowMap.h"
#include "render/Particles.h"
#include "render/SimpleDepthMap.h"
#include "render/Skybox.h"
#include "render/StaticCasterDepth.h"
#include "render/VolumetricLightPipe.h"
#include "scene/DebugCamera.h"
#include "scene/Object.h"
#include "scene/Transform.h"
#include "shaders/Shader.h"
#include "shaders/ShaderRegistry.h"
#include "textures/TextureLoader.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <string>

namespace {

constexpr float kDirectionalExtent = 7.0f;   // half-width of the sun's box: 14 x 14 m around its node
constexpr float kSpotFieldOfView = 60.0f;    // degrees, whatever the cone: the cone fits inside
constexpr float kSpotFarPlane = 100.0f;

}  // namespace

void Level::load() { load(kLevelPath); }

void Level::load(const std::string& path) {
    clearScene();
    stages.directionalDepthMaps.clear();
    stages.spotDepthMaps.clear();

    stages.goodParticles = std::make_shared<Particles>("goodParticle.dds");
    stages.badParticles = std::make_shared<Particles>("badParticles3.dds");
    stages.hopeParticles = std::make_shared<Particles>("hopeParticle.dds");
    stages.omniShadowMap = std::make_shared<OmniShadowMap>();
    stages.cameraDepthMap = std::make_shared<SimpleDepthMap>();
    frustum = std::make_shared<Frustum>();
    stages.skybox = std::make_shared<Skybox>();
    loadLevel(path);
    // The sky cube and the lighting set are all the level makes of the panorama.
    releasePanorama(kSkyPanorama);
}

void Level::loadLevel(const std::string& path) {
    programs.push_back(getShader(PBR));
    environment = loadEnvironment(kSkyPanorama);
    loadScene(path);
    sortNodes();
    if (!camera) {
        // Without a camera no pass could draw; an orbiting camera at least shows the level.
        if (sceneWalked)
            std::cout << "ERROR: No usable node named 'Camera' in '" << path << "': using a perspective debug camera"
                      << std::endl;
        camera = std::make_shared<DebugCamera>(true, false);
    }
    createRenderStages();
}

void Level::createRenderStages() {
    const GlobalState& state = GlobalState::instance();
    const int size = state.shadowMapSize;

    // load() makes these first; a level built through loadLevel alone gets them here.
    if (!stages.omniShadowMap) stages.omniShadowMap = std::make_shared<OmniShadowMap>();
    if (!stages.cameraDepthMap) stages.cameraDepthMap = std::make_shared<SimpleDepthMap>();
    stages.omniShadowMap->initLights(pointLights);
    stages.cameraDepthMap->createDepthTarget(camera->getDepthFramebuffer(), camera->getDepthTexture(), state.width,
                                      state.height);
    for (const auto& light : directionalLights) {
        auto map = std::make_shared<SimpleDepthMap>(light->position, light->direction, kDirectionalExtent,
                                                    state.farPlane, true);
        map->createDepthTarget(&light->depthFramebuffer, &light->depthTexture, size, size);
        stages.directionalDepthMaps.push_back(std::move(map));
    }
    for (const auto& light : spotLights) {
        auto map = std::make_shared<SimpleDepthMap>(light->position, light->direction, kSpotFieldOfView,
                                                    kSpotFarPlane, false);
        map->createDepthTarget(&light->depthFramebuffer, &light->depthTexture, size, size);
        stages.spotDepthMaps.push_back(std::move(map));
    }
    // After the targets, so each buffer element carries its light's shadow names.
    stages.lightBuffers = createLightBuffers(pointLights, directionalLights, spotLights);
    stages.shadowSampler = createShadowComparisonSampler();
    stages.volumetricLightPipe = std::make_shared<VolumetricLightPipe>();
    stages.staticCasterDepth = std::make_shared<StaticCasterDepth>();
    casterMoves.clear();
    stillPlacements.clear();
}

void Level::rebuildLightBuffers() {
    // The replaced buffers would otherwise stay allocated until the context ends, three per rebuild.
    std::vector<GLuint>& buffers = stages.lightBuffers;
    if (!buffers.empty()) glDeleteBuffers(static_cast<GLsizei>(buffers.size()), buffers.data());
    if (stages.omniShadowMap) stages.omniShadowMap->shareStorage(pointLights);
    // A light that came on may have taken the cube of one that went off, and a light may get back a
    // cube another drew into since: none of them holds a known content any more.
    if (stages.staticCasterDepth) stages.staticCasterDepth->cubesChanged();
    stages.lightBuffers = createLightBuffers(pointLights, directionalLights, spotLights);
}

bool Level::shadowReachesView(const Object& object, const ShadowSweep& sweep, const glm::mat4& view) const {
    if (object.getName() == "ground" || !object.getGeometry() || !object.getGeometry()->getBoundingBox()) return true;
    const glm::mat4 model = object.getTransform()->getModelMatrix();
    const std::array<glm::vec3, 8>& corners = object.getGeometry()->getBoundingBox()->getCorners();
    std::array<glm::vec3, 16> hull;
    glm::vec3 centre(0.0f);
    for (std::size_t i = 0; i < 8; ++i) {
        hull[i] = glm::vec3(model * glm::vec4(corners[i], 1.0f));
        centre += hull[i] * 0.125f;
    }
    for (std::size_t i = 0; i < 8; ++i) {
        // Grown outwards by 5 cm plus 1 % of the distance to the light: many texels of any map here,
        // so a filtered lookup beside the hull never reads this caster.
        const glm::vec3 out = hull[i] - centre;
        const float distance = sweep.directional ? 0.0f : glm::length(hull[i] - sweep.position);
        if (glm::dot(out, out) > 0.0f) hull[i] += glm::normalize(out) * (0.05f + 0.01f * distance);
        glm::vec3 away = sweep.direction;
        if (!sweep.directional) {
            away = hull[i] - sweep.position;
            if (glm::dot(away, away) <= 1e-12f) return true;  // the light sits on the box
            away = glm::normalize(away);
        }
        hull[8 + i] = hull[i] + away * sweep.reach;
    }
    return frustum->anyInside(hull, view);
}

unsigned Level::drawCasters(const std::shared_ptr<Shader>& shader, std::span<const glm::mat4> volumes,
                            const ShadowSweep* sweep, Casters which) {
    const glm::mat4 view = camera->getCullingViewProjectionMatrix();
    unsigned reached = 0u;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const Object& object = *objects[i];
        if (which != Casters::all && (casterMoves[i] != 0) != (which == Casters::moving)) continue;
        unsigned inside = 0u;
        for (std::size_t k = 0; k < volumes.size(); ++k)
            if (frustum->shouldDraw(object, volumes[k])) inside |= 1u << k;
        if (inside && (!sweep || shadowReachesView(object, *sweep, view))) {
            object.drawWith(shader);
            reached |= inside;
        }
    }
    return reached;
}

void Level::checkStillCasters() {
    if (!stages.staticCasterDepth) stages.staticCasterDepth = std::make_shared<StaticCasterDepth>();
    if (casterMoves.size() != objects.size()) {
        casterMoves.assign(objects.size(), 0);
        for (const SceneNode& node : nodes) {
            if (!node.object || !animations.contains(node.nodeIndex)) continue;
            for (std::size_t i = 0; i < objects.size(); ++i)
                if (objects[i] == node.object) casterMoves[i] = 1;
        }
        stillPlacements.clear();
        for (const auto& object : objects) stillPlacements.push_back(object->getTransform()->getModelMatrix());
        stages.staticCasterDepth->forgetAll();
        return;
    }
    // An object that moved after all (a child of an animated node, one the game flow moves) moves
    // from now on; the kept depth that holds it is given up.
    bool moved = false;
    for (std::size_t i = 0; i < objects.size(); ++i)
        if (casterMoves[i] == 0 && stillPlacements[i] != objects[i]->getTransform()->getModelMatrix()) {
            casterMoves[i] = 1;
            moved = true;
        }
    if (moved) stages.staticCasterDepth->forgetAll();
}

// Casters are chosen by what the map itself sees (the light's frustum, or any face of its cube), not
// by what the camera sees: an object beside the view still throws its shadow into it. Of those, an
// object whose shadow, swept from the light to the map's far plane, cannot reach the view is left
// out: no visible surface and no haze in view could read it.
// The casters that never move are drawn into a point light's cube once, without the camera's sweep
// test (the copy serves every later view; what the sweep leaves out no surface or haze in view
// reads), and copied in at the start of each later pass; then the casters that move are drawn.
void Level::renderPointShadows() {
    const float reach = GlobalState::instance().farPlane;
    const int size = GlobalState::instance().shadowMapSize;
    checkStillCasters();
    StaticCasterDepth& still = *stages.staticCasterDepth;
    // The viewer's keys switch face culling and lines on and off: a copy holds for one of each.
    const unsigned drawState = (glIsEnabled(GL_CULL_FACE) ? 1u : 0u) | (GlobalState::instance().wireframe ? 2u : 0u);
    // Copies of lights that went off go first, so a light that comes on never adds a third cube.
    for (const auto& light : pointLights)
        if (!isOn(*light)) still.forget(light.get());
    for (const auto& light : pointLights) {
        if (!isOn(*light)) continue;
        const std::array<glm::mat4, 6> faces = stages.omniShadowMap->faceTransforms(light->position);
        const std::shared_ptr<Shader>& shader = stages.omniShadowMap->getShader();
        if (still.restore(light.get(), light->depthTexture, size, drawState)) {
            stages.omniShadowMap->renderFromLight(light, false);
        } else {
            stages.omniShadowMap->renderFromLight(light, true);
            drawCasters(shader, faces, nullptr, Casters::still);
            still.keep(light.get(), light->depthTexture, size, drawState);
        }
        const ShadowSweep sweep{false, glm::vec3(0.0f), light->position, reach};
        still.drewMoving(light.get(), drawCasters(shader, faces, &sweep, Casters::moving));
    }
}

void Level::renderDirectionalShadows() {
    for (std::size_t i = 0; i < directionalLights.size(); ++i) {
        if (!isOn(*directionalLights[i])) continue;
        stages.directionalDepthMaps[i]->bindForLight(&directionalLights[i]->depthFramebuffer);
        const glm::mat4 volume = stages.directionalDepthMaps[i]->getLightSpaceMatrix();
        const DirectionalLight& light = *directionalLights[i];
        const ShadowSweep sweep{true, glm::normalize(light.direction), light.position,
                                GlobalState::instance().farPlane};
        drawCasters(stages.directionalDepthMaps[i]->getShader(), {&volume, 1}, &sweep);
    }
}

void Level::renderSpotShadows() {
    for (std::size_t i = 0; i < spotLights.size(); ++i) {
        if (!isOn(*spotLights[i])) continue;
        stages.spotDepthMaps[i]->bindForLight(&spotLights[i]->depthFramebuffer);
        const glm::mat4 volume = stages.spotDepthMaps[i]->getLightSpaceMatrix();
        const ShadowSweep sweep{false, glm::vec3(0.0f), spotLights[i]->position, kSpotFarPlane};
        drawCasters(stages.spotDepthMaps[i]->getShader(), {&volume, 1}, &sweep);
    }
}

void Level::renderCameraDepth() {
    stages.cameraDepthMap->bindForCamera(camera->getDepthFramebuffer(), camera->getViewProjectionMatrix());
    const glm::mat4 culling = camera->getCullingViewProjectionMatrix();
    drawCasters(stages.cameraDepthMap->getShader(), {&culling, 1});
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
        if (stages.badParticles) stages.badParticles->emit(at, 500, 0.0f);
    } else if (name == "flower_alive.002") {
        if (stages.goodParticles) stages.goodParticles->emit(below, 6000, 0.07f);
    } else if (beginsWith(name, "flower_alive")) {
        if (stages.goodParticles) stages.goodParticles->emit(below, 3000, 0.03f);
    } else if (beginsWith(name, "flower_hope")) {
        if (stages.hopeParticles) stages.hopeParticles->emit(below, 1500, 0.01f);
    }
}

void Level::renderScene(int pulses) {
    stepParticles(pulses);

    // Opaque surfaces write alpha 1, so blending would change nothing here; one known state (off)
    // whatever the previous frame left keeps one compiled variant of each program for every frame.
    glDisable(GL_BLEND);
    stages.skybox->draw(camera);
    static const auto directionalNames = indexedUniformNames<kMaxLightsPerKind>("light_space_matrices[");
    static const auto spotNames = indexedUniformNames<kMaxLightsPerKind>("light_space_matrices_spot[");
    for (const auto& program : programs) {
        if (program->getType() == PBR) selectLightVariant(*program, pointLights, directionalLights, spotLights);
        setFrameUniforms(*program, camera, stages.lightBuffers, pointLights, directionalLights, spotLights,
                         stages.shadowSampler.get());
        if (program->getType() != PBR) continue;
        for (std::size_t i = 0; i < stages.directionalDepthMaps.size() && i < kMaxLightsPerKind; ++i)
            program->setMat4(directionalNames[i], stages.directionalDepthMaps[i]->getLightSpaceMatrix());
        for (std::size_t i = 0; i < stages.spotDepthMaps.size() && i < kMaxLightsPerKind; ++i)
            program->setMat4(spotNames[i], stages.spotDepthMaps[i]->getLightSpaceMatrix());
        // The cube maps store hardware depth; the lookup rebuilds it from the projection's near plane.
        program->setFloat("nearPlane", GlobalState::instance().nearPlane);
    }
    const glm::mat4 culling = camera->getCullingViewProjectionMatrix();
    for (const auto& object : objects) {
        if (frustum->shouldDraw(*object, culling)) object->draw();
    }
    for (Particles* particles : systems) particles->draw(camera);
}

// Bursts from the visible flowers, then one step of every system behind a single barrier. This runs
// before the skybox and the objects are queued: a barrier waits for all queued rendering on a
// software rasteriser, and here only the depth passes are still in flight.
void Level::stepParticles(int pulses) {
    systems.clear();
    for (Particles* particles : {stages.goodParticles.get(), stages.hopeParticles.get(), stages.badParticles.get()})
        if (particles) systems.push_back(particles);
    const glm::mat4 culling = camera->getCullingViewProjectionMatrix();
    if (pulses > 0) {
        for (const auto& object : objects)
            if (frustum->shouldDraw(*object, culling))
                for (int burst = 0; burst < pulses; ++burst) emitParticles(*object);
    }
    for (Particles* particles : systems) particles->dispatchStep();
    if (systems.empty()) return;
    glMemoryBarrier(kStepBarrierBits);
    for (Particles* particles : systems) particles->collectCount();
}

void Level::renderVolumetricLight(const std::array<GLuint, 2>& resolveTextures, GLuint volumetricFramebuffer) {
    stages.volumetricLightPipe->downSample(*camera->getDepthTexture());
    stages.volumetricLightPipe->setMarchUniforms(camera, stages.lightBuffers, pointLights, directionalLights, spotLights,
                                          stages.spotDepthMaps);
    stages.volumetricLightPipe->march();
    stages.volumetricLightPipe->blur();
    stages.volumetricLightPipe->upSample(resolveTextures[0], volumetricFramebuffer);
}

#include "scene/LevelContent.h"

#include "app/GlobalState.h"
#include "scene/AnimatedCamera.h"
#include "scene/Object.h"
#include "scene/SceneImport.h"

#include <tiny_gltf.h>

#include <iostream>

namespace {

template <typename Light>
void addLight(const std::shared_ptr<Light>& light, const std::string& name, std::vector<std::shared_ptr<Light>>& lights,
              std::vector<std::string>& names, const char* kind) {
    // Each light of a kind needs a shadow sampler in the programs; one beyond them is left out of
    // both lists.
    if (lights.size() >= kMaxLightsPerKind) {
        std::cout << "WARN: Light '" << name << "' left out: at most " << kMaxLightsPerKind << " " << kind
                  << " lights are shaded" << std::endl;
        return;
    }
    lights.push_back(light);
    names.push_back(name);
}

template <typename Light>
void switchLight(const std::vector<std::shared_ptr<Light>>& lights, const std::vector<std::string>& names,
                 const std::string& name, bool on) {
    for (std::size_t i = 0; i < names.size() && i < lights.size(); ++i) {
        if (names[i] == name) {
            lights[i]->enabled = on ? 1 : 0;
            return;
        }
    }
}

}  // namespace

void LevelContent::clearScene() {
    camera.reset();
    objects.clear();
    programs.clear();
    animations.clear();
    pointLights.clear();
    directionalLights.clear();
    spotLights.clear();
    pointLightNames.clear();
    directionalLightNames.clear();
    spotLightNames.clear();
    nodes.clear();
}

void LevelContent::loadScene(const std::string& path) {
    scenePath = path;
    sceneWalked = false;
    tinygltf::Model model;
    if (parseGltfFile(path, model)) walkScene(model);
}

void LevelContent::walkScene(const tinygltf::Model& model) {
    if (model.defaultScene < 0 || static_cast<std::size_t>(model.defaultScene) >= model.scenes.size()) {
        std::cout << "ERROR: Failed to load level '" << scenePath << "': no default scene (scene "
                  << model.defaultScene << " of " << model.scenes.size() << ")" << std::endl;
        return;
    }
    sceneWalked = true;
    const tinygltf::Scene& scene = model.scenes[model.defaultScene];
    for (int index : scene.nodes) {
        if (index < 0 || static_cast<std::size_t>(index) >= model.nodes.size()) {
            std::cout << "ERROR: Skipped root node " << index << " of '" << scenePath << "': there are "
                      << model.nodes.size() << " nodes" << std::endl;
            continue;
        }
        nodes.push_back(loadNode(model, model.nodes[index], index, glm::mat4(1.0f), environment));
    }
    for (const tinygltf::Animation& gltfAnimation : model.animations) {
        if (gltfAnimation.channels.empty()) continue;  // nothing to file it under, nothing to move
        auto animation = std::make_shared<Animation>(model, gltfAnimation);
        // The first animation filed under a node stays; a later one for the same node is dropped.
        animations.emplace(gltfAnimation.channels.front().target_node, std::move(animation));
    }
}

void LevelContent::sortNodes() {
    for (const SceneNode& node : nodes) {
        if (node.object)
            objects.push_back(node.object);
        else if (node.camera)
            camera = node.camera;
        else if (node.pointLight)
            addLight(node.pointLight, node.name, pointLights, pointLightNames, "point");
        else if (node.directionalLight)
            addLight(node.directionalLight, node.name, directionalLights, directionalLightNames, "directional");
        else if (node.spotLight)
            addLight(node.spotLight, node.name, spotLights, spotLightNames, "spot");
    }
}

void LevelContent::update() {
    if (GlobalState::instance().debugCameraActive && camera) camera->update(glm::vec3(0.0f));
    for (const auto& [nodeIndex, animation] : animations) animation->update();
    for (SceneNode& node : nodes) node.applyAnimation(animations, glm::mat4(1.0f));
}

void LevelContent::setLightEnabled(LightKind kind, const std::string& name, bool on) {
    switch (kind) {
    case LightKind::POINT_LIGHT: switchLight(pointLights, pointLightNames, name, on); break;
    case LightKind::DIRECTIONAL_LIGHT: switchLight(directionalLights, directionalLightNames, name, on); break;
    case LightKind::SPOT_LIGHT: switchLight(spotLights, spotLightNames, name, on); break;
    default: std::cout << "Error: invalid light type!" << std::endl; break;
    }
}

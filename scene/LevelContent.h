// What a level holds once its glTF file is walked: the camera, the objects, the lights (at most
// kMaxLightsPerKind of each kind, with their node names; one "WARN: " line at load for each light
// past that), the animations and the nodes they move.
// No render stages: the render layer's Level is made of this and adds them.
#pragma once

#include "scene/Animation.h"
#include "scene/Camera.h"
#include "scene/Frustum.h"
#include "scene/Lights.h"
#include "scene/SceneNode.h"
#include "shaders/ShaderContract.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tinygltf {
class Model;
}

class Object;
class Shader;
class Texture;

inline constexpr const char* kLevelPath = "assets/scene/thistle_exploration_scene3.gltf";

class LevelContent {
public:
    // Parses the file and walks it (nothing is walked after a failed parse).
    void loadScene(const std::string& path);
    // Fills `nodes` from the default scene's root nodes and `animations` from the model's animations,
    // each filed under its first channel's target node (the first one filed under a node stays).
    void walkScene(const tinygltf::Model& model);

    // Files each node's object, camera or light into the lists, in node order.
    void sortNodes();

    // One fixed simulation step: the debug camera's orbit (when it is active), every animation, then
    // every node's pose.
    void update();

    // Switches the light of `kind` whose node is called `name`; an unknown name changes nothing, a
    // value outside the kinds (only a cast makes one) prints "Error: invalid light type!". The GPU sees the change only
    // after the light buffers are rebuilt.
    void setLightEnabled(LightKind kind, const std::string& name, bool on);

    std::shared_ptr<Camera> camera;
    std::vector<std::shared_ptr<Object>> objects;
    std::vector<std::shared_ptr<Shader>> programs;  // the programs that take the frame's uniforms
    std::map<int, std::shared_ptr<Animation>> animations;
    std::vector<std::shared_ptr<PointLight>> pointLights;
    std::vector<std::shared_ptr<DirectionalLight>> directionalLights;
    std::vector<std::shared_ptr<SpotLight>> spotLights;
    std::vector<std::string> pointLightNames;
    std::vector<std::string> directionalLightNames;
    std::vector<std::string> spotLightNames;
    std::vector<SceneNode> nodes;
    std::shared_ptr<Frustum> frustum;
    // The image-based-lighting set the walk gives every object it makes; whoever loads the level
    // computes it first (null: objects without image-based lighting).
    std::shared_ptr<Texture> environment;

    // The file the level was loaded from (for messages).
    std::string scenePath;

protected:
    // Empties every list, so the scene can be loaded again.
    void clearScene();

    bool sceneWalked = false;  // the file parsed and had a default scene
};

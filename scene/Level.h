// One loaded level: its camera, objects, lights (at most kMaxLightsPerKind of each kind, with their
// node names; one "WARN: " line at load for each light past that), animations and the render stages
// that depend on them. Built once from the glTF level file; a file that cannot be read gives an
// empty level, and a level without a "Camera" node gets a perspective debug camera, so the frame
// passes always have a camera.
#pragma once

#include "scene/Animation.h"
#include "scene/Camera.h"
#include "scene/Frustum.h"
#include "scene/Lights.h"
#include "scene/SceneNode.h"
#include "textures/GlObjects.h"

#include <GL/glew.h>

#include <array>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace tinygltf {
class Model;
}

class Object;
class OmniShadowMap;
class Particles;
class Shader;
class SimpleDepthMap;
class Skybox;
class VolumetricLightPipe;

inline constexpr const char* kLevelPath = "assets/scene/thistle_exploration_scene3.gltf";

class Level {
public:
    // The whole build: the render stages, then loadLevel with `scenePath`. Needs a current context.
    void load();
    void load(const std::string& scenePath);
    // The level proper: the PBR program, the scene file, the lists sorted out of its nodes, then the
    // shadow targets and light buffers. The second half of load(): it needs the stages load() creates.
    void loadLevel(const std::string& scenePath = kLevelPath);

    // Parses the file and walks it (nothing is walked after a failed parse).
    void loadScene(const std::string& path);
    // Fills `nodes` from the default scene's root nodes and `animations` from the model's animations,
    // each filed under its first channel's target node (the first one filed under a node stays).
    void walkScene(const tinygltf::Model& model);

    // Files each node's object, camera or light into the lists, in node order (loadLevel does this).
    void sortNodes();

    // One fixed simulation step: the debug camera's orbit (when it is active), every animation, then
    // every node's pose.
    void update();

    // Switches the light of `kind` (LightKind) whose node is called `name`; an unknown name changes
    // nothing, an unknown kind prints "Error: invalid light type!". The GPU sees the change only
    // after the light buffers are rebuilt.
    void setLightEnabled(int kind, const std::string& name, bool on);
    // Uploads the light records again, so switched lights reach the shaders; deletes the old buffers.
    void rebuildLightBuffers();

    // The frame's passes, in the order the frame loop calls them. Each leaves framebuffer 0 bound;
    // viewport and culled faces are the caller's.
    void renderPointShadows();        // viewport shadowMapSize, back faces culled
    void renderDirectionalShadows();  // viewport shadowMapSize, front faces culled
    void renderSpotShadows();         // viewport shadowMapSize, front faces culled
    void renderCameraDepth();         // viewport width x height
    // Particle bursts (one per pulse from each visible flower; more than one pulse falls into a frame
    // when frames are long) and steps, then skybox, lit objects and particles, into the bound
    // framebuffer. Starts with blending off whatever the last frame left.
    void renderScene(int pulses);
    // The particle part of renderScene without its draws: each visible flower emits one burst per
    // pulse, then every system takes its step. Frames that are only simulated call it on its own, so
    // skipped time reaches the particles as it does when drawn.
    void stepParticles(int pulses);
    // Light scattered in the air, merged with the resolved scene into the two attachments of
    // `volumetricFramebuffer`; leaves blending on and the window-sized viewport.
    void renderVolumetricLight(const std::array<GLuint, 2>& resolveTextures, GLuint volumetricFramebuffer);

    std::shared_ptr<Camera> camera;
    std::vector<std::shared_ptr<Object>> objects;
    std::vector<std::shared_ptr<Shader>> programs;
    std::map<int, std::shared_ptr<Animation>> animations;
    std::vector<std::shared_ptr<PointLight>> pointLights;
    std::vector<std::shared_ptr<DirectionalLight>> directionalLights;
    std::vector<std::shared_ptr<SpotLight>> spotLights;
    std::vector<std::string> pointLightNames;
    std::vector<std::string> directionalLightNames;
    std::vector<std::string> spotLightNames;
    std::vector<SceneNode> nodes;
    std::vector<GLuint> lightBuffers;  // point, directional, spot
    GlName shadowSampler;              // the lit program's shadow lookups (createShadowComparisonSampler)
    std::shared_ptr<Particles> goodParticles;
    std::shared_ptr<Particles> hopeParticles;
    std::shared_ptr<Particles> badParticles;
    std::shared_ptr<OmniShadowMap> omniShadowMap;
    std::shared_ptr<SimpleDepthMap> cameraDepthMap;
    std::vector<std::shared_ptr<SimpleDepthMap>> directionalDepthMaps;
    std::vector<std::shared_ptr<SimpleDepthMap>> spotDepthMaps;
    std::shared_ptr<Frustum> frustum;
    std::shared_ptr<Skybox> skybox;
    std::shared_ptr<VolumetricLightPipe> volumetricLightPipe;

    // The file the level was loaded from (for messages).
    std::string scenePath;

private:
    // Shadow targets for every light and the camera, then the light buffers that carry their names.
    void createRenderStages();
    // How a light throws shadows: along `direction` (directional) or away from `position`, out to
    // `reach` (the far plane of its map).
    struct ShadowSweep {
        bool directional;
        glm::vec3 direction;
        glm::vec3 position;
        float reach;
    };
    // Draws every caster with `shader` (current): "ground" always, others when the box lies at least
    // partly inside one of the `volumes` (view-projections of the map being drawn) and, given a
    // `sweep`, when the shadow the box can throw reaches the camera's view.
    void drawCasters(const std::shared_ptr<Shader>& shader, std::span<const glm::mat4> volumes,
                     const ShadowSweep* sweep = nullptr);
    // The box, grown by a margin for the maps' filtering, swept by `sweep`, against the camera's view.
    bool shadowReachesView(const Object& object, const ShadowSweep& sweep, const glm::mat4& view) const;
    // On an emission pulse, the flowers give off particles by their names.
    void emitParticles(const Object& object);

    std::vector<Particles*> systems;  // this frame's particle systems, good, hope, bad (capacity kept)

    bool sceneWalked = false;  // the file parsed and had a default scene
};

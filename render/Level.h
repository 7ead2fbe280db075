// One loaded level: the scene walked from its glTF file (LevelContent) and the render stages built from
// it, with the frame's passes. A file that cannot be read gives an empty level, and a level without a
// "Camera" node gets a perspective debug camera, so the passes always have a camera. The class lives
// here, above the scene, because loading builds the render stages.
#pragma once

#include "render/LevelStages.h"
#include "scene/LevelContent.h"

#include <GL/glew.h>

#include <array>
#include <span>
#include <string>
#include <vector>

class Object;
class Particles;
class Shader;

class Level : public LevelContent {
public:
    // The whole build: the render stages, then loadLevel with `scenePath`. Needs a current context.
    void load();
    void load(const std::string& scenePath);
    // The level proper: the PBR program, the image-based lighting, the scene file, the lists sorted out
    // of its nodes, then the shadow targets and light buffers. The second half of load(): it needs the
    // stages load() creates.
    void loadLevel(const std::string& scenePath = kLevelPath);

    // Uploads the light records again, so switched lights reach the shaders; deletes the old buffers.
    void rebuildLightBuffers();

    // The frame's passes, in the order the pass list (app/FramePasses) runs them, which states the
    // viewport, culled faces and blending each begins from. Each binds and clears its own targets.
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
    // `volumetricFramebuffer`.
    void renderVolumetricLight(const std::array<GLuint, 2>& resolveTextures, GLuint volumetricFramebuffer);

    LevelStages stages;

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
    // Which casters a drawCasters call draws: those that never move are drawn into a point light's
    // cube once and copied in afterwards (StaticCasterDepth), the others every frame.
    enum class Casters { all, moving, still };
    // Draws every caster of `which` with `shader` (current): "ground" always, others when the box
    // lies at least partly inside one of the `volumes` (view-projections of the map being drawn) and,
    // given a `sweep`, when the shadow the box can throw reaches the camera's view. Returns bit k set
    // for each volume k that a drawn caster's box reaches (what the draws may have written to).
    unsigned drawCasters(const std::shared_ptr<Shader>& shader, std::span<const glm::mat4> volumes,
                         const ShadowSweep* sweep = nullptr, Casters which = Casters::all);
    // Notes which objects an animation moves and where the others stand; one of those others that
    // has moved since moves from then on, and every kept depth is given up.
    void checkStillCasters();
    // The box, grown by a margin for the maps' filtering, swept by `sweep`, against the camera's view.
    bool shadowReachesView(const Object& object, const ShadowSweep& sweep, const glm::mat4& view) const;
    // On an emission pulse, the flowers give off particles by their names.
    void emitParticles(const Object& object);

    std::vector<Particles*> systems;  // this frame's particle systems, good, hope, bad (capacity kept)
    std::vector<char> casterMoves;            // per object: it moves (an animation, or seen moving)
    std::vector<glm::mat4> stillPlacements;  // per object: the model matrix it had when noted
};

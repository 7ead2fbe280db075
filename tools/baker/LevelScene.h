// The meadow clearing as data, before it becomes glTF: every mesh node with its pose and tracks,
// the punctual lights and the camera's flight. Built deterministically from fixed seeds; the
// reduced variant keeps a handful of nodes for quick determinism checks.
#pragma once

#include "app/GameFlow.h"
#include "tools/baker/LevelAnimation.h"
#include "tools/baker/LevelMesh.h"

#include <string>
#include <vector>

struct LevelObject {
    std::string name;            // node and mesh name; without "." and digits it names the textures
    LevelMesh mesh;
    glm::vec3 translation{0.0f};   // the pose at time 0 (also written as the node's static pose)
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::vec3 scale{1.0f};
    bool animated = false;       // if so, `track` carries translation, rotation and scale
    NodeTrack track;
};

struct LevelLight {
    std::string name;
    std::string type;            // "directional", "point" or "spot"
    glm::vec3 color{1.0f};       // in [0, 1]; point and spot lights carry their strength in the tint
    float intensity = 1.0f;
    glm::vec3 position{0.0f};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};   // the light shines along this rotation's -Z
    float innerCone = 0.0f, outerCone = 0.0f;     // radians, spot lights only
};

struct LevelCamera {
    NodeTrack track;
    float yfov = 0.7f, aspectRatio = 1.0f, znear = 0.1f, zfar = 25.0f;
};

class LevelScene {
public:
    std::vector<LevelObject> objects;
    std::vector<LevelLight> lights;
    LevelCamera camera;

    static LevelScene build(bool reduced);
    // The material base name of a node: its name without "." and the digits 0-9.
    static std::string materialName(const std::string& nodeName);
    // Distinct material base names of the mesh nodes, sorted.
    std::vector<std::string> materialNames() const;
    std::size_t triangleCount() const;
};

// Length of the play phase: every track spans [0, kPlaySeconds]. At kLightChangeSeconds (the demo's
// own clock, app/GameFlow.h) "Point.002" and "Spot.001" come on and "flower_hope" starts to grow.
constexpr float kPlaySeconds = kPlayEndSeconds;

// Where the sun's light travels (world space, unit length): low in the sky behind the clearing,
// so the flight starts against the light. It is the sky panorama's sun, seen from the other end.
glm::vec3 sunDirection();

// The pose of a track at time t (clamped to its key range), with LINEAR keys and slerp.
void sampleTrack(const NodeTrack& track, float t, glm::vec3* translation, glm::quat* rotation, glm::vec3* scale);

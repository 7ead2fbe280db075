// Keyframe tracks of the level: the camera's flight (Catmull-Rom through hand-placed waypoints,
// looking at hand-placed targets) and the per-node translation/rotation/scale tracks of swaying,
// drifting and growing props. The engine builds an animated node's matrix from its tracks alone,
// so every animated node gets all three tracks, and rotation keys stay on the short arc.
#pragma once

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <vector>

struct NodeTrack {
    std::vector<float> times;              // strictly increasing, seconds of play
    std::vector<glm::vec3> translations;   // one per time
    std::vector<glm::quat> rotations;      // unit, neighbours with non-negative dot product
    std::vector<glm::vec3> scales;
};

struct CameraWaypoint {
    float time;
    glm::vec3 eye;
    glm::vec3 target;
};

class LevelAnimation {
public:
    // Hermite interpolation with Catmull-Rom tangents over non-uniformly timed points.
    static glm::vec3 catmullRom(const std::vector<float>& times, const std::vector<glm::vec3>& points, float t);
    // The rotation whose -Z axis looks along `direction` with +Y up and no roll.
    static glm::quat lookRotation(const glm::vec3& direction);
    // The camera's track: keys every `step` seconds from 0 to the last waypoint's time.
    static NodeTrack cameraTrack(const std::vector<CameraWaypoint>& waypoints, float step);
    // Makes each rotation key lie on the short arc from its predecessor.
    static void keepShortArc(std::vector<glm::quat>& rotations);
};

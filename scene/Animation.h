// Keyframe animation of whole nodes (translation, rotation, scale) along the global play clock. Only
// LINEAR channels move anything: STEP and CUBICSPLINE channels are read and kept but never applied,
// nor is a channel with an unknown interpolation (one warning per animation). No looping: a channel
// acts while the clock is inside its key range. Channels whose accessors do not fit are refused.
#pragma once

#include "scene/GltfAccess.h"

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tinygltf {
class Model;
struct Animation;
}  // namespace tinygltf

enum Interpolation : int {
    INTERPOLATION_UNKNOWN = -1,
    INTERPOLATION_STEP = 0,
    INTERPOLATION_LINEAR = 1,
    INTERPOLATION_CUBICSPLINE = 2,
};

// "STEP", "LINEAR", "CUBICSPLINE" (exact); anything else is INTERPOLATION_UNKNOWN.
Interpolation interpolationFromName(const std::string& name);

// One glTF channel. Only the list of the channel's target path is filled.
struct AnimationData {
    std::vector<glm::vec3> translations;
    std::vector<glm::quat> rotations;
    std::vector<glm::vec3> scales;
    int interpolation = INTERPOLATION_UNKNOWN;
    int targetNode = -1;
    float minTime = 0.0f;
    float maxTime = 0.0f;
    std::vector<float> times;
};

// The sampled pose of one node (a Transformation). An Animation starts each targeted node's pose from
// the node's own parts in the file; a pose asked for otherwise starts as the identity.

// Spherical interpolation along the shorter arc. Nearly equal rotations (dot above 1 - 2^-23) are
// blended linearly and not normalised, where the sine formula would divide by almost zero.
glm::quat slerp(glm::quat a, glm::quat b, float f);

class Animation {
public:
    Animation() = default;
    // Reads every channel of `animation`. A channel that cannot be read safely is left out after an
    // "ERROR: " line naming the animation and the channel.
    Animation(const tinygltf::Model& model, const tinygltf::Animation& animation);

    // Samples every channel whose key range holds the GlobalState play time.
    void update();
    // Samples one channel at `time` into its target node's Transformation. Outside the keys the
    // nearest end key is held; of two equal key times the later one counts.
    void evaluate(float time, const std::shared_ptr<AnimationData>& channel);
    // The node's pose, created as the identity when the node has none yet.
    std::shared_ptr<Transformation> getTransformation(int nodeIndex);

    std::vector<std::shared_ptr<AnimationData>> channels;
    std::map<int, std::shared_ptr<Transformation>> transformations;
    std::string name;
};

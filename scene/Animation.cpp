#include "scene/Animation.h"

#include "app/GlobalState.h"
#include "scene/GltfAccess.h"

#include <glm/gtc/matrix_transform.hpp>
#include <tiny_gltf.h>

#include <cmath>
#include <cstring>
#include <iostream>

namespace {

// Above this dot product the sine formula divides by almost zero: the float 1 - 2^-23.
constexpr float kNearlyParallel = 0.99999988f;

// `count` tightly packed groups of N floats; buffer data has no alignment guarantee, so bytes are copied.
template <int N>
std::vector<glm::vec<N, float>> readVectors(const unsigned char* bytes, std::size_t count) {
    std::vector<glm::vec<N, float>> values(count);
    float components[N];
    for (std::size_t i = 0; i < count; ++i) {
        std::memcpy(components, bytes + i * sizeof(components), sizeof(components));
        for (int c = 0; c < N; ++c) values[i][c] = components[c];
    }
    return values;
}

// Reads one channel, or returns false with the reason.
bool readChannel(const tinygltf::Model& model, const tinygltf::Animation& animation,
                 const tinygltf::AnimationChannel& channel, AnimationData& data, std::string* why) {
    if (channel.sampler < 0 || static_cast<std::size_t>(channel.sampler) >= animation.samplers.size()) {
        *why = "sampler " + std::to_string(channel.sampler) + " does not exist";
        return false;
    }
    const tinygltf::AnimationSampler& sampler = animation.samplers[channel.sampler];

    std::size_t keyCount = 0;
    const unsigned char* input = accessorBytes(model, sampler.input, sizeof(float), &keyCount, why);
    if (!input) return false;
    data.times.resize(keyCount);
    if (keyCount > 0) std::memcpy(data.times.data(), input, keyCount * sizeof(float));
    data.interpolation = interpolationFromName(sampler.interpolation);

    // The input accessor's min and max are required by glTF; the key list stands in when they are missing.
    const tinygltf::Accessor& times = model.accessors[sampler.input];
    data.minTime = !times.minValues.empty() ? static_cast<float>(times.minValues[0])
                   : keyCount > 0           ? data.times.front()
                                            : 0.0f;
    data.maxTime = !times.maxValues.empty() ? static_cast<float>(times.maxValues[0])
                   : keyCount > 0           ? data.times.back()
                                            : 0.0f;

    const bool isVec3 = channel.target_path == "translation" || channel.target_path == "scale";
    const bool isRotation = channel.target_path == "rotation";
    if (isVec3 || isRotation) {
        const std::size_t elementSize = isRotation ? 16 : 12;
        std::size_t valueCount = 0;
        const unsigned char* output = accessorBytes(model, sampler.output, elementSize, &valueCount, why);
        if (!output) return false;
        // A cubic spline stores an in-tangent, the value and an out-tangent per key.
        const std::size_t needed = keyCount * (data.interpolation == INTERPOLATION_CUBICSPLINE ? 3 : 1);
        if (valueCount < needed) {
            *why = "output accessor " + std::to_string(sampler.output) + " has " + std::to_string(valueCount) +
                   " values for " + std::to_string(keyCount) + " keys";
            return false;
        }
        if (isRotation) {
            // glTF stores (x, y, z, w); glm's constructor takes w first.
            for (const glm::vec4& v : readVectors<4>(output, valueCount))
                data.rotations.emplace_back(v.w, v.x, v.y, v.z);
        } else if (channel.target_path == "translation") {
            data.translations = readVectors<3>(output, valueCount);
        } else {
            data.scales = readVectors<3>(output, valueCount);
        }
    }
    data.targetNode = channel.target_node;
    return true;
}

}  // namespace

Interpolation interpolationFromName(const std::string& name) {
    if (name == "LINEAR") return INTERPOLATION_LINEAR;
    if (name == "STEP") return INTERPOLATION_STEP;
    if (name == "CUBICSPLINE") return INTERPOLATION_CUBICSPLINE;
    return INTERPOLATION_UNKNOWN;
}

glm::quat slerp(glm::quat a, glm::quat b, float f) {
    float c = glm::dot(a, b);
    // q and -q are the same rotation; going through the one on a's side takes the shorter arc.
    if (c < 0.0f) {
        b = -b;
        c = -c;
    }
    if (c > kNearlyParallel) {
        return glm::quat(a.w * (1.0f - f) + b.w * f, a.x * (1.0f - f) + b.x * f, a.y * (1.0f - f) + b.y * f,
                         a.z * (1.0f - f) + b.z * f);
    }
    const float theta = std::acos(c);
    return (std::sin((1.0f - f) * theta) * a + std::sin(f * theta) * b) / std::sin(theta);
}

Animation::Animation(const tinygltf::Model& model, const tinygltf::Animation& animation) : name(animation.name) {
    std::string unknownInterpolation;
    int unknownChannels = 0;
    for (std::size_t c = 0; c < animation.channels.size(); ++c) {
        auto data = std::make_shared<AnimationData>();
        std::string why;
        if (!readChannel(model, animation, animation.channels[c], *data, &why)) {
            std::cout << "ERROR: Skipped channel " << c << " of animation '" << animation.name << "': " << why
                      << std::endl;
            continue;
        }
        if (data->interpolation == INTERPOLATION_UNKNOWN) {
            if (unknownChannels++ == 0)
                unknownInterpolation = animation.samplers[animation.channels[c].sampler].interpolation;
        }
        channels.push_back(std::move(data));
    }
    // Exporters write channels only for the properties that change: every targeted node starts from
    // its own translation, rotation and scale, which the channels then overwrite part by part. A node
    // none of whose channels is applied (STEP only, say) keeps its placement from the file.
    for (const tinygltf::AnimationChannel& channel : animation.channels) {
        const int node = channel.target_node;
        if (node < 0 || static_cast<std::size_t>(node) >= model.nodes.size() || transformations.count(node)) continue;
        transformations[node] = std::make_shared<Transformation>(nodeTransformation(model.nodes[node]));
    }
    if (unknownChannels > 0)
        std::cout << "WARN: Animation '" << animation.name << "': " << unknownChannels
                  << " channel(s) with unknown interpolation (first '" << unknownInterpolation
                  << "') are not applied" << std::endl;
}

void Animation::update() {
    const float t = GlobalState::instance().time;
    for (const std::shared_ptr<AnimationData>& channel : channels)
        if (channel->minTime <= t && t <= channel->maxTime) evaluate(t, channel);
}

void Animation::evaluate(float time, const std::shared_ptr<AnimationData>& channel) {
    Transformation& pose = *getTransformation(channel->targetNode);
    if (channel->interpolation != INTERPOLATION_LINEAR) return;
    const std::vector<float>& times = channel->times;
    if (times.empty()) return;

    // k keys lie at or before `time`. Between two keys: blend them. Before the first or at and after
    // the last: hold that key. Equal key times are both counted, so the later one is the one used.
    std::size_t k = 0;
    while (k < times.size() && times[k] <= time) ++k;
    std::size_t prev = 0;
    std::size_t next = 0;
    float f = 0.0f;
    if (k == times.size()) {
        prev = next = k - 1;
    } else if (k > 0) {
        prev = k - 1;
        next = k;
        f = (time - times[prev]) / (times[next] - times[prev]);  // times[next] > time >= times[prev]
    }

    if (!channel->translations.empty()) {
        const glm::vec3 v = channel->translations[prev] * (1.0f - f) + channel->translations[next] * f;
        pose.translationMatrix = glm::translate(glm::mat4(1.0f), v);
    } else if (!channel->rotations.empty()) {
        pose.rotationMatrix = glm::mat4_cast(slerp(channel->rotations[prev], channel->rotations[next], f));
    } else if (!channel->scales.empty()) {
        const glm::vec3 s = channel->scales[prev] * (1.0f - f) + channel->scales[next] * f;
        pose.scaleMatrix = glm::scale(glm::mat4(1.0f), s);
    }
}

std::shared_ptr<Transformation> Animation::getTransformation(int nodeIndex) {
    std::shared_ptr<Transformation>& pose = transformations[nodeIndex];
    if (!pose) pose = std::make_shared<Transformation>();
    return pose;
}

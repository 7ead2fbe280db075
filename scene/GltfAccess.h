// Reading a glTF level, below everything that interprets it: the sandboxed parse, a node's own
// transform, and accessor bytes checked against their buffers. Only tightly packed accessors are read
// (no byte strides, no sparse accessors). The parser may open files beside the level file only:
// absolute URIs and URIs that climb out of the level's folder are refused.
#pragma once

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <cstddef>
#include <optional>
#include <string>

namespace tinygltf {
class Model;
class Node;
}  // namespace tinygltf

// A node's pose as three matrices: the parts of its file transform, or a sampled animation pose.
struct Transformation {
    glm::mat4 translationMatrix{1.0f};
    glm::mat4 rotationMatrix{1.0f};
    glm::mat4 scaleMatrix{1.0f};
};

// Parses a glTF JSON file into `model`, asking for the asset version. Logs the parser's warnings
// ("WARN: "), errors ("ERR: ") and "Loaded glTF: <path>" or "Failed to load glTF: <path>".
bool parseGltfFile(const std::string& path, tinygltf::Model& model);

// Why a URI of the level file may not be opened ("absolute path", "climbs out of the level's
// folder"), or nothing when it names a file inside the level's folder. `uri` is already decoded.
std::optional<std::string> refuseUri(const std::string& uri);

// The node's rotation (identity when it has none).
glm::quat nodeRotation(const tinygltf::Node& node);
// The node's translation, rotation and scale as three matrices (identity where the node has none);
// a node's `matrix` property is ignored (glTF forbids it on animated nodes).
Transformation nodeTransformation(const tinygltf::Node& node);
// translate(t) x R(q) x scale(s) from the node's parts.
glm::mat4 nodeMatrix(const tinygltf::Node& node);

// The bytes of `count` tightly packed elements of `elementSize` bytes that `accessorIndex` names, or
// nullptr with the reason in `why` when the accessor, its view or its buffer is missing or the
// elements run past the end of the buffer.
const unsigned char* accessorBytes(const tinygltf::Model& model, int accessorIndex, std::size_t elementSize,
                                   std::size_t* count, std::string* why);

// The walk over a parsed glTF level: root nodes become objects, the camera or lights. Reads tightly
// packed accessors only (no byte strides, no sparse accessors), checked against their buffers, and
// indices checked against the primitive's vertices. The parser may open files beside the level file
// only: absolute URIs and URIs that climb out of the level's folder are refused.
#pragma once

#include "scene/Animation.h"
#include "scene/MeshData.h"
#include "scene/SceneNode.h"

#include <glm/glm.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tinygltf {
class Model;
class Node;
struct Mesh;
}  // namespace tinygltf

class AnimatedCamera;
class Geometry;
class Transform;

// Parses a glTF JSON file into `model`, asking for the asset version. Logs the parser's warnings
// ("WARN: "), errors ("ERR: ") and "Loaded glTF: <path>" or "Failed to load glTF: <path>".
bool parseGltfFile(const std::string& path, tinygltf::Model& model);

// Why a URI of the level file may not be opened ("absolute path", "climbs out of the level's
// folder"), or nothing when it names a file inside the level's folder. `uri` is already decoded.
std::optional<std::string> refuseUri(const std::string& uri);

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

// A mesh's primitives as one MeshData (indices offset to each primitive's own vertices) and the
// model-space range over all positions. A primitive that cannot be read whole is left out with an
// "ERROR: " line naming the mesh; its vertices never reach the arrays. Every attribute array is
// either empty or one entry per position: a primitive lacking a normal, UV or tangent array that
// another primitive of the mesh has gets defaults (normals from its faces, UVs zero, tangents from
// its faces and UVs).
// Without any position the range stays inverted (min +3.4028235e38, max -3.4028235e38).
struct GatheredMesh {
    MeshData data;
    glm::vec3 min{3.4028235e38f};
    glm::vec3 max{-3.4028235e38f};
};
GatheredMesh gatherMesh(const tinygltf::Model& model, const tinygltf::Mesh& mesh);

// The node's mesh as a registered Geometry (needs a GL context) and a Transform holding nodeMatrix.
std::pair<std::shared_ptr<Geometry>, std::shared_ptr<Transform>> loadMesh(const tinygltf::Model& model,
                                                                           const tinygltf::Mesh& mesh,
                                                                           const tinygltf::Node& node);

// The level camera from the node's perspective camera (far plane 25). Without a usable perspective
// camera on the node: an "ERROR: " line and nothing.
std::shared_ptr<AnimatedCamera> loadCamera(const tinygltf::Model& model, const tinygltf::Node& node);

// One root node: an object when it has a mesh, else the camera when named exactly "Camera", else
// whatever light it carries. `parent` is accepted for the walk's shape and not used.
SceneNode loadNode(const tinygltf::Model& model, const tinygltf::Node& node, int nodeIndex, const glm::mat4& parent);

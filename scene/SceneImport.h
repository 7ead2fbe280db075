// The walk over a parsed glTF level: root nodes become objects, the camera or lights. Reads tightly
// packed accessors only (scene/GltfAccess.h), and indices checked against the primitive's vertices.
#pragma once

#include "models/MeshData.h"
#include "scene/Animation.h"
#include "scene/GltfAccess.h"
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
class Texture;
class Transform;

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
// whatever light it carries. `parent` is accepted for the walk's shape and not used. Objects sample
// `environment`, the level's image-based-lighting set.
SceneNode loadNode(const tinygltf::Model& model, const tinygltf::Node& node, int nodeIndex, const glm::mat4& parent,
                   const std::shared_ptr<Texture>& environment);

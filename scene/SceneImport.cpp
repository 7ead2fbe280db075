#include "scene/SceneImport.h"

#include "app/GlobalState.h"
#include "models/BoundingBox.h"
#include "models/Geometry.h"
#include "models/GeometryRegistry.h"
#include "scene/AnimatedCamera.h"
#include "scene/Lights.h"
#include "scene/Object.h"
#include "scene/PbrObject.h"
#include "scene/Transform.h"

#include <glm/gtc/matrix_transform.hpp>
#include <tiny_gltf.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>

namespace {

constexpr float kImportedFarPlane = 25.0f;

// glTF index component types.
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;


// Buffer data has no alignment guarantee: copy the bytes out rather than cast the pointer.
template <typename T>
T readElement(const unsigned char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <int N>
glm::vec<N, float> readVector(const unsigned char* bytes) {
    float components[N];
    std::memcpy(components, bytes, sizeof(components));
    glm::vec<N, float> value;
    for (int i = 0; i < N; ++i) value[i] = components[i];
    return value;
}

int indexSize(int componentType) {
    switch (componentType) {
    case kUnsignedByte: return 1;
    case kUnsignedShort: return 2;
    case kUnsignedInt: return 4;
    default: return 0;
    }
}

// Reads a primitive into `out` whole, or returns false with the reason.
bool readPrimitive(const tinygltf::Model& model, const tinygltf::Primitive& primitive, MeshData& out,
                   std::string* why) {
    std::vector<std::uint32_t> indices;
    if (primitive.indices >= 0) {
        if (static_cast<std::size_t>(primitive.indices) >= model.accessors.size()) {
            *why = "index accessor " + std::to_string(primitive.indices) + " does not exist";
            return false;
        }
        const int size = indexSize(model.accessors[primitive.indices].componentType);
        if (size != 0) {
            std::size_t count = 0;
            const unsigned char* bytes = accessorBytes(model, primitive.indices, size, &count, why);
            if (!bytes) return false;
            indices.reserve(count);
            for (std::size_t i = 0; i < count; ++i) {
                const unsigned char* at = bytes + i * size;
                indices.push_back(size == 1   ? at[0]
                                  : size == 2 ? readElement<std::uint16_t>(at)
                                              : readElement<std::uint32_t>(at));
            }
        }
    }

    for (const auto& [name, accessor] : primitive.attributes) {
        std::size_t count = 0;
        if (name == "POSITION" || name == "NORMAL") {
            const unsigned char* bytes = accessorBytes(model, accessor, 12, &count, why);
            if (!bytes) return false;
            auto& target = name == "POSITION" ? out.positions : out.normals;
            for (std::size_t i = 0; i < count; ++i) target.push_back(readVector<3>(bytes + i * 12));
        } else if (name == "TANGENT") {
            const unsigned char* bytes = accessorBytes(model, accessor, 16, &count, why);
            if (!bytes) return false;
            for (std::size_t i = 0; i < count; ++i) out.tangents.push_back(readVector<3>(bytes + i * 16));
        } else if (name == "TEXCOORD_0") {
            const unsigned char* bytes = accessorBytes(model, accessor, 8, &count, why);
            if (!bytes) return false;
            for (std::size_t i = 0; i < count; ++i) out.uvs.push_back(readVector<2>(bytes + i * 8));
        }
    }

    // The attribute buffers are drawn side by side: a shorter one would be read past its end by GL.
    const std::size_t vertices = out.positions.size();
    const auto checkCount = [&](const char* name, std::size_t count) {
        if (count == 0 || count == vertices) return true;
        *why = std::string(name) + " has " + std::to_string(count) + " elements for " + std::to_string(vertices) +
               " positions";
        return false;
    };
    if (!checkCount("NORMAL", out.normals.size()) || !checkCount("TANGENT", out.tangents.size()) ||
        !checkCount("TEXCOORD_0", out.uvs.size()))
        return false;
    for (std::size_t i = 0; i < indices.size(); ++i) {
        if (indices[i] >= vertices) {
            *why = "index " + std::to_string(i) + " is " + std::to_string(indices[i]) + ", past the " +
                   std::to_string(vertices) + " vertices";
            return false;
        }
    }
    out.indices = std::move(indices);
    return true;
}

template <typename T>
void append(std::vector<T>& to, const std::vector<T>& from) {
    to.insert(to.end(), from.begin(), from.end());
}

// The corners of each triangle of a primitive: its indices in threes, or without indices its
// vertices in threes, as glTF draws them.
template <typename Visit>
void forEachTriangle(const MeshData& primitive, Visit visit) {
    const std::size_t corners = primitive.indices.empty() ? primitive.positions.size() : primitive.indices.size();
    for (std::size_t t = 0; t + 2 < corners; t += 3) {
        if (primitive.indices.empty())
            visit(t, t + 1, t + 2);
        else
            visit(primitive.indices[t], primitive.indices[t + 1], primitive.indices[t + 2]);
    }
}

// Any unit vector at right angles to `n` (n of unit length).
glm::vec3 perpendicular(const glm::vec3& n) {
    const glm::vec3 axis = std::abs(n.x) < 0.9f ? glm::vec3(1, 0, 0) : glm::vec3(0, 1, 0);
    return glm::normalize(glm::cross(axis, n));
}

// Normals of a primitive without any: the area-weighted sum of the faces around each vertex. A
// vertex on no face with area points up (+Y).
std::vector<glm::vec3> faceNormals(const MeshData& primitive) {
    std::vector<glm::vec3> sums(primitive.positions.size(), glm::vec3(0.0f));
    forEachTriangle(primitive, [&](std::size_t a, std::size_t b, std::size_t c) {
        const std::vector<glm::vec3>& p = primitive.positions;
        const glm::vec3 face = glm::cross(p[b] - p[a], p[c] - p[a]);
        sums[a] += face;
        sums[b] += face;
        sums[c] += face;
    });
    for (glm::vec3& n : sums) {
        const float length = glm::length(n);
        n = std::isfinite(length) && length > 0.0f ? n / length : glm::vec3(0, 1, 0);
    }
    return sums;
}

// Tangents of a primitive without any: the direction of increasing u on each face (Lengyel's
// method), summed per vertex and made perpendicular to the normal. Where the UVs give no direction
// (missing or degenerate), any perpendicular of the normal.
std::vector<glm::vec3> triangleTangents(const MeshData& primitive) {
    std::vector<glm::vec3> sums(primitive.positions.size(), glm::vec3(0.0f));
    if (primitive.uvs.size() == primitive.positions.size()) {
        forEachTriangle(primitive, [&](std::size_t a, std::size_t b, std::size_t c) {
            const std::vector<glm::vec3>& p = primitive.positions;
            const std::vector<glm::vec2>& t = primitive.uvs;
            const glm::vec3 e1 = p[b] - p[a], e2 = p[c] - p[a];
            const glm::vec2 d1 = t[b] - t[a], d2 = t[c] - t[a];
            const float det = d1.x * d2.y - d2.x * d1.y;
            if (det == 0.0f || !std::isfinite(det)) return;
            const glm::vec3 tangent = (d2.y * e1 - d1.y * e2) / det;
            sums[a] += tangent;
            sums[b] += tangent;
            sums[c] += tangent;
        });
    }
    const bool hasNormals = primitive.normals.size() == primitive.positions.size();
    for (std::size_t i = 0; i < sums.size(); ++i) {
        glm::vec3 n = hasNormals ? primitive.normals[i] : glm::vec3(0, 1, 0);
        const float nLength = glm::length(n);
        n = std::isfinite(nLength) && nLength > 0.0f ? n / nLength : glm::vec3(0, 1, 0);
        const glm::vec3 t = sums[i] - n * glm::dot(n, sums[i]);
        const float length = glm::length(t);
        sums[i] = std::isfinite(length) && length > 1e-20f ? t / length : perpendicular(n);
    }
    return sums;
}

}  // namespace

GatheredMesh gatherMesh(const tinygltf::Model& model, const tinygltf::Mesh& mesh) {
    std::vector<MeshData> primitives;
    for (std::size_t p = 0; p < mesh.primitives.size(); ++p) {
        MeshData primitive;
        std::string why;
        if (!readPrimitive(model, mesh.primitives[p], primitive, &why)) {
            std::cout << "ERROR: Skipped primitive " << p << " of mesh '" << mesh.name << "': " << why << std::endl;
            continue;
        }
        primitives.push_back(std::move(primitive));
    }

    // The mesh's arrays are drawn side by side, so an attribute that one primitive has, every
    // primitive gets: a primitive without it is given defaults rather than shifting the others.
    const auto anyHas = [&](auto member) {
        return std::any_of(primitives.begin(), primitives.end(),
                           [&](const MeshData& primitive) { return !(primitive.*member).empty(); });
    };
    const bool normals = anyHas(&MeshData::normals);
    const bool uvs = anyHas(&MeshData::uvs);
    const bool tangents = anyHas(&MeshData::tangents);
    for (MeshData& primitive : primitives) {
        if (normals && primitive.normals.empty()) primitive.normals = faceNormals(primitive);
        if (uvs && primitive.uvs.empty()) primitive.uvs.assign(primitive.positions.size(), glm::vec2(0.0f));
        if (tangents && primitive.tangents.empty()) primitive.tangents = triangleTangents(primitive);
    }

    GatheredMesh gathered;
    MeshData& out = gathered.data;
    for (const MeshData& primitive : primitives) {
        // Indices of a later primitive point at its own vertices, which follow the earlier ones.
        const auto offset = static_cast<std::uint32_t>(out.positions.size());
        for (std::uint32_t index : primitive.indices) out.indices.push_back(index + offset);
        for (const glm::vec3& position : primitive.positions) {
            gathered.min = glm::min(gathered.min, position);
            gathered.max = glm::max(gathered.max, position);
        }
        append(out.positions, primitive.positions);
        append(out.normals, primitive.normals);
        append(out.tangents, primitive.tangents);
        append(out.uvs, primitive.uvs);
    }
    return gathered;
}

std::pair<std::shared_ptr<Geometry>, std::shared_ptr<Transform>> loadMesh(const tinygltf::Model& model,
                                                                           const tinygltf::Mesh& mesh,
                                                                           const tinygltf::Node& node) {
    GatheredMesh gathered = gatherMesh(model, mesh);
    if (!gathered.data.computeBitangents()) std::cout << "ERROR: Unable to set tangents, bitangents" << std::endl;

    const glm::mat4 local = nodeMatrix(node);
    gathered.data.modelMatrix = local;
    auto transform = std::make_shared<Transform>();
    transform->setModelMatrix(local);

    auto geometry = std::make_shared<Geometry>(gathered.data, mesh.name);
    geometry->setBoundingBox(std::make_shared<BoundingBox>(gathered.min, gathered.max));
    registerGeometry(mesh.name, geometry);
    return {geometry, transform};
}

std::shared_ptr<AnimatedCamera> loadCamera(const tinygltf::Model& model, const tinygltf::Node& node) {
    const glm::mat4 local = nodeMatrix(node);
    std::cout << "Loading camera..." << std::endl;

    if (node.camera < 0 || static_cast<std::size_t>(node.camera) >= model.cameras.size()) {
        std::cout << "ERROR: Failed to load camera '" << node.name << "': the node has no camera (index "
                  << node.camera << " of " << model.cameras.size() << ")" << std::endl;
        return nullptr;
    }
    const tinygltf::Camera& camera = model.cameras[node.camera];
    const tinygltf::PerspectiveCamera& perspective = camera.perspective;
    if (camera.type != "perspective" || !(perspective.yfov > 0.0) || !(perspective.znear > 0.0)) {
        std::cout << "ERROR: Failed to load camera '" << node.name << "': not a usable perspective camera (type '"
                  << camera.type << "', yfov " << perspective.yfov << ", znear " << perspective.znear << ")"
                  << std::endl;
        return nullptr;
    }

    GlobalState& state = GlobalState::instance();
    const float fov = static_cast<float>(perspective.yfov);
    // glTF leaves the aspect ratio to the viewport when the camera does not give one.
    float aspect = static_cast<float>(perspective.aspectRatio);
    if (!(aspect > 0.0f))
        aspect = state.width > 0 && state.height > 0 ? static_cast<float>(state.width) / state.height : 1.0f;
    const float nearPlane = static_cast<float>(perspective.znear);

    return std::make_shared<AnimatedCamera>(glm::inverse(local), local, fov, aspect, nearPlane, kImportedFarPlane);
}

SceneNode loadNode(const tinygltf::Model& model, const tinygltf::Node& node, int nodeIndex, const glm::mat4&,
                   const std::shared_ptr<Texture>& environment) {
    SceneNode record;
    record.name = node.name;
    record.nodeIndex = nodeIndex;
    std::cout << "Loading node: " << node.name << std::endl;

    if (node.mesh >= 0) {
        if (static_cast<std::size_t>(node.mesh) >= model.meshes.size()) {
            std::cout << "ERROR: Failed to load node '" << node.name << "': mesh " << node.mesh << " does not exist ("
                      << model.meshes.size() << " meshes)" << std::endl;
            return record;
        }
        auto [geometry, transform] = loadMesh(model, model.meshes[node.mesh], node);
        record.object = createPbrObject(geometry, transform, node.name, environment);
    } else if (node.name == "Camera") {
        record.camera = loadCamera(model, node);
    } else {
        loadLight(model, node, record);
    }
    return record;
}

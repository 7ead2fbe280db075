// The CPU-side arrays a Geometry is uploaded from, one entry per vertex in each attribute array and
// three indices per triangle. Filled by the glTF import and the OBJ loader; owns no GL resources.
#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <vector>

struct MeshData {
    std::vector<glm::vec3> positions;
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec2> uvs;
    std::vector<glm::vec3> tangents;
    std::vector<glm::vec3> bitangents;
    // The glTF import keeps the node's local matrix here; the OBJ loader leaves it zero. Geometry ignores it.
    glm::mat4 modelMatrix{0.0f};

    // Appends cross(normal, tangent) for every tangent. Returns false, changing nothing, when the mesh
    // has neither normals nor tangents. A tangent without a normal gets a zero bitangent, so the
    // bitangent array still has one entry per tangent.
    bool computeBitangents();
};

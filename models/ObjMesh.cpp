#include "models/ObjMesh.h"

#include "models/ObjReader.h"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace {

bool isFinite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

void computeTangents(MeshData& mesh) {
    const std::size_t vertexCount =
        std::min({mesh.positions.size(), mesh.uvs.size(), mesh.tangents.size(), mesh.bitangents.size()});
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const std::uint32_t i0 = mesh.indices[t];
        const std::uint32_t i1 = mesh.indices[t + 1];
        const std::uint32_t i2 = mesh.indices[t + 2];
        if (i0 >= vertexCount || i1 >= vertexCount || i2 >= vertexCount) continue;

        const glm::vec3 e1 = mesh.positions[i1] - mesh.positions[i0];
        const glm::vec3 e2 = mesh.positions[i2] - mesh.positions[i0];
        const glm::vec2 d1 = mesh.uvs[i1] - mesh.uvs[i0];
        const glm::vec2 d2 = mesh.uvs[i2] - mesh.uvs[i0];
        const float f = 1.0f / (d1.x * d2.y - d2.x * d1.y);
        glm::vec3 tangent = f * (d2.y * e1 - d1.y * e2);
        glm::vec3 bitangent = f * (d1.x * e2 - d2.x * e1);
        // Without UV area (untextured faces, UVs all (0, 0)) there is no tangent frame; a zero vector
        // keeps shaders finite where 1/0 would spread infinities and NaN.
        if (!std::isfinite(f) || !isFinite(tangent) || !isFinite(bitangent)) {
            tangent = glm::vec3(0.0f);
            bitangent = glm::vec3(0.0f);
        }
        for (std::uint32_t i : {i0, i1, i2}) {
            mesh.tangents[i] = tangent;
            mesh.bitangents[i] = bitangent;
        }
    }
}

MeshData readObjMeshData(const std::string& path) {
    MeshData mesh;
    ObjReader reader;
    if (!reader.loadFile(path)) {
        std::cout << "ERROR: loading OBJ file: " << path << std::endl;
        return mesh;
    }
    const std::vector<ObjVertex>& vertices = reader.getVertices();
    mesh.positions.reserve(vertices.size());
    mesh.normals.reserve(vertices.size());
    mesh.uvs.reserve(vertices.size());
    for (const ObjVertex& v : vertices) {
        mesh.positions.push_back(v.position);
        mesh.normals.push_back(v.normal);
        mesh.uvs.push_back(v.texCoord);
    }
    mesh.indices = reader.getIndices();
    mesh.tangents.assign(vertices.size(), glm::vec3(0.0f));
    mesh.bitangents.assign(vertices.size(), glm::vec3(0.0f));
    computeTangents(mesh);
    return mesh;
}

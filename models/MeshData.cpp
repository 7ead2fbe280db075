#include "models/MeshData.h"

bool MeshData::computeBitangents() {
    if (normals.empty() && tangents.empty()) return false;
    bitangents.reserve(bitangents.size() + tangents.size());
    for (std::size_t i = 0; i < tangents.size(); ++i)
        bitangents.push_back(i < normals.size() ? glm::cross(normals[i], tangents[i]) : glm::vec3(0.0f));
    return true;
}

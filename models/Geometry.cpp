#include "models/Geometry.h"

#include "gl/GlObjects.h"

#include <string>
#include <vector>

namespace {

// "<label> <part>", or the label alone; a geometry without a label leaves its objects unnamed.
void labelPart(GLenum identifier, GLuint name, std::string_view label, const char* part) {
    if (label.empty()) return;
    std::string text(label);
    if (part) text.append(" ").append(part);
    labelObject(identifier, name, text);
}

// Uploads one attribute array into a new buffer and points `location` at it. An empty array still
// gets its (zero-size) buffer and an enabled attribute, so every geometry has the same layout.
template <typename Vec>
GLuint uploadAttribute(const std::vector<Vec>& values, GLuint location, std::string_view label, const char* part) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(values.size() * sizeof(Vec)), values.data(),
                 GL_STATIC_DRAW);
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, Vec::length(), GL_FLOAT, GL_FALSE, 0, nullptr);
    labelPart(GL_BUFFER, buffer, label, part);
    return buffer;
}

}  // namespace

Geometry::Geometry(const MeshData& mesh, std::string_view label)
    : indexCount(static_cast<std::uint32_t>(mesh.indices.size())) {
    static_assert(sizeof(glm::vec3) == 12 && sizeof(glm::vec2) == 8, "attributes are tightly packed floats");

    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    labelPart(GL_VERTEX_ARRAY, vao, label, nullptr);

    positionBuffer = uploadAttribute(mesh.positions, 0, label, "positions");
    normalBuffer = uploadAttribute(mesh.normals, 1, label, "normals");
    uvBuffer = uploadAttribute(mesh.uvs, 2, label, "uvs");
    tangentBuffer = uploadAttribute(mesh.tangents, 3, label, "tangents");
    bitangentBuffer = uploadAttribute(mesh.bitangents, 4, label, "bitangents");

    glGenBuffers(1, &indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(mesh.indices.size() * sizeof(std::uint32_t)),
                 mesh.indices.data(), GL_STATIC_DRAW);
    labelPart(GL_BUFFER, indexBuffer, label, "indices");

    // Unbind the vertex array first: unbinding the element buffer while it is bound would detach it.
    glBindVertexArray(0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

Geometry::~Geometry() {
    const GLuint buffers[] = {positionBuffer, indexBuffer, normalBuffer, uvBuffer, tangentBuffer, bitangentBuffer};
    glDeleteBuffers(6, buffers);
    glDeleteVertexArrays(1, &vao);
}

void Geometry::draw() const {
    glBindVertexArray(vao);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indexCount), GL_UNSIGNED_INT, nullptr);
    glBindVertexArray(0);
}

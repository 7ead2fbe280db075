// Mesh arrays uploaded once to GL: one tightly packed float buffer per attribute (locations 0 to 4:
// position, normal, uv, tangent, bitangent) and a 32-bit index buffer, recorded in one vertex array.
// Empty arrays are valid (zero-size buffers, nothing drawn). Owns its GL names and deletes them.
#pragma once

#include "models/BoundingBox.h"
#include "models/MeshData.h"

#include <GL/glew.h>

#include <cstdint>
#include <memory>
#include <string_view>

class Geometry {
public:
    // Needs a current context. A non-empty `label` names the vertex array and buffers in GL debug
    // tools and messages ("<label> positions", ...).
    explicit Geometry(const MeshData& mesh, std::string_view label = {});
    ~Geometry();
    Geometry(const Geometry&) = delete;
    Geometry& operator=(const Geometry&) = delete;

    // One indexed triangle draw with whatever program is current.
    void draw() const;

    std::uint32_t getIndexCount() const { return indexCount; }
    GLuint getVao() const { return vao; }
    GLuint getPositionBuffer() const { return positionBuffer; }
    GLuint getIndexBuffer() const { return indexBuffer; }
    GLuint getNormalBuffer() const { return normalBuffer; }
    GLuint getUvBuffer() const { return uvBuffer; }
    GLuint getTangentBuffer() const { return tangentBuffer; }
    GLuint getBitangentBuffer() const { return bitangentBuffer; }

    // Empty until the creator sets one (the glTF import does; OBJ models have none).
    const std::shared_ptr<BoundingBox>& getBoundingBox() const { return boundingBox; }
    void setBoundingBox(std::shared_ptr<BoundingBox> box) { boundingBox = std::move(box); }

private:
    std::uint32_t indexCount = 0;
    GLuint vao = 0;
    GLuint positionBuffer = 0;
    GLuint indexBuffer = 0;
    GLuint normalBuffer = 0;
    GLuint uvBuffer = 0;
    GLuint tangentBuffer = 0;
    GLuint bitangentBuffer = 0;
    std::shared_ptr<BoundingBox> boundingBox;
};

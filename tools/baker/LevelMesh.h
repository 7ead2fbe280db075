// One baked triangle mesh (positions, normals, tangents, texture coordinates, indices) and the
// parametric surface builders the level's props are made of. Surfaces are grids over (s, t) in
// [0,1]^2; normals come from the surface's own derivatives, so closed tubes have no seams and
// two-sided leaves do not cancel out. Refuses nothing: callers pass well-formed shapes.
#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <functional>
#include <vector>

// A rectangle of the material's texture sheet; u runs along s and v along t.
struct UvRect {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
};

struct SurfaceOptions {
    bool closedS = false;      // s = 0 and s = 1 meet (tubes, spheres): normals wrap around
    bool twoSided = false;     // thin sheet: a mirrored back side is added (the scene pass culls back faces)
    bool poleAtT0 = false;     // the row t = 0 collapses to one point: one apex vertex and a fan
    bool poleAtT1 = false;     // the same for t = 1
};

class LevelMesh {
public:
    using SurfaceFn = std::function<glm::vec3(float s, float t)>;

    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec4> tangents;   // xyz unit, w = +1 or -1 (bitangent = cross(normal, tangent) * w)
    std::vector<glm::vec2> uvs;
    std::vector<std::uint32_t> indices;

    // Adds a grid surface of segmentsS x segmentsT quads. Its front side faces
    // cross(dP/ds, dP/dt) and winds counter-clockwise seen from there. UV layouts keep u along s
    // and v along t, so tangent handedness is +1 everywhere (the engine rebuilds the bitangent as
    // cross(normal, tangent) and ignores w).
    void addSurface(int segmentsS, int segmentsT, const SurfaceFn& surface, const UvRect& uv,
                    const SurfaceOptions& options = {});
    // A flat disc cap: a fan around `center` through `ring` (counter-clockwise seen from `normal`),
    // mapped into the disc inscribed in `uv`.
    void addDisc(const glm::vec3& center, const std::vector<glm::vec3>& ring, const glm::vec3& normal,
                 const glm::vec3& axisU, const UvRect& uv);
    void append(const LevelMesh& other, const glm::mat4& transform);

    // Per-vertex tangents from the texture-coordinate derivatives, orthogonalised against the normal.
    void computeTangents();

    std::size_t triangleCount() const { return indices.size() / 3; }
    std::size_t vertexCount() const { return positions.size(); }
    glm::vec3 boundsMin() const;
    glm::vec3 boundsMax() const;

private:
    std::uint32_t addVertex(const glm::vec3& p, const glm::vec3& n, const glm::vec2& uv);
};

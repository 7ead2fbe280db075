// Cube depth maps for point lights, each drawn in one pass whose geometry stage sends every triangle
// to the six faces. The cube texture and framebuffer of a light live in its PointLight record.
#pragma once

#include <glm/glm.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class Shader;
struct PointLight;

class OmniShadowMap {
public:
    OmniShadowMap();

    // The shared 90-degree projection (near and far from GlobalState) and a cube target per light.
    // Storage (96 MiB at 2048) is given to the lights that are on; see shareStorage.
    void initLights(std::vector<std::shared_ptr<PointLight>> lights);
    // Gives every light that is on a cube with storage: one that has none takes the cube of a light
    // that is off (its names move with it, cleared to what a new cube holds), or new storage when no
    // such light exists. So lights that are never on together share memory; an off light keeps its
    // map while no light needs it. Call before the light buffers are built (they carry the names).
    void shareStorage(const std::vector<std::shared_ptr<PointLight>>& lights);
    // Binds the light's target, clears it unless `clear` is false (the caller has filled it), and
    // sets the program's uniforms; the caller draws the casters with getShader() and binds
    // framebuffer 0.
    void renderFromLight(std::shared_ptr<PointLight> light, bool clear = true);

    const std::shared_ptr<Shader>& getShader() const { return shader; }
    const glm::mat4& getProjection() const { return projection; }

    // projection x view of each cube face, in layer order +X, -X, +Y, -Y, +Z, -Z.
    std::array<glm::mat4, 6> faceTransforms(glm::vec3 lightPosition) const;

private:
    void allocateStorage(PointLight& light);

    glm::mat4 projection{1.0f};
    std::shared_ptr<Shader> shader;
    std::vector<std::uint32_t> withStorage;  // cube textures that have storage
};

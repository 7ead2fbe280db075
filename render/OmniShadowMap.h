// Cube depth maps for point lights, each drawn in one pass whose geometry stage sends every triangle
// to the six faces. The cube texture and framebuffer of a light live in its PointLight record.
#pragma once

#include <glm/glm.hpp>

#include <array>
#include <memory>
#include <vector>

class Shader;
struct PointLight;

class OmniShadowMap {
public:
    OmniShadowMap();

    // The shared 90-degree projection (near and far from GlobalState) and a cube target per light.
    void initLights(std::vector<std::shared_ptr<PointLight>> lights);
    // Binds and clears the light's target and sets the program's uniforms; the caller draws the
    // casters with getShader() and binds framebuffer 0.
    void renderFromLight(std::shared_ptr<PointLight> light);

    const std::shared_ptr<Shader>& getShader() const { return shader; }
    const glm::mat4& getProjection() const { return projection; }

    // projection x view of each cube face, in layer order +X, -X, +Y, -Y, +Z, -Z.
    std::array<glm::mat4, 6> faceTransforms(glm::vec3 lightPosition) const;

private:
    glm::mat4 projection{1.0f};
    std::shared_ptr<Shader> shader;
};

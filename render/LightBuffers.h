// The level's lights as three uniform buffers (point, directional, spot) holding the light records'
// first 64, 64 or 80 bytes each, byte for byte, bound to the blocks "pointBlock", "directionalBlock"
// and "spotBlock". The buffers are immutable: a change of a light's on flag needs a rebuild.
#pragma once

#include "gl/GlObjects.h"
#include "scene/Lights.h"
#include "shaders/ShaderType.h"
#include "shaders/TextureUnits.h"

#include <GL/glew.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

class Camera;
class Shader;

// Selects the variant of the lit or the haze program built for the lights that are on (their counts
// and indices as #defines, so its light loops have constant counts and read the records at constant
// places: llvmpipe runs a loop bounded by a uniform once more than its count). Uniforms belong to each variant: call before setFrameUniforms. Without
// it the plain program draws the same picture, slower.
void selectLightVariant(Shader& shader, const std::vector<std::shared_ptr<PointLight>>& pointLights,
                        const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                        const std::vector<std::shared_ptr<SpotLight>>& spotLights);

// Scene-wide uniforms of `shader` by its program type (camera, brightness, light counts and blocks,
// far plane, shadow samplers, time); makes the program current. Called once per frame and program.
// Also the indices of the lights that are on, so the shaders' loops visit only those. The lit program
// reads its shadow maps through `shadowSampler` (createShadowComparisonSampler); the volumetric march
// reads them raw and ignores it. These are the render layer's, not Shader members: they read the
// camera and the light records of the scene.
void setFrameUniforms(Shader& shader, const std::shared_ptr<Camera>& camera, const std::vector<GLuint>& lightBuffers,
                      const std::vector<std::shared_ptr<PointLight>>& pointLights,
                      const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                      const std::vector<std::shared_ptr<SpotLight>>& spotLights, GLuint shadowSampler);
// "viewProjectionMat", "cameraWorld" and "brightness" only, for programs outside the level.
void setCameraUniforms(Shader& shader, const std::shared_ptr<Camera>& camera);

// Returns the three buffer names in the order point, directional, spot.
std::vector<GLuint> createLightBuffers(const std::vector<std::shared_ptr<PointLight>>& pointLights,
                                       const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                                       const std::vector<std::shared_ptr<SpotLight>>& spotLights);

// The sampler state of shadow lookups in the lit program: depth comparison with 2x2 filtering done
// by the texture unit, one fetch per lookup; the textures' own parameters stay as made. The level
// makes one with its light buffers and owns it.
GlName createShadowComparisonSampler();

// Which sampler uniform and texture unit each light's shadow map takes in a program: point cubes
// first, then (lit program only) directional maps, then spot maps, counting up from the program's
// first shadow unit (7 for PBR, 2 for the volumetric march). Other programs take none.
struct ShadowBinding {
    std::string uniform;  // e.g. "omniShadowMap[1]"
    int unit;
    LightKind kind;
    std::size_t index;    // into that kind's light list
};
std::vector<ShadowBinding> shadowBindings(ShaderType type, std::size_t pointCount, std::size_t directionalCount,
                                          std::size_t spotCount);

// The lights of one kind that are on and have a shadow sampler in the programs (the first
// kMaxLightsPerKind of the list): their list indices in ascending order, then zeros, and how many
// there are. The lit and volumetric programs loop over these only ("on<Kind>Lights", "on<Kind>Count").
struct OnLightList {
    std::array<GLint, kMaxLightsPerKind> indices{};  // as long as the programs' arrays
    GLint count = 0;
};
template <typename Light>
OnLightList onLightList(const std::vector<std::shared_ptr<Light>>& lights) {
    OnLightList list;
    for (std::size_t i = 0; i < lights.size() && i < kMaxLightsPerKind; ++i)
        if (isOn(*lights[i])) list.indices[static_cast<std::size_t>(list.count++)] = static_cast<GLint>(i);
    return list;
}

// The level's punctual lights (glTF KHR_lights_punctual): point, directional and spot records whose
// first 64, 64 or 80 bytes are uploaded unchanged into the light uniform buffers, so their layout is
// fixed and proven below. Only root nodes are imported, so node space is world space. Light types other
// than "point", "directional" and "spot" (exact spelling) make no light.
#pragma once

#include "shaders/ShaderContract.h"

#include <glm/glm.hpp>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tinygltf {
class Model;
class Node;
}  // namespace tinygltf

struct SceneNode;

// The light kinds, as the game flow names them to Level::setLightEnabled.
enum class LightKind : int {
    POINT_LIGHT = 0,
    DIRECTIONAL_LIGHT = 1,
    SPOT_LIGHT = 2,
};

// Whether a light is on, tested this one way by every pass: its `enabled` field is 1 on, 0 off, and
// the lit program learns it only from the lists of lights that are on (render/LightBuffers).
template <typename Light>
bool isOn(const Light& light) {
    return light.enabled != 0;
}

// Each row is 16 bytes (a vec3 and one scalar), as std140 lays out the shader-side blocks; the fourth
// component of a row is named after the row (`colorW`) where it carries a constant for the shaders.
struct PointLight {
    glm::vec3 color{1.0f};
    float colorW = 0.0f;
    glm::vec3 position{0.0f};
    float positionW = 0.0f;
    glm::vec3 lightFactors{0.5f};
    float lightFactorsW = 0.3f;
    std::uint32_t depthFramebuffer = 0;  // cube shadow target, filled by the shadow-map set-up
    std::uint32_t depthTexture = 0;      // cube map
    std::int32_t enabled = 1;
    std::int32_t flag = 1;
};

struct DirectionalLight {
    glm::vec3 color{1.0f};
    float intensity = 1.0f;
    glm::vec3 direction{0.0f};
    float directionW = 0.0f;
    glm::vec3 position{0.0f};
    float positionW = 0.0f;
    std::uint32_t depthFramebuffer = 0;
    std::uint32_t depthTexture = 0;  // 2D
    std::int32_t enabled = 1;
    std::int32_t flag = 0;
};

struct SpotLight {
    glm::vec3 color{1.0f};
    float cosInnerCone = 1.0f;
    glm::vec3 direction{0.0f};
    float cosOuterCone = 1.0f;
    glm::vec3 lightFactors{0.5f};
    float lightFactorsW = 0.0f;
    glm::vec3 position{0.0f};
    float positionW = 0.0f;
    std::uint32_t depthFramebuffer = 0;
    std::uint32_t depthTexture = 0;  // 2D
    std::int32_t enabled = 1;
    std::int32_t flag = 1;
};

// The shader blocks read these bytes as they are: each struct is the GLSL record of
// shaders/ShaderContract.h, a vec4 there being a vec3 and the scalar after it (12 bytes on) here.
#define VERDANCE_AT_GLSL(Struct, member, fields, glslMember, bytesIn) \
    static_assert(offsetof(Struct, member) == glslOffset(fields, glslMember) + (bytesIn))
static_assert(sizeof(glm::vec3) == 12);
static_assert(sizeof(PointLight) == std140Stride(kPointLightFields));
VERDANCE_AT_GLSL(PointLight, color, kPointLightFields, "color", 0);
VERDANCE_AT_GLSL(PointLight, colorW, kPointLightFields, "color", 12);
VERDANCE_AT_GLSL(PointLight, position, kPointLightFields, "position", 0);
VERDANCE_AT_GLSL(PointLight, positionW, kPointLightFields, "position", 12);
VERDANCE_AT_GLSL(PointLight, lightFactors, kPointLightFields, "lightFactors", 0);
VERDANCE_AT_GLSL(PointLight, lightFactorsW, kPointLightFields, "lightFactors", 12);
VERDANCE_AT_GLSL(PointLight, depthFramebuffer, kPointLightFields, "shadow", 0);
VERDANCE_AT_GLSL(PointLight, depthTexture, kPointLightFields, "shadow", 4);
VERDANCE_AT_GLSL(PointLight, enabled, kPointLightFields, "enabled", 0);
VERDANCE_AT_GLSL(PointLight, flag, kPointLightFields, "attenuates", 0);
static_assert(sizeof(DirectionalLight) == std140Stride(kDirectionalLightFields));
VERDANCE_AT_GLSL(DirectionalLight, color, kDirectionalLightFields, "color", 0);
VERDANCE_AT_GLSL(DirectionalLight, intensity, kDirectionalLightFields, "color", 12);
VERDANCE_AT_GLSL(DirectionalLight, direction, kDirectionalLightFields, "direction", 0);
VERDANCE_AT_GLSL(DirectionalLight, directionW, kDirectionalLightFields, "direction", 12);
VERDANCE_AT_GLSL(DirectionalLight, position, kDirectionalLightFields, "position", 0);
VERDANCE_AT_GLSL(DirectionalLight, positionW, kDirectionalLightFields, "position", 12);
VERDANCE_AT_GLSL(DirectionalLight, depthFramebuffer, kDirectionalLightFields, "shadow", 0);
VERDANCE_AT_GLSL(DirectionalLight, depthTexture, kDirectionalLightFields, "shadow", 4);
VERDANCE_AT_GLSL(DirectionalLight, enabled, kDirectionalLightFields, "enabled", 0);
VERDANCE_AT_GLSL(DirectionalLight, flag, kDirectionalLightFields, "attenuates", 0);
static_assert(sizeof(SpotLight) == std140Stride(kSpotLightFields));
VERDANCE_AT_GLSL(SpotLight, color, kSpotLightFields, "color", 0);
VERDANCE_AT_GLSL(SpotLight, cosInnerCone, kSpotLightFields, "color", 12);
VERDANCE_AT_GLSL(SpotLight, direction, kSpotLightFields, "direction", 0);
VERDANCE_AT_GLSL(SpotLight, cosOuterCone, kSpotLightFields, "direction", 12);
VERDANCE_AT_GLSL(SpotLight, lightFactors, kSpotLightFields, "lightFactors", 0);
VERDANCE_AT_GLSL(SpotLight, lightFactorsW, kSpotLightFields, "lightFactors", 12);
VERDANCE_AT_GLSL(SpotLight, position, kSpotLightFields, "position", 0);
VERDANCE_AT_GLSL(SpotLight, positionW, kSpotLightFields, "position", 12);
VERDANCE_AT_GLSL(SpotLight, depthFramebuffer, kSpotLightFields, "shadow", 0);
VERDANCE_AT_GLSL(SpotLight, depthTexture, kSpotLightFields, "shadow", 4);
VERDANCE_AT_GLSL(SpotLight, enabled, kSpotLightFields, "enabled", 0);
VERDANCE_AT_GLSL(SpotLight, flag, kSpotLightFields, "attenuates", 0);
#undef VERDANCE_AT_GLSL

// What a node's light became: at most one of the three is set.
struct ImportedLight {
    std::shared_ptr<PointLight> pointLight;
    std::shared_ptr<DirectionalLight> directionalLight;
    std::shared_ptr<SpotLight> spotLight;
};

// Per-light factors and the initial on flag, chosen by the exact node name.
struct LightNameSettings {
    glm::vec3 lightFactors;
    std::int32_t enabled;
};
LightNameSettings lightSettingsForName(const std::string& nodeName);

// The node's light from the model's KHR_lights_punctual data, without logging. A node without the
// extension, a model without the light list, an index outside it or an unknown type give no light.
ImportedLight parseLight(const tinygltf::Model& model, const tinygltf::Node& node);

// Logs "Loading light <name>" and stores parseLight's record in the matching field of `record`.
void loadLight(const tinygltf::Model& model, const tinygltf::Node& node, SceneNode& record);

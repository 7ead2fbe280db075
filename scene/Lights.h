// The level's punctual lights (glTF KHR_lights_punctual): point, directional and spot records whose
// first 64, 64 or 80 bytes are uploaded unchanged into the light uniform buffers, so their layout is
// fixed and proven below. Only root nodes are imported, so node space is world space. Light types other
// than "point", "directional" and "spot" (exact spelling) make no light.
#pragma once

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

// The light kinds by the value the game flow passes to Level::setLightEnabled.
enum LightKind : int {
    POINT_LIGHT = 0,
    DIRECTIONAL_LIGHT = 1,
    SPOT_LIGHT = 2,
};

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

// The shader blocks read these bytes as they are: any change here must change the GLSL blocks too.
static_assert(sizeof(glm::vec3) == 12);
static_assert(sizeof(PointLight) == 64);
static_assert(offsetof(PointLight, color) == 0 && offsetof(PointLight, colorW) == 12);
static_assert(offsetof(PointLight, position) == 16 && offsetof(PointLight, positionW) == 28);
static_assert(offsetof(PointLight, lightFactors) == 32 && offsetof(PointLight, lightFactorsW) == 44);
static_assert(offsetof(PointLight, depthFramebuffer) == 48 && offsetof(PointLight, depthTexture) == 52);
static_assert(offsetof(PointLight, enabled) == 56 && offsetof(PointLight, flag) == 60);

static_assert(sizeof(DirectionalLight) == 64);
static_assert(offsetof(DirectionalLight, color) == 0 && offsetof(DirectionalLight, intensity) == 12);
static_assert(offsetof(DirectionalLight, direction) == 16 && offsetof(DirectionalLight, directionW) == 28);
static_assert(offsetof(DirectionalLight, position) == 32 && offsetof(DirectionalLight, positionW) == 44);
static_assert(offsetof(DirectionalLight, depthFramebuffer) == 48 && offsetof(DirectionalLight, depthTexture) == 52);
static_assert(offsetof(DirectionalLight, enabled) == 56 && offsetof(DirectionalLight, flag) == 60);

static_assert(sizeof(SpotLight) == 80);
static_assert(offsetof(SpotLight, color) == 0 && offsetof(SpotLight, cosInnerCone) == 12);
static_assert(offsetof(SpotLight, direction) == 16 && offsetof(SpotLight, cosOuterCone) == 28);
static_assert(offsetof(SpotLight, lightFactors) == 32 && offsetof(SpotLight, lightFactorsW) == 44);
static_assert(offsetof(SpotLight, position) == 48 && offsetof(SpotLight, positionW) == 60);
static_assert(offsetof(SpotLight, depthFramebuffer) == 64 && offsetof(SpotLight, depthTexture) == 68);
static_assert(offsetof(SpotLight, enabled) == 72 && offsetof(SpotLight, flag) == 76);

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

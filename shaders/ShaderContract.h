// What the engine and the GLSL programs must agree on, written once here: how many lights of each
// kind are shaded, the light records' layout, the lamps' power, and the texture units and block
// bindings (shaders/TextureUnits.h). The shader loader inserts shaderContractPreamble() after the
// "#version" line of every stage, so the GLSL files use these names and never repeat the numbers.
#pragma once

#include "shaders/TextureUnits.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// Lights shaded per kind (point, directional, spot); each needs a shadow sampler in the lit program.
// A fragment stage may use 32 samplers on llvmpipe (GL_MAX_TEXTURE_IMAGE_UNITS); material and
// image-based lighting take 6, so (32 - 6) / 3 = 8 shadow maps of each kind fit. Lights past this in
// a level are left out at load, with a warning.
inline constexpr std::size_t kMaxLightsPerKind = 8;

inline constexpr std::size_t kFragmentSamplers = 32;
inline constexpr std::size_t kMaterialAndAmbientSamplers = 6;  // albedo, AO/roughness/metal, normal, irradiance, prefiltered, BRDF
static_assert(kMaterialAndAmbientSamplers + 3 * kMaxLightsPerKind <= kFragmentSamplers);
// The lit program's shadow units stay below the parked ones, and those below the spare ones.
static_assert(kPbrFirstShadowUnit + 3 * kMaxLightsPerKind <= std::size_t{kParkedCubeShadowUnit});
static_assert(kParkedCubeShadowUnit < kFirstSpareShadowUnit && kParked2DShadowUnit < kFirstSpareShadowUnit);

// Radiant power of the lamps, which the level file gives as colours only: chosen so that a lamp 2 m
// above the ground lights it about as strongly as the low sun does. The sun's intensity is its own.
inline constexpr float kPointLightPower = 5.0f;
inline constexpr float kSpotLightPower = 12.0f;

// One member of a GLSL light record as std140 lays it out (the blocks hold arrays of these records).
struct GlslField {
    std::string_view type;  // "vec4", "uvec2" or "int"
    std::string_view name;
    std::size_t offset;     // bytes from the record's start
    std::string_view note;  // what the member holds, written beside it in the GLSL text
};

// The three light records the engine uploads byte for byte into the blocks "pointBlock",
// "directionalBlock" and "spotBlock" (scene/Lights.h asserts its structs against these tables).
//   color.rgb     light colour (linear); point and spot lights carry no intensity: POINT_POWER and
//                 SPOT_POWER scale them.
//   lightFactors  (constant, linear, quadratic) distance attenuation 1 / (c + l d + q d^2).
//   shadow        the shadow framebuffer and texture names (the programs get the maps as samplers).
//   enabled       1 on, 0 off.
//   attenuates    1 when the light fades with distance (point, spot), 0 for the sun, whose rays
//                 are parallel.
inline constexpr GlslField kPointLightFields[] = {
    {"vec4", "color", 0, ""},
    {"vec4", "position", 16, ""},
    // The radius: distances below it count as the radius, so the light never blows out a surface
    // touching it; it also sets the width of the soft shadow edge of the cube lookup.
    {"vec4", "lightFactors", 32, "w: radius in metres"},
    {"uvec2", "shadow", 48, ""},
    {"int", "enabled", 56, ""},
    {"int", "attenuates", 60, ""},
};
inline constexpr GlslField kDirectionalLightFields[] = {
    {"vec4", "color", 0, "w: intensity"},
    {"vec4", "direction", 16, "the direction the light travels"},
    {"vec4", "position", 32, ""},
    {"uvec2", "shadow", 48, ""},
    {"int", "enabled", 56, ""},
    {"int", "attenuates", 60, ""},
};
inline constexpr GlslField kSpotLightFields[] = {
    {"vec4", "color", 0, "w: cosine of the inner cone angle"},
    {"vec4", "direction", 16, "w: cosine of the outer cone angle"},
    {"vec4", "lightFactors", 32, ""},
    {"vec4", "position", 48, ""},
    {"uvec2", "shadow", 64, ""},
    {"int", "enabled", 72, ""},
    {"int", "attenuates", 76, ""},
};

// std140 alignment and size of the member types used above (0 for any other type).
constexpr std::size_t std140Alignment(std::string_view type) {
    return type == "vec4" ? 16 : type == "uvec2" ? 8 : type == "int" ? 4 : 0;
}
constexpr std::size_t std140Size(std::string_view type) { return std140Alignment(type); }

// Bytes of one element of an std140 array of the record: the members' end rounded up to 16.
constexpr std::size_t std140Stride(std::span<const GlslField> fields) {
    const GlslField& last = fields.back();
    return (last.offset + std140Size(last.type) + 15) / 16 * 16;
}

// True when every offset is where std140 puts the member: the previous member's end, rounded up to
// the member's alignment.
constexpr bool std140Consistent(std::span<const GlslField> fields) {
    std::size_t end = 0;
    for (const GlslField& field : fields) {
        const std::size_t alignment = std140Alignment(field.type);
        if (alignment == 0 || field.offset != (end + alignment - 1) / alignment * alignment) return false;
        end = field.offset + std140Size(field.type);
    }
    return true;
}

// The offset of the member `name`, or a value no struct member has when there is none.
constexpr std::size_t glslOffset(std::span<const GlslField> fields, std::string_view name) {
    for (const GlslField& field : fields)
        if (field.name == name) return field.offset;
    return ~std::size_t{0};
}

static_assert(std140Consistent(kPointLightFields) && std140Stride(kPointLightFields) == 64);
static_assert(std140Consistent(kDirectionalLightFields) && std140Stride(kDirectionalLightFields) == 64);
static_assert(std140Consistent(kSpotLightFields) && std140Stride(kSpotLightFields) == 80);

// The GLSL text every stage gets after its "#version" line: #defines of the limit, units and
// bindings, the power constants and the three light structs (PointLightData, DirectionalLightData,
// SpotLightData).
const std::string& shaderContractPreamble();

// `source` with the preamble and then `definitions` (a program variant's #define lines) inserted
// after its first line when that line is a "#version" directive, followed by "#line 2" so compiler
// messages keep the file's own line numbers. Any other source (empty, or without the directive
// first) comes back unchanged.
std::string withShaderContract(const std::string& source, const std::string& definitions = {});

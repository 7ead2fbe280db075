#include "shaders/ShaderContract.h"

#include <charconv>
#include <string>

namespace {

void define(std::string& text, const char* name, long long value) {
    text += "#define ";
    text += name;
    text += ' ';
    text += std::to_string(value);
    text += '\n';
}

// A GLSL float literal that reads back as `value` (shortest form, with a decimal point).
std::string floatLiteral(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string literal(buffer, result.ptr);
    if (literal.find_first_of(".e") == std::string::npos) literal += ".0";
    return literal;
}

void declareStruct(std::string& text, const char* name, std::span<const GlslField> fields) {
    text += "struct ";
    text += name;
    text += " {\n";
    for (const GlslField& field : fields) {
        text.append("    ").append(field.type).append(" ").append(field.name).append(";");
        if (!field.note.empty()) text.append("  // ").append(field.note);
        text += '\n';
    }
    text += "};\n";
}

std::string buildPreamble() {
    constexpr auto kinds = static_cast<long long>(kMaxLightsPerKind);
    std::string text = "// From the engine (shaders/ShaderContract.h), inserted by the shader loader.\n";
    define(text, "MAX_LIGHTS_PER_KIND", kinds);
    define(text, "ALBEDO_UNIT", kAlbedoUnit);
    define(text, "AO_ROUGH_METAL_UNIT", kAoRoughMetalUnit);
    define(text, "NORMAL_UNIT", kNormalUnit);
    define(text, "IRRADIANCE_UNIT", kIrradianceUnit);
    define(text, "PREFILTERED_UNIT", kPrefilteredUnit);
    define(text, "BRDF_UNIT", kBrdfUnit);
    define(text, "PBR_FIRST_SHADOW_UNIT", kPbrFirstShadowUnit);
    define(text, "VOLUMETRIC_FIRST_SHADOW_UNIT", kVolumetricFirstShadowUnit);
    define(text, "PARKED_CUBE_SHADOW_UNIT", kParkedCubeShadowUnit);
    define(text, "PARKED_2D_SHADOW_UNIT", kParked2DShadowUnit);
    // Literal values: a layout qualifier takes no expression before GLSL 4.40.
    define(text, "OMNI_SHADOW_SPARE_UNIT", kFirstSpareShadowUnit);
    define(text, "DIRECTIONAL_SHADOW_SPARE_UNIT", kFirstSpareShadowUnit + kinds);
    define(text, "SPOT_SHADOW_SPARE_UNIT", kFirstSpareShadowUnit + 2 * kinds);
    define(text, "POINT_BLOCK_BINDING", kPointBlockBinding);
    define(text, "DIRECTIONAL_BLOCK_BINDING", kDirectionalBlockBinding);
    define(text, "SPOT_BLOCK_BINDING", kSpotBlockBinding);
    text += "const float POINT_POWER = " + floatLiteral(kPointLightPower) + ";\n";
    text += "const float SPOT_POWER = " + floatLiteral(kSpotLightPower) + ";\n";
    declareStruct(text, "PointLightData", kPointLightFields);
    declareStruct(text, "DirectionalLightData", kDirectionalLightFields);
    declareStruct(text, "SpotLightData", kSpotLightFields);
    return text;
}

}  // namespace

const std::string& shaderContractPreamble() {
    static const std::string preamble = buildPreamble();
    return preamble;
}

std::string withShaderContract(const std::string& source, const std::string& definitions) {
    if (source.rfind("#version", 0) != 0) return source;
    const std::size_t lineEnd = source.find('\n');
    if (lineEnd == std::string::npos) return source;
    std::string text = source.substr(0, lineEnd + 1);
    text += shaderContractPreamble();
    text += definitions;
    text += "#line 2\n";
    text.append(source, lineEnd + 1);
    return text;
}

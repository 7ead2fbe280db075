#include "shaders/ShaderRegistry.h"

#include <cstdint>
#include <unordered_map>

namespace {

#define SHADER_DIR "assets/shader/"

// Indexed by ShaderType. VOLUMETRIC_LIGHTING_BLUR reuses the blur's vertex stage in a program of its own.
const ShaderFiles kShaderFiles[kShaderTypeCount] = {
    {SHADER_DIR "simpleShader.vert", nullptr, SHADER_DIR "simpleShader.frag"},
    {SHADER_DIR "pbr.vert", nullptr, SHADER_DIR "pbr.frag"},
    {SHADER_DIR "equi_to_cubemap.vert", nullptr, SHADER_DIR "equi_to_cubemap.frag"},
    {SHADER_DIR "irradianceMap.vert", nullptr, SHADER_DIR "irradianceMap.frag"},
    {SHADER_DIR "bloom.vert", nullptr, SHADER_DIR "bloom.frag"},
    {SHADER_DIR "gaussian.vert", nullptr, SHADER_DIR "gaussian.frag"},
    {SHADER_DIR "lava.vert", nullptr, SHADER_DIR "lava.frag"},
    {nullptr, nullptr, SHADER_DIR "particles.comp"},
    {SHADER_DIR "particles.vert", SHADER_DIR "particles.geom", SHADER_DIR "particles.frag"},
    {SHADER_DIR "preFilterer.vert", nullptr, SHADER_DIR "preFilterer.frag"},
    {SHADER_DIR "brdf.vert", nullptr, SHADER_DIR "brdf.frag"},
    {SHADER_DIR "fur.vert", SHADER_DIR "fur.geom", SHADER_DIR "fur.frag"},
    {SHADER_DIR "depthShader.vert", SHADER_DIR "depthShader.geom", SHADER_DIR "depthShader.frag"},
    {SHADER_DIR "volumetric_lighting.vert", nullptr, SHADER_DIR "volumetric_lighting.frag"},
    {SHADER_DIR "simpleDepthShader.vert", nullptr, SHADER_DIR "simpleDepthShader.frag"},
    {SHADER_DIR "volumetric_lighting_downSample.vert", nullptr, SHADER_DIR "volumetric_lighting_downSample.frag"},
    {SHADER_DIR "gaussian.vert", nullptr, SHADER_DIR "volumetric_lighting_blur.frag"},
    {SHADER_DIR "volumetric_lighting_upSample.vert", nullptr, SHADER_DIR "volumetric_lighting_upSample.frag"},
    {SHADER_DIR "skybox.vert", nullptr, SHADER_DIR "skybox.frag"},
};

#undef SHADER_DIR

// Keyed by the raw value so that an out-of-range request keeps its own entry (built from SIMPLE's files).
std::unordered_map<std::int32_t, std::shared_ptr<Shader>> gShaders;

}  // namespace

ShaderFiles shaderFilesFor(ShaderType type) {
    const auto index = static_cast<std::uint32_t>(type);
    return kShaderFiles[index < static_cast<std::uint32_t>(kShaderTypeCount) ? index : std::uint32_t{SIMPLE}];
}

std::vector<std::int32_t> registeredShaderTypes() {
    std::vector<std::int32_t> types;
    for (const auto& [type, shader] : gShaders) types.push_back(type);
    return types;
}

void forgetShader(std::int32_t type) { gShaders.erase(type); }

std::shared_ptr<Shader> getShader(ShaderType type) {
    if (auto found = gShaders.find(type); found != gShaders.end()) return found->second;
    auto shader = std::make_shared<Shader>(type);
    gShaders.emplace(type, shader);
    return shader;
}

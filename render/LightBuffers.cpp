#include "render/LightBuffers.h"

#include "app/GlobalState.h"
#include "scene/Camera.h"
#include "shaders/Shader.h"
#include "shaders/ShaderContract.h"
#include "shaders/TextureUnits.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

template <typename Light>
GLuint createBuffer(const std::vector<std::shared_ptr<Light>>& lights, std::size_t elementBytes, const char* label) {
    std::vector<unsigned char> bytes(lights.size() * elementBytes);
    for (std::size_t i = 0; i < lights.size(); ++i) std::memcpy(&bytes[i * elementBytes], lights[i].get(), elementBytes);
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_UNIFORM_BUFFER, buffer);
    labelObject(GL_BUFFER, buffer, label);
    glBufferData(GL_UNIFORM_BUFFER, static_cast<GLsizeiptr>(bytes.size()), bytes.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    return buffer;
}

void bindBlock(Shader& shader, const char* name, GLuint binding, GLuint buffer) {
    // A program without the block gets GL_INVALID_INDEX; skipping it avoids a GL error every frame.
    const GLuint index = shader.getUniformBlockIndex(name);
    if (index != GL_INVALID_INDEX) glUniformBlockBinding(shader.getId(), index, binding);
    glBindBufferBase(GL_UNIFORM_BUFFER, binding, buffer);
}

std::string indexed(const char* prefix, std::size_t i) { return prefix + std::to_string(i) + "]"; }

using ElementNames = std::array<std::string, kMaxLightsPerKind>;

// The shadow maps of one kind that are on, for the sampler arrays below.
struct OnLights {
    OnLightList point, directional, spot;
};

// Binds every shadow map of the program's layout (the units of shadowBindings); lights that are off
// are bound too. Sampler element k reads the k-th light of `on` (the lit program loops over the lights
// that are on and indexes its samplers with the loop counter: a compiler crash in the driver rules out
// indexing them by a value read from a uniform); elements past those, and all elements when `on` is
// empty, read their own light's unit. Names come from tables built once: nothing is allocated per frame.
void bindShadowMaps(Shader& shader, const std::vector<std::shared_ptr<PointLight>>& pointLights,
                    const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                    const std::vector<std::shared_ptr<SpotLight>>& spotLights, const OnLights& on, GLuint sampler) {
    static const ElementNames omniNames = indexedUniformNames<kMaxLightsPerKind>("omniShadowMap[");
    static const ElementNames directionalNames = indexedUniformNames<kMaxLightsPerKind>("directionalShadowMap[");
    static const ElementNames spotNames = indexedUniformNames<kMaxLightsPerKind>("spotShadowMap[");
    const bool pbr = shader.getType() == PBR;
    int unit = pbr ? kPbrFirstShadowUnit : kVolumetricFirstShadowUnit;
    const auto bindKind = [&](const ElementNames& names, GLenum target, std::size_t count, const OnLightList& list,
                              auto textureOf) {
        const int first = unit;
        for (std::size_t i = 0; i < count; ++i) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(target, textureOf(i));
            glBindSampler(static_cast<GLuint>(unit), sampler);
            ++unit;
        }
        for (std::size_t k = 0; k < count; ++k) {
            const auto light = k < static_cast<std::size_t>(list.count) ? static_cast<int>(list.indices[k])
                                                                        : static_cast<int>(k);
            shader.setInt(names[k], first + light);
        }
    };
    bindKind(omniNames, GL_TEXTURE_CUBE_MAP, std::min(pointLights.size(), kMaxLightsPerKind), on.point,
             [&](std::size_t i) { return pointLights[i]->depthTexture; });
    if (pbr)
        bindKind(directionalNames, GL_TEXTURE_2D, std::min(directionalLights.size(), kMaxLightsPerKind),
                 on.directional, [&](std::size_t i) { return directionalLights[i]->depthTexture; });
    bindKind(spotNames, GL_TEXTURE_2D, std::min(spotLights.size(), kMaxLightsPerKind), on.spot,
             [&](std::size_t i) { return spotLights[i]->depthTexture; });
    // Elements the program declares beyond the lights in use (names it lacks are ignored by GL).
    const auto park = [&](const ElementNames& names, std::size_t used, int parkedUnit) {
        for (std::size_t i = used; i < kMaxLightsPerKind; ++i) shader.setInt(names[i], parkedUnit);
    };
    park(omniNames, pointLights.size(), kParkedCubeShadowUnit);
    park(directionalNames, directionalLights.size(), kParked2DShadowUnit);
    park(spotNames, spotLights.size(), kParked2DShadowUnit);
}

void setOnLights(Shader& shader, const char* indicesName, const char* countName, const OnLightList& list) {
    glUniform1iv(shader.getUniformLocation(indicesName), static_cast<GLsizei>(list.indices.size()),
                 list.indices.data());
    shader.setInt(countName, list.count);
}

}  // namespace

void selectLightVariant(Shader& shader, const std::vector<std::shared_ptr<PointLight>>& pointLights,
                        const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                        const std::vector<std::shared_ptr<SpotLight>>& spotLights) {
    // Formatted into a fixed buffer: nothing is allocated per frame once the variant exists. A kind
    // takes at most 74 characters of names and counts and 4 per on-light index (", 17"), so the
    // buffer holds the longest list of every kind.
    constexpr std::size_t kDefinitionsSize = 512;
    static_assert(3 * (74 + 4 * kMaxLightsPerKind) <= kDefinitionsSize);
    char definitions[kDefinitionsSize];
    std::size_t length = 0;
    const auto add = [&](const char* name, const OnLightList& list) {
        int written = std::snprintf(definitions + length, sizeof definitions - length, "#define ON_%s_LIGHTS %d\n",
                                    name, list.count);
        length += static_cast<std::size_t>(written);
        if (list.count == 0) return;
        written = std::snprintf(definitions + length, sizeof definitions - length, "#define ON_%s_LIGHT_LIST int[](",
                                name);
        length += static_cast<std::size_t>(written);
        for (int k = 0; k < list.count; ++k) {
            written = std::snprintf(definitions + length, sizeof definitions - length, k ? ", %d" : "%d",
                                    list.indices[static_cast<std::size_t>(k)]);
            length += static_cast<std::size_t>(written);
        }
        written = std::snprintf(definitions + length, sizeof definitions - length, ")\n");
        length += static_cast<std::size_t>(written);
    };
    add("POINT", onLightList(pointLights));
    add("DIRECTIONAL", onLightList(directionalLights));
    add("SPOT", onLightList(spotLights));
    shader.selectVariant(std::string_view(definitions, length));
}

std::vector<ShadowBinding> shadowBindings(ShaderType type, std::size_t pointCount, std::size_t directionalCount,
                                          std::size_t spotCount) {
    std::vector<ShadowBinding> bindings;
    if (type != PBR && type != VOLUMETRIC_LIGHTING) return bindings;
    int unit = type == PBR ? kPbrFirstShadowUnit : kVolumetricFirstShadowUnit;
    for (std::size_t i = 0; i < pointCount; ++i) bindings.push_back({indexed("omniShadowMap[", i), unit++, LightKind::POINT_LIGHT, i});
    if (type == PBR)
        for (std::size_t i = 0; i < directionalCount; ++i)
            bindings.push_back({indexed("directionalShadowMap[", i), unit++, LightKind::DIRECTIONAL_LIGHT, i});
    for (std::size_t i = 0; i < spotCount; ++i) bindings.push_back({indexed("spotShadowMap[", i), unit++, LightKind::SPOT_LIGHT, i});
    return bindings;
}

std::vector<GLuint> createLightBuffers(const std::vector<std::shared_ptr<PointLight>>& pointLights,
                                       const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                                       const std::vector<std::shared_ptr<SpotLight>>& spotLights) {
    return {createBuffer(pointLights, std140Stride(kPointLightFields), "pointBlock"),
            createBuffer(directionalLights, std140Stride(kDirectionalLightFields), "directionalBlock"),
            createBuffer(spotLights, std140Stride(kSpotLightFields), "spotBlock")};
}

GlName createShadowComparisonSampler() {
    // Border depth 1.0: beyond a 2D map nothing is shadowed. Cube maps clamp to their edge.
    return createSampler({.filter = GL_LINEAR,
                          .wrap = GL_CLAMP_TO_BORDER,
                          .wrapR = GL_CLAMP_TO_EDGE,
                          .farBorder = true,
                          .compareDepth = true},
                         "shadow comparison");
}

void setCameraUniforms(Shader& shader, const std::shared_ptr<Camera>& camera) {
    shader.use();
    shader.setMat4("viewProjectionMat", camera->getViewProjectionMatrix());
    shader.setVec3("cameraWorld", camera->getWorldPosition());
    shader.setFloat("brightness", GlobalState::instance().brightness);
}

void setFrameUniforms(Shader& shader, const std::shared_ptr<Camera>& camera, const std::vector<GLuint>& lightBuffers,
                      const std::vector<std::shared_ptr<PointLight>>& pointLights,
                      const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                      const std::vector<std::shared_ptr<SpotLight>>& spotLights, GLuint shadowSampler) {
    const GlobalState& state = GlobalState::instance();
    const auto count = [](const auto& list) { return static_cast<int>(list.size()); };
    const OnLights on{onLightList(pointLights), onLightList(directionalLights), onLightList(spotLights)};
    shader.use();

    if (shader.getType() == PBR) {
        shader.setMat4("viewProjectionMat", camera->getViewProjectionMatrix());
        shader.setVec3("cameraWorld", camera->getWorldPosition());
        shader.setFloat("brightness", state.brightness);
        shader.setInt("actualPointSize", count(pointLights));
        shader.setInt("actualDirectionalSize", count(directionalLights));
        shader.setInt("actualSpotSize", count(spotLights));
        bindBlock(shader, "pointBlock", kPointBlockBinding, lightBuffers[0]);
        bindBlock(shader, "directionalBlock", kDirectionalBlockBinding, lightBuffers[1]);
        bindBlock(shader, "spotBlock", kSpotBlockBinding, lightBuffers[2]);
        shader.setFloat("farPlane", state.farPlane);
        setOnLights(shader, "onPointLights", "onPointCount", on.point);
        setOnLights(shader, "onDirectionalLights", "onDirectionalCount", on.directional);
        setOnLights(shader, "onSpotLights", "onSpotCount", on.spot);

        bindShadowMaps(shader, pointLights, directionalLights, spotLights, on, shadowSampler);
    } else if (shader.getType() == VOLUMETRIC_LIGHTING) {
        shader.setInt("actualPointSize", count(pointLights));
        shader.setInt("actualSpotSize", count(spotLights));
        shader.setFloat("brightness", state.brightness);
        shader.setMat4("projection_inv", glm::inverse(camera->getProjectionMatrix()));
        shader.setMat4("view_inv", glm::inverse(camera->getViewMatrix()));
        shader.setVec3("view_pos", camera->getPosition());
        shader.setFloat("farPlane", state.farPlane);
        bindBlock(shader, "pointBlock", kPointBlockBinding, lightBuffers[0]);
        bindBlock(shader, "spotBlock", kSpotBlockBinding, lightBuffers[2]);
        setOnLights(shader, "onPointLights", "onPointCount", on.point);
        setOnLights(shader, "onSpotLights", "onSpotCount", on.spot);
        shader.setFloat("time", state.time);
        // The march reads raw depth with nearest filtering: no comparison sampler on these units. Its
        // samplers are indexed by light, as laid out.
        bindShadowMaps(shader, pointLights, directionalLights, spotLights, OnLights{}, 0);
    }
}

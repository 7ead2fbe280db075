#include "render/LightBuffers.h"

#include "scene/Level.h"

#include "app/GlobalState.h"
#include "scene/Camera.h"
#include "shaders/Shader.h"
#include "shaders/TextureUnits.h"


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
    glObjectLabel(GL_BUFFER, buffer, -1, label);
    glBufferData(GL_UNIFORM_BUFFER, static_cast<GLsizeiptr>(bytes.size()), bytes.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
    return buffer;
}

void bindBlock(GLuint program, const char* name, GLuint binding, GLuint buffer) {
    // A program without the block gets GL_INVALID_INDEX; skipping it avoids a GL error every frame.
    const GLuint index = glGetUniformBlockIndex(program, name);
    if (index != GL_INVALID_INDEX) glUniformBlockBinding(program, index, binding);
    glBindBufferBase(GL_UNIFORM_BUFFER, binding, buffer);
}

std::string indexed(const char* prefix, std::size_t i) { return prefix + std::to_string(i) + "]"; }

// Binds every shadow map of the program's layout; lights that are off are bound too.
void bindShadowMaps(Shader& shader, const std::vector<std::shared_ptr<PointLight>>& pointLights,
                    const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                    const std::vector<std::shared_ptr<SpotLight>>& spotLights, GLuint sampler) {
    for (const ShadowBinding& binding :
         shadowBindings(shader.getType(), pointLights.size(), directionalLights.size(), spotLights.size())) {
        GLenum target = GL_TEXTURE_2D;
        GLuint texture = 0;
        switch (binding.kind) {
        case POINT_LIGHT:
            target = GL_TEXTURE_CUBE_MAP;
            texture = pointLights[binding.index]->depthTexture;
            break;
        case DIRECTIONAL_LIGHT: texture = directionalLights[binding.index]->depthTexture; break;
        case SPOT_LIGHT: texture = spotLights[binding.index]->depthTexture; break;
        }
        shader.setInt(binding.uniform, binding.unit);
        glActiveTexture(GL_TEXTURE0 + binding.unit);
        glBindTexture(target, texture);
        glBindSampler(static_cast<GLuint>(binding.unit), sampler);
    }
    // Elements the program declares beyond the lights in use (names it lacks are ignored by GL).
    const auto park = [&](const char* prefix, std::size_t used, int unit) {
        for (std::size_t i = used; i < kMaxLightsPerKind; ++i) shader.setInt(indexed(prefix, i), unit);
    };
    park("omniShadowMap[", pointLights.size(), kParkedCubeShadowUnit);
    park("directionalShadowMap[", directionalLights.size(), kParked2DShadowUnit);
    park("spotShadowMap[", spotLights.size(), kParked2DShadowUnit);
}

}  // namespace

std::vector<ShadowBinding> shadowBindings(ShaderType type, std::size_t pointCount, std::size_t directionalCount,
                                          std::size_t spotCount) {
    std::vector<ShadowBinding> bindings;
    if (type != PBR && type != VOLUMETRIC_LIGHTING) return bindings;
    int unit = type == PBR ? kPbrFirstShadowUnit : kVolumetricFirstShadowUnit;
    for (std::size_t i = 0; i < pointCount; ++i) bindings.push_back({indexed("omniShadowMap[", i), unit++, POINT_LIGHT, i});
    if (type == PBR)
        for (std::size_t i = 0; i < directionalCount; ++i)
            bindings.push_back({indexed("directionalShadowMap[", i), unit++, DIRECTIONAL_LIGHT, i});
    for (std::size_t i = 0; i < spotCount; ++i) bindings.push_back({indexed("spotShadowMap[", i), unit++, SPOT_LIGHT, i});
    return bindings;
}

std::vector<GLuint> createLightBuffers(const std::vector<std::shared_ptr<PointLight>>& pointLights,
                                       const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                                       const std::vector<std::shared_ptr<SpotLight>>& spotLights) {
    return {createBuffer(pointLights, 64, "pointBlock"), createBuffer(directionalLights, 64, "directionalBlock"),
            createBuffer(spotLights, 80, "spotBlock")};
}

GLuint shadowComparisonSampler() {
    static GLuint sampler = 0;
    if (sampler == 0) {
        glGenSamplers(1, &sampler);
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_REF_TO_TEXTURE);
        glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
        // Border depth 1.0: beyond a 2D map nothing is shadowed. Cube maps clamp to their edge.
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
        const GLfloat border[] = {1.0f, 1.0f, 1.0f, 1.0f};
        glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
        glObjectLabel(GL_SAMPLER, sampler, -1, "shadow comparison");
    }
    return sampler;
}

void Shader::setCameraUniforms(std::shared_ptr<Camera> camera) {
    use();
    setMat4("viewProjectionMat", camera->getViewProjectionMatrix());
    setVec3("cameraWorld", camera->getWorldPosition());
    setFloat("brightness", GlobalState::instance().brightness);
}

void Shader::setFrameUniforms(std::shared_ptr<Camera> camera, std::vector<GLuint> lightBuffers,
                              std::vector<std::shared_ptr<PointLight>> pointLights,
                              std::vector<std::shared_ptr<DirectionalLight>> directionalLights,
                              std::vector<std::shared_ptr<SpotLight>> spotLights) {
    const GlobalState& state = GlobalState::instance();
    const auto count = [](const auto& list) { return static_cast<int>(list.size()); };
    use();

    if (type == PBR) {
        setMat4("viewProjectionMat", camera->getViewProjectionMatrix());
        setVec3("cameraWorld", camera->getWorldPosition());
        setFloat("brightness", state.brightness);
        setInt("actualPointSize", count(pointLights));
        setInt("actualDirectionalSize", count(directionalLights));
        setInt("actualSpotSize", count(spotLights));
        bindBlock(id, "pointBlock", kPointBlockBinding, lightBuffers[0]);
        bindBlock(id, "directionalBlock", kDirectionalBlockBinding, lightBuffers[1]);
        bindBlock(id, "spotBlock", kSpotBlockBinding, lightBuffers[2]);
        setFloat("farPlane", state.farPlane);

        bindShadowMaps(*this, pointLights, directionalLights, spotLights, shadowComparisonSampler());
    } else if (type == VOLUMETRIC_LIGHTING) {
        setInt("actualPointSize", count(pointLights));
        setInt("actualSpotSize", count(spotLights));
        setFloat("brightness", state.brightness);
        setMat4("projection_inv", glm::inverse(camera->getProjectionMatrix()));
        setMat4("view_inv", glm::inverse(camera->getViewMatrix()));
        setVec3("view_pos", camera->getPosition());
        setFloat("farPlane", state.farPlane);
        bindBlock(id, "pointBlock", kPointBlockBinding, lightBuffers[0]);
        bindBlock(id, "spotBlock", kSpotBlockBinding, lightBuffers[2]);
        setFloat("time", state.time);
        // The march reads raw depth with nearest filtering: no comparison sampler on these units.
        bindShadowMaps(*this, pointLights, directionalLights, spotLights, 0);
    }
}

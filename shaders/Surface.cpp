#include "shaders/Surface.h"

#include "app/GlobalState.h"
#include "shaders/ShaderRegistry.h"
#include "shaders/TextureUnits.h"
#include "textures/TextureLoader.h"

#include <initializer_list>
#include <iostream>

namespace {

std::shared_ptr<Surface> makeSurface(ShaderType type, std::initializer_list<const char*> names) {
    auto surface = std::make_shared<Surface>();
    surface->shader = getShader(type);
    surface->modelObjMatLocation = surface->shader->getUniformLocation("modelObjMat");
    surface->normalMatLocation = surface->shader->getUniformLocation("normalMat");
    std::size_t entry = 0;
    for (const char* name : names) surface->locations[entry++] = surface->shader->getUniformLocation(name);
    return surface;
}

void bindTexture(int unit, GLenum target, GLuint name) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, name);
}

GLuint nameOf(const std::shared_ptr<Texture>& texture) { return texture ? texture->getId() : 0; }

}  // namespace

glm::mat3 normalMatrix(const glm::mat4& model) { return glm::mat3(glm::transpose(glm::inverse(model))); }

void Surface::setTextures(GLuint texture0) { textures[0] = std::make_shared<Texture>(texture0); }

void Surface::setTextures(GLuint texture0, GLuint texture1) {
    setTextures(texture0);
    textures[1] = std::make_shared<Texture>(texture1);
}

void Surface::setTextures(GLuint texture0, GLuint texture1, GLuint texture2) {
    setTextures(texture0, texture1);
    textures[2] = std::make_shared<Texture>(texture2);
}

void Surface::setUniforms(glm::mat4 model) {
    shader->use();
    shader->setMat4(modelObjMatLocation, model);
    shader->setMat3(normalMatLocation, normalMatrix(model));

    const GlobalState& state = GlobalState::instance();
    switch (shader->getType()) {
    case SIMPLE:
        shader->setVec3(locations[0], color);
        shader->setInt(locations[1], 0);
        bindTexture(0, GL_TEXTURE_2D, nameOf(textures[0]));
        break;
    case PBR:
        shader->setInt(locations[0], kAlbedoUnit);
        shader->setInt(locations[1], kAoRoughMetalUnit);
        shader->setInt(locations[2], kNormalUnit);
        shader->setInt(locations[3], kIrradianceUnit);
        shader->setInt(locations[4], kPrefilteredUnit);
        shader->setInt(locations[5], kBrdfUnit);
        bindTexture(kAlbedoUnit, GL_TEXTURE_2D, nameOf(textures[0]));
        bindTexture(kAoRoughMetalUnit, GL_TEXTURE_2D, nameOf(textures[2]));
        bindTexture(kNormalUnit, GL_TEXTURE_2D, nameOf(textures[3]));
        bindTexture(kIrradianceUnit, GL_TEXTURE_CUBE_MAP, environment ? environment->getIrradianceMap() : 0);
        bindTexture(kPrefilteredUnit, GL_TEXTURE_CUBE_MAP, environment ? environment->getPrefilteredMap() : 0);
        bindTexture(kBrdfUnit, GL_TEXTURE_2D, environment ? environment->getBrdfLut() : 0);
        break;
    case BLOOM:
        shader->setInt(locations[0], 0);
        shader->setInt(locations[1], 1);
        shader->setFloat(locations[2], 1.0f);
        shader->setInt(locations[3], 2);
        bindTexture(0, GL_TEXTURE_2D, nameOf(textures[0]));
        bindTexture(1, GL_TEXTURE_2D, nameOf(textures[1]));
        bindTexture(2, GL_TEXTURE_2D, nameOf(textures[2]));
        break;
    case GAUSSIAN:
    case VOLUMETRIC_LIGHTING:
    case VOLUMETRIC_LIGHTING_DOWN_SAMPLE:
        shader->setInt(locations[0], 0);
        bindTexture(0, GL_TEXTURE_2D, nameOf(textures[0]));
        break;
    case VOLUMETRIC_LIGHTING_BLUR:
        shader->setInt(locations[0], 0);
        bindTexture(0, GL_TEXTURE_2D, nameOf(textures[0]));
        shader->setFloat(locations[1], state.nearPlane);
        shader->setFloat(locations[2], state.farPlane);
        break;
    case VOLUMETRIC_LIGHTING_UP_SAMPLE:
        shader->setInt(locations[0], 0);
        bindTexture(0, GL_TEXTURE_2D, nameOf(textures[0]));
        shader->setInt(locations[1], 1);
        bindTexture(1, GL_TEXTURE_2D, nameOf(textures[1]));
        shader->setFloat(locations[2], state.nearPlane);
        shader->setFloat(locations[3], state.farPlane);
        break;
    case SKYBOX:
        shader->setInt(locations[0], 0);
        bindTexture(0, GL_TEXTURE_CUBE_MAP, nameOf(environment));
        break;
    default:
        std::cout << "ERROR: ShaderType unknown, can't set uniforms" << std::endl;
        break;
    }
}

std::shared_ptr<Surface> createSimpleSurface(std::shared_ptr<Texture> image) {
    auto surface = makeSurface(SIMPLE, {"changeColor", "imgTexture"});
    surface->textures[0] = std::move(image);
    return surface;
}

std::shared_ptr<Surface> createPbrSurface(std::shared_ptr<Texture> albedo, std::shared_ptr<Texture> normal,
                                          std::shared_ptr<Texture> aoRoughMetal, std::shared_ptr<Texture> environment) {
    auto surface = makeSurface(
        PBR, {"albedoMap", "aoRoughMetalMap", "normalMap", "irradianceMap", "prefilteredMap", "brdfTex"});
    surface->textures[0] = std::move(albedo);
    surface->textures[2] = std::move(aoRoughMetal);
    surface->textures[3] = std::move(normal);
    surface->environment = std::move(environment);
    return surface;
}

std::shared_ptr<Surface> createBloomSurface() {
    return makeSurface(BLOOM, {"scene", "bloomBlur", "exposure", "volumetricLight"});
}

std::shared_ptr<Surface> createGaussianSurface() { return makeSurface(GAUSSIAN, {"toBlur"}); }

std::shared_ptr<Surface> createSkyboxSurface(std::shared_ptr<Texture> skyCube) {
    auto surface = makeSurface(SKYBOX, {"skybox"});
    surface->environment = std::move(skyCube);
    return surface;
}

std::shared_ptr<Surface> createVolumetricLightingSurface() { return makeSurface(VOLUMETRIC_LIGHTING, {"depthScene"}); }

std::shared_ptr<Surface> createVolumetricDownSampleSurface() {
    return makeSurface(VOLUMETRIC_LIGHTING_DOWN_SAMPLE, {"depthTex"});
}

std::shared_ptr<Surface> createVolumetricBlurSurface() {
    return makeSurface(VOLUMETRIC_LIGHTING_BLUR, {"volumetricTex", "nearPlane", "farPlane"});
}

std::shared_ptr<Surface> createVolumetricUpSampleSurface() {
    return makeSurface(VOLUMETRIC_LIGHTING_UP_SAMPLE, {"volumetricTex", "scene", "nearPlane", "farPlane"});
}

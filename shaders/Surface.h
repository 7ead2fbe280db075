// The per-object half of the shading state: the program, up to four 2D texture slots, an environment
// (skybox cube map or image-based-lighting set) and the program's uniform locations, looked up once
// by the factory so nothing is looked up at draw time.
#pragma once

#include "shaders/Shader.h"
#include "textures/Texture.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <array>
#include <memory>

class Surface {
public:
    std::shared_ptr<Shader> shader;
    glm::vec3 color{0.0f};
    std::array<std::shared_ptr<Texture>, 4> textures;
    std::shared_ptr<Texture> environment;
    std::array<GLint, 6> locations{-1, -1, -1, -1, -1, -1};
    GLint modelObjMatLocation = -1;
    GLint normalMatLocation = -1;

    // Wraps render-target texture names into slots 0, 0-1 or 0-2, replacing what they held.
    void setTextures(GLuint texture0);
    void setTextures(GLuint texture0, GLuint texture1);
    void setTextures(GLuint texture0, GLuint texture1, GLuint texture2);

    // Makes the program current, sets the model and normal matrices and the type's uniforms and textures.
    void setUniforms(glm::mat4 model);
};

std::shared_ptr<Surface> createSimpleSurface(std::shared_ptr<Texture> image);
// `environment` is the image-based-lighting set the surface samples (four names; the render layer's
// loadEnvironment computes it) and `skyCube` the sky's cube map: both are made above this layer and
// handed down.
std::shared_ptr<Surface> createPbrSurface(std::shared_ptr<Texture> albedo, std::shared_ptr<Texture> normal,
                                          std::shared_ptr<Texture> aoRoughMetal, std::shared_ptr<Texture> environment);
std::shared_ptr<Surface> createBloomSurface();
std::shared_ptr<Surface> createGaussianSurface();
std::shared_ptr<Surface> createSkyboxSurface(std::shared_ptr<Texture> skyCube);
std::shared_ptr<Surface> createVolumetricLightingSurface();
std::shared_ptr<Surface> createVolumetricDownSampleSurface();
std::shared_ptr<Surface> createVolumetricBlurSurface();
std::shared_ptr<Surface> createVolumetricUpSampleSurface();

// The normal matrix of a model matrix: upper-left 3x3 of the transposed full inverse.
glm::mat3 normalMatrix(const glm::mat4& model);

// Depth from one viewpoint into a 2D depth texture: one per directional light (orthographic box),
// one per spot light (60-degree perspective) and one for the camera. The map owns only its matrices
// and program; the framebuffer and texture names live in the light record or the camera.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <memory>

class Shader;

class SimpleDepthMap {
public:
    // The camera's map: the program only; the matrices come with each bindForCamera.
    SimpleDepthMap();
    // A light's map: orthographic with half-width `extent`, or perspective with `extent` degrees of
    // vertical field of view; near plane from GlobalState, looking along `direction` with +Y up.
    SimpleDepthMap(glm::vec3 position, glm::vec3 direction, float extent, float farPlane, bool orthographic);

    // A depth texture (border depth 1.0, so lookups outside the map are lit) as the depth attachment
    // of a new framebuffer; leaves framebuffer 0 bound.
    void createDepthTarget(GLuint* framebuffer, GLuint* texture, int width, int height);

    void bindForLight(const GLuint* framebuffer);
    void bindForCamera(const GLuint* framebuffer, glm::mat4 viewProjection);

    const glm::mat4& getLightSpaceMatrix() const { return lightSpaceMatrix; }
    const glm::mat4& getProjection() const { return projection; }
    const glm::mat4& getView() const { return view; }
    const std::shared_ptr<Shader>& getShader() const { return shader; }

private:
    void bind(const GLuint* framebuffer, const glm::mat4& viewProjection);

    std::shared_ptr<Shader> shader;
    glm::mat4 lightSpaceMatrix{1.0f};
    glm::mat4 projection{1.0f};
    glm::mat4 view{1.0f};
};

// The abstract camera: everything that draws asks the current camera for matrices and positions
// through these eleven operations and never reads the fields. The operations are declared in their
// fixed vtable order (the destructor comes after them so it does not shift the slots).
#pragma once

#include <glm/glm.hpp>

class Camera {
public:
    /* 0 */ virtual glm::mat4 getViewProjectionMatrix() = 0;
    /* 1 */ virtual glm::mat4 getProjectionMatrix() { return projectionMatrix; }
    /* 2 */ virtual glm::mat4 getViewMatrix() = 0;
    /* 3 */ virtual void setView(glm::mat4 view, glm::mat4 translation, glm::mat4 rotation) = 0;
    /* 4 */ virtual void update(glm::vec3 pivot) = 0;
    /* 5 */ virtual glm::vec3 getPosition() = 0;
    /* 6 */ virtual glm::vec3 getWorldPosition() = 0;
    /* 7 */ virtual glm::vec3 getDirection() = 0;
    /* 8 */ virtual unsigned int* getDepthTexture() = 0;
    /* 9 */ virtual unsigned int* getDepthFramebuffer() = 0;
    /* 10 */ virtual glm::mat4 getCullingViewProjectionMatrix() = 0;

    virtual ~Camera() = default;

protected:
    glm::vec3 position{0.0f};
    glm::vec3 up{0.0f, 1.0f, 0.0f};
    glm::vec3 front{0.0f, 0.0f, -1.0f};
    glm::vec3 pivot{0.0f};  // the orbit centre, or the point one unit in front of the eye
    glm::mat4 viewMatrix{1.0f};
    glm::mat4 projectionMatrix{1.0f};
};

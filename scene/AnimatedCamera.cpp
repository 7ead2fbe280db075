#include "scene/AnimatedCamera.h"

#include "app/GlobalState.h"

#include <glm/gtc/matrix_transform.hpp>

AnimatedCamera::AnimatedCamera(glm::mat4 view, glm::mat4 local, float fov, float aspect, float nearPlane,
                               float farPlane)
    : localMatrix(local), fov(fov), aspect(aspect), nearPlane(nearPlane), farPlane(farPlane) {
    viewMatrix = view;

    // From here on the shadow maps and the lighting read this camera's values.
    GlobalState& state = GlobalState::instance();
    state.debugCameraActive = false;
    state.fov = fov / kDegreesToRadians;  // the record keeps degrees; this camera works in radians
    state.nearPlane = nearPlane;
    state.farPlane = farPlane;

    projectionMatrix = glm::perspective(fov, aspect, nearPlane, farPlane);
    cullingProjection = glm::perspective(fov + kCullingFovMargin, aspect, nearPlane, farPlane);
    rebuildFromView();
}

void AnimatedCamera::rebuildFromView() {
    position = glm::vec3(glm::inverse(viewMatrix)[3]);
    // The rows of the view's rotation are the camera's axes in world space.
    right = glm::vec3(viewMatrix[0][0], viewMatrix[1][0], viewMatrix[2][0]);
    up = glm::vec3(viewMatrix[0][1], viewMatrix[1][1], viewMatrix[2][1]);
    front = glm::cross(up, right);
    pivot = position + front;
}

glm::mat4 AnimatedCamera::getViewProjectionMatrix() { return projectionMatrix * viewMatrix; }

glm::mat4 AnimatedCamera::getViewMatrix() { return viewMatrix; }

void AnimatedCamera::setView(glm::mat4 view, glm::mat4, glm::mat4) {
    viewMatrix = view;
    rebuildFromView();
}

void AnimatedCamera::update(glm::vec3) {}

glm::vec3 AnimatedCamera::getPosition() { return position; }

glm::vec3 AnimatedCamera::getWorldPosition() { return position; }

glm::vec3 AnimatedCamera::getDirection() { return front; }

unsigned int* AnimatedCamera::getDepthTexture() { return &depthTexture; }

unsigned int* AnimatedCamera::getDepthFramebuffer() { return &depthFramebuffer; }

glm::mat4 AnimatedCamera::getCullingViewProjectionMatrix() { return cullingProjection * viewMatrix; }

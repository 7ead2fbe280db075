#include "scene/DebugCamera.h"

#include "app/GlobalState.h"

#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kMinZoom = 0.5f;
constexpr float kMaxZoom = 4.0f;
constexpr float kMinPitch = 1.0f;  // degrees from +y: never exactly on the pole, where look-at breaks
constexpr float kMaxPitch = 179.0f;
constexpr float kDegreesPerPixel = 0.2f;  // scaled by the mouse sensitivity setting

int truncatedCursor(double coordinate) { return static_cast<int>(static_cast<float>(coordinate)); }

}  // namespace

DebugCamera::DebugCamera(bool perspective, bool pan) {
    GlobalState& state = GlobalState::instance();
    yaw = 0.0f;
    pitch = 70.0f;
    radius = 1.0f;
    state.debugCameraActive = true;
    radius = 0.75f;
    state.zoom = 0.75f;
    pivot = glm::vec3(0.0f);
    up = glm::vec3(0.0f, 1.0f, 0.0f);
    this->perspective = perspective;
    this->pan = pan;
    viewMatrix = getViewMatrix();
    lastCursorX = truncatedCursor(state.mouseX);
    lastCursorY = truncatedCursor(state.mouseY);

    const float w = static_cast<float>(state.width);
    const float h = static_cast<float>(state.height);
    if (perspective)
        projectionMatrix = glm::perspective(state.fov * kDegreesToRadians, w / h, state.nearPlane, state.farPlane);
    else
        projectionMatrix = glm::ortho(-w / 2.0f, w / 2.0f, -h / 2.0f, h / 2.0f, -1.0f, 1.0f);
}

glm::mat4 DebugCamera::getViewProjectionMatrix() { return projectionMatrix * getViewMatrix(); }

glm::mat4 DebugCamera::getViewMatrix() {
    if (!perspective) return glm::mat4(1.0f);
    if (!pan) pivot = glm::vec3(0.0f);
    viewMatrix = glm::lookAt(pivot + getPosition(), pivot, up);
    return viewMatrix;
}

void DebugCamera::setView(glm::mat4, glm::mat4, glm::mat4) {}

void DebugCamera::update(glm::vec3 newPivot) {
    GlobalState& state = GlobalState::instance();
    const int cursorX = truncatedCursor(state.mouseX);
    const int cursorY = truncatedCursor(state.mouseY);

    state.zoom = std::clamp(state.zoom, kMinZoom, kMaxZoom);
    radius = state.zoom;
    pivot = newPivot;

    // Truncate, then take the remainder of truncated division: negative angles stay negative.
    const float turned = yaw + static_cast<float>(lastCursorX - cursorX) * state.mouseSensitivity * kDegreesPerPixel;
    yaw = static_cast<float>(static_cast<int>(turned) % 360);
    lastCursorX = cursorX;

    pitch += static_cast<float>(lastCursorY - cursorY) * state.mouseSensitivity * kDegreesPerPixel;
    pitch = std::clamp(pitch, kMinPitch, kMaxPitch);
    lastCursorY = cursorY;
}

glm::vec3 DebugCamera::getPosition() {
    const float theta = yaw * kDegreesToRadians;
    const float phi = pitch * kDegreesToRadians;
    return {radius * std::sin(phi) * std::sin(theta), radius * std::cos(phi), radius * std::sin(phi) * std::cos(theta)};
}

glm::vec3 DebugCamera::getWorldPosition() { return getPosition() + pivot; }

glm::vec3 DebugCamera::getDirection() {
    const float theta = yaw * kDegreesToRadians;
    return glm::normalize(glm::vec3(-std::sin(theta), 0.0f, -std::cos(theta)));
}

unsigned int* DebugCamera::getDepthTexture() { return &depthTexture; }

unsigned int* DebugCamera::getDepthFramebuffer() { return &depthFramebuffer; }

glm::mat4 DebugCamera::getCullingViewProjectionMatrix() { return getViewProjectionMatrix(); }

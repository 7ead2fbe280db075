// The level camera: built from the glTF node named "Camera" and moved only by its animation, which
// hands it a new view each fixed step. Eye, axes and pivot are derived from the view. Besides the
// picture's projection it keeps a culling projection 5 degrees wider, so culling never cuts objects
// at the picture's edges. Construction publishes fov, near and far in GlobalState.
#pragma once

#include "app/GlobalState.h"
#include "scene/Camera.h"

class AnimatedCamera : public Camera {
public:
    AnimatedCamera(glm::mat4 view, glm::mat4 local, float fov, float aspect, float nearPlane, float farPlane);

    glm::mat4 getViewProjectionMatrix() override;
    glm::mat4 getViewMatrix() override;
    // Keeps the view; the translation and rotation parts are ignored.
    void setView(glm::mat4 view, glm::mat4 translation, glm::mat4 rotation) override;
    // Nothing: the camera has no user control.
    void update(glm::vec3 pivot) override;
    glm::vec3 getPosition() override;
    // The eye, as the lighting's "cameraWorld" needs (the same point as getPosition).
    glm::vec3 getWorldPosition() override;
    // The viewing direction (front).
    glm::vec3 getDirection() override;
    unsigned int* getDepthTexture() override;
    unsigned int* getDepthFramebuffer() override;
    glm::mat4 getCullingViewProjectionMatrix() override;

    glm::vec3 getRight() const { return right; }
    glm::vec3 getUp() const { return up; }
    glm::vec3 getFront() const { return front; }
    glm::vec3 getPivot() const { return pivot; }
    glm::mat4 getCullingProjectionMatrix() const { return cullingProjection; }
    glm::mat4 getLocalMatrix() const { return localMatrix; }
    float getFov() const { return fov; }
    float getAspect() const { return aspect; }
    float getNearPlane() const { return nearPlane; }
    float getFarPlane() const { return farPlane; }

private:
    void rebuildFromView();

    glm::mat4 cullingProjection{1.0f};
    glm::vec3 right{1.0f, 0.0f, 0.0f};
    glm::mat4 localMatrix{1.0f};  // the node's placement at import; kept for reference only
    float fov = 0.0f;             // vertical, radians
    float aspect = 1.0f;
    float nearPlane = 0.1f;
    float farPlane = 25.0f;
    unsigned int depthTexture = 0;
    unsigned int depthFramebuffer = 0;
};

// How much wider (vertically, radians) the culling volume is than the picture: 5 degrees.
inline constexpr float kCullingFovMargin = 5.0f * kDegreesToRadians;

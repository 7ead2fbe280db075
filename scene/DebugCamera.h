// A camera orbiting a pivot, steered by the cursor and the scroll wheel through GlobalState.
// Perspective for looking around a level; orthographic (one unit per pixel, origin at the window
// centre, identity view) for the title screens. Yaw wraps by an integer remainder, pitch stays in
// [1, 179] degrees from +y so the view never flips over the pole, the radius stays in [0.5, 4].
#pragma once

#include "scene/Camera.h"

class DebugCamera : public Camera {
public:
    DebugCamera(bool perspective, bool pan);

    glm::mat4 getViewProjectionMatrix() override;
    glm::mat4 getViewMatrix() override;
    void setView(glm::mat4 view, glm::mat4 translation, glm::mat4 rotation) override;
    void update(glm::vec3 pivot) override;
    glm::vec3 getPosition() override;
    glm::vec3 getWorldPosition() override;
    glm::vec3 getDirection() override;
    unsigned int* getDepthTexture() override;
    unsigned int* getDepthFramebuffer() override;
    glm::mat4 getCullingViewProjectionMatrix() override;

private:
    float yaw = 0.0f;     // degrees
    float pitch = 70.0f;  // degrees from +y
    float radius = 0.75f;
    int lastCursorX = 0;
    int lastCursorY = 0;
    bool perspective = false;
    bool pan = false;  // keeps the pivot in getViewMatrix; nothing sets it
    unsigned int depthTexture = 0;
    unsigned int depthFramebuffer = 0;
};

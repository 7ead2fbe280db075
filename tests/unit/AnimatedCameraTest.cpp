#include "scene/AnimatedCamera.h"

#include "app/GlobalState.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>

#include <cmath>

namespace {

// Building the camera publishes its values in GlobalState.
class AnimatedCameraTest : public testing::Test {
protected:
    testsupport::GlobalStateGuard restore;
};

// Is the world point inside the clip volume of `viewProjection`?
bool inside(const glm::mat4& viewProjection, const glm::vec3& point) {
    const glm::vec4 p = viewProjection * glm::vec4(point, 1.0f);
    return std::abs(p.x) <= p.w && std::abs(p.y) <= p.w && std::abs(p.z) <= p.w;
}

}  // namespace

TEST_F(AnimatedCameraTest, DerivesEyeAxesAndPivotFromTheView) {
    const glm::mat4 view = glm::translate(glm::mat4(1.0f), glm::vec3(0.0f, 0.0f, -5.0f));
    AnimatedCamera camera(view, glm::inverse(view), 0.7f, 1.0f, 0.1f, 25.0f);
    EXPECT_EQ(camera.getPosition(), glm::vec3(0, 0, 5));
    EXPECT_EQ(camera.getRight(), glm::vec3(1, 0, 0));
    EXPECT_EQ(camera.getUp(), glm::vec3(0, 1, 0));
    EXPECT_EQ(camera.getFront(), glm::vec3(0, 0, -1));
    EXPECT_EQ(camera.getPivot(), glm::vec3(0, 0, 4));
    // The lighting needs the eye itself.
    EXPECT_EQ(camera.getWorldPosition(), glm::vec3(0, 0, 5));
    EXPECT_EQ(camera.getDirection(), glm::vec3(0, 0, -1));
    EXPECT_EQ(camera.getViewProjectionMatrix(), camera.getProjectionMatrix() * view);
}

TEST_F(AnimatedCameraTest, PublishesFovNearAndFarAndLeavesDebugMode) {
    GlobalState& state = GlobalState::instance();
    state.debugCameraActive = true;
    AnimatedCamera camera(glm::mat4(1.0f), glm::mat4(1.0f), 0.9f, 1.6f, 0.05f, 25.0f);
    EXPECT_FLOAT_EQ(state.fov, 0.9f / kDegreesToRadians);  // 51.6 degrees, the record's unit
    EXPECT_FLOAT_EQ(state.nearPlane, 0.05f);
    EXPECT_FLOAT_EQ(state.farPlane, 25.0f);
    EXPECT_FALSE(state.debugCameraActive);
}

TEST_F(AnimatedCameraTest, SetViewTakesOnlyTheViewAndUpdateChangesNothing) {
    AnimatedCamera camera(glm::mat4(1.0f), glm::mat4(1.0f), 0.7f, 1.0f, 0.1f, 25.0f);
    // Eye at (2, 0, 0) looking down -x: right is -z, up is +y.
    const glm::mat4 view = glm::lookAt(glm::vec3(2, 0, 0), glm::vec3(0, 0, 0), glm::vec3(0, 1, 0));
    const glm::mat4 junk = glm::scale(glm::mat4(1.0f), glm::vec3(9.0f));
    camera.setView(view, junk, junk);
    camera.update(glm::vec3(7.0f));
    EXPECT_EQ(camera.getViewMatrix(), view);
    EXPECT_NEAR(glm::distance(camera.getPosition(), glm::vec3(2, 0, 0)), 0.0f, 1e-6f);
    EXPECT_NEAR(glm::distance(camera.getFront(), glm::vec3(-1, 0, 0)), 0.0f, 1e-6f);
    EXPECT_NEAR(glm::distance(camera.getRight(), glm::vec3(0, 0, -1)), 0.0f, 1e-6f);
    EXPECT_NEAR(glm::distance(camera.getPivot(), glm::vec3(1, 0, 0)), 0.0f, 1e-6f);
}

TEST_F(AnimatedCameraTest, CullingVolumeIsFiveDegreesWiderThanThePicture) {
    const float fov = 0.7f;  // 40.1 degrees high; the culling volume is 45.1 degrees
    AnimatedCamera camera(glm::mat4(1.0f), glm::mat4(1.0f), fov, 1.0f, 0.1f, 25.0f);
    const glm::mat4 picture = camera.getViewProjectionMatrix();
    const glm::mat4 culling = camera.getCullingViewProjectionMatrix();

    // A point 21 degrees above the axis, 10 units away: just outside the picture's 20.05 degrees, inside
    // the culling volume's 22.55.
    const float above = 21.0f * 0.017453292f;
    const glm::vec3 nearEdge(0.0f, 10.0f * std::sin(above), -10.0f * std::cos(above));
    EXPECT_FALSE(inside(picture, nearEdge));
    EXPECT_TRUE(inside(culling, nearEdge));
    // Every point the picture shows is inside the culling volume.
    for (float degrees : {0.0f, 10.0f, 19.9f}) {
        const float a = degrees * 0.017453292f;
        const glm::vec3 p(10.0f * std::sin(a), 10.0f * std::sin(a), -10.0f * std::cos(a));
        EXPECT_TRUE(inside(picture, p)) << degrees;
        EXPECT_TRUE(inside(culling, p)) << degrees;
    }
    // Its vertical scale 1 / tan(22.55 degrees) = 2.408 against the picture's 1 / tan(20.05 degrees) = 2.740.
    EXPECT_NEAR(camera.getCullingProjectionMatrix()[1][1], 2.408f, 1e-3f);
    EXPECT_NEAR(camera.getProjectionMatrix()[1][1], 2.740f, 1e-3f);
}

#include "scene/DebugCamera.h"

#include "app/GlobalState.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

void expectNear(const glm::vec3& actual, const glm::vec3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// An 800 x 800 window, cursor at the origin, sensitivity 1 (0.2 degrees per pixel); the process-wide
// state is put back after each test.
class DebugCameraTest : public testing::Test {
protected:
    void SetUp() override {
        GlobalState& state = GlobalState::instance();
        state.width = 800;
        state.height = 800;
        state.fov = 60.0f;
        state.nearPlane = 0.1f;
        state.farPlane = 300.0f;
        state.mouseSensitivity = 1.0f;
        state.mouseX = 0.0;
        state.mouseY = 0.0;
    }

    // Moves the cursor to each position in turn, updating the camera after each move.
    static void moveCursor(DebugCamera& camera, const std::vector<glm::dvec2>& positions, glm::vec3 pivot = {}) {
        for (const glm::dvec2& p : positions) {
            GlobalState::instance().mouseX = p.x;
            GlobalState::instance().mouseY = p.y;
            camera.update(pivot);
        }
    }

    testsupport::GlobalStateGuard restore;
};

TEST_F(DebugCameraTest, OrthographicCameraMapsPixelsToClipSpaceAroundTheWindowCentre) {
    DebugCamera camera(false, false);
    EXPECT_EQ(camera.getViewMatrix(), glm::mat4(1.0f));
    const glm::vec4 corner = camera.getViewProjectionMatrix() * glm::vec4(400.0f, 400.0f, 0.0f, 1.0f);
    EXPECT_NEAR(corner.x, 1.0f, 1e-6f);
    EXPECT_NEAR(corner.y, 1.0f, 1e-6f);
    EXPECT_NEAR(corner.z, 0.0f, 1e-6f);
    EXPECT_NEAR(corner.w, 1.0f, 1e-6f);
    EXPECT_EQ(camera.getCullingViewProjectionMatrix(), camera.getViewProjectionMatrix());
}

TEST_F(DebugCameraTest, PerspectiveCameraLooksAtThePivotFromTheOrbitRadius) {
    DebugCamera camera(true, false);
    // Construction sets radius and zoom to 0.75; the pivot (origin) lies straight ahead.
    EXPECT_FLOAT_EQ(GlobalState::instance().zoom, 0.75f);
    EXPECT_NEAR(glm::length(camera.getPosition()), 0.75f, 1e-6f);
    const glm::vec4 pivotInView = camera.getViewMatrix() * glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    expectNear(glm::vec3(pivotInView), {0.0f, 0.0f, -0.75f});
    const glm::vec4 clip = camera.getViewProjectionMatrix() * glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(clip.x / clip.w, 0.0f, 1e-6f);
    EXPECT_NEAR(clip.y / clip.w, 0.0f, 1e-6f);
}

TEST_F(DebugCameraTest, UpdateClampsZoomAndUsesItAsTheRadius) {
    struct ZoomCase {
        float zoom, expected;
    };
    for (const ZoomCase& c : {ZoomCase{10.0f, 4.0f}, ZoomCase{0.0f, 0.5f}, ZoomCase{2.0f, 2.0f}}) {
        SCOPED_TRACE(c.zoom);
        DebugCamera camera(true, false);
        GlobalState::instance().zoom = c.zoom;
        camera.update(glm::vec3(0.0f));
        EXPECT_FLOAT_EQ(GlobalState::instance().zoom, c.expected);
        EXPECT_NEAR(glm::length(camera.getPosition()), c.expected, 1e-5f);
    }
}

TEST_F(DebugCameraTest, CursorStepsTurnYawByATruncatedRemainderAndClampPitch) {
    struct OrbitCase {
        const char* name;
        float sensitivity;
        std::vector<glm::dvec2> cursor;
        glm::vec3 direction;  // (-sin yaw, 0, -cos yaw)
        float cosPitch;       // position.y / radius
    };
    const OrbitCase cases[] = {
        // 1750 px left = +350 degrees, then 100 px = +20: 370 wraps to 10.
        {"yaw 350 plus 20 is 10", 1.0f, {{-1750, 0}, {-1850, 0}}, {-0.1736482f, 0.0f, -0.9848078f}, 0.3420201f},
        // At 0.5 degrees per pixel: -10, then -355.5 gives -365.5, truncated to -365, remainder -5.
        {"yaw -10 minus 355.5 is -5", 2.5f, {{20, 0}, {731, 0}}, {0.0871557f, 0.0f, -0.9961947f}, 0.3420201f},
        {"pitch stops at 179", 1.0f, {{0, -10000}}, {0.0f, 0.0f, -1.0f}, -0.9998477f},
        {"pitch stops at 1", 1.0f, {{0, 10000}}, {0.0f, 0.0f, -1.0f}, 0.9998477f},
    };
    for (const OrbitCase& c : cases) {
        SCOPED_TRACE(c.name);
        GlobalState::instance().mouseX = 0.0;
        GlobalState::instance().mouseY = 0.0;
        GlobalState::instance().mouseSensitivity = c.sensitivity;
        DebugCamera camera(true, false);
        GlobalState::instance().zoom = 1.0f;
        moveCursor(camera, c.cursor);
        expectNear(camera.getDirection(), c.direction);
        EXPECT_NEAR(camera.getPosition().y, c.cosPitch, 1e-5f);
    }
}

TEST_F(DebugCameraTest, WorldPositionIsTheOrbitOffsetFromThePivot) {
    DebugCamera camera(true, false);
    GlobalState::instance().zoom = 2.0f;
    // 100 px up turns pitch from 70 to 90 degrees; yaw stays 0.
    moveCursor(camera, {{0, -100}}, {1.0f, 2.0f, 3.0f});
    expectNear(camera.getWorldPosition(), {1.0f, 2.0f, 5.0f});
}

}  // namespace

#include "app/GameFlow.h"
#include "app/GlobalState.h"
#include "app/Input.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

namespace {

// Keys act on release only; presses and repeats change nothing.
TEST(KeyCallback, ActsOnReleaseOnly) {
    const testsupport::GlobalStateGuard restore;
    GLFWwindow* window = gltest::window();
    GlobalState& state = GlobalState::instance();
    state.brightness = 0.0f;

    keyCallback(window, GLFW_KEY_F4, 0, GLFW_PRESS, 0);
    keyCallback(window, GLFW_KEY_F4, 0, GLFW_REPEAT, 0);
    EXPECT_EQ(state.brightness, 0.0f);
    keyCallback(window, GLFW_KEY_F4, 0, GLFW_RELEASE, 0);
    EXPECT_FLOAT_EQ(state.brightness, 0.02f);

    keyCallback(window, GLFW_KEY_F1, 0, GLFW_RELEASE, 0);
    GLint polygonMode[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ(polygonMode[0], GL_LINE);
    keyCallback(window, GLFW_KEY_F1, 0, GLFW_RELEASE, 0);
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    EXPECT_EQ(polygonMode[0], GL_FILL);
    EXPECT_FALSE(state.wireframe);

    glEnable(GL_CULL_FACE);
    cullingEnabled = true;
    keyCallback(window, GLFW_KEY_F2, 0, GLFW_RELEASE, 0);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    keyCallback(window, GLFW_KEY_F2, 0, GLFW_RELEASE, 0);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

    const bool muted = gameFlow().musicMuted;
    keyCallback(window, GLFW_KEY_M, 0, GLFW_RELEASE, 0);
    EXPECT_NE(gameFlow().musicMuted, muted);
    keyCallback(window, GLFW_KEY_M, 0, GLFW_RELEASE, 0);

    EXPECT_FALSE(glfwWindowShouldClose(window));
    keyCallback(window, GLFW_KEY_ESCAPE, 0, GLFW_PRESS, 0);
    EXPECT_FALSE(glfwWindowShouldClose(window));
    keyCallback(window, GLFW_KEY_ESCAPE, 0, GLFW_RELEASE, 0);
    EXPECT_TRUE(glfwWindowShouldClose(window));
    glfwSetWindowShouldClose(window, GLFW_FALSE);
}

TEST(ScrollCallback, WheelChangesZoomInQuarterStepsNeverBelowZero) {
    const testsupport::GlobalStateGuard restore;
    GlobalState& state = GlobalState::instance();
    state.zoom = 0.75f;
    for (int i = 0; i < 3; ++i) scrollCallback(gltest::window(), 0.0, -1.0);
    EXPECT_FLOAT_EQ(state.zoom, 1.5f);
    for (int i = 0; i < 8; ++i) scrollCallback(gltest::window(), 0.0, 1.0);
    EXPECT_EQ(state.zoom, 0.0f);
}

}  // namespace

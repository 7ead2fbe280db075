#include "app/Input.h"

#include "app/GameFlow.h"
#include "app/GlobalState.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>

bool cullingEnabled = true;

void keyCallback(GLFWwindow* window, int key, int /*scancode*/, int action, int /*mods*/) {
    // Keys act on release, so holding a key changes a value once.
    if (action != GLFW_RELEASE) return;
    GlobalState& state = GlobalState::instance();
    switch (key) {
    case GLFW_KEY_ESCAPE:
        glfwSetWindowShouldClose(window, GLFW_TRUE);
        break;
    case GLFW_KEY_F1:
        state.toggleWireframe();
        glPolygonMode(GL_FRONT_AND_BACK, state.wireframe ? GL_LINE : GL_FILL);
        break;
    case GLFW_KEY_F2:
        cullingEnabled = !cullingEnabled;
        cullingEnabled ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
        break;
    case GLFW_KEY_F3:
        state.addBrightness(-0.02f);
        break;
    case GLFW_KEY_F4:
        state.addBrightness(0.02f);
        break;
    case GLFW_KEY_M:
        gameFlow().musicMuted = !gameFlow().musicMuted;
        break;
    default:
        break;
    }
}

void cursorPosCallback(GLFWwindow* /*window*/, double x, double y) {
    GlobalState& state = GlobalState::instance();
    state.mouseX = static_cast<float>(x);
    state.mouseY = static_cast<float>(y);
}

void scrollCallback(GLFWwindow* /*window*/, double /*xOffset*/, double yOffset) {
    GlobalState& state = GlobalState::instance();
    // Wheel up lowers the orbit radius; the camera applies its own limits when it reads it.
    state.zoom = std::max(0.0f, state.zoom - static_cast<float>(yOffset) * 0.25f);
}

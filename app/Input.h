// Keyboard, cursor and wheel callbacks. They only set flags and values (and two GL states the
// keys switch directly); nothing else in the program reads the keyboard or the mouse.
#pragma once

struct GLFWwindow;

// Mirrors whether GL_CULL_FACE is enabled; start-up enables it.
extern bool cullingEnabled;

void keyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);
void cursorPosCallback(GLFWwindow* window, double x, double y);
void scrollCallback(GLFWwindow* window, double xOffset, double yOffset);

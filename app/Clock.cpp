#include "app/Clock.h"

#include <GLFW/glfw3.h>

double GlfwClock::now() { return glfwGetTime(); }

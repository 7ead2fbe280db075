#include "app/Console.h"

#include <GLFW/glfw3.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>

void pauseConsole() {
    if (!isatty(STDIN_FILENO)) return;
    std::cout << "Press Enter to continue . . ." << std::endl;
    std::string line;
    std::getline(std::cin, line);
}

void reportFatal(const std::string& message) {
    glfwTerminate();
    std::cout << "ERROR: " << message << std::endl;
    pauseConsole();
}

void fatalExit(const std::string& message) {
    reportFatal(message);
    std::exit(1);
}

// The console pause before a fatal exit. On this platform there is no "PAUSE" command: wait for
// Enter only when a person can press it (standard input is a terminal); scripts and CI go on at once.
#pragma once

#include <string>

void pauseConsole();

// Ends the process after a start-up or shader failure: GLFW terminated, "ERROR: " + message, pause, exit 1.
[[noreturn]] void fatalExit(const std::string& message);

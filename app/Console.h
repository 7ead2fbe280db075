// The console pause before a fatal exit. On this platform there is no "PAUSE" command: wait for
// Enter only when a person can press it (standard input is a terminal); scripts and CI go on at once.
#pragma once

#include <string>

void pauseConsole();

// What a start-up or shader failure shows before the process ends: GLFW terminated, then
// "ERROR: " + message, then the pause. Start-up hands its exit code back to its caller; see fatalExit.
void reportFatal(const std::string& message);

// reportFatal, then exit 1: for a failure deep below any caller that could end the run (a shader
// program that does not build).
[[noreturn]] void fatalExit(const std::string& message);

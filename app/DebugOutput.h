// OpenGL debug output: every driver message becomes one console line, except two identifiers that
// drivers emit for routine buffer placement and are noise. Names cover the core and AMD enumerants.
#pragma once

#include <GL/glew.h>

#include <string>

std::string formatDebugMessage(GLenum source, GLenum type, GLuint id, GLenum severity, const char* message);

void GLAPIENTRY debugMessageCallback(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei length,
                                     const GLchar* message, const void* userParam);

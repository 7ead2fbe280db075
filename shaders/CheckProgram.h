// A minimal two-stage program builder for the start-up check: from inline GLSL text or from files
// under "assets/shader/". Any error ends the process, since start-up cannot go on without GL.
#pragma once

#include <GL/glew.h>

#include <string>

class CheckProgram {
public:
    CheckProgram(std::string vertex, std::string fragment, bool sourcesInline);

    // Compiles, links and returns the program name.
    GLuint link();
    GLuint getId() const { return id; }

private:
    GLuint buildStage(const std::string& text, GLenum stage);

    GLuint id = 0;
    std::string vertex;
    std::string fragment;
    bool sourcesInline;
};

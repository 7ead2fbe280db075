#include "app/Framework.h"

#include "shaders/CheckProgram.h"

#include <GL/glew.h>

#include <iostream>
#include <memory>

namespace {

std::unique_ptr<CheckProgram> gFallbackProgram;

const char* kFallbackVertex =
    "#version 330 core\nlayout(location = 0) in vec3 position;\nvoid main() {\n\tgl_Position = vec4(position.xy, "
    "-position.z, 1);\n}";
const char* kFallbackFragment =
    "#version 330 core \nuniform vec3 fragColor = vec3(1, 0, 0); \nout vec4 color; \nvoid main() {  \n\tcolor = "
    "vec4(fragColor, 1); \n}";

}  // namespace

bool initFramework() {
    // A window's context or a surfaceless one: either answers glGetString once it is current.
    if (!glGetString(GL_VERSION)) {
        std::cout << "No context available. Exiting." << std::endl;
        return false;
    }
    if (!GLEW_VERSION_3_0) {
        std::cout << "GLEW not available. Exiting." << std::endl;
        return false;
    }
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    if (current == 0) {
        gFallbackProgram = std::make_unique<CheckProgram>(kFallbackVertex, kFallbackFragment, true);
        glUseProgram(gFallbackProgram->link());
    }
    return true;
}

void releaseFramework() { gFallbackProgram.reset(); }

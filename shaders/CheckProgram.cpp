#include "shaders/CheckProgram.h"

#include "app/Console.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

[[noreturn]] void failCheck() {
    pauseConsole();
    std::exit(1);
}

std::string infoLog(GLuint object, bool isProgram) {
    GLint length = 0;
    isProgram ? glGetProgramiv(object, GL_INFO_LOG_LENGTH, &length) : glGetShaderiv(object, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    isProgram ? glGetProgramInfoLog(object, length, nullptr, log.data())
              : glGetShaderInfoLog(object, length, nullptr, log.data());
    return log.data();
}

}  // namespace

CheckProgram::CheckProgram(std::string vertex, std::string fragment, bool sourcesInline)
    : vertex(std::move(vertex)), fragment(std::move(fragment)), sourcesInline(sourcesInline) {}

GLuint CheckProgram::buildStage(const std::string& text, GLenum stage) {
    std::string source = text;
    if (!sourcesInline) {
        const std::string path = "assets/shader/" + text;
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::cout << "Couldn't open shader file: " << path << std::endl;
            failCheck();
        }
        source.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    const GLuint shader = glCreateShader(stage);
    if (shader == 0) {
        std::cout << "Failed to create " << stage << std::endl;
        failCheck();
    }
    const char* sourceText = source.c_str();
    glShaderSource(shader, 1, &sourceText, nullptr);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == 0 || !glIsShader(shader)) {
        const std::string log = infoLog(shader, false);
        std::cout << "Failed to compile shader: " << text << std::endl << log << std::endl;
        glDeleteShader(shader);
        failCheck();
    }
    return shader;
}

GLuint CheckProgram::link() {
    const GLuint vertexStage = buildStage(vertex, GL_VERTEX_SHADER);
    const GLuint fragmentStage = buildStage(fragment, GL_FRAGMENT_SHADER);
    id = glCreateProgram();
    glAttachShader(id, vertexStage);
    glAttachShader(id, fragmentStage);
    glLinkProgram(id);
    GLint status = 0;
    glGetProgramiv(id, GL_LINK_STATUS, &status);
    if (status != 0) {
        glDetachShader(id, vertexStage);
        glDetachShader(id, fragmentStage);
        glDeleteShader(vertexStage);
        glDeleteShader(fragmentStage);
        return id;
    }
    const std::string log = infoLog(id, true);
    std::cout << "Failed to link shader program:" << std::endl << log << std::endl;
    glDeleteProgram(id);
    glDeleteShader(vertexStage);
    glDeleteShader(fragmentStage);
    failCheck();
}

#include "shaders/Shader.h"

#include "app/Console.h"
#include "shaders/ShaderContract.h"
#include "shaders/ShaderRegistry.h"

#include <glm/gtc/type_ptr.hpp>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <vector>

std::string readShaderFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        std::cout << "ERROR: Failed to open shader file '" << path << "'" << std::endl;
        return {};
    }
    std::string text;
    std::string line;
    while (std::getline(file, line)) {
        text += line;
        text += '\n';
    }
    return text;
}

bool compileShader(const std::string& source, GLenum stage, GLuint* out, const std::string& definitions) {
    const GLuint shader = glCreateShader(stage);
    *out = shader;
    const std::string withContract = withShaderContract(source, definitions);
    const char* text = withContract.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint status = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == 1) return true;

    GLint logLength = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
    std::vector<char> log(static_cast<std::size_t>(logLength > 0 ? logLength : 1), '\0');
    glGetShaderInfoLog(shader, logLength, nullptr, log.data());
    std::cout << log.data() << std::endl;
    return false;
}

Shader::Shader(ShaderType type) : type(type) {
    if (static_cast<std::uint32_t>(type) >= static_cast<std::uint32_t>(kShaderTypeCount))
        std::cout << "ERROR: Shader not found (simple initialized)" << std::endl;
    current = &variants.emplace_back();
    build();
}

void Shader::build() {
    const ShaderFiles files = shaderFilesFor(type);
    if (type == PARTICLES_COMPUTE)
        buildCompute(files.fragment);
    else if (files.geometry)
        initShader(files.vertex, files.geometry, files.fragment);
    else
        buildTwoStage(files.vertex, files.fragment);
    checkBuilt();
}

void Shader::selectVariant(std::string_view definitions) {
    if (current->definitions == definitions) return;
    for (Program& variant : variants)
        if (variant.definitions == definitions) {
            current = &variant;
            return;
        }
    current = &variants.emplace_back();
    current->definitions = std::string(definitions);
    build();
}

bool Shader::compile(const std::string& path, GLenum stage, GLuint* out) const {
    return compileShader(readShaderFile(path), stage, out, current->definitions);
}

void Shader::linkStages(std::initializer_list<GLuint> stages) {
    GLuint& id = current->id;
    id = glCreateProgram();
    for (GLuint stage : stages) glAttachShader(id, stage);
    glLinkProgram(id);
    GLint status = 0;
    glGetProgramiv(id, GL_LINK_STATUS, &status);
    initialised = status == 1;
    if (!initialised) {
        GLint logLength = 0;
        glGetProgramiv(id, GL_INFO_LOG_LENGTH, &logLength);
        std::vector<char> log(static_cast<std::size_t>(logLength > 0 ? logLength : 1), '\0');
        glGetProgramInfoLog(id, logLength, nullptr, log.data());
        std::cout << log.data() << std::endl;
    }
}

void Shader::buildTwoStage(const std::string& vertexPath, const std::string& fragmentPath) {
    GLuint vertex = 0, fragment = 0;
    // Both stages are always compiled so that both logs are printed.
    const bool vertexOk = compile(vertexPath, GL_VERTEX_SHADER, &vertex);
    const bool fragmentOk = compile(fragmentPath, GL_FRAGMENT_SHADER, &fragment);
    if (vertexOk && fragmentOk) {
        linkStages({vertex, fragment});
        glDeleteShader(vertex);
        glDeleteShader(fragment);
    }
}

void Shader::initShader(const std::string& vertexPath, const std::string& geometryPath,
                        const std::string& fragmentPath) {
    GLuint vertex = 0, geometry = 0, fragment = 0;
    const bool vertexOk = compile(vertexPath, GL_VERTEX_SHADER, &vertex);
    const bool geometryOk = compile(geometryPath, GL_GEOMETRY_SHADER, &geometry);
    const bool fragmentOk = compile(fragmentPath, GL_FRAGMENT_SHADER, &fragment);
    if (vertexOk && geometryOk && fragmentOk) {
        linkStages({vertex, geometry, fragment});
        glDeleteShader(vertex);
        glDeleteShader(geometry);
        glDeleteShader(fragment);
    }
    checkBuilt();
}

void Shader::buildCompute(const std::string& computePath) {
    GLuint compute = 0;
    if (compile(computePath, GL_COMPUTE_SHADER, &compute)) {
        linkStages({compute});
        glDeleteShader(compute);
    }
}

void Shader::checkBuilt() const {
    if (!initialised) fatalExit("Failed to init Shader!");
}

void Shader::use() const { glUseProgram(current->id); }

GLint Shader::getUniformLocation(std::string_view name) {
    auto& locations = current->uniformLocations;
    if (auto found = locations.find(name); found != locations.end()) return found->second;
    const std::string key(name);
    const GLint location = glGetUniformLocation(current->id, key.c_str());
    locations.emplace(key, location);
    return location;
}

GLuint Shader::getUniformBlockIndex(std::string_view name) {
    auto& indices = current->blockIndices;
    if (auto found = indices.find(name); found != indices.end()) return found->second;
    const std::string key(name);
    const GLuint index = glGetUniformBlockIndex(current->id, key.c_str());
    indices.emplace(key, index);
    return index;
}

void Shader::setMat4(GLint location, const glm::mat4& value) const {
    glUniformMatrix4fv(location, 1, GL_FALSE, glm::value_ptr(value));
}
void Shader::setMat3(GLint location, const glm::mat3& value) const {
    glUniformMatrix3fv(location, 1, GL_FALSE, glm::value_ptr(value));
}
void Shader::setVec3(GLint location, const glm::vec3& value) const { glUniform3f(location, value.x, value.y, value.z); }
void Shader::setInt(GLint location, GLint value) const { glUniform1i(location, value); }
void Shader::setFloat(GLint location, float value) const { glUniform1f(location, value); }

void Shader::setMat4(std::string_view name, const glm::mat4& value) { setMat4(getUniformLocation(name), value); }
void Shader::setVec3(std::string_view name, const glm::vec3& value) { setVec3(getUniformLocation(name), value); }
void Shader::setInt(std::string_view name, int value) { glUniform1i(getUniformLocation(name), value); }
void Shader::setFloat(std::string_view name, float value) { glUniform1f(getUniformLocation(name), value); }
void Shader::setBool(std::string_view name, bool value) { glUniform1i(getUniformLocation(name), value ? 1 : 0); }
void Shader::setUInt(std::string_view name, unsigned int value) { glUniform1ui(getUniformLocation(name), value); }

// One linked GL program built from GLSL stage files, with a cache of uniform locations.
// A program that fails to compile or link ends the process (the demo cannot run without it).
// The GL program is never deleted: it lives as long as the context.
#pragma once

#include "shaders/ShaderType.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Camera;
struct PointLight;
struct DirectionalLight;
struct SpotLight;

class Shader {
public:
    // Builds the program of `type` from its stage files; called only by the registry (getShader).
    explicit Shader(ShaderType type);

    void initShader(const std::string& vertexPath, const std::string& geometryPath, const std::string& fragmentPath);

    void use() const;
    ShaderType getType() const { return type; }
    GLuint getId() const { return id; }
    bool isInitialised() const { return initialised; }

    // Location of `name`, asked of GL once per program; -1 is cached too.
    GLint getUniformLocation(const std::string& name);

    // Setters never make the program current: call use() first.
    void setMat4(GLint location, const glm::mat4& value) const;
    void setMat3(GLint location, const glm::mat3& value) const;
    void setVec3(GLint location, const glm::vec3& value) const;
    void setInt(GLint location, GLint value) const;
    void setFloat(GLint location, float value) const;
    void setMat4(const std::string& name, const glm::mat4& value);
    void setVec3(const std::string& name, const glm::vec3& value);
    void setInt(const std::string& name, int value);
    void setFloat(const std::string& name, float value);
    void setBool(const std::string& name, bool value);
    void setUInt(const std::string& name, unsigned int value);

    // Scene-wide uniforms by program type (camera, brightness, light counts and blocks, far plane,
    // shadow samplers, time); makes the program current. Called once per frame and program.
    void setFrameUniforms(std::shared_ptr<Camera> camera, std::vector<GLuint> lightBuffers,
                          std::vector<std::shared_ptr<PointLight>> pointLights,
                          std::vector<std::shared_ptr<DirectionalLight>> directionalLights,
                          std::vector<std::shared_ptr<SpotLight>> spotLights);
    // "viewProjectionMat", "cameraWorld" and "brightness" only, for programs outside the level.
    void setCameraUniforms(std::shared_ptr<Camera> camera);

private:
    void buildTwoStage(const std::string& vertexPath, const std::string& fragmentPath);
    void buildCompute(const std::string& computePath);
    void linkStages(std::initializer_list<GLuint> stages);
    void checkBuilt() const;

    ShaderType type;
    GLuint id = 0;
    bool initialised = false;
    std::unordered_map<std::string, GLint> uniformLocations;
};

// The file's text, each line followed by "\n". A file that cannot be opened gives an empty text and
// one "ERROR: " line naming it (the driver's compile log that follows would not say which file).
std::string readShaderFile(const std::string& path);

// Compiles one stage; writes the GL shader name through `out` either way and prints the log on failure.
bool compileShader(const std::string& source, GLenum stage, GLuint* out);

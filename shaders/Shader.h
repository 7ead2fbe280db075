// One linked GL program built from GLSL stage files, with a cache of uniform locations.
// A program that fails to compile or link ends the process (the demo cannot run without it).
// The GL program is never deleted: it lives as long as the context.
// A program can have variants: the same files built with a few preprocessor definitions (for
// example the number of lights that are on, so the compiler unrolls exactly those loops); the one
// selected is the one use(), getId() and the setters address, each with its own location cache.
#pragma once

#include "shaders/ShaderType.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <array>
#include <list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>


class Shader {
public:
    // Builds the program of `type` from its stage files; called only by the registry (getShader).
    explicit Shader(ShaderType type);

    void initShader(const std::string& vertexPath, const std::string& geometryPath, const std::string& fragmentPath);

    void use() const;
    ShaderType getType() const { return type; }
    GLuint getId() const { return current->id; }
    bool isInitialised() const { return initialised; }

    // Selects the variant built with `definitions` (lines such as "#define NAME 2\n", put after the
    // engine's preamble), building it the first time it is asked for; "" is the program built at
    // construction. Uniform values belong to each variant: set them after selecting. Call use() after.
    void selectVariant(std::string_view definitions);
    const std::string& variantDefinitions() const { return current->definitions; }

    // Location of `name`, asked of GL once per program; -1 is cached too. Looking up a cached name
    // builds no string, so the per-frame setters below allocate nothing.
    GLint getUniformLocation(std::string_view name);

    // Index of the uniform block `name`, asked of GL once per program; GL_INVALID_INDEX is cached too.
    GLuint getUniformBlockIndex(std::string_view name);

    // Setters never make the program current: call use() first.
    void setMat4(GLint location, const glm::mat4& value) const;
    void setMat3(GLint location, const glm::mat3& value) const;
    void setVec3(GLint location, const glm::vec3& value) const;
    void setInt(GLint location, GLint value) const;
    void setFloat(GLint location, float value) const;
    void setMat4(std::string_view name, const glm::mat4& value);
    void setVec3(std::string_view name, const glm::vec3& value);
    void setInt(std::string_view name, int value);
    void setFloat(std::string_view name, float value);
    void setBool(std::string_view name, bool value);
    void setUInt(std::string_view name, unsigned int value);

private:
    void build();
    void buildTwoStage(const std::string& vertexPath, const std::string& fragmentPath);
    void buildCompute(const std::string& computePath);
    void linkStages(std::initializer_list<GLuint> stages);
    void checkBuilt() const;
    bool compile(const std::string& path, GLenum stage, GLuint* out) const;

    ShaderType type;
    bool initialised = false;
    // Transparent hashing: a lookup by string_view or literal needs no temporary std::string.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
    };
    struct Program {
        std::string definitions;
        GLuint id = 0;
        std::unordered_map<std::string, GLint, NameHash, std::equal_to<>> uniformLocations;
        std::unordered_map<std::string, GLuint, NameHash, std::equal_to<>> blockIndices;
    };
    // Every variant built so far (the first is the plain program), and the selected one. A list
    // keeps each element where it is while others are added.
    std::list<Program> variants;
    Program* current = nullptr;
};

// The names "<prefix>0]" to "<prefix>N-1]" of a uniform array's elements (prefix ends in "["). Passes
// keep them in a static table, so a frame builds no name.
template <std::size_t N>
std::array<std::string, N> indexedUniformNames(std::string_view prefix) {
    std::array<std::string, N> names;
    for (std::size_t i = 0; i < N; ++i) names[i] = std::string(prefix) + std::to_string(i) + "]";
    return names;
}

// The file's text, each line followed by "\n". A file that cannot be opened gives an empty text and
// one "ERROR: " line naming it (the driver's compile log that follows would not say which file).
std::string readShaderFile(const std::string& path);

// Compiles one stage, with the engine's preamble after its "#version" line (withShaderContract) and
// then `definitions`; writes the GL shader name through `out` either way and prints the log on failure.
bool compileShader(const std::string& source, GLenum stage, GLuint* out, const std::string& definitions = {});

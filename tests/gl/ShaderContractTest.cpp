#include "scene/Lights.h"
#include "shaders/Shader.h"
#include "shaders/ShaderContract.h"
#include "tests/support/GlTestContext.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>

namespace {

std::string captured(const std::function<void()>& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

// The three light blocks as the lit program declares them, from the preamble's structs alone.
constexpr const char* kLightBlocks = R"(#version 430 core
layout(std140, binding = POINT_BLOCK_BINDING) uniform pointBlock { PointLightData pointLights[MAX_LIGHTS_PER_KIND]; };
layout(std140, binding = DIRECTIONAL_BLOCK_BINDING) uniform directionalBlock {
    DirectionalLightData directionalLights[MAX_LIGHTS_PER_KIND];
};
layout(std140, binding = SPOT_BLOCK_BINDING) uniform spotBlock { SpotLightData spotLights[MAX_LIGHTS_PER_KIND]; };
out vec4 color;
void main() { color = pointLights[1].color + directionalLights[1].color + spotLights[1].color; }
)";

// The driver's std140 offsets of the preamble's records are where the engine's structs put the
// bytes it uploads: element 1 of each array, so the stride counts too.
TEST(ShaderContract, DriverReadsTheLightRecordsWhereTheEngineWritesThem) {
    GLuint stage = 0;
    ASSERT_TRUE(compileShader(kLightBlocks, GL_FRAGMENT_SHADER, &stage));
    const GLuint program = glCreateProgram();
    glAttachShader(program, stage);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    ASSERT_EQ(linked, GL_TRUE);

    struct Member {
        const char* name;
        std::size_t offset;  // in the engine's upload
    };
    const Member members[] = {
        {"pointLights[1].color", sizeof(PointLight) + offsetof(PointLight, color)},
        {"pointLights[1].position", sizeof(PointLight) + offsetof(PointLight, position)},
        {"pointLights[1].lightFactors", sizeof(PointLight) + offsetof(PointLight, lightFactors)},
        {"pointLights[1].shadow", sizeof(PointLight) + offsetof(PointLight, depthFramebuffer)},
        {"pointLights[1].enabled", sizeof(PointLight) + offsetof(PointLight, enabled)},
        {"pointLights[1].attenuates", sizeof(PointLight) + offsetof(PointLight, flag)},
        {"directionalLights[1].color", sizeof(DirectionalLight) + offsetof(DirectionalLight, color)},
        {"directionalLights[1].direction", sizeof(DirectionalLight) + offsetof(DirectionalLight, direction)},
        {"directionalLights[1].position", sizeof(DirectionalLight) + offsetof(DirectionalLight, position)},
        {"directionalLights[1].shadow", sizeof(DirectionalLight) + offsetof(DirectionalLight, depthFramebuffer)},
        {"directionalLights[1].enabled", sizeof(DirectionalLight) + offsetof(DirectionalLight, enabled)},
        {"directionalLights[1].attenuates", sizeof(DirectionalLight) + offsetof(DirectionalLight, flag)},
        {"spotLights[1].color", sizeof(SpotLight) + offsetof(SpotLight, color)},
        {"spotLights[1].direction", sizeof(SpotLight) + offsetof(SpotLight, direction)},
        {"spotLights[1].lightFactors", sizeof(SpotLight) + offsetof(SpotLight, lightFactors)},
        {"spotLights[1].position", sizeof(SpotLight) + offsetof(SpotLight, position)},
        {"spotLights[1].shadow", sizeof(SpotLight) + offsetof(SpotLight, depthFramebuffer)},
        {"spotLights[1].enabled", sizeof(SpotLight) + offsetof(SpotLight, enabled)},
        {"spotLights[1].attenuates", sizeof(SpotLight) + offsetof(SpotLight, flag)},
    };
    for (const Member& m : members) {
        SCOPED_TRACE(m.name);
        GLuint index = GL_INVALID_INDEX;
        glGetUniformIndices(program, 1, &m.name, &index);
        ASSERT_NE(index, GL_INVALID_INDEX);
        GLint offset = -1;
        glGetActiveUniformsiv(program, 1, &index, GL_UNIFORM_OFFSET, &offset);
        EXPECT_EQ(offset, static_cast<GLint>(m.offset));
    }

    struct Block {
        const char* name;
        GLuint binding;
        std::size_t bytes;  // a full array of records
    };
    const Block blocks[] = {
        {"pointBlock", kPointBlockBinding, kMaxLightsPerKind * sizeof(PointLight)},
        {"directionalBlock", kDirectionalBlockBinding, kMaxLightsPerKind * sizeof(DirectionalLight)},
        {"spotBlock", kSpotBlockBinding, kMaxLightsPerKind * sizeof(SpotLight)},
    };
    for (const Block& b : blocks) {
        SCOPED_TRACE(b.name);
        const GLuint index = glGetUniformBlockIndex(program, b.name);
        ASSERT_NE(index, GL_INVALID_INDEX);
        GLint binding = -1, bytes = -1;
        glGetActiveUniformBlockiv(program, index, GL_UNIFORM_BLOCK_BINDING, &binding);
        glGetActiveUniformBlockiv(program, index, GL_UNIFORM_BLOCK_DATA_SIZE, &bytes);
        EXPECT_EQ(binding, static_cast<GLint>(b.binding));
        EXPECT_EQ(bytes, static_cast<GLint>(b.bytes));
    }
    glDeleteProgram(program);
    glDeleteShader(stage);
}

// The preamble sits between the "#version" line and the file's second line, so the compiler's
// messages must still name the file's own lines: the error here is on line 3.
TEST(ShaderContract, CompilerMessagesKeepTheFilesLineNumbers) {
    GLuint stage = 0;
    std::string log = captured([&] {
        EXPECT_FALSE(compileShader("#version 430 core\nout vec4 color;\nvoid main() { color = undeclaredName; }\n",
                                   GL_FRAGMENT_SHADER, &stage));
    });
    glDeleteShader(stage);
    EXPECT_NE(log.find("0:3("), std::string::npos) << log;
    EXPECT_NE(log.find("undeclaredName"), std::string::npos) << log;
}

}  // namespace

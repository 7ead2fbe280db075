#include "render/ImageBasedLighting.h"
#include "shaders/ShaderRegistry.h"
#include "shaders/Surface.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

TEST(ShaderRegistry, BuildsEachTypeOnceAndSharesIt) {
    auto first = getShader(GAUSSIAN);
    auto second = getShader(GAUSSIAN);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_TRUE(first->isInitialised());

    // The volumetric blur reuses the blur's vertex file in a program of its own.
    EXPECT_STREQ(shaderFilesFor(VOLUMETRIC_LIGHTING_BLUR).vertex, shaderFilesFor(GAUSSIAN).vertex);
    EXPECT_STREQ(shaderFilesFor(PARTICLES_COMPUTE).fragment, "assets/shader/particles.comp");
    EXPECT_EQ(shaderFilesFor(PARTICLES_COMPUTE).vertex, nullptr);
}

TEST(ShaderRegistry, OutOfRangeTypeReportsOnceAndBuildsSimple) {
    const testsupport::RegistryGuard dropAfterwards;
    for (const int value : {19, -1}) {
        SCOPED_TRACE(value);
        const auto type = static_cast<ShaderType>(value);
        testing::internal::CaptureStdout();
        auto shader = getShader(type);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: Shader not found (simple initialized)\n");
        EXPECT_EQ(shader->getType(), type);
        EXPECT_TRUE(shader->isInitialised());
        EXPECT_STREQ(shaderFilesFor(type).fragment, "assets/shader/simpleShader.frag");

        testing::internal::CaptureStdout();
        EXPECT_EQ(getShader(type).get(), shader.get());
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    }
}

// Every program whose stage files are present builds and links here (the driver is Mesa llvmpipe in CI).
TEST(ShaderRegistry, EveryTypeWithFilesLinks) {
    int built = 0;
    for (int value = 0; value < kShaderTypeCount; ++value) {
        const auto type = static_cast<ShaderType>(value);
        const ShaderFiles files = shaderFilesFor(type);
        bool present = true;
        for (const char* path : {files.vertex, files.geometry, files.fragment})
            if (path && !std::filesystem::exists(path)) present = false;
        if (!present) continue;
        SCOPED_TRACE(files.fragment);
        EXPECT_TRUE(getShader(type)->isInitialised());
        ++built;
    }
    EXPECT_GE(built, 5);  // at least SIMPLE, GAUSSIAN, BLOOM, LAVA, FUR
}

int gLookups = 0;
PFNGLGETUNIFORMLOCATIONPROC gRealGetUniformLocation = nullptr;
GLint APIENTRY countingGetUniformLocation(GLuint program, const GLchar* name) {
    ++gLookups;
    return gRealGetUniformLocation(program, name);
}

TEST(Shader, CachesUniformLocationsIncludingMissingOnes) {
    auto shader = getShader(SIMPLE);
    const GLint present = shader->getUniformLocation("changeColor");  // cached from here on
    // A name no earlier run asked for: the registry keeps the program, and with it the last run's
    // cached miss, for the whole process.
    static int runs = 0;
    const std::string missing = "noSuchUniformInTheCacheTest" + std::to_string(++runs);
    gRealGetUniformLocation = __glewGetUniformLocation;
    __glewGetUniformLocation = countingGetUniformLocation;
    gLookups = 0;
    const GLint first = shader->getUniformLocation(missing);
    const GLint second = shader->getUniformLocation(missing);
    const GLint again = shader->getUniformLocation("changeColor");
    __glewGetUniformLocation = gRealGetUniformLocation;

    EXPECT_EQ(first, -1);
    EXPECT_EQ(second, -1);
    EXPECT_GE(present, 0);
    EXPECT_EQ(again, present);
    EXPECT_EQ(gLookups, 1);
}

TEST(Shader, SetBoolSendsOneAndZero) {
    auto blur = getShader(GAUSSIAN);
    blur->use();
    for (const bool value : {true, false}) {
        blur->setBool("horizontal", value);
        GLint sent = -1;
        glGetUniformiv(blur->getId(), blur->getUniformLocation("horizontal"), &sent);
        EXPECT_EQ(sent, value ? 1 : 0);
    }
}

TEST(Surface, SetTexturesReplacesOnlyTheSlotsGiven) {
    auto bloom = createBloomSurface();
    bloom->setTextures(11, 12, 13);
    bloom->setTextures(21, 22);
    EXPECT_EQ(bloom->textures[0]->getId(), 21u);
    EXPECT_EQ(bloom->textures[1]->getId(), 22u);
    EXPECT_EQ(bloom->textures[2]->getId(), 13u);
    EXPECT_EQ(bloom->textures[3], nullptr);
}

TEST(Surface, BloomBindsItsThreeUnitsAndExposure) {
    auto bloom = createBloomSurface();
    GLuint names[3];
    glGenTextures(3, names);
    for (GLuint name : names) {
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    bloom->setTextures(names[0], names[1], names[2]);
    bloom->setUniforms(glm::mat4(1.0f));

    const GLuint program = bloom->shader->getId();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), program);
    struct Sampler { const char* name; int unit; };
    for (const Sampler& s : {Sampler{"scene", 0}, Sampler{"bloomBlur", 1}, Sampler{"volumetricLight", 2}}) {
        GLint unit = -1;
        glGetUniformiv(program, glGetUniformLocation(program, s.name), &unit);
        EXPECT_EQ(unit, s.unit) << s.name;
        glActiveTexture(GL_TEXTURE0 + s.unit);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), names[s.unit]) << s.name;
    }
    GLfloat exposure = 0.0f;
    glGetUniformfv(program, glGetUniformLocation(program, "exposure"), &exposure);
    EXPECT_EQ(exposure, 1.0f);
    glDeleteTextures(3, names);
}

}  // namespace

namespace {

// Unit 3 belongs to nobody in the lit program, and the last unit bound (6, the BRDF table) stays
// active: callers that bind after setUniforms rely on both.
TEST(Surface, PbrLeavesUnitThreeAloneAndEndsOnUnitSix) {
    gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
    GLuint names[4];
    glGenTextures(4, names);
    for (GLuint name : names) {
        glBindTexture(GL_TEXTURE_2D, name);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
    auto surface = createPbrSurface(std::make_shared<Texture>(names[0]), std::make_shared<Texture>(names[1]),
                                    std::make_shared<Texture>(names[2]), loadEnvironment("skybox2.hdr"));
    ASSERT_TRUE(surface->environment);
    glActiveTexture(GL_TEXTURE3);
    glBindTexture(GL_TEXTURE_2D, names[3]);

    surface->setUniforms(glm::mat4(1.0f));

    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE6);
    glActiveTexture(GL_TEXTURE3);
    GLint unitThree = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &unitThree);
    EXPECT_EQ(static_cast<GLuint>(unitThree), names[3]);
    struct Unit { int unit; GLenum binding; GLuint expected; };
    for (const Unit& u : {Unit{0, GL_TEXTURE_BINDING_2D, names[0]}, Unit{1, GL_TEXTURE_BINDING_2D, names[2]},
                          Unit{2, GL_TEXTURE_BINDING_2D, names[1]},
                          Unit{4, GL_TEXTURE_BINDING_CUBE_MAP, surface->environment->getIrradianceMap()},
                          Unit{5, GL_TEXTURE_BINDING_CUBE_MAP, surface->environment->getPrefilteredMap()},
                          Unit{6, GL_TEXTURE_BINDING_2D, surface->environment->getBrdfLut()}}) {
        glActiveTexture(GL_TEXTURE0 + u.unit);
        GLint bound = 0;
        glGetIntegerv(u.binding, &bound);
        EXPECT_EQ(static_cast<GLuint>(bound), u.expected) << "unit " << u.unit;
    }
    glDeleteTextures(4, names);
}

}  // namespace

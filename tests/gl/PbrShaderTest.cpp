#include "scene/Geometry.h"
#include "scene/MeshData.h"
#include "shaders/Shader.h"
#include "shaders/ShaderRegistry.h"
#include "shaders/Surface.h"
#include "tests/support/GlTestContext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace {

GLuint texture2D(GLenum internalFormat, GLenum format, GLenum type, const void* pixel) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, 1, 1, 0, format, type, pixel);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

// A 1 x 1 cube map of one colour on every face, without mip levels (every LOD reads the base).
GLuint uniformCube(float value) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_CUBE_MAP, name);
    const float rgb[] = {value, value, value};
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB16F, 1, 1, 0, GL_RGB, GL_FLOAT, rgb);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return name;
}

// A quad over the whole clip square at z = 0, facing +z, with a +x tangent.
std::shared_ptr<Geometry> facingQuad() {
    MeshData mesh;
    mesh.positions = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    mesh.normals.assign(4, glm::vec3(0, 0, 1));
    mesh.tangents.assign(4, glm::vec3(1, 0, 0));
    mesh.uvs = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    mesh.indices = {0, 1, 2, 0, 2, 3};
    mesh.computeBitangents();
    return std::make_shared<Geometry>(mesh, "pbr test quad");
}

}  // namespace

TEST(PbrShader, StagesCompileAndLink) {
    gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
    const ShaderFiles files = shaderFilesFor(PBR);
    GLuint vertex = 0;
    GLuint fragment = 0;
    ASSERT_TRUE(compileShader(readShaderFile(files.vertex), GL_VERTEX_SHADER, &vertex));
    ASSERT_TRUE(compileShader(readShaderFile(files.fragment), GL_FRAGMENT_SHADER, &fragment));
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    EXPECT_EQ(linked, GL_TRUE);
    glDeleteProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
}

// Mid-grey dielectric seen head-on under a uniform white sky, worked out by hand:
// albedo 128/255 in sRGB is ((0.50196 + 0.055) / 1.055)^2.4 = 0.21586 linear; at N.V = 1 Schlick's
// Fresnel is F0 = 0.04, so diffuse = (1 - 0.04) x 1 x 0.21586 = 0.20723; the BRDF table gives
// (scale 1, bias 0), so specular = 1 x (0.04 x 1 + 0) = 0.04. Lit colour 0.24723 on every channel.
// With brightness 1 the colour is 1.24723, above luminance 1, so it also goes to the bright output.
TEST(PbrShader, ShadesAHeadOnGreyDielectricUnderAWhiteSky) {
    gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
    const unsigned char grey[] = {128, 128, 128, 255};
    const unsigned char aoRoughMetal[] = {255, 128, 0, 255};
    const unsigned char flatNormal[] = {128, 128, 255, 255};
    const float scaleBias[] = {1.0f, 0.0f};
    auto albedo = std::make_shared<Texture>(texture2D(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, grey));
    auto arm = std::make_shared<Texture>(texture2D(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, aoRoughMetal));
    auto normal = std::make_shared<Texture>(texture2D(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, flatNormal));
    const GLuint brdf = texture2D(GL_RG16F, GL_RG, GL_FLOAT, scaleBias);

    std::shared_ptr<Surface> surface = createPbrSurface(albedo, normal, arm);
    surface->environment = std::make_shared<Texture>(0, uniformCube(1.0f), uniformCube(1.0f), brdf);
    const std::shared_ptr<Geometry> quad = facingQuad();

    constexpr int kSize = 8;
    GLuint framebuffer = 0;
    GLuint colour[2] = {0, 0};
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenTextures(2, colour);
    for (int i = 0; i < 2; ++i) {
        glBindTexture(GL_TEXTURE_2D, colour[i]);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, kSize, kSize, 0, GL_RGBA, GL_FLOAT, nullptr);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, colour[i], 0);
    }
    const GLenum both[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
    glDrawBuffers(2, both);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, kSize, kSize);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);

    struct Case {
        float brightness;
        float lit;
        float bright;
    };
    for (const Case c : {Case{0.0f, 0.24723f, 0.0f}, Case{1.0f, 1.24723f, 1.24723f}}) {
        SCOPED_TRACE(c.brightness);
        glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        surface->setUniforms(glm::mat4(1.0f));
        Shader& shader = *surface->shader;
        shader.setMat4("viewProjectionMat", glm::mat4(1.0f));
        shader.setVec3("cameraWorld", glm::vec3(0.0f, 0.0f, 50.0f));
        shader.setFloat("brightness", c.brightness);
        quad->draw();

        for (int attachment = 0; attachment < 2; ++attachment) {
            glReadBuffer(GL_COLOR_ATTACHMENT0 + attachment);
            const std::vector<float> pixels = gltest::readPixelsRgbaFloat(kSize / 2, kSize / 2, 1, 1);
            const float expected = attachment == 0 ? c.lit : c.bright;
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_NEAR(pixels[channel], expected, 2e-3f) << "attachment " << attachment << " channel " << channel;
            EXPECT_FLOAT_EQ(pixels[3], 1.0f);
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(2, colour);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

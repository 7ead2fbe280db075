#include "models/Geometry.h"
#include "models/MeshData.h"
#include "render/ImageBasedLighting.h"
#include "render/LightBuffers.h"
#include "scene/DebugCamera.h"
#include "scene/Lights.h"
#include "shaders/Shader.h"
#include "shaders/ShaderRegistry.h"
#include "shaders/Surface.h"
#include "tests/support/GlTestContext.h"
#include "textures/TextureLoader.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979;

// A width x height float texture, nearest-filtered: pixel (x, y) of a target of the same size covered
// by `facingQuad` reads texel (x, y) exactly. Rows start at the bottom, as GL reads pixels back.
GLuint floatTexture(int width, int height, const std::vector<glm::vec4>& texels) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, texels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return name;
}

std::shared_ptr<Texture> floatTexture(const std::vector<glm::vec4>& texels, int width, int height) {
    return std::make_shared<Texture>(floatTexture(width, height, texels));
}

// A 1 x 1 BRDF table of one (scale, bias).
GLuint brdfTable(float scale, float bias) {
    const float scaleBias[] = {scale, bias};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RG16F, 1, 1, 0, GL_RG, GL_FLOAT, scaleBias);
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

// A quad over the whole clip square at z = 0, facing +z, with a +x tangent and a +y bitangent, so a
// normal-map texel (n + 1) / 2 gives the shading normal n in world space.
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

glm::vec4 normalTexel(const glm::vec3& n) { return glm::vec4(n * 0.5f + 0.5f, 1.0f); }

// Both outputs of the PBR program as RGBA32F, bound with its viewport; no depth test, no culling.
class FloatTarget {
public:
    FloatTarget(int width, int height) : width(width), height(height) {
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glGenTextures(2, colour);
        for (int i = 0; i < 2; ++i) {
            glBindTexture(GL_TEXTURE_2D, colour[i]);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, width, height, 0, GL_RGBA, GL_FLOAT, nullptr);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, GL_TEXTURE_2D, colour[i], 0);
        }
        const GLenum both[] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1};
        glDrawBuffers(2, both);
        EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
        glViewport(0, 0, width, height);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
    }
    ~FloatTarget() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteTextures(2, colour);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    }
    FloatTarget(const FloatTarget&) = delete;
    FloatTarget& operator=(const FloatTarget&) = delete;

    // Every pixel of one output, row 0 at the bottom.
    std::vector<glm::vec4> read(int attachment) const {
        glReadBuffer(GL_COLOR_ATTACHMENT0 + attachment);
        const std::vector<float> floats = gltest::readPixelsRgbaFloat(0, 0, width, height);
        std::vector<glm::vec4> pixels(floats.size() / 4);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = glm::vec4(floats[4 * i], floats[4 * i + 1], floats[4 * i + 2], floats[4 * i + 3]);
        return pixels;
    }

    const int width;
    const int height;

private:
    GLuint framebuffer = 0;
    GLuint colour[2] = {0, 0};
};

// Draws the quad with an identity view-projection (world = clip space) and no lights. The program is
// shared with every earlier PBR draw of the process, so its plain variant (loops bounded by the
// uniform counts) is selected and each count set: a variant or a count left over from a frame of the
// level would add that frame's lamps.
void drawUnlit(Surface& surface, const Geometry& quad, const glm::vec3& cameraWorld, float brightness = 0.0f) {
    surface.shader->selectVariant("");
    surface.setUniforms(glm::mat4(1.0f));
    Shader& shader = *surface.shader;
    shader.setMat4("viewProjectionMat", glm::mat4(1.0f));
    shader.setVec3("cameraWorld", cameraWorld);
    shader.setFloat("brightness", brightness);
    for (const char* count : {"actualPointSize", "actualDirectionalSize", "actualSpotSize", "onPointCount",
                              "onDirectionalCount", "onSpotCount"})
        shader.setInt(count, 0);
    quad.draw();
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
// albedo 128/255 in sRGB is ((0.50196 + 0.055) / 1.055)^2.4 = 0.21586 linear. The BRDF table gives
// (scale 1, bias 0): all of the specular energy is reflected (1 - A - B = 0, nothing for multiple
// scattering to add), specular = 1 x (0.04 x 1 + 0) = 0.04, and the diffuse keeps the rest,
// (1 - 0.04) x 0.21586 = 0.20723. Lit colour 0.24723 on every channel.
// With brightness 1 the colour is 1.24723, above luminance 1, so it also goes to the bright output.
TEST(PbrShader, ShadesAHeadOnGreyDielectricUnderAWhiteSky) {
    gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
    const float grey = 128.0f / 255.0f;
    auto albedo = floatTexture({glm::vec4(grey, grey, grey, 1.0f)}, 1, 1);
    auto arm = floatTexture({glm::vec4(1.0f, grey, 0.0f, 1.0f)}, 1, 1);
    auto normal = floatTexture({normalTexel(glm::vec3(0, 0, 1))}, 1, 1);

    std::shared_ptr<Surface> surface = createPbrSurface(albedo, normal, arm, nullptr);
    surface->environment = std::make_shared<Texture>(0, uniformCube(1.0f), uniformCube(1.0f), brdfTable(1.0f, 0.0f));
    const std::shared_ptr<Geometry> quad = facingQuad();

    constexpr int kSize = 8;
    const FloatTarget target(kSize, kSize);
    struct Case {
        float brightness;
        float lit;
        float bright;
    };
    for (const Case c : {Case{0.0f, 0.24723f, 0.0f}, Case{1.0f, 1.24723f, 1.24723f}}) {
        SCOPED_TRACE(c.brightness);
        glClearColor(0.5f, 0.5f, 0.5f, 0.5f);
        glClear(GL_COLOR_BUFFER_BIT);
        drawUnlit(*surface, *quad, glm::vec3(0.0f, 0.0f, 50.0f), c.brightness);

        for (int attachment = 0; attachment < 2; ++attachment) {
            const glm::vec4 pixel = target.read(attachment)[kSize / 2 * kSize + kSize / 2];
            const float expected = attachment == 0 ? c.lit : c.bright;
            for (int channel = 0; channel < 3; ++channel)
                EXPECT_NEAR(pixel[channel], expected, 2e-3f) << "attachment " << attachment << " channel " << channel;
            EXPECT_FLOAT_EQ(pixel[3], 1.0f);
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The white furnace: a sky of radiance 1 in every direction through the real image-based-lighting
// passes, white materials, no lamps, read before tone mapping. What a surface sends back is then its
// directional albedo: a white metal (F0 = 1, no diffuse) must return everything it receives, a white
// dielectric at most that, since energy is neither made nor, for a white Lambertian base, lost.
// One texel per (roughness, N.V): columns roughness 0.1 to 1.0, rows N.V 1.0 down to 0.1, the
// normal map tilting the shading normal away from the eye.
TEST(PbrShader, WhiteMaterialsInAWhiteFurnaceReflectWhatArrives) {
    constexpr int kColumns = 10;
    constexpr int kRows = 10;
    auto roughnessOf = [](int column) { return 0.1f * static_cast<float>(column + 1); };
    auto cosineOf = [](int row) { return 1.0f - 0.1f * static_cast<float>(row); };

    std::shared_ptr<Surface> surface;
    {
        gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
        surface = createPbrSurface(nullptr, nullptr, nullptr, nullptr);
    }
    const gltest::ScratchDir scratch("pbr-furnace");
    {
        gltest::ScopedWorkingDirectory cwd(scratch.path.string());
        const std::vector<float> white(8 * 4 * 3, 1.0f);
        ASSERT_TRUE(stbi_write_hdr((scratch.path / "assets/textures/furnace.hdr").string().c_str(), 8, 4, 3,
                                   white.data()));
        surface->environment = loadEnvironment("furnace.hdr");
    }

    std::vector<glm::vec4> normals;
    std::vector<glm::vec4> metal;
    std::vector<glm::vec4> dielectric;
    for (int row = 0; row < kRows; ++row)
        for (int column = 0; column < kColumns; ++column) {
            const float c = cosineOf(row);
            normals.push_back(normalTexel(glm::vec3(std::sqrt(1.0f - c * c), 0.0f, c)));
            metal.emplace_back(1.0f, roughnessOf(column), 1.0f, 1.0f);
            dielectric.emplace_back(1.0f, roughnessOf(column), 0.0f, 1.0f);
        }
    surface->textures[0] = floatTexture(std::vector<glm::vec4>(kColumns * kRows, glm::vec4(1.0f)), kColumns, kRows);
    surface->textures[3] = floatTexture(normals, kColumns, kRows);
    const std::shared_ptr<Geometry> quad = facingQuad();
    const FloatTarget target(kColumns, kRows);

    struct Material {
        const char* name;
        std::shared_ptr<Texture> aoRoughMetal;
        float low;
        float high;
    };
    const Material materials[] = {
        {"white metal", floatTexture(metal, kColumns, kRows), 0.97f, 1.03f},
        {"white dielectric", floatTexture(dielectric, kColumns, kRows), 0.95f, 1.005f},
    };
    for (const Material& material : materials) {
        SCOPED_TRACE(material.name);
        surface->textures[2] = material.aoRoughMetal;
        glClear(GL_COLOR_BUFFER_BIT);
        // Far along +z, so V is +z within 0.0015 rad at every pixel.
        drawUnlit(*surface, *quad, glm::vec3(0.0f, 0.0f, 1000.0f));
        const std::vector<glm::vec4> pixels = target.read(0);

        std::ostringstream table;
        table << std::fixed << std::setprecision(4) << "[ measure  ] furnace, " << material.name
              << " (green; rows N.V, columns roughness):\n  N.V \\ r";
        for (int column = 0; column < kColumns; ++column) table << std::setw(7) << std::setprecision(1) << roughnessOf(column);
        table << std::setprecision(4);
        int outside = 0;
        float lowest = 1e9f;
        float highest = -1e9f;
        for (int row = 0; row < kRows; ++row) {
            table << "\n  " << std::setw(6) << std::setprecision(1) << cosineOf(row) << " " << std::setprecision(4);
            for (int column = 0; column < kColumns; ++column) {
                const glm::vec4& p = pixels[static_cast<std::size_t>(row) * kColumns + column];
                table << std::setw(7) << p.g;
                lowest = std::min(lowest, std::min(p.r, std::min(p.g, p.b)));
                highest = std::max(highest, std::max(p.r, std::max(p.g, p.b)));
                const bool inside = p.r >= material.low && p.r <= material.high && p.g >= material.low &&
                                    p.g <= material.high && p.b >= material.low && p.b <= material.high;
                if (!inside && outside++ == 0)
                    ADD_FAILURE() << "roughness " << roughnessOf(column) << ", N.V " << cosineOf(row) << ": " << p.g
                                  << " outside [" << material.low << ", " << material.high << "]";
            }
        }
        std::cout << table.str() << "\n  range " << lowest << " to " << highest << std::endl;
        EXPECT_EQ(outside, 0);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Closed-form single-scattering microfacet BRDF, written out here from the papers: GGX distribution
// (Walter et al. 2007), height-correlated Smith visibility (Heitz 2014), Schlick's Fresnel (1994),
// with the Lambertian base weighted by 1 - F.
glm::dvec3 closedFormBrdf(const glm::dvec3& n, const glm::dvec3& v, const glm::dvec3& l, double roughness,
                          const glm::dvec3& f0, const glm::dvec3& diffuseAlbedo, double specularScale) {
    const glm::dvec3 h = glm::normalize(v + l);
    const double nv = glm::dot(n, v);
    const double nl = glm::dot(n, l);
    const double nh = glm::dot(n, h);
    const double vh = glm::dot(v, h);
    const double a2 = std::pow(roughness, 4.0);
    const double d = a2 / (kPi * std::pow(nh * nh * (a2 - 1.0) + 1.0, 2.0));
    const double vis = 0.5 / (nl * std::sqrt(nv * nv * (1.0 - a2) + a2) + nv * std::sqrt(nl * nl * (1.0 - a2) + a2));
    const glm::dvec3 f = f0 + (1.0 - f0) * std::pow(1.0 - vh, 5.0);
    return d * vis * f * specularScale + (1.0 - f) * diffuseAlbedo / kPi;
}

double srgbToLinear(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }

// One directional light, no sky, a BRDF table of (A, B) = (0.5, 0.125): single scattering reflects
// Ess = A + B = 0.625 of white light, so Ems = 0.375 is what multiple scattering must give back.
// After Fdez-Aguera 2019 (and Kulla and Conty 2017), the bounces add FssEss Favg Ems / (1 - Favg Ems)
// with Favg = F0 + (1 - F0) / 21, which scales the specular lobe by 1 / (1 - Favg Ems):
// 1 / (1 - 0.375) = 1.6 for a white metal, 1 / (1 - 0.0857143 x 0.375) = 1.0332103 for F0 = 0.04.
// Each pixel of the row is one material and one tilt of the normal.
TEST(PbrShader, DirectLightIsTheClosedFormWithItsLobeScaledForMultipleScattering) {
    struct Case {
        float roughness;
        float metallic;
        glm::vec3 albedoSrgb;
        glm::vec3 normal;
    };
    const Case cases[] = {
        {1.0f, 1.0f, {1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 1.0f}},
        {0.5f, 1.0f, {1.0f, 1.0f, 1.0f}, {0.3f, 0.1f, 0.9486833f}},
        {0.3f, 1.0f, {0.9f, 0.6f, 0.3f}, {-0.2f, 0.3f, 0.9327379f}},
        {0.8f, 0.0f, {1.0f, 1.0f, 1.0f}, {-0.4f, -0.2f, 0.8944272f}},
        {0.2f, 0.0f, {0.5f, 0.5f, 0.5f}, {0.1f, -0.25f, 0.9630680f}},
        {0.6f, 0.5f, {0.8f, 0.8f, 0.4f}, {0.5f, 0.0f, 0.8660254f}},
    };
    constexpr int kCount = static_cast<int>(std::size(cases));
    constexpr float kScale = 0.5f;
    constexpr float kBias = 0.125f;
    std::vector<glm::vec4> albedo, arm, normals;
    for (const Case& c : cases) {
        albedo.emplace_back(c.albedoSrgb, 1.0f);
        arm.emplace_back(1.0f, c.roughness, c.metallic, 1.0f);
        normals.push_back(normalTexel(glm::normalize(c.normal)));
    }

    std::shared_ptr<Surface> surface;
    {
        gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
        surface = createPbrSurface(floatTexture(albedo, kCount, 1), floatTexture(normals, kCount, 1),
                                   floatTexture(arm, kCount, 1), nullptr);
    }
    surface->environment = std::make_shared<Texture>(0, uniformCube(0.0f), uniformCube(0.0f), brdfTable(kScale, kBias));

    // Depth 1 everywhere in the shadow map: nothing is shadowed.
    GLuint shadowMap = 0;
    glGenTextures(1, &shadowMap);
    glBindTexture(GL_TEXTURE_2D, shadowMap);
    const float farDepth = 1.0f;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32F, 1, 1, 0, GL_DEPTH_COMPONENT, GL_FLOAT, &farDepth);
    auto sun = std::make_shared<DirectionalLight>();
    sun->color = glm::vec3(1.0f, 0.9f, 0.7f);
    sun->intensity = 3.0f;
    sun->direction = glm::vec3(0.3f, -0.2f, -1.0f);  // the direction the light travels
    sun->depthTexture = shadowMap;
    const std::vector<GLuint> buffers = createLightBuffers({}, {sun}, {});

    const glm::vec3 cameraWorld(0.4f, -0.3f, 2.5f);
    const std::shared_ptr<Geometry> quad = facingQuad();
    const testsupport::GlobalStateGuard restore;  // the debug camera below sets the zoom
    const FloatTarget target(kCount, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Shader& shader = *surface->shader;
    const GlName sampler = createShadowComparisonSampler();
    // Uniforms belong to a variant: select it first, not one a level's frame left behind.
    selectLightVariant(shader, {}, {sun}, {});
    setFrameUniforms(shader, std::make_shared<DebugCamera>(true, false), buffers, {}, {sun}, {}, sampler.get());
    surface->setUniforms(glm::mat4(1.0f));
    shader.setMat4("viewProjectionMat", glm::mat4(1.0f));
    shader.setVec3("cameraWorld", cameraWorld);
    shader.setFloat("brightness", 0.0f);
    shader.setMat4("light_space_matrices[0]", glm::mat4(0.5f));  // every point to mid-depth of the map
    quad->draw();
    const std::vector<glm::vec4> pixels = target.read(0);

    const glm::dvec3 l = -glm::normalize(glm::dvec3(sun->direction));
    const glm::dvec3 radiance = glm::dvec3(sun->color) * static_cast<double>(sun->intensity);
    const double ems = 1.0 - (kScale + kBias);
    double worst = 0.0;
    for (int i = 0; i < kCount; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE("pixel " + std::to_string(i));
        const glm::dvec3 n = glm::normalize(glm::dvec3(c.normal));
        // The pixel centre in world space (the quad spans the clip square).
        const glm::dvec3 position(-1.0 + (2.0 * i + 1.0) / kCount, 0.0, 0.0);
        const glm::dvec3 v = glm::normalize(glm::dvec3(cameraWorld) - position);
        const glm::dvec3 base(srgbToLinear(c.albedoSrgb.r), srgbToLinear(c.albedoSrgb.g), srgbToLinear(c.albedoSrgb.b));
        const glm::dvec3 f0 = glm::mix(glm::dvec3(0.04), base, static_cast<double>(c.metallic));
        const glm::dvec3 fAverage = f0 + (1.0 - f0) / 21.0;
        const glm::dvec3 lobeScale = 1.0 / (1.0 - fAverage * ems);
        glm::dvec3 expected;
        for (int channel = 0; channel < 3; ++channel)
            expected[channel] = closedFormBrdf(n, v, l, c.roughness, glm::dvec3(f0[channel]),
                                               glm::dvec3(base[channel] * (1.0 - c.metallic)), lobeScale[channel])[channel];
        expected *= radiance * glm::dot(n, l);
        for (int channel = 0; channel < 3; ++channel) {
            const double error = std::abs(pixels[i][channel] - expected[channel]) / expected[channel];
            worst = std::max(worst, error);
            EXPECT_LT(error, 1e-4) << "channel " << channel << ": " << pixels[i][channel] << ", expected "
                                   << expected[channel];
        }
    }
    std::cout << "[ measure  ] direct light against the closed form: worst relative error " << worst << std::endl;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glDeleteBuffers(3, buffers.data());
    glDeleteTextures(1, &shadowMap);
}

// The engine draws with the variant built for the lights that are on, whose loops have constant
// counts and the indices of those lights; it must shade exactly as the plain program with the same
// lights. A sun and a point light are on, each after one of its kind that is off, and a spot light is
// off, on a row of surfaces that face towards and away
// from each; both shadow maps read depth 1 (nothing shadowed). Compared bit for bit.
TEST(PbrShader, TheVariantForTheLightsThatAreOnShadesAsThePlainProgram) {
    constexpr int kCount = 8;
    std::vector<glm::vec4> albedo, arm, normals;
    for (int i = 0; i < kCount; ++i) {
        const float t = static_cast<float>(i) / (kCount - 1);
        albedo.emplace_back(0.9f - 0.5f * t, 0.4f + 0.3f * t, 0.2f + 0.6f * t, 1.0f);
        arm.emplace_back(1.0f, 0.1f + 0.8f * t, t > 0.5f ? 1.0f : 0.0f, 1.0f);
        normals.push_back(normalTexel(glm::normalize(glm::vec3(std::cos(6.0f * t), std::sin(6.0f * t), 0.4f))));
    }
    std::shared_ptr<Surface> surface;
    {
        gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
        surface = createPbrSurface(floatTexture(albedo, kCount, 1), floatTexture(normals, kCount, 1),
                                   floatTexture(arm, kCount, 1), nullptr);
    }
    surface->environment = std::make_shared<Texture>(0, uniformCube(0.2f), uniformCube(0.3f), brdfTable(0.5f, 0.125f));

    const float farDepth = 1.0f;
    GLuint flatMap = 0;
    glGenTextures(1, &flatMap);
    glBindTexture(GL_TEXTURE_2D, flatMap);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32F, 1, 1, 0, GL_DEPTH_COMPONENT, GL_FLOAT, &farDepth);
    GLuint cubeMap = 0;
    glGenTextures(1, &cubeMap);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cubeMap);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT32F, 1, 1, 0, GL_DEPTH_COMPONENT,
                     GL_FLOAT, &farDepth);
    auto sun = std::make_shared<DirectionalLight>();
    sun->color = glm::vec3(1.0f, 0.9f, 0.7f);
    sun->intensity = 3.0f;
    sun->direction = glm::vec3(0.3f, -0.2f, -1.0f);
    sun->depthTexture = flatMap;
    auto offSun = std::make_shared<DirectionalLight>(*sun);
    offSun->enabled = 0;
    offSun->direction = glm::vec3(-0.6f, 0.1f, -1.0f);  // read in its place, it would light otherwise
    auto lamp = std::make_shared<PointLight>();
    lamp->color = glm::vec3(0.8f, 0.6f, 1.0f);
    lamp->position = glm::vec3(-0.5f, 0.4f, 0.6f);
    lamp->depthTexture = cubeMap;
    auto spot = std::make_shared<SpotLight>();
    spot->depthTexture = flatMap;
    spot->enabled = 0;
    auto offLamp = std::make_shared<PointLight>(*lamp);
    offLamp->enabled = 0;
    offLamp->position = glm::vec3(0.7f, -0.2f, 0.3f);
    // The lights that are on come second in their lists: the variant names them by index.
    const std::vector<std::shared_ptr<PointLight>> points{offLamp, lamp};
    const std::vector<std::shared_ptr<DirectionalLight>> suns{offSun, sun};
    const std::vector<std::shared_ptr<SpotLight>> spots{spot};
    const std::vector<GLuint> buffers = createLightBuffers(points, suns, spots);

    const std::shared_ptr<Geometry> quad = facingQuad();
    const testsupport::GlobalStateGuard restore;  // the debug camera below sets the zoom
    const FloatTarget target(kCount, 1);
    const GlName sampler = createShadowComparisonSampler();
    Shader& shader = *surface->shader;
    const auto draw = [&](bool plain) {
        glClear(GL_COLOR_BUFFER_BIT);
        if (plain)
            shader.selectVariant("");
        else
            selectLightVariant(shader, points, suns, spots);
        setFrameUniforms(shader, std::make_shared<DebugCamera>(true, false), buffers, points, suns, spots,
                         sampler.get());
        surface->setUniforms(glm::mat4(1.0f));
        shader.setMat4("viewProjectionMat", glm::mat4(1.0f));
        shader.setVec3("cameraWorld", glm::vec3(0.4f, -0.3f, 2.5f));
        shader.setFloat("brightness", 0.0f);
        shader.setMat4("light_space_matrices[1]", glm::mat4(0.5f));
        shader.setMat4("light_space_matrices_spot[0]", glm::mat4(0.5f));
        shader.setFloat("nearPlane", 0.1f);
        quad->draw();
        return std::make_pair(target.read(0), target.read(1));
    };
    const auto plain = draw(true);
    const std::string plainDefinitions = shader.variantDefinitions();
    const auto variant = draw(false);
    EXPECT_EQ(plainDefinitions, "");
    EXPECT_EQ(shader.variantDefinitions(),
              "#define ON_POINT_LIGHTS 1\n#define ON_POINT_LIGHT_LIST int[](1)\n#define ON_DIRECTIONAL_LIGHTS 1\n"
              "#define ON_DIRECTIONAL_LIGHT_LIST int[](1)\n#define ON_SPOT_LIGHTS 0\n");
    for (int i = 0; i < kCount; ++i) {
        SCOPED_TRACE("pixel " + std::to_string(i));
        EXPECT_GT(plain.first[i].r + plain.first[i].g + plain.first[i].b, 0.0f);
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_EQ(variant.first[i][channel], plain.first[i][channel]) << "channel " << channel;
            EXPECT_EQ(variant.second[i][channel], plain.second[i][channel]) << "bright, channel " << channel;
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    shader.selectVariant("");
    glDeleteBuffers(3, buffers.data());
    glDeleteTextures(1, &flatMap);
    glDeleteTextures(1, &cubeMap);
}

#include "app/GlobalState.h"
#include "render/ImageBasedLighting.h"
#include "render/Skybox.h"
#include "scene/DebugCamera.h"
#include "textures/TextureLoader.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"
#include "tests/support/TwoOutputTarget.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <unistd.h>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr float kPi = 3.14159265f;

using gltest::ScratchDir;

// Writes an equirectangular HDR panorama; `radiance` gets (u, v) of the pixel centre, v = 1 at the
// top row (the zenith).
void writePanorama(const fs::path& path, int width, int height, const std::function<glm::vec3(float, float)>& radiance) {
    std::vector<float> pixels;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column) {
            const glm::vec3 c = radiance((column + 0.5f) / width, 1.0f - (row + 0.5f) / height);
            pixels.insert(pixels.end(), {c.r, c.g, c.b});
        }
    ASSERT_TRUE(stbi_write_hdr(path.string().c_str(), width, height, 3, pixels.data()));
}

std::vector<glm::vec3> readFace(GLuint cube, int face, int level) {
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    GLint size = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, level, GL_TEXTURE_WIDTH, &size);
    std::vector<glm::vec3> texels(static_cast<std::size_t>(size) * size);
    glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, level, GL_RGB, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    return texels;
}

glm::vec3 faceCentre(GLuint cube, int face, int level = 0) {
    const std::vector<glm::vec3> texels = readFace(cube, face, level);
    const int size = static_cast<int>(std::lround(std::sqrt(texels.size())));
    return texels[static_cast<std::size_t>(size / 2) * size + size / 2];
}

// The direction GL samples at texel (x, y) of a face, from OpenGL's cube-map face selection table
// (sc, tc and the major axis of each face).
glm::vec3 texelDirection(int face, int x, int y, int size) {
    const float s = 2.0f * (x + 0.5f) / size - 1.0f;
    const float t = 2.0f * (y + 0.5f) / size - 1.0f;
    const glm::vec3 directions[6] = {{1, -t, -s}, {-1, -t, s}, {s, 1, t}, {s, -1, -t}, {s, -t, 1}, {-s, -t, -1}};
    return glm::normalize(directions[face]);
}

std::string text(const glm::vec3& v) {
    std::ostringstream out;
    out << "(" << v.x << ", " << v.y << ", " << v.z << ")";
    return out.str();
}

// Counts texels of every face of `cube` at `level` that differ from `expected` by more than
// `tolerance` relative to it; reports the first one.
int countOff(GLuint cube, int level, const glm::vec3& expected, float tolerance) {
    int off = 0;
    for (int face = 0; face < 6; ++face)
        for (const glm::vec3& texel : readFace(cube, face, level))
            if (glm::any(glm::greaterThan(glm::abs(texel - expected), expected * tolerance))) {
                if (off++ == 0) ADD_FAILURE() << "face " << face << " level " << level << ": " << text(texel);
            }
    return off;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

TEST(ImageBasedLighting, OurShaderFilesCompileWithoutWarnings) {
    const std::pair<const char*, GLenum> files[] = {
        {"equi_to_cubemap.vert", GL_VERTEX_SHADER}, {"equi_to_cubemap.frag", GL_FRAGMENT_SHADER},
        {"irradianceMap.vert", GL_VERTEX_SHADER},   {"irradianceMap.frag", GL_FRAGMENT_SHADER},
        {"preFilterer.vert", GL_VERTEX_SHADER},     {"preFilterer.frag", GL_FRAGMENT_SHADER},
        {"brdf.vert", GL_VERTEX_SHADER},            {"brdf.frag", GL_FRAGMENT_SHADER},
        {"skybox.vert", GL_VERTEX_SHADER},          {"skybox.frag", GL_FRAGMENT_SHADER},
    };
    for (const auto& [file, stage] : files) {
        SCOPED_TRACE(file);
        std::ifstream in(fs::path(VERDANCE_SOURCE_DIR) / "assets/shader" / file);
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(source.empty());
        const GLuint shader = glCreateShader(stage);
        const char* text = source.c_str();
        glShaderSource(shader, 1, &text, nullptr);
        glCompileShader(shader);
        GLint compiled = 0, logLength = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
        std::string log(static_cast<std::size_t>(std::max(logLength, 1)), '\0');
        glGetShaderInfoLog(shader, logLength, nullptr, log.data());
        EXPECT_TRUE(compiled);
        EXPECT_LE(logLength, 1) << log;
        glDeleteShader(shader);
    }
}

// A sky of one radiance everywhere: every map of the set holds that radiance (the irradiance map
// stores E / pi, the cosine-weighted mean), and the BRDF table is (1, 0) for a mirror seen head-on.
TEST(ImageBasedLighting, ConstantSkyGivesTheSameRadianceInEveryMap) {
    const ScratchDir scratch("ibl-constant");
    const fs::path& dir = scratch.path;
    gltest::ScopedWorkingDirectory cwd(dir.string());
    // Powers of two survive the HDR file's shared exponent and half floats exactly.
    const glm::vec3 sky(2.0f, 0.5f, 0.25f);
    writePanorama(dir / "assets/textures/constant.hdr", 64, 32, [&](float, float) { return sky; });

    const auto start = std::chrono::steady_clock::now();
    const std::shared_ptr<Texture> set = loadEnvironment("constant.hdr");
    glFinish();
    std::cout << "[ measure  ] image-based-lighting set-up: " << millisecondsSince(start) << " ms" << std::endl;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(loadEnvironment("constant.hdr").get(), set.get());

    EXPECT_EQ(countOff(set->getId(), 0, sky, 0.01f), 0) << "environment";
    EXPECT_EQ(countOff(set->getIrradianceMap(), 0, sky, 0.02f), 0) << "irradiance";
    for (int level = 0; level < kPrefilteredLevels; ++level) {
        SCOPED_TRACE("prefiltered level " + std::to_string(level));
        EXPECT_EQ(countOff(set->getPrefilteredMap(), level, sky, 0.02f), 0);
        GLint size = 0;
        glBindTexture(GL_TEXTURE_CUBE_MAP, set->getPrefilteredMap());
        glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X, level, GL_TEXTURE_WIDTH, &size);
        EXPECT_EQ(size, kPrefilteredFaceSize >> level);
    }

    // BRDF table: x is N.V, y the roughness. A and B are energies of a white reflector: never
    // negative, never more than 1 together.
    std::vector<glm::vec2> table(static_cast<std::size_t>(kBrdfLutSize) * kBrdfLutSize);
    glBindTexture(GL_TEXTURE_2D, set->getBrdfLut());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RG, GL_FLOAT, table.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    const glm::vec2 mirrorHeadOn = table[kBrdfLutSize - 1];  // row 0, last column
    EXPECT_NEAR(mirrorHeadOn.x, 1.0f, 0.02f);
    EXPECT_NEAR(mirrorHeadOn.y, 0.0f, 0.02f);
    int unphysical = 0;
    for (const glm::vec2& ab : table)
        if (ab.x < -1e-3f || ab.y < -1e-3f || ab.x + ab.y > 1.01f) ++unphysical;
    EXPECT_EQ(unphysical, 0);
}

// The split-sum terms (A, B) of a white-lit GGX surface seen at N.V with perceptual roughness r,
// integrated here independently of the shader: a midpoint rule over the half vectors, in the variable
// s = sqrt(1 - u) of the GGX distribution's CDF u (Walter et al. 2007), so that the grazing half
// vectors, where the integrand of an N.V near 0 peaks like 1 / s, are resolved; the azimuth over a
// half turn (the integrand is mirror-symmetric). Terms: height-correlated Smith visibility
// V = 0.5 / (N.L sqrt(N.V^2 (1 - a2) + a2) + N.V sqrt(N.L^2 (1 - a2) + a2)) (Heitz 2014) and
// Schlick's Fresnel weight Fc = (1 - V.H)^5; A takes 1 - Fc, B takes Fc. Against a quasi-Monte Carlo
// sum of 2^18 visible-normal samples this grid agreed within 0.001 at every N.V and roughness tried.
glm::dvec2 integrateSplitSum(double nv, double roughness) {
    constexpr int kSteps = 256;
    constexpr int kAzimuths = 128;
    const double a2 = std::pow(roughness, 4.0);
    const glm::dvec3 v(std::sqrt(1.0 - nv * nv), 0.0, nv);
    glm::dvec2 sum(0.0);
    for (int k = 0; k < kSteps; ++k) {
        const double s = (k + 0.5) / kSteps;
        const double cosTheta = s / std::sqrt(s * s + a2 * (1.0 - s * s));  // u = 1 - s^2 in the CDF's inverse
        const double sinTheta = std::sqrt(1.0 - cosTheta * cosTheta);
        for (int p = 0; p < kAzimuths; ++p) {
            const double phi = 3.14159265358979 * (p + 0.5) / kAzimuths;
            const glm::dvec3 h(sinTheta * std::cos(phi), sinTheta * std::sin(phi), cosTheta);
            const double vh = glm::dot(v, h);
            const double nl = 2.0 * vh * h.z - nv;
            if (nl <= 0.0 || vh <= 0.0) continue;
            const double vis = 0.5 / (nl * std::sqrt(nv * nv * (1.0 - a2) + a2) + nv * std::sqrt(nl * nl * (1.0 - a2) + a2));
            // BRDF x N.L over the pdf D N.H / (4 V.H), times du/ds = 2 s.
            const double weight = 4.0 * vis * nl * vh / h.z * 2.0 * s;
            const double fc = std::pow(1.0 - vh, 5.0);
            sum += glm::dvec2(1.0 - fc, fc) * weight;
        }
    }
    return sum / double(kSteps * kAzimuths);
}

// The table the shading reads, texel by texel, against that integration: 16 x 16 texels from the
// horizon (N.V = 0.001) to head-on and from a mirror to roughness 1.
TEST(ImageBasedLighting, BrdfTableMatchesTheSplitSumIntegratedOnTheCpu) {
    gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
    const auto start = std::chrono::steady_clock::now();
    const GLuint lut = createBrdfLut();
    glFinish();
    std::cout << "[ measure  ] BRDF table: " << millisecondsSince(start) << " ms" << std::endl;
    std::vector<glm::vec2> table(static_cast<std::size_t>(kBrdfLutSize) * kBrdfLutSize);
    glBindTexture(GL_TEXTURE_2D, lut);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RG, GL_FLOAT, table.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &lut);

    // Denser near the horizon, where the integral changes fastest.
    const int texels[] = {0, 2, 5, 10, 20, 35, 55, 80, 110, 150, 200, 260, 320, 390, 460, 511};
    double worst = 0.0;
    double total = 0.0;
    int off = 0;
    for (const int row : texels)
        for (const int column : texels) {
            const double nv = (column + 0.5) / kBrdfLutSize;
            const double roughness = (row + 0.5) / kBrdfLutSize;
            const glm::dvec2 expected = integrateSplitSum(nv, roughness);
            const glm::vec2 got = table[static_cast<std::size_t>(row) * kBrdfLutSize + column];
            const double error = std::max(std::abs(got.x - expected.x), std::abs(got.y - expected.y));
            worst = std::max(worst, error);
            total += error;
            if (error > 0.01 && off++ == 0)
                ADD_FAILURE() << "N.V " << nv << ", roughness " << roughness << ": (" << got.x << ", " << got.y
                              << "), expected (" << expected.x << ", " << expected.y << ")";
        }
    std::cout << "[ measure  ] BRDF table against the CPU integration: worst " << worst << ", mean "
              << total / (std::size(texels) * std::size(texels)) << std::endl;
    EXPECT_EQ(off, 0);
}

// Upper half bright in red, and green only for azimuths between +x and +z (u in [0.5, 0.75)):
// each environment texel shows what its own direction sees, so +Y is red and -Y is dark, and the
// lighting maps follow.
TEST(ImageBasedLighting, PanoramaLandsOnTheFacesGlSamples) {
    const ScratchDir scratch("ibl-orientation");
    const fs::path& dir = scratch.path;
    gltest::ScopedWorkingDirectory cwd(dir.string());
    writePanorama(dir / "assets/textures/orientation.hdr", 128, 64, [](float u, float v) {
        return glm::vec3(v > 0.5f ? 4.0f : 0.0f, u >= 0.5f && u < 0.75f ? 4.0f : 0.0f, 1.0f);
    });
    const std::shared_ptr<Texture> set = loadEnvironment("orientation.hdr");

    // Away from the edges of the bright regions by more than two panorama texels (2.8 degrees each).
    constexpr float kMarginDegrees = 6.0f;
    int wrong = 0;
    for (int face = 0; face < 6; ++face) {
        const std::vector<glm::vec3> texels = readFace(set->getId(), face, 0);
        const int size = static_cast<int>(std::lround(std::sqrt(texels.size())));
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const glm::vec3 d = texelDirection(face, x, y, size);
                const glm::vec3 c = texels[static_cast<std::size_t>(y) * size + x];
                const float elevation = std::asin(d.y) * 180.0f / kPi;
                const float azimuth = std::atan2(d.z, d.x) * 180.0f / kPi;
                bool ok = true;
                if (std::abs(elevation) > kMarginDegrees) ok &= std::abs(c.r - (elevation > 0 ? 4.0f : 0.0f)) < 0.05f;
                const bool nearGreenEdge = std::abs(azimuth) < kMarginDegrees || std::abs(azimuth - 90.0f) < kMarginDegrees;
                if (!nearGreenEdge && std::abs(elevation) < 60.0f)
                    ok &= std::abs(c.g - (azimuth > 0 && azimuth < 90 ? 4.0f : 0.0f)) < 0.05f;
                if (!ok && wrong++ == 0)
                    ADD_FAILURE() << "face " << face << " texel (" << x << ", " << y << ") looks along " << text(d)
                                  << " and holds " << text(c);
            }
    }
    EXPECT_EQ(wrong, 0);

    enum Face { PositiveX = 0, PositiveY = 2, NegativeY = 3 };
    // Irradiance (E / pi): the whole upper hemisphere for +Y, none of it for -Y, half for a
    // normal on the horizon.
    EXPECT_NEAR(faceCentre(set->getIrradianceMap(), PositiveY).r, 4.0f, 0.4f);
    EXPECT_NEAR(faceCentre(set->getIrradianceMap(), NegativeY).r, 0.0f, 0.4f);
    EXPECT_NEAR(faceCentre(set->getIrradianceMap(), PositiveX).r, 2.0f, 0.2f);
    // The mirror level sees the zenith and the nadir.
    EXPECT_NEAR(faceCentre(set->getPrefilteredMap(), PositiveY).r, 4.0f, 0.05f);
    EXPECT_NEAR(faceCentre(set->getPrefilteredMap(), NegativeY).r, 0.0f, 0.05f);
}

// Output `attachment` of `target` as one vector a pixel.
std::vector<glm::vec4> readAttachment(const gltest::TwoOutputTarget& target, int attachment) {
    const std::vector<float> floats = target.read(attachment);
    std::vector<glm::vec4> pixels;
    for (std::size_t i = 0; i + 3 < floats.size(); i += 4)
        pixels.emplace_back(floats[i], floats[i + 1], floats[i + 2], floats[i + 3]);
    return pixels;
}

// For people: exposure 1 and gamma 2.2, the composite's path.
std::vector<std::uint8_t> toneMapped(const std::vector<glm::vec4>& hdr) {
    std::vector<std::uint8_t> rgba;
    for (const glm::vec4& p : hdr) {
        const glm::vec3 mapped = glm::pow(glm::vec3(1.0f) - glm::exp(-glm::vec3(p)), glm::vec3(1.0f / 2.2f));
        for (int i = 0; i < 3; ++i) rgba.push_back(static_cast<std::uint8_t>(std::clamp(mapped[i], 0.0f, 1.0f) * 255.0f + 0.5f));
        rgba.push_back(255);
    }
    return rgba;
}

// Dusk-like test sky: blue above, brown below, a small hot sun 10 degrees up towards -z.
glm::vec3 testSky(float u, float v) {
    const float azimuth = (u - 0.5f) * 2.0f * kPi;
    const float elevation = (v - 0.5f) * kPi;
    const glm::vec3 d(std::cos(elevation) * std::cos(azimuth), std::sin(elevation), std::cos(elevation) * std::sin(azimuth));
    const glm::vec3 sunDirection = glm::normalize(glm::vec3(0.0f, std::sin(0.1745f), -std::cos(0.1745f)));
    if (glm::dot(d, sunDirection) > std::cos(0.06f)) return {40.0f, 30.0f, 20.0f};
    if (elevation > 0.0f) return glm::mix(glm::vec3(0.9f, 0.6f, 0.5f), glm::vec3(0.1f, 0.2f, 0.6f), std::sqrt(v * 2.0f - 1.0f));
    return {0.25f, 0.15f, 0.08f};
}

// The sky drawn from a perspective camera looking 10 degrees up along -z: sky above, ground below,
// only the sun in the bright output; depth writes come back on and culling is left as it was found.
// The picture is saved.
TEST(Skybox, DrawsTheSkyAroundTheCameraIntoBothOutputs) {
    const ScratchDir scratch("skybox");
    const fs::path& dir = scratch.path;
    gltest::ScopedWorkingDirectory cwd(dir.string());
    writePanorama(dir / "assets/textures/skybox2.hdr", 512, 256, testSky);

    constexpr int kSize = 256;
    const testsupport::GlobalStateGuard restore;
    GlobalState& state = GlobalState::instance();
    state.width = kSize;
    state.height = kSize;
    state.fov = 60.0f;
    state.nearPlane = 0.1f;
    state.farPlane = 300.0f;
    state.mouseSensitivity = 1.0f;
    state.mouseX = 0.0;
    state.mouseY = 0.0;

    // Culling off, as after the viewer's F2: the set-up's capture passes must leave it off.
    glDisable(GL_CULL_FACE);
    const auto start = std::chrono::steady_clock::now();
    Skybox skybox;
    glFinish();
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    glEnable(GL_CULL_FACE);
    std::cout << "[ measure  ] skybox set-up (2048 cube map): " << millisecondsSince(start) << " ms" << std::endl;

    auto camera = std::make_shared<DebugCamera>(true, false);
    state.zoom = 1.0f;
    state.mouseY = -150.0;  // 150 px up: pitch 70 -> 100 degrees from +y, the eye looks 10 degrees up
    camera->update(glm::vec3(0.0f));

    // Two half-float colour outputs and depth, like the scene target the skybox is drawn into.
    const gltest::TwoOutputTarget target(kSize, kSize, true, "skybox test");
    target.bind();
    glEnable(GL_DEPTH_TEST);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    skybox.draw(camera);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    glDisable(GL_CULL_FACE);
    skybox.draw(camera);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE)) << "the sky turned the viewer's culling back on";
    glEnable(GL_CULL_FACE);

    const std::vector<glm::vec4> colour = readAttachment(target, 0);
    const std::vector<glm::vec4> bright = readAttachment(target, 1);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    std::cout << "[ picture  ] " << gltest::savePng("skybox.png", kSize, kSize, toneMapped(colour)) << std::endl;
    gltest::savePng("skybox_bright.png", kSize, kSize, toneMapped(bright));

    auto at = [&](const std::vector<glm::vec4>& image, int x, int y) { return glm::vec3(image[static_cast<std::size_t>(y) * kSize + x]); };
    const glm::vec3 top = at(colour, kSize / 2, kSize - 4);
    const glm::vec3 bottom = at(colour, kSize / 2, 4);
    const glm::vec3 centre = at(colour, kSize / 2, kSize / 2);
    EXPECT_GT(top.b, top.r) << "sky expected at the top, got " << text(top);
    EXPECT_NEAR(bottom.r, 0.25f, 0.01f) << "ground expected at the bottom, got " << text(bottom);
    EXPECT_GT(centre.r, 10.0f) << "sun expected in the centre, got " << text(centre);

    // The bright output holds exactly the pixels whose luminance exceeds 1, at full value.
    int mismatched = 0;
    for (std::size_t i = 0; i < colour.size(); ++i) {
        const glm::vec3 c(colour[i]);
        const float luminance = glm::dot(c, glm::vec3(0.2126f, 0.7152f, 0.0722f));
        const glm::vec3 expected = luminance > 1.0f ? c : glm::vec3(0.0f);
        if (glm::any(glm::greaterThan(glm::abs(glm::vec3(bright[i]) - expected), glm::vec3(1e-3f) + expected * 1e-3f))) ++mismatched;
    }
    EXPECT_EQ(mismatched, 0);
    EXPECT_GT(at(bright, kSize / 2, kSize / 2).r, 10.0f);
}

// ---------------------------------------------------------------------------------------------
// Accuracy of the irradiance and prefiltered maps under a sky with a sun, against sums over the
// panorama's texels computed here.

// A sky that defeats a blurry or noisy estimator: a dim gradient, a 3-degree sun of radiance about
// 50 and a green patch that crosses the edge between the +x and +z faces (azimuth 45 degrees).
constexpr int kAccuracyWidth = 256;
constexpr int kAccuracyHeight = 128;

glm::vec3 panoramaDirection(float u, float v) {
    const float azimuth = (u - 0.5f) * 2.0f * kPi;
    const float elevation = (v - 0.5f) * kPi;
    return {std::cos(elevation) * std::cos(azimuth), std::sin(elevation), std::cos(elevation) * std::sin(azimuth)};
}

glm::vec3 accuracySky(float u, float v) {
    const glm::vec3 d = panoramaDirection(u, v);
    const glm::vec3 sun = glm::normalize(glm::vec3(-0.35f, 0.45f, -0.8f));
    if (glm::dot(d, sun) > std::cos(1.5f * kPi / 180.0f)) return {52.0f, 48.0f, 40.0f};
    const float azimuth = (u - 0.5f) * 360.0f;
    const float elevation = (v - 0.5f) * 180.0f;
    if (azimuth > 30.0f && azimuth < 60.0f && elevation > -12.0f && elevation < 20.0f) return {0.3f, 1.6f, 0.5f};
    return elevation > 0.0f ? glm::mix(glm::vec3(0.45f, 0.4f, 0.35f), glm::vec3(0.08f, 0.12f, 0.3f), v * 2.0f - 1.0f)
                            : glm::vec3(0.12f, 0.09f, 0.06f) * (0.5f + v);
}

// The panorama as the passes read it: half floats, clamped at the edges, linear.
GLuint createAccuracyPanorama(std::vector<glm::vec3>& halfValues) {
    std::vector<glm::vec3> pixels;
    for (int row = 0; row < kAccuracyHeight; ++row)
        for (int column = 0; column < kAccuracyWidth; ++column)
            pixels.push_back(accuracySky((column + 0.5f) / kAccuracyWidth, (row + 0.5f) / kAccuracyHeight));
    GLuint panorama = 0;
    glGenTextures(1, &panorama);
    glBindTexture(GL_TEXTURE_2D, panorama);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16F, kAccuracyWidth, kAccuracyHeight, 0, GL_RGB, GL_FLOAT, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    halfValues.resize(pixels.size());
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, halfValues.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return panorama;
}

// The panorama's texels as radiance times exact solid angle, with their centre directions, laid out
// for a vectorised sum (4 lanes, SSE; the padding has zero weight).
struct SkySamples {
    std::vector<float> x, y, z, r, g, b, solidAngle;
};

SkySamples skySamples(const std::vector<glm::vec3>& radiance) {
    SkySamples sky;
    for (int row = 0; row < kAccuracyHeight; ++row) {
        // The row's band of elevation times its share of the azimuth.
        const double low = (double(row) / kAccuracyHeight - 0.5) * 3.14159265358979;
        const double high = (double(row + 1) / kAccuracyHeight - 0.5) * 3.14159265358979;
        const float solidAngle = static_cast<float>((std::sin(high) - std::sin(low)) * 2.0 * 3.14159265358979 / kAccuracyWidth);
        for (int column = 0; column < kAccuracyWidth; ++column) {
            const glm::vec3 d = panoramaDirection((column + 0.5f) / kAccuracyWidth, (row + 0.5f) / kAccuracyHeight);
            const glm::vec3 c = radiance[static_cast<std::size_t>(row) * kAccuracyWidth + column] * solidAngle;
            sky.x.push_back(d.x), sky.y.push_back(d.y), sky.z.push_back(d.z);
            sky.r.push_back(c.r), sky.g.push_back(c.g), sky.b.push_back(c.b);
            sky.solidAngle.push_back(solidAngle);
        }
    }
    while (sky.x.size() % 4 != 0)
        for (std::vector<float>* lane : {&sky.x, &sky.y, &sky.z, &sky.r, &sky.g, &sky.b, &sky.solidAngle})
            lane->push_back(0.0f);
    return sky;
}

typedef float Lanes __attribute__((vector_size(16)));

Lanes lanes(const std::vector<float>& values, std::size_t at) {
    Lanes v;
    std::memcpy(&v, values.data() + at, sizeof(v));
    return v;
}

float laneSum(Lanes v) {
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) sum += v[i];
    return static_cast<float>(sum);
}

// The exact value for normal n: the irradiance E(n) / pi when roughness is 0, else the GGX
// prefiltered radiance with N = V = R: the sum of L(l) (n.l) D(h) over the sky divided by the sum of
// (n.l) D(h), h the half vector of n and l, so (n.h)^2 = (1 + n.l) / 2 and D(h) is proportional to
// 1 / ((n.h)^2 (a2 - 1) + 1)^2 with a2 = roughness^4.
glm::vec3 referenceRadiance(const SkySamples& sky, const glm::vec3& n, float roughness) {
    const float a2 = std::pow(roughness, 4.0f);
    const float k1 = roughness > 0.0f ? 0.5f * (a2 - 1.0f) : 0.0f;
    const float k0 = roughness > 0.0f ? 0.5f * (a2 - 1.0f) + 1.0f : 1.0f;
    Lanes r{}, g{}, b{}, w{};
    const Lanes zero{};
    for (std::size_t i = 0; i < sky.x.size(); i += 4) {
        Lanes c = n.x * lanes(sky.x, i) + n.y * lanes(sky.y, i) + n.z * lanes(sky.z, i);
        c = c > zero ? c : zero;
        const Lanes t = c * k1 + k0;
        const Lanes weight = c / (t * t);
        r += weight * lanes(sky.r, i);
        g += weight * lanes(sky.g, i);
        b += weight * lanes(sky.b, i);
        w += weight * lanes(sky.solidAngle, i);
    }
    const glm::vec3 sum(laneSum(r), laneSum(g), laneSum(b));
    return roughness > 0.0f ? sum / laneSum(w) : sum / kPi;
}

struct MapError {
    double mean = 0.0;
    double worst = 0.0;
    std::string where;
};

// Per texel centre the largest relative error of r, g and b; its mean and maximum over the level.
MapError measureLevel(const SkySamples& sky, GLuint cube, int level, float roughness, const glm::vec3& sun) {
    std::vector<std::vector<glm::vec3>> faces;
    for (int face = 0; face < 6; ++face) faces.push_back(readFace(cube, face, level));
    const int size = static_cast<int>(std::lround(std::sqrt(faces[0].size())));
    std::vector<double> errors(6 * static_cast<std::size_t>(size) * size);
    auto work = [&](int first, int step) {
        for (std::size_t i = first; i < errors.size(); i += step) {
            const int face = static_cast<int>(i / (size * size));
            const int texel = static_cast<int>(i % (size * size));
            const glm::vec3 expected = referenceRadiance(sky, texelDirection(face, texel % size, texel / size, size), roughness);
            const glm::vec3 error = glm::abs(faces[face][texel] - expected) / expected;
            errors[i] = std::max({error.r, error.g, error.b});
        }
    };
    std::thread helper(work, 1, 2);
    work(0, 2);
    helper.join();

    MapError result;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        result.mean += errors[i] / errors.size();
        if (errors[i] <= result.worst) continue;
        result.worst = errors[i];
        const int face = static_cast<int>(i / (size * size));
        const int texel = static_cast<int>(i % (size * size));
        const glm::vec3 d = texelDirection(face, texel % size, texel / size, size);
        std::ostringstream where;
        where << "face " << face << " texel (" << texel % size << ", " << texel / size << "), "
              << std::lround(std::acos(std::clamp(glm::dot(d, sun), -1.0f, 1.0f)) * 180.0f / kPi) << " deg from the sun";
        result.where = where.str();
    }
    return result;
}

// The maps at every texel centre against the exact sums over the panorama: within 1 % on average
// and 4 % at worst per level. Too few samples shows as noise (bright dots near the sun), too blurry
// a source lookup as light moved away from the sun; both break the worst case.
TEST(ImageBasedLighting, MapsFollowASkyWithASunWithinOnePercent) {
    gltest::ScopedWorkingDirectory cwd(VERDANCE_SOURCE_DIR);
    std::vector<glm::vec3> radiance;
    const GLuint panorama = createAccuracyPanorama(radiance);
    const GLuint environment = equirectToCubemap(panorama, kEnvironmentFaceSize);
    glFinish();
    // CPU time of the whole process: the driver's rasteriser threads are where a software GL works.
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    const GLuint irradiance = createIrradianceMap(environment);
    const GLuint prefiltered = createPrefilteredMap(environment);
    glFinish();
    std::cout << "[ measure  ] irradiance and prefilter passes: " << millisecondsSince(start) << " ms, "
              << (std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC << " CPU-ms" << std::endl;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const SkySamples sky = skySamples(radiance);
    const glm::vec3 sun = glm::normalize(glm::vec3(-0.35f, 0.45f, -0.8f));
    struct Map {
        const char* name;
        GLuint cube;
        int level;
        float roughness;
    };
    const Map maps[] = {
        {"irradiance", irradiance, 0, 0.0f},          {"prefiltered level 1", prefiltered, 1, 0.25f},
        {"prefiltered level 2", prefiltered, 2, 0.5f}, {"prefiltered level 3", prefiltered, 3, 0.75f},
        {"prefiltered level 4", prefiltered, 4, 1.0f},
    };
    for (const Map& map : maps) {
        SCOPED_TRACE(map.name);
        const MapError error = measureLevel(sky, map.cube, map.level, map.roughness, sun);
        std::cout << "[ measure  ] " << map.name << ": mean " << error.mean * 100.0 << " %, max " << error.worst * 100.0
                  << " % at " << error.where << std::endl;
        EXPECT_LT(error.mean, 0.01);
        EXPECT_LT(error.worst, 0.04) << "at " << error.where;
    }
    const GLuint textures[] = {panorama, environment, irradiance, prefiltered};
    glDeleteTextures(4, textures);
}

}  // namespace

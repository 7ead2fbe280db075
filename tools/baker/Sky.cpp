// The dusk sky: a physically loose but high-dynamic-range model (deep blue zenith, orange horizon
// brightest under the sun, a sun disc with a wide Mie-like glow, soft stratus from fbm noise lit
// from behind, a dark ground below the horizon), written as Radiance RGBE with stb_image_write.
#include "tools/baker/Sky.h"

#include "tools/baker/Bake.h"
#include "tools/baker/BakeFiles.h"
#include "tools/baker/BakeMath.h"

#include <stb_image_write.h>
#include <stb_perlin.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kFullWidth = 2048;
constexpr int kReducedWidth = 256;
constexpr float kSunRadius = 0.0105f;   // 0.6 degrees: larger than the real sun so a 512 cube face still sees it

glm::vec3 skyGradient(float elevation, float sunSide) {
    const float t = std::clamp(elevation / (0.5f * kPi), 0.0f, 1.0f);   // 0 horizon, 1 zenith
    const glm::vec3 zenith(0.010f, 0.020f, 0.080f);
    const glm::vec3 upper(0.040f, 0.050f, 0.170f);
    const glm::vec3 band = glm::mix(glm::vec3(0.17f, 0.09f, 0.24f), glm::vec3(0.62f, 0.24f, 0.17f), sunSide * sunSide);
    const glm::vec3 horizon = glm::mix(glm::vec3(0.38f, 0.18f, 0.30f), glm::vec3(1.8f, 0.60f, 0.16f), sunSide * sunSide);
    glm::vec3 colour = zenith;
    colour = glm::mix(colour, upper, smooth(0.65f, 0.15f, t));
    colour = glm::mix(colour, band, smooth(0.28f, 0.04f, t));
    colour = glm::mix(colour, horizon, smooth(0.09f, 0.0f, t));
    // The afterglow: a broad warm band that climbs higher on the sun's side of the sky.
    const float sunSide4 = sunSide * sunSide * sunSide * sunSide;
    colour += glm::vec3(0.9f, 0.32f, 0.08f) * (std::exp(-t / 0.1f) * sunSide4);
    return colour;
}

// Soft clouds: fbm noise on a plane above the viewer, stretched into bands, faded out near the
// horizon (where the plane's projection would alias) and thin overhead.
glm::vec3 addClouds(const glm::vec3& dir, const glm::vec3& sky, float sunAngle) {
    if (dir.y <= 0.01f) return sky;
    const float distance = 1.0f / (dir.y + 0.08f);
    const float px = dir.x * distance * 0.55f, pz = dir.z * distance * 1.6f;
    const float shape = stb_perlin_fbm_noise3(px + 13.7f, pz - 4.1f, 0.37f, 2.0f, 0.5f, 6);
    const float detail = stb_perlin_fbm_noise3(px * 3.1f + 2.0f, pz * 3.1f, 5.3f, 2.0f, 0.5f, 4);
    const float density = smooth(0.08f, 0.5f, shape + 0.12f * detail) * smooth(0.02f, 0.16f, dir.y) *
                          (1.0f - 0.85f * smooth(0.45f, 0.9f, dir.y));
    if (density <= 0.0f) return sky;
    // Back-lit dusk clouds: thin edges glow orange near the sun and pink away from it, thick cores
    // stay slate violet, and far from the sun they are dark silhouettes.
    const float nearSun = 0.12f + 4.5f * std::exp(-sunAngle / 0.25f) + 0.5f * std::exp(-sunAngle / 0.8f);
    const glm::vec3 tint = glm::mix(glm::vec3(0.95f, 0.45f, 0.62f), glm::vec3(1.6f, 0.68f, 0.28f), std::exp(-sunAngle / 0.8f));
    const glm::vec3 lit = tint * nearSun;
    const glm::vec3 core(0.075f, 0.055f, 0.10f);
    const float thickness = smooth(0.15f, 0.75f, shape + 0.2f * detail);
    const glm::vec3 cloud = glm::mix(lit, core, thickness);
    return glm::mix(sky, cloud, density * 0.92f);
}

}  // namespace

glm::vec3 panoramaDirection(int x, int y, int width, int height) {
    const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(width);
    const float v = 1.0f - (static_cast<float>(y) + 0.5f) / static_cast<float>(height);   // row 0 = top
    const float azimuth = (u - 0.5f) * 2.0f * kPi;
    const float elevation = (v - 0.5f) * kPi;
    return {std::cos(elevation) * std::cos(azimuth), std::sin(elevation), std::cos(elevation) * std::sin(azimuth)};
}

glm::vec3 skyRadiance(const glm::vec3& dir) {
    const float elevation = std::asin(std::clamp(dir.y, -1.0f, 1.0f));
    const float sunAngle = std::acos(std::clamp(glm::dot(dir, kSunDirection), -1.0f, 1.0f));
    const glm::vec2 flat(dir.x, dir.z), sunFlat(kSunDirection.x, kSunDirection.z);
    const float flatLength = glm::length(flat);
    const float sunSide = flatLength > 1e-5f ? 0.5f + 0.5f * glm::dot(flat / flatLength, glm::normalize(sunFlat)) : 0.5f;

    glm::vec3 colour = skyGradient(std::max(elevation, 0.0f), sunSide);
    colour = addClouds(dir, colour, sunAngle);

    // The sun's glow: a tight bright core (tens), a broader halo and a faint wide one.
    const glm::vec3 glowColour(1.0f, 0.58f, 0.26f);
    const float glow = 22.0f * std::exp(-sunAngle / 0.03f) + 2.2f * std::exp(-sunAngle / 0.16f) +
                       0.45f * std::exp(-sunAngle / 0.55f);
    // Below the horizon the ground blocks the glow and fades into a dark earth tone.
    const float aboveGround = smooth(-0.06f, 0.0f, elevation);
    colour += glowColour * glow * aboveGround;
    if (elevation < 0.0f) {
        const glm::vec3 ground(0.030f, 0.026f, 0.024f);
        const glm::vec3 haze = skyGradient(0.0f, sunSide) * 0.35f;
        colour = glm::mix(colour, glm::mix(haze, ground, smooth(0.0f, 0.14f, -elevation)), smooth(0.0f, 0.012f, -elevation));
    }

    // The disc, with a little limb darkening and a soft one-texel-ish edge.
    if (sunAngle < kSunRadius * 1.3f) {
        const float r = sunAngle / kSunRadius;
        const float disc = smooth(1.3f, 0.9f, r) * (1.0f - 0.35f * std::min(r * r, 1.0f));
        colour += glm::vec3(110.0f, 82.0f, 52.0f) * disc * aboveGround;
    }
    return colour;
}

std::vector<float> renderSkyPanorama(int width) {
    const int height = width / 2;
    std::vector<float> pixels(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const glm::vec3 c = skyRadiance(panoramaDirection(x, y, width, height));
            float* dst = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
            dst[0] = c.r;
            dst[1] = c.g;
            dst[2] = c.b;
        }
    }
    return pixels;
}

void bakeSky(const BakeOptions& options) {
    const std::string folder = prepareFolder(options.assetsDir, "textures");
    if (folder.empty()) return;
    const int width = options.reduced ? kReducedWidth : kFullWidth;
    const std::vector<float> pixels = renderSkyPanorama(width);

    std::vector<std::uint8_t> bytes;
    auto append = [](void* context, void* data, int size) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(context);
        const auto* begin = static_cast<const std::uint8_t*>(data);
        out->insert(out->end(), begin, begin + size);
    };
    if (!stbi_write_hdr_to_func(append, &bytes, width, width / 2, 3, pixels.data())) {
        std::printf("ERROR: Failed to write '%sskybox2.hdr': the encoder refused %d x %d\n", folder.c_str(), width,
                    width / 2);
        std::fflush(stdout);
        return;
    }
    writeFileBytes(folder + "skybox2.hdr", bytes);
}

// The particle sprites: a warm glow for the living flowers, a green-gold sparkle for the flower of
// hope and three dark ash flakes for the dead ones. DXT5 with alpha; every sprite fades to fully
// transparent before its border so the point sprites never show a square edge.
#include "tools/baker/Bake.h"
#include "tools/baker/BakeFiles.h"
#include "tools/baker/BakeMath.h"
#include "tools/baker/Canvas.h"
#include "tools/baker/DdsWriter.h"
#include "tools/baker/Rng.h"

#include <stb_perlin.h>

#include <cmath>
#include <string>

namespace {

constexpr int kSpriteSize = 64;   // particles cover a few dozen pixels at most; GL builds the mips

// Calls shade(p, r) for every pixel with p in [-1, 1]^2 (y down) and r = |p|; shade returns the
// straight colour and alpha, which is cut to zero towards the border.
template <class Shade>
Canvas paintRadial(Shade shade) {
    Canvas canvas(kSpriteSize, kSpriteSize);
    for (int y = 0; y < kSpriteSize; ++y)
        for (int x = 0; x < kSpriteSize; ++x) {
            const glm::vec2 p = (glm::vec2(static_cast<float>(x), static_cast<float>(y)) + 0.5f) /
                                    (0.5f * static_cast<float>(kSpriteSize)) - 1.0f;
            glm::vec4 c = shade(p, glm::length(p));
            c.a *= smooth(0.98f, 0.82f, glm::length(p));
            canvas.blendOver(x, y, glm::vec3(c), std::clamp(c.a, 0.0f, 1.0f));
        }
    return canvas;
}

Canvas paintGoodParticle() {
    return paintRadial([](glm::vec2, float r) {
        const float core = std::exp(-(r * r) / (0.13f * 0.13f));
        const float halo = std::exp(-(r * r) / (0.42f * 0.42f));
        const glm::vec3 colour = glm::mix(glm::vec3(1.0f, 0.50f, 0.16f), glm::vec3(1.0f, 0.95f, 0.80f), core);
        return glm::vec4(colour, std::min(1.0f, core + 0.65f * halo));
    });
}

Canvas paintHopeParticle() {
    return paintRadial([](glm::vec2 p, float r) {
        const float core = std::exp(-(r * r) / (0.10f * 0.10f));
        const float halo = std::exp(-(r * r) / (0.32f * 0.32f));
        // Four long rays on the axes and four short ones on the diagonals, thinning outwards.
        auto ray = [&](float along, float across, float length) {
            return std::exp(-std::abs(across) / (0.035f * (1.0f - 0.6f * std::min(std::abs(along) / length, 1.0f)))) *
                   std::max(0.0f, 1.0f - std::abs(along) / length);
        };
        const glm::vec2 d = glm::vec2(p.x + p.y, p.y - p.x) * 0.70710678f;
        const float rays = std::max(ray(p.x, p.y, 0.95f), ray(p.y, p.x, 0.95f)) +
                           0.55f * std::max(ray(d.x, d.y, 0.55f), ray(d.y, d.x, 0.55f));
        const glm::vec3 gold(1.0f, 0.88f, 0.42f), green(0.55f, 1.0f, 0.35f), white(1.0f, 1.0f, 0.86f);
        const glm::vec3 colour = glm::mix(glm::mix(green, gold, smooth(0.6f, 0.1f, r)), white, core);
        return glm::vec4(colour, std::min(1.0f, core + 0.45f * halo + 0.9f * rays));
    });
}

// Three flakes of ash: irregular outlines (a few random harmonics on the radius), mottled grey-brown
// with lighter edges and small holes where the noise burns through.
Canvas paintBadParticles() {
    Canvas canvas(kSpriteSize, kSpriteSize);
    Rng rng(0xA5Bu);
    struct Flake { glm::vec2 centre; float radius; float angle; };
    const Flake flakes[] = {{{-0.22f, -0.18f}, 0.42f, 0.4f}, {{0.36f, 0.12f}, 0.28f, 1.9f}, {{-0.05f, 0.48f}, 0.22f, 3.1f}};
    for (const Flake& flake : flakes) {
        float amplitude[4], phase[4];
        for (int k = 0; k < 4; ++k) {
            amplitude[k] = rng.range(0.05f, 0.16f) / static_cast<float>(k + 1);
            phase[k] = rng.range(0.0f, 2.0f * kPi);
        }
        const float seed = rng.range(0.0f, 50.0f);
        const float c = std::cos(flake.angle), s = std::sin(flake.angle);
        for (int y = 0; y < kSpriteSize; ++y)
            for (int x = 0; x < kSpriteSize; ++x) {
                const glm::vec2 p = (glm::vec2(static_cast<float>(x), static_cast<float>(y)) + 0.5f) /
                                        (0.5f * static_cast<float>(kSpriteSize)) - 1.0f;
                glm::vec2 q = p - flake.centre;
                q = glm::vec2(c * q.x - s * q.y, s * q.x + c * q.y) * glm::vec2(1.0f, 1.5f);   // flat flakes
                const float theta = std::atan2(q.y, q.x);
                float edge = 1.0f;
                for (int k = 0; k < 4; ++k) edge += amplitude[k] * std::sin(static_cast<float>(k + 2) * theta + phase[k]);
                const float r = glm::length(q) / (flake.radius * edge);
                const float pixel = 2.0f / (static_cast<float>(kSpriteSize) * flake.radius);
                const float inside = smooth(1.0f, 1.0f - 1.5f * pixel, r);
                if (inside <= 0.0f) continue;
                const float mottle = stb_perlin_fbm_noise3(p.x * 5.0f, p.y * 5.0f, seed, 2.0f, 0.5f, 4);
                const float holes = smooth(0.52f, 0.44f, mottle);
                const glm::vec3 dark(0.07f, 0.06f, 0.055f), ash(0.40f, 0.37f, 0.34f);
                const glm::vec3 colour = glm::mix(dark, ash, std::clamp(0.45f * smooth(0.5f, 1.0f, r) + 0.6f * mottle + 0.2f, 0.0f, 1.0f));
                canvas.blendOver(x, y, colour, 0.92f * inside * holes);
            }
    }
    return canvas;
}

}  // namespace

void bakeSprites(const BakeOptions& options) {
    const std::string folder = prepareFolder(options.assetsDir, "textures");
    if (folder.empty()) return;
    // Sprites are symmetric enough that their row order does not matter; stored top row first.
    writeDds(folder + "goodParticle.dds", kSpriteSize, kSpriteSize, paintGoodParticle().toRgba8(false), DdsFormat::DXT5);
    writeDds(folder + "hopeParticle.dds", kSpriteSize, kSpriteSize, paintHopeParticle().toRgba8(false), DdsFormat::DXT5);
    writeDds(folder + "badParticles3.dds", kSpriteSize, kSpriteSize, paintBadParticles().toRgba8(false), DdsFormat::DXT5);
}

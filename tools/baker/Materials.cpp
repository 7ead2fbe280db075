#include "tools/baker/Materials.h"

#include "tools/baker/DdsWriter.h"
#include "tools/baker/MaterialsLayout.h"
#include "tools/baker/MaterialsNoise.h"

#include <cmath>
#include <cstdio>
#include <map>

// Colours are sRGB-encoded values as a painter would pick them for a meadow at dusk; the scene's
// warm low light and the sky do the rest, so the albedos stay moderate (no pure whites or blacks).

namespace {

constexpr float kPi = 3.14159265358979f;

using glm::vec3;

vec3 mixc(const vec3& a, const vec3& b, float t) { return a + (b - a) * clamp01(t); }
float fract(float x) { return x - std::floor(x); }

// Periodic fractal noise over a region: `fs` and `ft` lattice cells across it, wrapping where asked.
float pfbm(float s, float t, int fs, int ft, int octaves, std::uint32_t seed, bool wrapS, bool wrapT) {
    return noise::fbm(s * fs, t * ft, octaves, wrapS ? fs : 0, wrapT ? ft : 0, seed);
}

// ---------------------------------------------------------------------------------------------
// ground: soil, moss, short meadow grass and pebbles, tiling every kGroundTileMetres.

void paintGround(MaterialSheet& sheet) {
    const int n = sheet.pixelSize();
    sheet.paint(UvRect{}, true, true, [](float s, float t) {
        Texel x;
        const float macro = pfbm(s, t, 4, 4, 4, 11u, true, true);
        const float grain = pfbm(s, t, 64, 64, 3, 12u, true, true);
        const float moss = smoothStep(0.05f, 0.35f, pfbm(s, t, 3, 3, 5, 13u, true, true));
        vec3 soil = mixc(vec3(0.23f, 0.17f, 0.12f), vec3(0.33f, 0.25f, 0.17f), 0.5f + 0.5f * macro);
        soil *= 0.9f + 0.2f * grain;
        const vec3 mossColour = mixc(vec3(0.22f, 0.3f, 0.1f), vec3(0.34f, 0.4f, 0.15f), 0.5f + 0.5f * grain);
        // Under the blades the meadow floor is a dark green thatch more than bare soil.
        const float thatch = smoothStep(-0.35f, 0.25f, macro);
        soil = mixc(soil, vec3(0.19f, 0.22f, 0.1f) * (0.85f + 0.3f * grain), 0.6f * thatch);
        x.albedo = mixc(soil, mossColour, moss);
        x.height = 0.25f * grain + 0.3f * moss * (0.5f + 0.5f * pfbm(s, t, 48, 48, 2, 14u, true, true));
        x.roughness = lerpf(0.95f, 0.85f, moss);
        x.occlusion = 0.85f + 0.1f * grain;
        // Pebbles: a fraction of small cells become stones with a rounded top.
        const CellSample c = noise::cells(s * 36.0f, t * 36.0f, 36, 36, 15u);
        const float pick = static_cast<float>(c.id & 0xFFFF) / 65535.0f;
        const float radius = 0.22f + 0.18f * static_cast<float>((c.id >> 16) & 0xFF) / 255.0f;
        const float bare = 1.0f - smoothStep(-0.35f, 0.25f, macro);
        if (pick < 0.03f + 0.12f * bare && c.f1 < radius) {
            const float dome = std::sqrt(1.0f - (c.f1 / radius) * (c.f1 / radius));
            const float tone = static_cast<float>((c.id >> 24) & 0xFF) / 255.0f;
            x.albedo = mixc(vec3(0.3f, 0.28f, 0.25f), vec3(0.46f, 0.43f, 0.39f), tone) * (0.8f + 0.2f * dome);
            x.height = 0.4f + 1.2f * dome;
            x.roughness = 0.55f;
            x.occlusion = 0.75f + 0.25f * dome;
        }
        return x;
    });
    // Grass blades lying every which way, densest where the macro noise says meadow.
    BakeRandom rng(0x6205u);
    const int blades = n * n / 45;
    const float scale = static_cast<float>(n) / 1024.0f;
    for (int b = 0; b < blades; ++b) {
        const float s = rng.unit(), t = rng.unit();
        const float density = 0.25f + 0.75f * smoothStep(-0.35f, 0.25f, pfbm(s, t, 4, 4, 4, 11u, true, true));
        if (rng.unit() > density) continue;
        const float angle = rng.range(0.0f, 2.0f * kPi);
        const float length = rng.range(12.0f, 34.0f) * scale, width = rng.range(1.2f, 2.2f) * std::max(scale, 0.5f);
        const float dry = rng.unit();
        const vec3 colour = dry < 0.75f ? mixc(vec3(0.22f, 0.34f, 0.11f), vec3(0.36f, 0.46f, 0.16f), rng.unit())
                                       : mixc(vec3(0.46f, 0.44f, 0.22f), vec3(0.58f, 0.52f, 0.3f), rng.unit());
        const float ca = std::cos(angle), sa = std::sin(angle);
        const float bend = rng.range(-0.02f, 0.02f);
        for (float l = 0.0f; l < length; l += 0.5f) {
            const float f = l / length;
            const float w = width * (1.0f - 0.8f * f);
            const float cx = s * n + ca * l - sa * bend * l * l, cy = t * n + sa * l + ca * bend * l * l;
            const float h = 0.9f + 0.9f * f;
            for (int dy = -2; dy <= 2; ++dy) {
                for (int dx = -2; dx <= 2; ++dx) {
                    const float px = std::floor(cx) + dx, py = std::floor(cy) + dy;
                    const float across = std::fabs(-sa * (px + 0.5f - cx) + ca * (py + 0.5f - cy));
                    if (across > w * 0.5f) continue;
                    const int ix = ((static_cast<int>(px) % n) + n) % n, iy = ((static_cast<int>(py) % n) + n) % n;
                    Texel& texel = sheet.at(ix, iy);
                    const float crown = h + 0.4f * (1.0f - 2.0f * across / std::max(w, 0.01f));
                    if (crown <= texel.height) continue;
                    texel.height = crown;
                    texel.albedo = colour * (0.75f + 0.35f * f);
                    texel.roughness = 0.7f;
                    texel.occlusion = 0.65f + 0.35f * f;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// thistle

Texel thistleStem(float s, float t) {
    Texel x;
    const float ribs = 0.5f + 0.5f * std::cos(2.0f * kPi * 8.0f * s);
    const float hairs = pfbm(s, t, 96, 24, 2, 21u, true, false);
    const float streak = pfbm(s, t, 16, 3, 3, 22u, true, false);
    x.albedo = mixc(vec3(0.24f, 0.32f, 0.15f), vec3(0.4f, 0.46f, 0.24f), 0.45f + 0.5f * ribs + 0.2f * streak);
    x.albedo = mixc(x.albedo, vec3(0.62f, 0.64f, 0.52f), smoothStep(0.45f, 0.8f, hairs) * 0.6f);
    // Purple flush towards the top, as on real stems.
    x.albedo = mixc(x.albedo, vec3(0.36f, 0.22f, 0.3f), smoothStep(0.65f, 1.0f, t) * 0.35f);
    x.height = 0.8f * ribs + 0.25f * hairs;
    x.roughness = 0.6f + 0.15f * hairs;
    x.occlusion = 0.7f + 0.3f * ribs;
    return x;
}

Texel thistleLeaf(float s, float t) {
    Texel x;
    const float across = 2.0f * s - 1.0f, a = std::fabs(across);
    const float midrib = std::exp(-(a / 0.05f) * (a / 0.05f));
    // Lateral veins run from the midrib towards the lobe tips.
    const float q = fract(t * 8.0f - a * 1.3f);
    const float vein = std::exp(-std::pow(std::min(q, 1.0f - q) / 0.035f, 2.0f)) * smoothStep(0.02f, 0.12f, a);
    const float fine = pfbm(s, t, 24, 48, 3, 31u, false, false);
    const float blister = 0.5f + 0.5f * pfbm(s, t, 12, 30, 2, 32u, false, false);
    const float marble = smoothStep(0.35f, 0.7f, pfbm(s, t, 5, 10, 4, 33u, false, false) + 0.5f * vein + 0.6f * midrib);
    x.albedo = mixc(vec3(0.16f, 0.27f, 0.1f), vec3(0.27f, 0.38f, 0.15f), 0.5f + 0.6f * fine);
    x.albedo = mixc(x.albedo, vec3(0.55f, 0.62f, 0.45f), 0.55f * marble);   // milky variegation
    x.albedo = mixc(x.albedo, vec3(0.62f, 0.66f, 0.5f), std::max(midrib, 0.7f * vein));
    x.albedo = mixc(x.albedo, vec3(0.62f, 0.56f, 0.32f), smoothStep(0.82f, 0.98f, a));   // spiny edge
    x.height = 0.9f * midrib - 0.35f * vein + 0.3f * blister + 0.08f * fine;
    x.roughness = 0.5f + 0.1f * fine;
    x.occlusion = 0.8f + 0.2f * blister - 0.15f * vein;
    return x;
}

Texel thistleBulb(float s, float t) {
    Texel x;
    // Overlapping bracts on a diamond lattice: each a pointed scale whose spine points up the head.
    const float p = 12.0f * s + 4.0f * t, q = 12.0f * s - 4.0f * t;
    const float fp = fract(p) - 0.5f, fq = fract(q) - 0.5f;
    const float along = fp - fq;                 // -1 at the scale's foot, +1 at its tip
    const float across = fp + fq;
    const float f = 0.5f + 0.5f * along;
    const float halfWidth = 0.62f * std::pow(std::max(0.0f, 1.0f - f), 0.6f) + 0.02f;
    const float scale = 1.0f - smoothStep(0.7f, 1.0f, std::fabs(across) / halfWidth);
    const float spine = std::exp(-across * across * 400.0f) * smoothStep(0.55f, 0.8f, f);
    const float n = pfbm(s, t, 24, 8, 2, 41u, true, false);
    x.albedo = mixc(vec3(0.2f, 0.26f, 0.11f), vec3(0.42f, 0.47f, 0.22f), f * scale + 0.15f * n);
    x.albedo = mixc(x.albedo, vec3(0.46f, 0.3f, 0.32f), smoothStep(0.5f, 1.0f, t) * 0.45f * f);
    x.albedo = mixc(x.albedo, vec3(0.76f, 0.66f, 0.38f), spine);
    x.height = scale * (0.3f + 0.7f * f) + 0.5f * spine;
    x.roughness = 0.55f;
    x.occlusion = 0.5f + 0.5f * scale * (0.4f + 0.6f * f);
    return x;
}

Texel thistleTuft(float s, float t) {
    Texel x;
    const float strands = 0.5f + 0.5f * pfbm(s, t, 110, 3, 2, 51u, true, false);
    const float clumps = 0.5f + 0.5f * pfbm(s, t, 14, 2, 2, 52u, true, false);
    const vec3 purple = mixc(vec3(0.42f, 0.1f, 0.42f), vec3(0.68f, 0.24f, 0.64f), strands);
    x.albedo = mixc(purple, vec3(0.86f, 0.56f, 0.86f), smoothStep(0.55f, 1.0f, t) * (0.4f + 0.6f * strands));
    x.albedo = mixc(vec3(0.7f, 0.66f, 0.62f), x.albedo, smoothStep(0.02f, 0.2f, t));   // pale florets at the base
    x.albedo *= 0.85f + 0.15f * clumps;
    x.height = 0.9f * strands + 0.4f * clumps;
    x.roughness = 0.6f;
    x.occlusion = 0.55f + 0.3f * strands + 0.15f * t;
    return x;
}

void paintThistle(MaterialSheet& sheet) {
    sheet.paint(sheet::kThistleStem, true, false, thistleStem);
    sheet.paint(sheet::kThistleLeaf, false, false, thistleLeaf);
    sheet.paint(sheet::kThistleBulb, true, false, thistleBulb);
    sheet.paint(sheet::kThistleTuft, true, false, thistleTuft);
}

// ---------------------------------------------------------------------------------------------
// flowers: one layout, three palettes; `wither` browns, blotches and crinkles the dead ones.

struct FlowerPalette {
    vec3 petalBase, petalTip, center, pollen, stem, leaf, vein;
    float wither;
    float glow;        // the hope flower's pale inner glow towards the petal base
    std::uint32_t seed;
};

void paintFlower(MaterialSheet& sheet, const FlowerPalette& pal) {
    const std::uint32_t k = pal.seed;
    auto withered = [&](Texel x, float s, float t, int fs, int ft, bool wrap) {
        if (pal.wither <= 0.0f) return x;
        const float blotch = smoothStep(0.2f, 0.6f, pfbm(s, t, fs, ft, 4, k + 90u, wrap, false));
        const float crinkle = pfbm(s, t, fs * 6, ft * 6, 2, k + 91u, wrap, false);
        x.albedo = mixc(x.albedo, vec3(0.2f, 0.16f, 0.12f), 0.6f * blotch * pal.wither);
        x.height += 0.6f * crinkle * pal.wither;
        x.roughness = std::max(x.roughness, 0.8f);
        x.occlusion *= 1.0f - 0.2f * blotch * pal.wither;
        return x;
    };
    sheet.paint(sheet::kFlowerStem, true, false, [&](float s, float t) {
        Texel x;
        const float streak = pfbm(s, t, 8, 16, 3, k + 1u, true, false);
        x.albedo = pal.stem * (0.85f + 0.25f * streak);
        x.height = 0.3f * streak;
        x.roughness = 0.55f;
        x.occlusion = 0.85f + 0.15f * t;
        return withered(x, s, t, 4, 8, true);
    });
    sheet.paint(sheet::kFlowerLeaf, false, false, [&](float s, float t) {
        Texel x;
        const float a = std::fabs(2.0f * s - 1.0f);
        const float midrib = std::exp(-(a / 0.05f) * (a / 0.05f));
        const float q = fract(t * 7.0f - a * 1.6f);
        const float vein = std::exp(-std::pow(std::min(q, 1.0f - q) / 0.04f, 2.0f)) * smoothStep(0.03f, 0.15f, a);
        const float fine = pfbm(s, t, 16, 40, 3, k + 2u, false, false);
        x.albedo = pal.leaf * (0.85f + 0.3f * fine);
        x.albedo = mixc(x.albedo, pal.vein, std::max(midrib, 0.5f * vein));
        x.height = 0.8f * midrib - 0.3f * vein + 0.1f * fine;
        x.roughness = 0.5f;
        x.occlusion = 0.85f - 0.1f * vein + 0.15f * a;
        return withered(x, s, t, 6, 12, false);
    });
    sheet.paint(sheet::kFlowerPetal, false, false, [&](float s, float t) {
        Texel x;
        const float a = std::fabs(2.0f * s - 1.0f);
        const float veins = 0.5f + 0.5f * std::cos(2.0f * kPi * (9.0f * s + 0.6f * pfbm(s, t, 3, 4, 2, k + 3u, false, false)));
        const float silk = pfbm(s, t, 40, 8, 2, k + 4u, false, false);
        vec3 c = mixc(pal.petalBase, pal.petalTip, smoothStep(0.0f, 0.75f, t));
        c = mixc(c, c * 0.78f, veins * (1.0f - t) * 0.6f);
        c *= 0.92f + 0.12f * silk;
        c = mixc(c, vec3(0.85f, 0.95f, 0.6f), pal.glow * (1.0f - smoothStep(0.0f, 0.45f, t)));
        x.albedo = mixc(c, c * 0.8f, smoothStep(0.75f, 1.0f, a) * 0.4f);
        x.height = 0.35f * veins + 0.15f * silk;
        x.roughness = 0.45f + 0.1f * silk;
        x.occlusion = 0.75f + 0.25f * smoothStep(0.0f, 0.3f, t);
        return withered(x, s, t, 5, 6, false);
    });
    // Disc florets: s runs around the disc, t from its rim to its centre.
    sheet.paint(sheet::kFlowerCenter, true, false, [&](float s, float t) {
        Texel x;
        const float r = 1.0f - t;
        // A Fermat spiral of florets, approximated by cells in (angle, radius) space.
        const CellSample c = noise::cells(s * 34.0f, t * 9.0f, 34, 0, k + 5u, 0.7f);
        const float floret = 1.0f - smoothStep(0.2f, 0.5f, c.f1);
        const float pollen = static_cast<float>(c.id & 0xFF) / 255.0f > 0.6f ? floret : 0.0f;
        x.albedo = mixc(pal.center * 0.7f, pal.center, floret);
        x.albedo = mixc(x.albedo, pal.pollen, pollen * smoothStep(0.1f, 0.6f, r));
        x.height = floret;
        x.roughness = 0.75f;
        x.occlusion = 0.6f + 0.4f * floret;
        return withered(x, s, t, 8, 4, true);
    });
    sheet.paint(sheet::kFlowerCalyx, true, false, [&](float s, float t) {
        Texel x;
        const float sepals = 0.5f + 0.5f * std::cos(2.0f * kPi * 5.0f * s);
        x.albedo = pal.stem * (0.8f + 0.3f * sepals);
        x.height = 0.6f * sepals * t;
        x.roughness = 0.55f;
        x.occlusion = 0.7f + 0.3f * t;
        return withered(x, s, t, 5, 3, true);
    });
}

// ---------------------------------------------------------------------------------------------
// rock: granite with cracks and speckles, crusts of lichen, moss on the crown.

void paintRock(MaterialSheet& sheet) {
    sheet.paint(sheet::kRock, true, false, [](float s, float t) {
        Texel x;
        const float base = pfbm(s, t, 8, 4, 5, 61u, true, false);
        const float fine = pfbm(s, t, 64, 32, 2, 62u, true, false);
        // A few long cracks: cell borders of a warped lattice, kept only where a mask allows.
        const float warpS = 0.35f * pfbm(s, t, 6, 3, 2, 69u, true, false);
        const CellSample crack = noise::cells(s * 6.0f + warpS, t * 3.0f + warpS, 6, 0, 63u);
        const float crackMask = smoothStep(0.0f, 0.3f, pfbm(s, t, 4, 2, 3, 70u, true, false));
        const float cracks = (1.0f - smoothStep(0.0f, 0.035f, crack.f2 - crack.f1)) * crackMask;
        const CellSample grain = noise::cells(s * 140.0f, t * 70.0f, 140, 0, 64u);
        const float speck = (grain.id & 15u) == 0 ? 1.0f - smoothStep(0.15f, 0.35f, grain.f1) : 0.0f;
        const float light = (grain.id & 15u) == 1 ? 1.0f - smoothStep(0.15f, 0.35f, grain.f1) : 0.0f;
        x.albedo = mixc(vec3(0.36f, 0.35f, 0.33f), vec3(0.52f, 0.5f, 0.46f), 0.5f + 0.6f * base);
        x.albedo *= 0.92f + 0.12f * fine;
        x.albedo = mixc(x.albedo, vec3(0.2f, 0.19f, 0.18f), 0.5f * speck);
        x.albedo = mixc(x.albedo, vec3(0.66f, 0.64f, 0.6f), 0.4f * light);
        x.albedo = mixc(x.albedo, vec3(0.12f, 0.11f, 0.1f), 0.85f * cracks);
        x.height = 0.6f * base + 0.12f * fine - 0.9f * cracks;
        x.roughness = 0.72f + 0.1f * fine;
        x.occlusion = 1.0f - 0.5f * cracks;
        // Lichen rosettes: pale green-grey and rusty orange crusts.
        const float lichenMask = smoothStep(0.05f, 0.35f, pfbm(s, t, 8, 4, 4, 65u, true, false) + 0.3f * t - 0.1f);
        if (lichenMask > 0.0f) {
            const CellSample ros = noise::cells(s * 40.0f, t * 20.0f, 40, 0, 66u);
            const float rosette = (1.0f - smoothStep(0.35f, 0.75f, ros.f1)) * lichenMask;
            const vec3 lichen = (ros.id & 3u) == 0 ? vec3(0.72f, 0.46f, 0.18f) : vec3(0.6f, 0.64f, 0.46f);
            x.albedo = mixc(x.albedo, lichen * (0.9f + 0.2f * fine), rosette);
            x.height += 0.3f * rosette;
            x.roughness = lerpf(x.roughness, 0.92f, rosette);
        }
        // Moss on the crown, where rain and dew gather.
        const float moss = smoothStep(0.6f, 0.8f, t + 0.25f * pfbm(s, t, 12, 6, 4, 67u, true, false));
        const float fuzz = pfbm(s, t, 90, 45, 2, 68u, true, false);
        x.albedo = mixc(x.albedo, mixc(vec3(0.2f, 0.28f, 0.09f), vec3(0.33f, 0.42f, 0.14f), 0.5f + fuzz), moss);
        x.height += 0.5f * moss * (0.5f + 0.5f * fuzz);
        x.roughness = lerpf(x.roughness, 0.95f, moss);
        x.occlusion = lerpf(x.occlusion, 0.8f + 0.2f * fuzz, moss);
        return x;
    });
}

// ---------------------------------------------------------------------------------------------
// wood: fissured bark around, the sawn or broken end with its growth rings.

void paintWood(MaterialSheet& sheet, std::uint32_t seed, bool mossOnTop) {
    sheet.paint(sheet::kBark, true, false, [=](float s, float t) {
        Texel x;
        // Bark plates: cells stretched along the trunk, separated by deep fissures.
        const float warp = 0.3f * pfbm(s, t, 6, 3, 2, seed + 1u, true, false);
        const CellSample plate = noise::cells(s * 28.0f + warp, t * 5.0f, 28, 0, seed + 2u);
        const float fissure = 1.0f - smoothStep(0.0f, 0.18f, plate.f2 - plate.f1);
        const float grain = pfbm(s, t, 64, 8, 3, seed + 3u, true, false);
        const float tone = static_cast<float>(plate.id & 0xFF) / 255.0f;
        x.albedo = mixc(vec3(0.27f, 0.21f, 0.16f), vec3(0.4f, 0.34f, 0.27f), 0.4f * tone + 0.5f + 0.4f * grain);
        x.albedo = mixc(x.albedo, vec3(0.09f, 0.07f, 0.05f), fissure);
        x.height = 0.6f * (1.0f - fissure) + 0.25f * grain;
        x.roughness = 0.85f;
        x.occlusion = 1.0f - 0.6f * fissure;
        const float lichen = smoothStep(0.45f, 0.65f, pfbm(s, t, 12, 4, 4, seed + 4u, true, false)) * (1.0f - fissure);
        x.albedo = mixc(x.albedo, vec3(0.56f, 0.6f, 0.5f), 0.7f * lichen);
        // Moss on the log's upper side (u = 0 faces up), or round the stump's foot.
        const float side = mossOnTop ? 0.5f + 0.5f * std::cos(2.0f * kPi * s) : 1.0f - t;
        const float moss = smoothStep(0.55f, 0.85f, side + 0.3f * pfbm(s, t, 10, 4, 4, seed + 5u, true, false));
        const float fuzz = pfbm(s, t, 96, 24, 2, seed + 6u, true, false);
        x.albedo = mixc(x.albedo, mixc(vec3(0.2f, 0.29f, 0.08f), vec3(0.35f, 0.44f, 0.14f), 0.5f + fuzz), moss);
        x.height = lerpf(x.height, 0.7f + 0.3f * fuzz, moss);
        x.roughness = lerpf(x.roughness, 0.95f, moss);
        return x;
    });
    sheet.paint(sheet::kRings, false, false, [=](float s, float t) {
        Texel x;
        const float dx = 2.0f * s - 1.0f, dy = 2.0f * t - 1.0f;
        const float r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
        const float wobble = 0.04f * noise::fbm(dx * 3.0f, dy * 3.0f, 3, 0, 0, seed + 7u);
        const float rings = 0.5f + 0.5f * std::cos(2.0f * kPi * 16.0f * (r + wobble));
        const float grain = noise::fbm(angle * 6.0f, r * 40.0f, 2, 0, 0, seed + 8u);
        const float crack = std::exp(-std::pow(std::sin(angle * 2.5f + 1.0f + 2.0f * wobble) / 0.03f, 2.0f)) *
                            smoothStep(0.1f, 0.5f, r) * (1.0f - smoothStep(0.85f, 0.95f, r));
        x.albedo = mixc(vec3(0.62f, 0.5f, 0.36f), vec3(0.46f, 0.34f, 0.22f), rings * 0.7f + 0.1f * grain);
        x.albedo = mixc(x.albedo, vec3(0.52f, 0.5f, 0.46f), 0.35f);   // weathered grey
        x.albedo = mixc(x.albedo, vec3(0.3f, 0.22f, 0.15f), 1.0f - smoothStep(0.0f, 0.08f, r));   // pith
        x.albedo = mixc(x.albedo, vec3(0.12f, 0.09f, 0.07f), crack);
        x.albedo = mixc(x.albedo, vec3(0.24f, 0.18f, 0.13f), smoothStep(0.88f, 0.95f, r));   // bark rim
        x.height = 0.3f * rings - 0.8f * crack + 0.1f * grain;
        x.roughness = 0.75f;
        x.occlusion = 1.0f - 0.5f * crack;
        return x;
    });
}

// ---------------------------------------------------------------------------------------------
// grass blades: four variants from lush to dry straw.

void paintGrass(MaterialSheet& sheet) {
    const vec3 lush[sheet::kGrassVariants] = {{0.24f, 0.4f, 0.12f}, {0.36f, 0.47f, 0.16f}, {0.56f, 0.52f, 0.28f},
                                              {0.18f, 0.32f, 0.1f}};
    const vec3 tips[sheet::kGrassVariants] = {{0.44f, 0.52f, 0.22f}, {0.55f, 0.55f, 0.26f}, {0.66f, 0.6f, 0.4f},
                                              {0.38f, 0.44f, 0.18f}};
    for (int v = 0; v < sheet::kGrassVariants; ++v) {
        sheet.paint(sheet::grassBlade(v), false, false, [&, v](float s, float t) {
            Texel x;
            const float a = std::fabs(2.0f * s - 1.0f);
            const float ridges = 0.5f + 0.5f * std::cos(2.0f * kPi * 3.0f * s);
            const float n = pfbm(s, t, 4, 32, 3, 71u + v, false, false);
            x.albedo = mixc(lush[v] * 0.7f, lush[v], smoothStep(0.0f, 0.3f, t));
            x.albedo = mixc(x.albedo, tips[v], smoothStep(0.6f, 1.0f, t + 0.2f * n));
            x.albedo *= 0.9f + 0.15f * ridges + 0.1f * n;
            x.albedo = mixc(x.albedo, x.albedo * 1.2f, std::exp(-a * a * 80.0f) * 0.5f);   // midrib catches light
            x.height = 0.4f * ridges + 0.2f * n;
            x.roughness = 0.55f + 0.1f * n;
            x.occlusion = 0.5f + 0.5f * smoothStep(0.0f, 0.5f, t);
            return x;
        });
    }
}

// ---------------------------------------------------------------------------------------------
// thistle_seed: a small brown seed under a silky white pappus.

void paintSeed(MaterialSheet& sheet) {
    sheet.paint(sheet::kSeedBody, true, false, [](float s, float t) {
        Texel x;
        const float stripes = 0.5f + 0.5f * std::cos(2.0f * kPi * 6.0f * s);
        x.albedo = mixc(vec3(0.3f, 0.22f, 0.14f), vec3(0.48f, 0.38f, 0.24f), stripes * (0.6f + 0.4f * t));
        x.height = 0.5f * stripes;
        x.roughness = 0.6f;
        return x;
    });
    sheet.paint(sheet::kSeedFilament, false, false, [](float s, float t) {
        Texel x;
        const float silk = 0.5f + 0.5f * pfbm(s, t, 48, 2, 2, 81u, false, false);
        x.albedo = mixc(vec3(0.74f, 0.7f, 0.62f), vec3(0.93f, 0.91f, 0.86f), 0.4f * silk + 0.6f * t);
        x.height = 0.5f * silk;
        x.roughness = 0.45f;
        x.occlusion = 0.8f + 0.2f * t;
        return x;
    });
}

using PaintFn = void (*)(MaterialSheet&);

const std::map<std::string, PaintFn>& painters() {
    static const std::map<std::string, PaintFn> table = {
        {"ground", paintGround},
        {"thistle", paintThistle},
        {"flower_alive",
         [](MaterialSheet& s) {
             paintFlower(s, {{0.82f, 0.32f, 0.07f}, {0.97f, 0.74f, 0.28f}, {0.34f, 0.17f, 0.05f}, {0.95f, 0.72f, 0.2f},
                             {0.28f, 0.42f, 0.16f}, {0.22f, 0.38f, 0.13f}, {0.45f, 0.56f, 0.3f}, 0.0f, 0.0f, 101u});
         }},
        {"flower_dead",
         [](MaterialSheet& s) {
             paintFlower(s, {{0.4f, 0.33f, 0.26f}, {0.5f, 0.44f, 0.36f}, {0.17f, 0.13f, 0.1f}, {0.36f, 0.3f, 0.22f},
                             {0.4f, 0.34f, 0.24f}, {0.38f, 0.31f, 0.2f}, {0.48f, 0.41f, 0.3f}, 1.0f, 0.0f, 201u});
         }},
        {"flower_hope",
         [](MaterialSheet& s) {
             paintFlower(s, {{0.84f, 0.9f, 0.62f}, {0.95f, 0.95f, 0.9f}, {0.9f, 0.72f, 0.25f}, {1.0f, 0.88f, 0.45f},
                             {0.32f, 0.56f, 0.2f}, {0.28f, 0.52f, 0.18f}, {0.55f, 0.72f, 0.38f}, 0.0f, 0.6f, 301u});
         }},
        {"rock", paintRock},
        {"stump", [](MaterialSheet& s) { paintWood(s, 401u, false); }},
        {"log", [](MaterialSheet& s) { paintWood(s, 501u, true); }},
        {"grass", paintGrass},
        {"thistle_seed", paintSeed},
    };
    return table;
}

}  // namespace

int Materials::sheetSize(const std::string& baseName, bool reduced) {
    if (reduced) return 64;
    return baseName == "ground" ? 1024 : 512;
}

bool Materials::hasPainter(const std::string& baseName) { return painters().count(baseName) != 0; }

MaterialSheet Materials::paint(const std::string& baseName, int size) {
    const auto it = painters().find(baseName);
    if (it == painters().end()) return MaterialSheet(0);
    MaterialSheet sheet(size);
    it->second(sheet);
    return sheet;
}

float Materials::bumpScale(const std::string& baseName) {
    // Heights are painted in roughly [0, 1]; these turn them into slopes per unit of texture
    // coordinate. Regions span different real sizes, so each material has its own.
    static const std::map<std::string, float> scales = {
        {"ground", 0.004f}, {"thistle", 0.006f}, {"rock", 0.006f}, {"stump", 0.008f}, {"log", 0.008f},
        {"grass", 0.004f},  {"thistle_seed", 0.004f}};
    const auto it = scales.find(baseName);
    return it != scales.end() ? it->second : 0.005f;
}

bool Materials::bake(const std::string& baseName, int size, const std::string& texturesDir) {
    if (!hasPainter(baseName)) {
        std::printf("ERROR: Failed to bake material '%s': no painter for this name\n", baseName.c_str());
        std::fflush(stdout);
        return false;
    }
    const MaterialSheet sheet = paint(baseName, size);
    const std::string stem = texturesDir + "/" + baseName;
    return writeDds(stem + "_Albedo.dds", size, size, sheet.albedoRgba(), DdsFormat::DXT1) &&
           writeDds(stem + "_Normal.dds", size, size, sheet.normalRgba(bumpScale(baseName)), DdsFormat::DXT1) &&
           writeDds(stem + "_AoRoughMetal.dds", size, size, sheet.aoRoughMetalRgba(), DdsFormat::DXT1);
}

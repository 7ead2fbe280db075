#include "tools/baker/Materials.h"

#include "tools/baker/BakeMath.h"
#include "tools/baker/DdsWriter.h"
#include "tools/baker/MaterialsLayout.h"
#include "tools/baker/MaterialsNoise.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

// Colours are sRGB-encoded values as a painter would pick them for a meadow at dusk; the scene's
// warm low light and the sky do the rest, so the albedos stay moderate (no pure whites or blacks).

namespace {

using glm::vec3;

vec3 mixc(const vec3& a, const vec3& b, float t) { return a + (b - a) * clamp01(t); }
float fract(float x) { return x - std::floor(x); }

// Periodic fractal noise over a region: `fs` and `ft` lattice cells across it, wrapping where asked.
float pfbm(float s, float t, int fs, int ft, int octaves, std::uint32_t seed, bool wrapS, bool wrapT) {
    return noise::fbm(s * fs, t * ft, octaves, wrapS ? fs : 0, wrapT ? ft : 0, seed);
}

// ---------------------------------------------------------------------------------------------
// ground: the meadow floor as seen from a metre above it, tiling every kGroundTileMetres: a thatch
// of fine grass blades, worn patches of soil and old litter, cushions of moss, clover and a little
// dry straw. The shader samples one set of texture coordinates, so the variety lives inside the
// tile, on two scales (patches of about a metre, tufts of about a hand's width), and nothing in it
// stands out enough to show the repeat. The relief is low and blurred: at grazing light the floor
// must read soft, not cracked.

// The heights of a sheet painted as one region that wraps both ways, after a separable Gaussian
// blur of `sigma` texels.
std::vector<float> blurredHeights(MaterialSheet& sheet, float sigma) {
    const int n = sheet.pixelSize();
    const int radius = std::min(static_cast<int>(std::ceil(2.5f * sigma)), n / 2);
    std::vector<float> weights(static_cast<std::size_t>(2 * radius + 1));
    float sum = 0.0f;
    for (int k = -radius; k <= radius; ++k) sum += weights[k + radius] = std::exp(-0.5f * k * k / (sigma * sigma));
    for (float& w : weights) w /= sum;
    std::vector<float> plane(static_cast<std::size_t>(n) * n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) plane[static_cast<std::size_t>(y) * n + x] = sheet.at(x, y).height;
    // One line at a time, copied with its wrapped margins so the taps need no index arithmetic.
    std::vector<float> line(static_cast<std::size_t>(n + 2 * radius));
    auto blurLine = [&](float* first, std::size_t stride) {
        for (int i = -radius; i < n + radius; ++i) line[i + radius] = first[((i % n + n) % n) * stride];
        for (int i = 0; i < n; ++i) {
            float h = 0.0f;
            for (int k = 0; k <= 2 * radius; ++k) h += weights[k] * line[i + k];
            first[i * stride] = h;
        }
    };
    for (int y = 0; y < n; ++y) blurLine(&plane[static_cast<std::size_t>(y) * n], 1);
    for (int x = 0; x < n; ++x) blurLine(&plane[x], static_cast<std::size_t>(n));
    return plane;
}

// How densely the grass grows, 0 (worn thin) to 1: patches of about half the tile plus tufts.
float groundLushness(float s, float t) {
    const float patch = pfbm(s, t, 2, 2, 3, 11u, true, true);
    const float tuft = pfbm(s, t, 11, 11, 3, 16u, true, true);
    return smoothStep(-0.45f, 0.3f, 0.4f * patch + 0.55f * tuft + 0.1f);
}

// Where moss grows, 0 to 1: in the thinner grass, on one side of its own noise field.
float groundMossiness(float s, float t, float lush) {
    return smoothStep(-0.2f, 0.2f, pfbm(s, t, 3, 3, 4, 13u, true, true) + 0.1f) * (1.0f - 0.7f * lush);
}

// How dry the grass is, 0 to 1: more straw and a warmer tint in some patches than in others.
float groundDryness(float s, float t) { return 0.5f + 0.5f * pfbm(s, t, 2, 2, 2, 18u, true, true); }

// Where the grass thins: moss cushions of about five centimetres, elsewhere bare soil under a
// litter of old blades.
Texel groundUnderlayer(float s, float t) {
    Texel x;
    const float lush = groundLushness(s, t);
    const float crumbs = pfbm(s, t, 96, 96, 2, 12u, true, true);
    const float litter = pfbm(s, t, 40, 40, 3, 17u, true, true);
    const vec3 soil = mixc(vec3(0.22f, 0.17f, 0.11f), vec3(0.31f, 0.24f, 0.16f), 0.5f + 0.6f * crumbs);
    const vec3 straw = mixc(vec3(0.33f, 0.29f, 0.16f), vec3(0.26f, 0.28f, 0.12f), 0.5f + 0.5f * crumbs);
    x.albedo = mixc(soil, straw, smoothStep(-0.35f, 0.15f, litter));
    // Under dense grass the floor is a dark green thatch.
    x.albedo = mixc(x.albedo, vec3(0.15f, 0.22f, 0.07f) * (0.9f + 0.2f * crumbs), smoothStep(0.2f, 0.8f, lush));
    x.height = 0.05f * crumbs + 0.05f * litter;
    x.roughness = 0.97f;
    x.occlusion = 0.68f;
    const float mossy = groundMossiness(s, t, lush);
    if (mossy > 0.0f) {
        const CellSample c = noise::cells(s * 48.0f, t * 48.0f, 48, 48, 15u);
        const float dome = 1.0f - smoothStep(0.1f, 0.8f, c.f1);
        const float fuzz = pfbm(s, t, 256, 256, 1, 14u, true, true);
        const float tone = static_cast<float>(c.id & 0xFF) / 255.0f;
        const vec3 moss = mixc(vec3(0.21f, 0.3f, 0.07f), vec3(0.33f, 0.42f, 0.1f), 0.6f * tone + 0.3f * fuzz + 0.2f);
        const float cover = mossy * (0.6f + 0.4f * dome);
        x.albedo = mixc(x.albedo, moss * (0.8f + 0.2f * dome), cover);
        x.height = lerpf(x.height, 0.12f + 0.22f * dome + 0.03f * fuzz, cover);
        x.occlusion = lerpf(x.occlusion, 0.6f + 0.2f * dome, cover);
    }
    return x;
}

// Lays `colour` over a texel with partial `cover` where `height` rises above what is there.
void layOver(Texel& texel, float cover, float height, const vec3& colour, float roughness, float occlusion) {
    if (cover <= 0.0f || height <= texel.height) return;
    texel.height = lerpf(texel.height, height, cover);
    texel.albedo = mixc(texel.albedo, colour, cover);
    texel.roughness = lerpf(texel.roughness, roughness, cover);
    texel.occlusion = lerpf(texel.occlusion, occlusion, cover);
}

// Clover in small clusters: three round leaflets with a pale band, about a centimetre each.
void paintClover(MaterialSheet& sheet, float scale) {
    const int n = sheet.pixelSize();
    BakeRandom rng(0xC10Fu);
    for (int cluster = 0; cluster < 24; ++cluster) {
        const float cs = rng.unit() * n, ct = rng.unit() * n;
        const int count = 6 + rng.below(10);
        for (int k = 0; k < count; ++k) {
            const float cx = cs + rng.range(-28.0f, 28.0f) * scale, cy = ct + rng.range(-28.0f, 28.0f) * scale;
            const float r = rng.range(3.0f, 4.6f) * std::max(scale, 0.5f), spin = rng.range(0.0f, 2.0f * kPi);
            const float lift = rng.range(0.35f, 0.55f);
            const vec3 colour = mixc(vec3(0.2f, 0.33f, 0.1f), vec3(0.26f, 0.41f, 0.13f), rng.unit());
            for (int leaf = 0; leaf < 3; ++leaf) {
                const float a = spin + leaf * 2.0f * kPi / 3.0f;
                const float lx = cx + std::cos(a) * r * 0.95f, ly = cy + std::sin(a) * r * 0.95f;
                const int reach = static_cast<int>(std::ceil(r)) + 1;
                for (int dy = -reach; dy <= reach; ++dy) {
                    for (int dx = -reach; dx <= reach; ++dx) {
                        const float px = std::floor(lx) + dx + 0.5f, py = std::floor(ly) + dy + 0.5f;
                        const float d = std::hypot(px - lx, py - ly) / r;
                        const float cover = clamp01((1.0f - d) * r + 0.5f);
                        const float fromStalk = std::hypot(px - cx, py - cy) / (2.0f * r);
                        const float band = std::exp(-std::pow((fromStalk - 0.45f) / 0.08f, 2.0f));
                        const int ix = ((static_cast<int>(std::floor(px)) % n) + n) % n;
                        const int iy = ((static_cast<int>(std::floor(py)) % n) + n) % n;
                        layOver(sheet.at(ix, iy), cover, lift + 0.08f * (1.0f - d * d),
                                mixc(colour, vec3(0.4f, 0.46f, 0.32f), 0.4f * band), 0.9f, 0.75f);
                    }
                }
            }
        }
    }
}

// Blades lying every which way, each an anti-aliased stroke above what lies under it: many where
// the meadow is lush, few where it is worn, more straw where it is dry.
void paintGroundBlades(MaterialSheet& sheet, float scale) {
    const int n = sheet.pixelSize();
    BakeRandom rng(0x6205u);
    const int blades = n * n / 13;
    for (int b = 0; b < blades; ++b) {
        const float s = rng.unit(), t = rng.unit();
        const float keep = rng.unit(), angle = rng.range(0.0f, 2.0f * kPi);
        const float length = rng.range(10.0f, 30.0f) * scale, width = rng.range(0.9f, 1.9f) * std::max(scale, 0.5f);
        const float kind = rng.unit(), shade = rng.unit(), lift = rng.range(0.2f, 0.6f);
        const float bend = rng.range(-0.025f, 0.025f);
        const float lush = groundLushness(s, t);
        if (keep > (0.15f + 0.85f * std::pow(lush, 1.3f)) * (1.0f - 0.6f * groundMossiness(s, t, lush))) continue;
        const float dry = groundDryness(s, t);
        vec3 colour;
        if (kind < 0.04f + 0.22f * dry) {
            colour = mixc(vec3(0.4f, 0.36f, 0.2f), vec3(0.5f, 0.44f, 0.26f), shade);   // straw
        } else if (kind < 0.3f + 0.25f * dry) {
            colour = mixc(vec3(0.3f, 0.38f, 0.12f), vec3(0.38f, 0.45f, 0.15f), shade);   // olive
        } else {
            colour = mixc(vec3(0.22f, 0.37f, 0.08f), vec3(0.31f, 0.48f, 0.12f), shade);   // fresh green
        }
        colour *= 0.92f + 0.16f * dry;
        const float ca = std::cos(angle), sa = std::sin(angle);
        for (float l = 0.0f; l < length; l += 0.6f) {
            const float f = l / length;
            const float w = width * (1.0f - 0.7f * f);
            const float cx = s * n + ca * l - sa * bend * l * l, cy = t * n + sa * l + ca * bend * l * l;
            for (int dy = -1; dy <= 2; ++dy) {
                for (int dx = -1; dx <= 2; ++dx) {
                    const float px = std::floor(cx) + dx, py = std::floor(cy) + dy;
                    const float across = std::fabs(-sa * (px + 0.5f - cx) + ca * (py + 0.5f - cy));
                    const int ix = ((static_cast<int>(px) % n) + n) % n, iy = ((static_cast<int>(py) % n) + n) % n;
                    // A blade rises from where it is rooted and is rounded across its width.
                    const float crown = lift + 0.2f * f + 0.08f * (1.0f - 2.0f * across / std::max(w, 0.5f));
                    layOver(sheet.at(ix, iy), clamp01(0.5f * w + 0.5f - across), crown, colour * (0.8f + 0.3f * f),
                            0.95f, 0.6f + 0.25f * f);
                }
            }
        }
    }
}

void paintGround(MaterialSheet& sheet) {
    const float scale = static_cast<float>(sheet.pixelSize()) / 1024.0f;
    sheet.paint(UvRect{}, true, true, groundUnderlayer);
    paintClover(sheet, scale);
    paintGroundBlades(sheet, scale);
    // Soften the strokes' edges, then take out the slow swell of the relief: where the grass is
    // thick its blades lie higher than the moss between, and those broad slopes would survive into
    // the distant mipmaps as blotches that repeat with the tile.
    const std::vector<float> fine = blurredHeights(sheet, 0.9f * std::max(scale, 0.5f));
    const std::vector<float> broad = blurredHeights(sheet, 12.0f * scale);
    for (int y = 0; y < sheet.pixelSize(); ++y)
        for (int x = 0; x < sheet.pixelSize(); ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * sheet.pixelSize() + x;
            sheet.at(x, y).height = fine[i] - broad[i];
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
    x.albedo = mixc(x.albedo, vec3(0.46f, 0.54f, 0.38f), 0.4f * marble);   // milky variegation
    x.albedo = mixc(x.albedo, vec3(0.56f, 0.6f, 0.44f), 0.8f * std::max(midrib, 0.7f * vein));
    x.albedo = mixc(x.albedo, vec3(0.62f, 0.56f, 0.32f), smoothStep(0.82f, 0.98f, a));   // spiny edge
    x.height = 0.9f * midrib - 0.35f * vein + 0.3f * blister + 0.08f * fine;
    x.roughness = 0.66f + 0.08f * fine;
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
    // Bristly florets standing up from the bulb: coarse enough to read on the few facets of the
    // head, dark between them, their pale pink ends crowding at the top.
    const float sway = 0.6f * pfbm(s, t, 6, 2, 2, 53u, true, false);
    const float bristle = std::pow(0.5f + 0.5f * std::cos(2.0f * kPi * (36.0f * s + sway)), 1.5f);
    const float strands = 0.5f + 0.5f * pfbm(s, t, 110, 3, 2, 51u, true, false);
    const float clumps = 0.5f + 0.5f * pfbm(s, t, 14, 2, 2, 52u, true, false);
    const vec3 purple = mixc(vec3(0.38f, 0.08f, 0.38f), vec3(0.66f, 0.22f, 0.62f), 0.6f * bristle + 0.4f * strands);
    x.albedo = mixc(purple, vec3(0.84f, 0.52f, 0.82f), smoothStep(0.6f, 1.0f, t) * (0.3f + 0.5f * bristle));
    x.albedo = mixc(vec3(0.62f, 0.6f, 0.52f), x.albedo, smoothStep(0.02f, 0.18f, t));   // pale florets at the base
    x.albedo *= (0.6f + 0.4f * bristle) * (0.85f + 0.15f * clumps);
    x.height = 0.4f * bristle + 0.3f * strands + 0.3f * clumps;
    x.roughness = 0.7f;
    x.occlusion = 0.5f + 0.35f * bristle + 0.15f * t;
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
            const vec3 lichen = ros.id % 6u == 0 ? vec3(0.64f, 0.46f, 0.24f) : vec3(0.6f, 0.64f, 0.46f);
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
// wood: fibrous bark around, the sawn or broken end with its growth rings.

// The bark's size on the mesh, so its grooves keep a real width whatever the region's aspect.
struct BarkSize {
    float around;   // circumference in metres (s wraps once around it)
    float along;    // length in metres covered by t
};

void paintWood(MaterialSheet& sheet, std::uint32_t seed, bool mossOnTop, BarkSize size) {
    // Grooves about two centimetres apart around the trunk; a whole number of them so s wraps.
    const int grooves = std::max(8, static_cast<int>(std::lround(size.around / 0.022f)));
    const float perMetre = static_cast<float>(grooves) / size.around;
    sheet.paint(sheet::kBark, true, false, [=](float s, float t) {
        Texel x;
        const float y = t * size.along * perMetre;   // along the trunk, in groove widths
        // Grooves meander a little as they run up the trunk, part and join again.
        const float meander = 0.7f * noise::fbm(s * 6.0f, y * 0.08f, 2, 6, 0, seed + 1u);
        // Ridges between the grooves: gradient noise stretched about eleven times along the trunk;
        // its zero lines are the long fissures.
        const float ridge = noise::fbm(s * grooves + meander, y * 0.09f, 3, grooves, 0, seed + 2u);
        const float fissure = 1.0f - smoothStep(0.02f, 0.13f, std::fabs(ridge));
        // Fine fibres along the trunk and a few cross checks where the bark has split.
        const float fibre = noise::fbm(s * grooves * 4.0f, y * 0.25f, 2, grooves * 4, 0, seed + 3u);
        const float checks = smoothStep(0.55f, 0.8f, noise::fbm(s * grooves, y * 0.7f, 2, grooves, 0, seed + 9u)) *
                             (1.0f - fissure);
        const float plate = noise::fbm(s * grooves * 0.25f, y * 0.05f, 3, 0, 0, seed + 4u);
        x.albedo = mixc(vec3(0.29f, 0.24f, 0.19f), vec3(0.42f, 0.36f, 0.29f), 0.5f + 0.6f * plate + 0.3f * fibre);
        x.albedo = mixc(x.albedo, vec3(0.15f, 0.12f, 0.09f), 0.7f * fissure + 0.3f * checks);
        x.height = 0.45f * (1.0f - fissure) + 0.3f * std::fabs(ridge) + 0.1f * fibre - 0.15f * checks;
        x.roughness = 0.88f;
        x.occlusion = 1.0f - 0.45f * fissure;
        // Grey-green lichen on the ridges, in loose patches.
        const float lichen = smoothStep(0.4f, 0.65f, pfbm(s, t, 10, 4, 4, seed + 5u, true, false)) * (1.0f - fissure);
        x.albedo = mixc(x.albedo, vec3(0.48f, 0.5f, 0.42f) * (0.9f + 0.2f * fibre), 0.55f * lichen);
        // Moss on the log's upper side (u = 0 faces up), or round the stump's foot.
        const float side = mossOnTop ? 0.5f + 0.5f * std::cos(2.0f * kPi * s) : 1.0f - t;
        const float moss = smoothStep(0.7f, 0.95f, side + 0.3f * pfbm(s, t, 10, 4, 4, seed + 6u, true, false) +
                                                       0.15f * fissure);
        const float fuzz = pfbm(s, t, 96, 24, 2, seed + 7u, true, false);
        x.albedo = mixc(x.albedo, mixc(vec3(0.2f, 0.28f, 0.08f), vec3(0.32f, 0.4f, 0.13f), 0.5f + fuzz), moss);
        x.height = lerpf(x.height, 0.6f + 0.2f * fuzz, moss);
        x.roughness = lerpf(x.roughness, 0.95f, moss);
        return x;
    });
    // The cut end: light early wood and thin dark late wood in each ring, darker heartwood, a
    // few radial checks from drying, a rim of bark.
    sheet.paint(sheet::kRings, false, false, [=](float s, float t) {
        Texel x;
        const float dx = 2.0f * s - 1.0f, dy = 2.0f * t - 1.0f;
        const float r = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
        // Rings are not quite round nor evenly spaced: the years were not all alike.
        const float wobble = 0.035f * noise::fbm(dx * 2.5f, dy * 2.5f, 3, 0, 0, seed + 10u);
        const float rr = r + wobble;
        const float years = 11.0f * rr + 0.8f * rr * rr;
        const float f = years - std::floor(years);
        const float late = smoothStep(0.62f, 0.9f, f) * (1.0f - smoothStep(0.93f, 1.0f, f));
        const float grain = noise::fbm(angle * 8.0f, rr * 60.0f, 2, 0, 0, seed + 11u);
        const float heart = 1.0f - smoothStep(0.3f, 0.55f, rr);
        vec3 wood = mixc(vec3(0.62f, 0.49f, 0.34f), vec3(0.38f, 0.26f, 0.17f), 0.85f * late);
        wood = mixc(wood, wood * vec3(0.82f, 0.74f, 0.66f), heart);
        wood *= 0.95f + 0.08f * grain;
        wood = mixc(wood, vec3(0.55f, 0.53f, 0.48f), 0.2f);   // weathered grey
        // Drying checks open from the bark inwards, widest at the rim: three, at unrelated angles
        // and of different depths, each a little crooked.
        float crack = 0.0f;
        const float crackAngle[3] = {0.7f, 2.6f, 4.4f}, crackDepth[3] = {0.5f, 0.3f, 0.62f};
        for (int k = 0; k < 3; ++k) {
            float off = angle - crackAngle[k] + 4.0f * wobble;
            off -= 2.0f * kPi * std::round(off / (2.0f * kPi));
            const float inner = 0.9f - crackDepth[k];
            const float width = 0.004f + 0.022f * clamp01((r - inner) / crackDepth[k]);
            crack = std::max(crack, std::exp(-std::pow(off * r / width, 2.0f)) * smoothStep(inner, inner + 0.08f, r));
        }
        x.albedo = mixc(wood, vec3(0.3f, 0.21f, 0.14f), 1.0f - smoothStep(0.0f, 0.05f, r));   // pith
        x.albedo = mixc(x.albedo, vec3(0.16f, 0.11f, 0.08f), 0.85f * crack);
        // The bark rim, and the thin pale cambium just inside it.
        const float cambium = smoothStep(0.83f, 0.87f, r) * (1.0f - smoothStep(0.88f, 0.9f, r));
        x.albedo = mixc(x.albedo, vec3(0.7f, 0.6f, 0.45f), 0.5f * cambium);
        x.albedo = mixc(x.albedo, vec3(0.24f, 0.19f, 0.14f) * (0.9f + 0.2f * grain), smoothStep(0.89f, 0.93f, r));
        x.height = 0.2f * (1.0f - late) + 0.05f * grain - 0.7f * crack + 0.3f * smoothStep(0.89f, 0.95f, r);
        x.roughness = 0.8f;
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
        // The stump: 0.21 m in radius, flared at its foot, 0.56 m tall; the log: 0.15 m by 1.9 m.
        {"stump", [](MaterialSheet& s) { paintWood(s, 401u, false, BarkSize{1.45f, 0.56f}); }},
        {"log", [](MaterialSheet& s) { paintWood(s, 501u, true, BarkSize{0.94f, 1.9f}); }},
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
        {"ground", 0.005f}, {"thistle", 0.006f}, {"rock", 0.011f}, {"stump", 0.008f}, {"log", 0.008f},
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

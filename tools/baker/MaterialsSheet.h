// A square material being painted: per-texel albedo, bump height, roughness, occlusion and
// metalness, filled region by region (see MaterialsLayout.h), then turned into the three RGBA
// images the engine loads: albedo, tangent-space normal, and AO/roughness/metalness.
// Albedo is stored sRGB-encoded, as an artist paints it; the lighting shader linearises it.
#pragma once

#include "tools/baker/LevelMesh.h"

#include <cstdint>
#include <functional>
#include <vector>

struct Texel {
    glm::vec3 albedo{0.5f};    // sRGB-encoded, [0, 1]
    float height = 0.0f;       // bump height in the sheet's own units (see bumpScale)
    float roughness = 0.8f;
    float occlusion = 1.0f;
    float metalness = 0.0f;
};

class MaterialSheet {
public:
    // s and t run over [0, 1) across the region, s along u and t along v.
    using Painter = std::function<Texel(float s, float t)>;

    explicit MaterialSheet(int size);

    // Paints every texel of `rect`. A wrapping direction makes the normal map's differences wrap
    // inside the region, for surfaces that close on themselves (tubes, the tiling ground).
    void paint(const UvRect& rect, bool wrapS, bool wrapT, const Painter& painter);
    Texel& at(int x, int y) { return texels[static_cast<std::size_t>(y) * size + x]; }
    int pixelSize() const { return size; }

    std::vector<std::uint8_t> albedoRgba() const;
    // Tangent-space normals from the height's slope per unit of texture coordinate times
    // `bumpScale`: red along +u (the tangent), green along +v (the bitangent), blue out.
    std::vector<std::uint8_t> normalRgba(float bumpScale) const;
    std::vector<std::uint8_t> aoRoughMetalRgba() const;

private:
    struct Region {
        int x0, y0, x1, y1;
        bool wrapS, wrapT;
    };
    int size;
    std::vector<Texel> texels;
    std::vector<int> regionOf;   // index into regions per texel, -1 when unpainted
    std::vector<Region> regions;
};

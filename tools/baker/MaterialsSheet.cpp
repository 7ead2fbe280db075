#include "tools/baker/MaterialsSheet.h"

#include <algorithm>
#include <cmath>

namespace {

std::uint8_t toByte(float v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
}

}  // namespace

MaterialSheet::MaterialSheet(int size)
    : size(size), texels(static_cast<std::size_t>(size) * size), regionOf(static_cast<std::size_t>(size) * size, -1) {}

void MaterialSheet::paint(const UvRect& rect, bool wrapS, bool wrapT, const Painter& painter) {
    const int x0 = static_cast<int>(std::lround(rect.u0 * size)), x1 = static_cast<int>(std::lround(rect.u1 * size));
    const int y0 = static_cast<int>(std::lround(rect.v0 * size)), y1 = static_cast<int>(std::lround(rect.v1 * size));
    regions.push_back(Region{x0, y0, x1, y1, wrapS, wrapT});
    const int id = static_cast<int>(regions.size() - 1);
    for (int y = y0; y < y1; ++y) {
        const float t = (static_cast<float>(y - y0) + 0.5f) / static_cast<float>(y1 - y0);
        for (int x = x0; x < x1; ++x) {
            const float s = (static_cast<float>(x - x0) + 0.5f) / static_cast<float>(x1 - x0);
            at(x, y) = painter(s, t);
            regionOf[static_cast<std::size_t>(y) * size + x] = id;
        }
    }
}

std::vector<std::uint8_t> MaterialSheet::albedoRgba() const {
    std::vector<std::uint8_t> out(texels.size() * 4);
    for (std::size_t i = 0; i < texels.size(); ++i) {
        out[i * 4 + 0] = toByte(texels[i].albedo.r);
        out[i * 4 + 1] = toByte(texels[i].albedo.g);
        out[i * 4 + 2] = toByte(texels[i].albedo.b);
        out[i * 4 + 3] = 255;
    }
    return out;
}

std::vector<std::uint8_t> MaterialSheet::normalRgba(float bumpScale) const {
    std::vector<std::uint8_t> out(texels.size() * 4);
    auto height = [&](int x, int y) { return texels[static_cast<std::size_t>(y) * size + x].height; };
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int id = regionOf[static_cast<std::size_t>(y) * size + x];
            // Neighbours stay inside the texel's own region: wrap where the surface closes,
            // otherwise clamp, so a region's edge never picks up its neighbour's relief.
            int xa = x - 1, xb = x + 1, ya = y - 1, yb = y + 1;
            if (id >= 0) {
                const Region& r = regions[id];
                auto fix = [](int v, int lo, int hi, bool wrap) {
                    if (v < lo) return wrap ? hi - 1 : lo;
                    if (v >= hi) return wrap ? lo : hi - 1;
                    return v;
                };
                xa = fix(xa, r.x0, r.x1, r.wrapS);
                xb = fix(xb, r.x0, r.x1, r.wrapS);
                ya = fix(ya, r.y0, r.y1, r.wrapT);
                yb = fix(yb, r.y0, r.y1, r.wrapT);
            } else {
                xa = std::max(xa, 0);
                xb = std::min(xb, size - 1);
                ya = std::max(ya, 0);
                yb = std::min(yb, size - 1);
            }
            // Each neighbour is one texel away (possibly across a wrap) or clamped onto x itself.
            const float spanX = static_cast<float>((xa != x) + (xb != x));
            const float spanY = static_cast<float>((ya != y) + (yb != y));
            const float du = spanX > 0 ? (height(xb, y) - height(xa, y)) * size / spanX : 0.0f;
            const float dv = spanY > 0 ? (height(x, yb) - height(x, ya)) * size / spanY : 0.0f;
            const glm::vec3 n = glm::normalize(glm::vec3(-du * bumpScale, -dv * bumpScale, 1.0f));
            std::uint8_t* p = &out[(static_cast<std::size_t>(y) * size + x) * 4];
            p[0] = toByte(n.x * 0.5f + 0.5f);
            p[1] = toByte(n.y * 0.5f + 0.5f);
            p[2] = toByte(n.z * 0.5f + 0.5f);
            p[3] = 255;
        }
    }
    return out;
}

std::vector<std::uint8_t> MaterialSheet::aoRoughMetalRgba() const {
    std::vector<std::uint8_t> out(texels.size() * 4);
    for (std::size_t i = 0; i < texels.size(); ++i) {
        out[i * 4 + 0] = toByte(texels[i].occlusion);
        out[i * 4 + 1] = toByte(texels[i].roughness);
        out[i * 4 + 2] = toByte(texels[i].metalness);
        out[i * 4 + 3] = 255;
    }
    return out;
}

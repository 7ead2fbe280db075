#include "tools/baker/MaterialsNoise.h"

#include <cmath>

namespace noise {

namespace {

int wrap(int i, int period) {
    if (period <= 0) return i;
    int m = i % period;
    return m < 0 ? m + period : m;
}

float quintic(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

// Eight unit gradients: cheap and isotropic enough for texture work.
constexpr float kGradX[8] = {1.0f, -1.0f, 0.0f, 0.0f, 0.70710678f, -0.70710678f, 0.70710678f, -0.70710678f};
constexpr float kGradY[8] = {0.0f, 0.0f, 1.0f, -1.0f, 0.70710678f, 0.70710678f, -0.70710678f, -0.70710678f};

float cornerDot(int ix, int iy, float fx, float fy, std::uint32_t seed) {
    const std::uint32_t h = hash(static_cast<std::uint32_t>(ix), static_cast<std::uint32_t>(iy), seed) & 7u;
    return kGradX[h] * fx + kGradY[h] * fy;
}

}  // namespace

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = seed * 0x9E3779B1u ^ x * 0x85EBCA77u ^ y * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

float hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    return static_cast<float>(hash(x, y, seed) >> 8) * (1.0f / 16777216.0f);
}

float gradient(float x, float y, int periodX, int periodY, std::uint32_t seed) {
    const float flx = std::floor(x), fly = std::floor(y);
    const int ix = static_cast<int>(flx), iy = static_cast<int>(fly);
    const float fx = x - flx, fy = y - fly;
    const int x0 = wrap(ix, periodX), x1 = wrap(ix + 1, periodX);
    const int y0 = wrap(iy, periodY), y1 = wrap(iy + 1, periodY);
    const float n00 = cornerDot(x0, y0, fx, fy, seed);
    const float n10 = cornerDot(x1, y0, fx - 1.0f, fy, seed);
    const float n01 = cornerDot(x0, y1, fx, fy - 1.0f, seed);
    const float n11 = cornerDot(x1, y1, fx - 1.0f, fy - 1.0f, seed);
    const float u = quintic(fx), v = quintic(fy);
    // 1.4: the raw range of 2D gradient noise is about +-0.7.
    return 1.4f * lerpf(lerpf(n00, n10, u), lerpf(n01, n11, u), v);
}

float fbm(float x, float y, int octaves, int periodX, int periodY, std::uint32_t seed, float gain) {
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * gradient(x, y, periodX, periodY, seed + 977u * static_cast<std::uint32_t>(o));
        norm += amplitude;
        amplitude *= gain;
        x *= 2.0f;
        y *= 2.0f;
        periodX *= 2;
        periodY *= 2;
    }
    return sum / norm;
}

CellSample cells(float x, float y, int periodX, int periodY, std::uint32_t seed, float jitter) {
    const float flx = std::floor(x), fly = std::floor(y);
    const int ix = static_cast<int>(flx), iy = static_cast<int>(fly);
    CellSample best{1e9f, 1e9f, 0u, 0.0f, 0.0f};
    for (int oy = -1; oy <= 1; ++oy) {
        for (int ox = -1; ox <= 1; ++ox) {
            const int cx = ix + ox, cy = iy + oy;
            const std::uint32_t wx = static_cast<std::uint32_t>(wrap(cx, periodX));
            const std::uint32_t wy = static_cast<std::uint32_t>(wrap(cy, periodY));
            const float px = static_cast<float>(cx) + 0.5f + jitter * (hashUnit(wx, wy, seed) - 0.5f);
            const float py = static_cast<float>(cy) + 0.5f + jitter * (hashUnit(wx, wy, seed + 1u) - 0.5f);
            const float dx = x - px, dy = y - py;
            const float d = std::sqrt(dx * dx + dy * dy);
            if (d < best.f1) {
                best.f2 = best.f1;
                best.f1 = d;
                best.id = hash(wx, wy, seed + 2u);
                best.dx = dx;
                best.dy = dy;
            } else if (d < best.f2) {
                best.f2 = d;
            }
        }
    }
    return best;
}

float value3(float x, float y, float z, std::uint32_t seed) {
    const float flx = std::floor(x), fly = std::floor(y), flz = std::floor(z);
    const int ix = static_cast<int>(flx), iy = static_cast<int>(fly), iz = static_cast<int>(flz);
    const float u = quintic(x - flx), v = quintic(y - fly), w = quintic(z - flz);
    auto corner = [&](int dx, int dy, int dz) {
        const std::uint32_t zs = seed + static_cast<std::uint32_t>(iz + dz) * 0x27D4EB2Fu;
        return hashUnit(static_cast<std::uint32_t>(ix + dx), static_cast<std::uint32_t>(iy + dy), zs) * 2.0f - 1.0f;
    };
    const float x00 = lerpf(corner(0, 0, 0), corner(1, 0, 0), u);
    const float x10 = lerpf(corner(0, 1, 0), corner(1, 1, 0), u);
    const float x01 = lerpf(corner(0, 0, 1), corner(1, 0, 1), u);
    const float x11 = lerpf(corner(0, 1, 1), corner(1, 1, 1), u);
    return lerpf(lerpf(x00, x10, v), lerpf(x01, x11, v), w);
}

float fbm3(float x, float y, float z, int octaves, std::uint32_t seed) {
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amplitude * value3(x, y, z, seed + 131u * static_cast<std::uint32_t>(o));
        norm += amplitude;
        amplitude *= 0.5f;
        x *= 2.0f;
        y *= 2.0f;
        z *= 2.0f;
    }
    return sum / norm;
}

}  // namespace noise

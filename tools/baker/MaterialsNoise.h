// Deterministic randomness for the level baker: a small seeded generator and hash-based 2D/3D
// noise (gradient noise, fractal sums, cellular noise). 2D noise can repeat with an integer period
// so that textures tile and tubes close seamlessly. No std:: distributions, no clocks: the same
// seed gives the same numbers on every run and every standard library.
#pragma once

#include <cstdint>

// splitmix64: tiny, fast, and good enough for placing leaves and pebbles.
class BakeRandom {
public:
    explicit BakeRandom(std::uint64_t seed) : state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // [0, 1), 24 bits of resolution so the value is exact in float.
    float unit() { return static_cast<float>(next() >> 40) * (1.0f / 16777216.0f); }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
    // 0 .. count-1
    int below(int count) { return static_cast<int>((next() >> 33) % static_cast<std::uint64_t>(count)); }

private:
    std::uint64_t state;
};

struct CellSample {
    float f1;            // distance to the nearest feature point, in lattice units
    float f2;            // distance to the second nearest
    std::uint32_t id;    // hash of the nearest cell, stable per cell
    float dx, dy;        // offset from the nearest feature point to the sample
};

namespace noise {

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed);
float hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed);   // [0, 1)

// Gradient noise in about [-1, 1]. A period > 0 makes it repeat every `period` lattice units.
float gradient(float x, float y, int periodX, int periodY, std::uint32_t seed);
// Fractal sum of gradient noise, normalised to about [-1, 1]; each octave doubles frequency and period.
float fbm(float x, float y, int octaves, int periodX, int periodY, std::uint32_t seed, float gain = 0.5f);
// Cellular (Worley) noise with one feature point per cell; periodic like `gradient`.
CellSample cells(float x, float y, int periodX, int periodY, std::uint32_t seed, float jitter = 0.9f);

// Smooth 3D value noise in [-1, 1] and its fractal sum, for displacing geometry (rocks, bark).
float value3(float x, float y, float z, std::uint32_t seed);
float fbm3(float x, float y, float z, int octaves, std::uint32_t seed);

}  // namespace noise

inline float smoothStep(float edge0, float edge1, float x) {
    float t = (x - edge0) / (edge1 - edge0);
    t = t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
    return t * t * (3.0f - 2.0f * t);
}
inline float clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }
inline float lerpf(float a, float b, float t) { return a + (b - a) * t; }

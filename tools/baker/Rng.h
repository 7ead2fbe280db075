// A tiny seeded generator for the baker's procedural content. The standard library's
// distributions differ between implementations, so everything random in the baked files
// comes from here and a fixed seed gives the same bytes everywhere.
#pragma once

#include <cstdint>

class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed * 2862933555777941757ull + 3037000493ull) { next(); }

    // PCG32 (O'Neill 2014): 64-bit LCG state, xorshift and random rotation on output.
    std::uint32_t next() {
        const std::uint64_t old = state_;
        state_ = old * 6364136223846793005ull + 1442695040888963407ull;
        const auto xorShifted = static_cast<std::uint32_t>(((old >> 18u) ^ old) >> 27u);
        const auto rotation = static_cast<std::uint32_t>(old >> 59u);
        return (xorShifted >> rotation) | (xorShifted << ((32u - rotation) & 31u));
    }

    // Uniform in [0, 1).
    float uniform() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
    float range(float low, float high) { return low + (high - low) * uniform(); }
    // Uniform integer in [0, count); count > 0.
    int below(int count) { return static_cast<int>(next() % static_cast<std::uint32_t>(count)); }

private:
    std::uint64_t state_;
};

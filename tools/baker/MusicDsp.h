// Small audio building blocks for the baked music: a band-limited wavetable oscillator, a
// state-variable filter, one-pole filters and a Freeverb-style stereo reverb. All of them run at
// the sample rate they are given and hold no global state, so rendering is repeatable bit for bit.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace dsp {

constexpr double kTwoPi = 6.283185307179586;

// One cycle of a waveform built from harmonics (amplitude of harmonic n = weights[n - 1]), read with
// linear interpolation. Built additively, so it holds no alias above the last harmonic.
class Wavetable {
public:
    explicit Wavetable(const std::vector<float>& weights, const std::vector<float>& phases = {}) : table_(kSize + 1) {
        for (int i = 0; i < kSize; ++i) {
            double v = 0.0;
            for (std::size_t n = 0; n < weights.size(); ++n) {
                const double phase = n < phases.size() ? phases[n] : 0.0;
                v += weights[n] * std::sin(kTwoPi * static_cast<double>((n + 1) * static_cast<std::size_t>(i)) / kSize + phase);
            }
            table_[static_cast<std::size_t>(i)] = static_cast<float>(v);
        }
        table_[kSize] = table_[0];
    }
    // phase in cycles, [0, 1).
    float at(double phase) const {
        const double position = phase * kSize;
        const auto index = static_cast<std::size_t>(position);
        const float fraction = static_cast<float>(position - static_cast<double>(index));
        return table_[index] + (table_[index + 1] - table_[index]) * fraction;
    }

private:
    static constexpr int kSize = 4096;
    std::vector<float> table_;
};

// Topology-preserving-transform state-variable filter (Zavalishin, "The Art of VA Filter Design"):
// stable under fast cutoff changes, which the pad's slow filter sweeps need.
class StateVariableFilter {
public:
    void setCutoff(double hertz, double q, double sampleRate) {
        const double g = std::tan(3.141592653589793 * std::min(hertz, 0.45 * sampleRate) / sampleRate);
        k_ = 1.0 / q;
        a1_ = 1.0 / (1.0 + g * (g + k_));
        a2_ = g * a1_;
        a3_ = g * a2_;
    }
    struct Out { float low, band, high; };
    Out process(float input) {
        const double v3 = input - ic2_;
        const double v1 = a1_ * ic1_ + a2_ * v3;
        const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        return {static_cast<float>(v2), static_cast<float>(v1), static_cast<float>(input - k_ * v1 - v2)};
    }

private:
    double k_ = 1.0, a1_ = 0.0, a2_ = 0.0, a3_ = 0.0;
    double ic1_ = 0.0, ic2_ = 0.0;
};

// One-pole low-pass; high-pass is the input minus it.
class OnePole {
public:
    void setCutoff(double hertz, double sampleRate) { a_ = static_cast<float>(1.0 - std::exp(-kTwoPi * hertz / sampleRate)); }
    float lowPass(float input) { return state_ += a_ * (input - state_); }
    float highPass(float input) { return input - lowPass(input); }

private:
    float a_ = 1.0f;
    float state_ = 0.0f;
};

// Freeverb's structure (Jezar at Dreampoint, public domain): eight damped feedback combs in
// parallel, then four series all-passes, with the right channel's delays 23 samples longer.
class Reverb {
public:
    Reverb(double sampleRate, float feedback, float damping) {
        const int combs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
        const int allPasses[4] = {556, 441, 341, 225};
        const double scale = sampleRate / 44100.0;
        for (int side = 0; side < 2; ++side) {
            for (int length : combs)
                combs_[side].push_back({std::vector<float>(static_cast<std::size_t>((length + 23 * side) * scale)), 0, 0.0f});
            for (int length : allPasses)
                allPasses_[side].push_back({std::vector<float>(static_cast<std::size_t>((length + 23 * side) * scale)), 0});
        }
        feedback_ = feedback;
        damping_ = damping;
    }

    // Mono in, stereo out (wet only).
    void process(float input, float& left, float& right) {
        float* outs[2] = {&left, &right};
        for (int side = 0; side < 2; ++side) {
            float sum = 0.0f;
            for (Comb& c : combs_[side]) {
                const float out = c.buffer[c.index];
                c.filtered = out * (1.0f - damping_) + c.filtered * damping_;
                c.buffer[c.index] = input + c.filtered * feedback_;
                if (++c.index == c.buffer.size()) c.index = 0;
                sum += out;
            }
            for (AllPass& a : allPasses_[side]) {
                const float delayed = a.buffer[a.index];
                a.buffer[a.index] = sum + delayed * 0.5f;
                sum = delayed - sum;
                if (++a.index == a.buffer.size()) a.index = 0;
            }
            *outs[side] = sum;
        }
    }

private:
    struct Comb { std::vector<float> buffer; std::size_t index; float filtered; };
    struct AllPass { std::vector<float> buffer; std::size_t index; };
    std::vector<Comb> combs_[2];
    std::vector<AllPass> allPasses_[2];
    float feedback_;
    float damping_;
};

inline double midiToHertz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Raised-cosine ramp from 0 to 1 over [0, length]: no click at either end.
inline float softRamp(double t, double length) {
    if (t <= 0.0) return 0.0f;
    if (t >= length) return 1.0f;
    return static_cast<float>(0.5 - 0.5 * std::cos(3.141592653589793 * t / length));
}

}  // namespace dsp

// The soundtrack: about three minutes of ambient music synthesised sample by sample and encoded
// as MP3 with LAME. A dusky D minor part (filtered pads, a slow flute-like melody, wind) turns to
// D major when the light changes, 85 s into play, which is 96 s into the music since the music
// starts with the 11-second intro; sparkles and an open filter carry the hopeful part to the end.
#include "tools/baker/Bake.h"
#include "tools/baker/BakeFiles.h"
#include "tools/baker/MusicDsp.h"
#include "tools/baker/MusicEncoder.h"
#include "tools/baker/Rng.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSampleRate = 44100;
constexpr int kBitRate = 160;
constexpr double kIntroSeconds = 11.0;                       // music starts with the intro screen
constexpr double kMoodChange = kIntroSeconds + 85.0;         // the light change, in music time
constexpr double kCredits = kIntroSeconds + 165.0;           // end of play: the credits appear
constexpr double kFullLength = 182.0;
constexpr double kReducedLength = 4.0;

struct Chord {
    double start;
    double length;
    std::vector<int> notes;   // MIDI numbers of the pad voicing
    int bass;
};

struct Note {
    double start;
    double length;
    int midi;
    float velocity;
};

struct Pluck {
    double start;
    int midi;
    float velocity;
    float pan;     // -1 left .. 1 right
    float decay;   // seconds to fall by 1/e
};

struct Score {
    std::vector<Chord> chords;
    std::vector<Note> melody;
    std::vector<Pluck> plucks;
};

// Voicings: open spreads with no semitone clashes inside the pad.
const std::vector<int> kDm9{50, 57, 65, 72, 76}, kBbMaj7{46, 53, 62, 65, 69}, kGm9{43, 50, 58, 65, 69},
    kAsus4{45, 52, 62, 64, 69}, kA{45, 52, 61, 64, 69}, kFMaj7{41, 48, 57, 64, 67}, kDadd9{50, 57, 64, 66, 74},
    kBm7{47, 54, 62, 64, 69}, kGMaj9{43, 50, 57, 62, 66}, kAsus2{45, 52, 59, 64, 69}, kFsm7{42, 49, 57, 64, 69},
    kGMaj7{43, 50, 59, 62, 66}, kEm9{40, 47, 55, 62, 66}, kDMaj9{50, 57, 64, 66, 73};

// Melody phrases: {beat offset, beats, MIDI note}, one beat = one second (60 bpm).
struct PhraseNote { double beat; double beats; int midi; };
using Phrase = std::vector<PhraseNote>;
const Phrase kDuskA{{0, 2, 74}, {2, 2, 72}, {4, 4, 70}, {8, 3, 69}, {11, 1, 67}, {12, 4, 69}};
const Phrase kDuskB{{0, 2, 69}, {2, 1, 72}, {3, 5, 74}, {8, 2, 76}, {10, 2, 77}, {12, 4, 74}};
const Phrase kDuskC{{0, 2, 74}, {2, 2, 77}, {4, 4, 76}, {8, 3, 74}, {11, 1, 72}, {12, 4, 69}};
const Phrase kDuskD{{0, 1, 81}, {1, 1, 79}, {2, 4, 77}, {6, 2, 76}, {8, 3, 74}, {11, 1, 76}, {12, 4, 77}};
// Ends on C sharp over A major: the first hint of the major key before the change.
const Phrase kDuskE{{0, 2, 76}, {2, 2, 77}, {4, 4, 79}, {8, 2, 76}, {10, 2, 74}, {12, 4, 73}};
const Phrase kHopeA{{0, 2, 78}, {2, 2, 81}, {4, 4, 83}, {8, 2, 81}, {10, 2, 78}, {12, 4, 76}};
const Phrase kHopeB{{0, 3, 74}, {3, 1, 76}, {4, 4, 78}, {8, 2, 76}, {10, 2, 73}, {12, 4, 76}};
const Phrase kHopeC{{0, 2, 81}, {2, 2, 83}, {4, 4, 86}, {8, 3, 85}, {11, 1, 83}, {12, 4, 81}};
const Phrase kHopeD{{0, 2, 83}, {2, 2, 81}, {4, 4, 79}, {8, 2, 78}, {10, 2, 76}, {12, 4, 78}};
const Phrase kHopeE{{0, 4, 79}, {4, 4, 78}, {8, 4, 76}, {12, 4, 73}};

void addPhrase(Score& score, double start, const Phrase& phrase, float velocity) {
    for (const PhraseNote& n : phrase) score.melody.push_back({start + n.beat, n.beats, n.midi, velocity});
}

void addChime(Score& score, double start, const std::vector<int>& notes) {
    float pan = -0.5f;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        score.plucks.push_back({start + 0.16 * static_cast<double>(i), notes[i], 0.2f, pan, 2.6f});
        pan += 1.0f / static_cast<float>(notes.size());
    }
}

Score composeScore() {
    Score score;
    // Dusk: eight-second chords; the last two bars suspend on A and resolve to A major.
    const std::vector<int>* dusk[] = {&kDm9, &kBbMaj7, &kGm9, &kAsus4, &kDm9, &kBbMaj7, &kGm9, &kAsus4,
                                      &kDm9, &kBbMaj7, &kFMaj7};
    const int duskBass[] = {38, 46, 43, 45, 38, 46, 43, 45, 38, 46, 41};
    for (int i = 0; i < 11; ++i) score.chords.push_back({8.0 * i, 8.0, *dusk[i], duskBass[i]});
    score.chords.push_back({88.0, 4.0, kAsus4, 45});
    score.chords.push_back({92.0, 4.0, kA, 45});

    // Hope: D major from the light change to the credits, then a last chord that rings out.
    const std::vector<int>* hope[] = {&kDadd9, &kBm7, &kGMaj9, &kAsus2, &kDadd9, &kFsm7, &kGMaj7, &kEm9, &kGMaj9};
    const int hopeBass[] = {38, 47, 43, 45, 38, 42, 43, 40, 43};
    for (int i = 0; i < 9; ++i) score.chords.push_back({kMoodChange + 8.0 * i, 8.0, *hope[i], hopeBass[i]});
    score.chords.push_back({kMoodChange + 72.0, 4.0, kAsus4, 45});
    score.chords.push_back({kMoodChange + 76.0, 4.0, kA, 45});
    score.chords.push_back({kCredits, kFullLength - kCredits, kDMaj9, 38});

    addPhrase(score, 16.0, kDuskA, 0.8f);
    addPhrase(score, 32.0, kDuskB, 0.85f);
    addPhrase(score, 48.0, kDuskC, 0.85f);
    addPhrase(score, 64.0, kDuskD, 0.9f);
    addPhrase(score, 80.0, kDuskE, 0.85f);
    addPhrase(score, kMoodChange, kHopeA, 0.9f);
    addPhrase(score, kMoodChange + 16.0, kHopeB, 0.9f);
    addPhrase(score, kMoodChange + 32.0, kHopeC, 0.95f);
    addPhrase(score, kMoodChange + 48.0, kHopeD, 0.9f);
    addPhrase(score, kMoodChange + 64.0, kHopeE, 0.85f);
    score.melody.push_back({kCredits, 5.0, 74, 0.8f});

    addChime(score, kMoodChange, {86, 90, 93, 88});
    addChime(score, kCredits, {86, 90, 93, 97});

    // Sparkles: chord tones high up on a half-second grid, growing denser after the change.
    Rng rng(1796u);
    for (double t = kMoodChange + 2.0; t < kCredits; t += 0.5) {
        const double ramp = std::min(1.0, (t - kMoodChange) / 24.0);
        if (rng.uniform() > 0.16 + 0.22 * ramp) continue;
        const Chord* chord = &score.chords.front();
        for (const Chord& c : score.chords)
            if (c.start <= t) chord = &c;
        int midi = chord->notes[static_cast<std::size_t>(rng.below(static_cast<int>(chord->notes.size())))];
        while (midi < 79) midi += 12;
        while (midi > 93) midi -= 12;
        score.plucks.push_back({t + rng.range(0.0f, 0.06f), midi, rng.range(0.09f, 0.2f), rng.range(-0.7f, 0.7f),
                                rng.range(0.5f, 0.9f)});
    }
    return score;
}

// Stereo bus: two channels of the same length.
struct Bus {
    std::vector<float> left, right;
    explicit Bus(std::size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
};

// Equal-power panning.
void panGains(float pan, float& left, float& right) {
    const double angle = (static_cast<double>(pan) + 1.0) * 0.25 * 3.141592653589793;
    left = static_cast<float>(std::cos(angle));
    right = static_cast<float>(std::sin(angle));
}

std::size_t toFrame(double seconds) { return static_cast<std::size_t>(std::max(0.0, seconds) * kSampleRate); }

double toSeconds(std::size_t frame) { return static_cast<double>(frame) / kSampleRate; }

// Calls body(frame, gain) for frames [first, last), where gain follows control(frame) computed
// every 32 frames and interpolated between: envelopes and slow modulations at control rate.
template <class Control, class Body>
void forEachFrame(std::size_t first, std::size_t last, Control control, Body body) {
    constexpr std::size_t kBlock = 32;
    for (std::size_t start = first; start < last; start += kBlock) {
        const std::size_t end = std::min(last, start + kBlock);
        const float g0 = control(start), g1 = control(start + kBlock);
        for (std::size_t i = start; i < end; ++i)
            body(i, g0 + (g1 - g0) * static_cast<float>(i - start) * (1.0f / static_cast<float>(kBlock)));
    }
}

// Pads: three slightly detuned copies of a soft saw-like wave per note, spread across the field,
// with slow attacks and releases so the chords melt into each other. After the change each note
// also gets a quiet octave above.
void renderPads(const Score& score, Bus& bus, Rng& rng) {
    std::vector<float> weights, phases;
    for (int n = 1; n <= 20; ++n) {
        weights.push_back(static_cast<float>(std::pow(n, -1.3)));
        phases.push_back(rng.range(0.0f, 6.2831853f));
    }
    const dsp::Wavetable wave(weights, phases);
    const std::size_t frames = bus.left.size();
    constexpr double kAttack = 3.0, kRelease = 4.5;
    for (const Chord& chord : score.chords) {
        const bool hopeful = chord.start >= kMoodChange;
        for (int note : chord.notes) {
            for (int voice = 0; voice < (hopeful ? 4 : 3); ++voice) {
                const bool octave = voice == 3;
                const double cents = octave ? 3.0 : (voice - 1) * 7.0 + rng.range(-1.5f, 1.5f);
                const double hertz = dsp::midiToHertz(note + (octave ? 12 : 0) + cents / 100.0);
                const float amplitude = (octave ? 0.018f : 0.05f) * (note < 48 ? 0.8f : 1.0f);
                float gainL, gainR;
                panGains(octave ? 0.0f : (voice - 1) * 0.6f + rng.range(-0.1f, 0.1f), gainL, gainR);
                const double swellRate = rng.range(0.05f, 0.12f);
                const double swellPhase = rng.range(0.0f, 6.2831853f);
                double phase = rng.uniform();
                const double step = hertz / kSampleRate;
                const std::size_t first = toFrame(chord.start);
                const std::size_t last = std::min(frames, toFrame(chord.start + chord.length + kRelease));
                auto gain = [&](std::size_t i) {
                    const double t = toSeconds(i) - chord.start;
                    const float envelope = dsp::softRamp(t, kAttack) * (1.0f - dsp::softRamp(t - chord.length, kRelease));
                    return amplitude * envelope *
                           (0.85f + 0.15f * static_cast<float>(std::sin(dsp::kTwoPi * swellRate * t + swellPhase)));
                };
                forEachFrame(first, last, gain, [&](std::size_t i, float g) {
                    const float v = wave.at(phase) * g;
                    bus.left[i] += v * gainL;
                    bus.right[i] += v * gainR;
                    phase += step;
                    if (phase >= 1.0) phase -= 1.0;
                });
            }
        }
    }
}

// Bass: a sine with a touch of second harmonic under each chord's root.
void renderBass(const Score& score, Bus& bus) {
    const dsp::Wavetable wave({1.0f, 0.2f});
    const std::size_t frames = bus.left.size();
    for (const Chord& chord : score.chords) {
        const double step = dsp::midiToHertz(chord.bass) / kSampleRate;
        const std::size_t first = toFrame(chord.start);
        const std::size_t last = std::min(frames, toFrame(chord.start + chord.length + 3.0));
        double phase = 0.0;
        auto gain = [&](std::size_t i) {
            const double t = toSeconds(i) - chord.start;
            return 0.06f * dsp::softRamp(t, 2.0) * (1.0f - dsp::softRamp(t - chord.length, 3.0));
        };
        forEachFrame(first, last, gain, [&](std::size_t i, float g) {
            const float v = wave.at(phase) * g;
            bus.left[i] += v;
            bus.right[i] += v;
            phase += step;
            if (phase >= 1.0) phase -= 1.0;
        });
    }
}

// Melody: a breathy flute-like tone (sine, a little second and third harmonic) with a slow attack
// and vibrato that arrives after the note has settled.
void renderMelody(const Score& score, Bus& bus, Rng& rng) {
    const dsp::Wavetable wave({1.0f, 0.16f, 0.06f, 0.02f});
    const std::size_t frames = bus.left.size();
    constexpr double kAttack = 0.22, kRelease = 1.6;
    float gainL, gainR;
    panGains(0.15f, gainL, gainR);
    for (const Note& note : score.melody) {
        const double hertz = dsp::midiToHertz(note.midi);
        const double vibratoRate = rng.range(4.4f, 5.2f);
        // Legato: the note ends a little after the next begins.
        const double length = note.length + 0.1;
        const std::size_t first = toFrame(note.start);
        const std::size_t last = std::min(frames, toFrame(note.start + length + kRelease));
        double phase = 0.0;
        double t = toSeconds(first) - note.start;
        auto gain = [&](std::size_t i) {
            const double u = toSeconds(i) - note.start;
            return 0.2f * note.velocity * dsp::softRamp(u, kAttack) * (0.8f + 0.2f * (1.0f - dsp::softRamp(u, 1.2))) *
                   (1.0f - dsp::softRamp(u - length, kRelease));
        };
        forEachFrame(first, last, gain, [&](std::size_t i, float g) {
            const double vibrato = 1.0 + 0.0035 * dsp::softRamp(t - 0.5, 0.8) * std::sin(dsp::kTwoPi * vibratoRate * t);
            const float v = wave.at(phase) * g;
            bus.left[i] += v * gainL;
            bus.right[i] += v * gainR;
            phase += hertz * vibrato / kSampleRate;
            if (phase >= 1.0) phase -= 1.0;
            t += 1.0 / kSampleRate;
        });
    }
}

// Plucks and chimes: a sine with a quieter inharmonic partial (ratio 2.76, as a struck bar) that
// dies faster, so they ring like small glass bells.
void renderPlucks(const Score& score, Bus& bus) {
    const dsp::Wavetable sine({1.0f});
    const std::size_t frames = bus.left.size();
    for (const Pluck& pluck : score.plucks) {
        const double step = dsp::midiToHertz(pluck.midi) / kSampleRate;
        float gainL, gainR;
        panGains(pluck.pan, gainL, gainR);
        const std::size_t first = toFrame(pluck.start);
        const std::size_t last = std::min(frames, toFrame(pluck.start + pluck.decay * 7.0));
        // Exponential decays as per-sample factors.
        const double bodyFactor = std::exp(-1.0 / (pluck.decay * kSampleRate));
        const double partialFactor = std::exp(-1.0 / (0.3 * pluck.decay * kSampleRate));
        double body = pluck.velocity, partial = 0.25 * pluck.velocity;
        double phase = 0.0, partialPhase = 0.0;
        const std::size_t attack = toFrame(0.004);
        for (std::size_t i = first; i < last; ++i) {
            const std::size_t n = i - first;
            const float onset = n < attack ? static_cast<float>(n) / static_cast<float>(attack) : 1.0f;
            const float v = onset * static_cast<float>(body * sine.at(phase) + partial * sine.at(partialPhase));
            bus.left[i] += v * gainL;
            bus.right[i] += v * gainR;
            body *= bodyFactor;
            partial *= partialFactor;
            phase += step;
            if (phase >= 1.0) phase -= 1.0;
            partialPhase += step * 2.76;
            if (partialPhase >= 1.0) partialPhase -= 1.0;
        }
    }
}

// Wind: independent noise per channel through a wide band-pass whose centre drifts, in gusts; it
// is strongest in the dusk and thins out after the change.
void renderWind(Bus& bus, Rng& rng) {
    const std::size_t frames = bus.left.size();
    dsp::StateVariableFilter filters[2];
    for (int side = 0; side < 2; ++side) {
        std::vector<float>& out = side == 0 ? bus.left : bus.right;
        const double offset = side * 2.3;
        auto gain = [&](std::size_t i) {
            const double t = toSeconds(i);
            const double gust = 0.45 + 0.55 * std::pow(std::sin(dsp::kTwoPi * t / 17.0 + offset) * 0.5 + 0.5, 2.0);
            const double level = 0.30 - 0.18 * dsp::softRamp(t - (kMoodChange - 6.0), 14.0) +
                                 0.08 * dsp::softRamp(t - kCredits, 4.0);
            return static_cast<float>(gust * level);
        };
        forEachFrame(0, frames, gain, [&](std::size_t i, float g) {
            if (i % 32 == 0) {
                const double t = toSeconds(i);
                const double centre = 520.0 + 300.0 * std::sin(dsp::kTwoPi * t / 23.0 + offset) +
                                      140.0 * std::sin(dsp::kTwoPi * t / 7.3 + 1.7 * offset);
                filters[side].setCutoff(centre, 0.9, kSampleRate);
            }
            out[i] += filters[side].process(rng.range(-1.0f, 1.0f)).band * g;
        });
    }
}

// The pad's low-pass: dark in the dusk, opening over ten seconds at the light change, with a
// slow breathing on top.
double padCutoff(double t) {
    const double base = 650.0 + 1300.0 * dsp::softRamp(t - (kMoodChange - 2.0), 10.0);
    return base * (1.0 + 0.22 * std::sin(dsp::kTwoPi * t / 19.0));
}

std::vector<float> renderMusic(double seconds) {
    const std::size_t frames = toFrame(seconds);
    const Score score = composeScore();
    Rng rng(20251210u);

    Bus pads(frames), bass(frames), melody(frames), plucks(frames), wind(frames);
    renderPads(score, pads, rng);
    renderBass(score, bass);
    renderMelody(score, melody, rng);
    renderPlucks(score, plucks);
    renderWind(wind, rng);

    // Pads through their filter.
    dsp::StateVariableFilter padFilter[2];
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % 32 == 0)
            for (auto& f : padFilter) f.setCutoff(padCutoff(static_cast<double>(i) / kSampleRate), 0.6, kSampleRate);
        pads.left[i] = padFilter[0].process(pads.left[i]).low;
        pads.right[i] = padFilter[1].process(pads.right[i]).low;
    }

    // Melody echoes: ping-pong at three quarters of a beat, darkened on every repeat.
    {
        const std::size_t delay = toFrame(0.75);
        std::vector<float> lineL(delay, 0.0f), lineR(delay, 0.0f);
        dsp::OnePole toneL, toneR;
        toneL.setCutoff(2800.0, kSampleRate);
        toneR.setCutoff(2800.0, kSampleRate);
        std::size_t index = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            const float echoL = lineL[index], echoR = lineR[index];
            lineL[index] = toneL.lowPass(0.5f * (melody.left[i] + melody.right[i]) + 0.4f * echoR);
            lineR[index] = toneR.lowPass(0.4f * echoL);
            melody.left[i] += 0.3f * echoL;
            melody.right[i] += 0.3f * echoR;
            if (++index == delay) index = 0;
        }
    }

    // Mix, with a shared reverb fed by sends.
    dsp::Reverb reverb(kSampleRate, 0.88f, 0.3f);
    dsp::OnePole highPass[2], lowPass[2];
    for (int side = 0; side < 2; ++side) {
        highPass[side].setCutoff(28.0, kSampleRate);
        lowPass[side].setCutoff(11000.0, kSampleRate);
    }
    std::vector<float> out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const float dryL = 0.8f * pads.left[i] + bass.left[i] + melody.left[i] + 0.75f * plucks.left[i] + wind.left[i];
        const float dryR = 0.8f * pads.right[i] + bass.right[i] + melody.right[i] + 0.75f * plucks.right[i] + wind.right[i];
        const float send = 0.5f * (pads.left[i] + pads.right[i]) + 0.1f * (bass.left[i] + bass.right[i]) +
                           0.5f * (melody.left[i] + melody.right[i]) + 0.65f * (plucks.left[i] + plucks.right[i]) +
                           0.25f * (wind.left[i] + wind.right[i]);
        float wetL = 0.0f, wetR = 0.0f;
        reverb.process(send * 0.015f, wetL, wetR);
        const double t = static_cast<double>(i) / kSampleRate;
        const float fade = dsp::softRamp(t, 2.0) * (1.0f - dsp::softRamp(t - (seconds - 5.0), 5.0));
        out[i * 2] = fade * lowPass[0].lowPass(highPass[0].highPass(dryL + 1.6f * wetL));
        out[i * 2 + 1] = fade * lowPass[1].lowPass(highPass[1].highPass(dryR + 1.6f * wetR));
    }
    return out;
}

}  // namespace

void bakeMusic(const BakeOptions& options) {
    const std::string folder = prepareFolder(options.assetsDir, "media");
    if (folder.empty()) return;
    std::vector<float> samples = renderMusic(options.reduced ? kReducedLength : kFullLength);

    // Normalise to a peak of -1 dBFS: loud enough, with room for the encoder's ringing.
    float peak = 0.0f;
    double energy = 0.0;
    for (float v : samples) {
        peak = std::max(peak, std::abs(v));
        energy += static_cast<double>(v) * v;
    }
    const float gain = peak > 0.0f ? 0.891f / peak : 1.0f;
    for (float& v : samples) v *= gain;
    const double rms = std::sqrt(energy / static_cast<double>(std::max<std::size_t>(samples.size(), 1))) * gain;
    std::printf("music: %.1f s, peak -1.0 dBFS, RMS %.1f dBFS\n",
                static_cast<double>(samples.size() / 2) / kSampleRate, 20.0 * std::log10(std::max(rms, 1e-9)));
    std::fflush(stdout);

    std::string why;
    const std::vector<std::uint8_t> mp3 = encodeMp3(samples, kSampleRate, kBitRate, &why);
    if (mp3.empty()) {
        std::printf("ERROR: Failed to encode '%smusic.mp3': %s\n", folder.c_str(), why.c_str());
        std::fflush(stdout);
        return;
    }
    writeFileBytes(folder + "music.mp3", mp3);
}

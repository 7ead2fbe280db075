// The phases of a run (loading, 11 s intro, 165 s of play with a light change at 85 s, credits),
// their timers, the two timed events and the emission pulse, as plain state with no GL. The frame
// loop hands it each frame's time step and carries out what it reports, in the frame's order.
//
// Every event is decided by the clock reaching its time, never by a frame landing in a window, so
// the run looks the same at 60 frames a second and at one frame every few seconds: the light change
// and the end of play fire exactly once, on the first frame at or past their time, and pulses keep a
// schedule of their own on the play clock.
#pragma once

inline constexpr float kIntroSeconds = 11.0f;
inline constexpr float kPlayEndSeconds = 165.0f;
inline constexpr float kLightChangeSeconds = 85.0f;
inline constexpr float kFirstPulseSeconds = 1.0f;  // the pulse timer's start value
inline constexpr float kPulseMinimumGap = 0.5f;     // plus a random part of up to 1 s
// A time counts as reached this close before it: far below any frame, it absorbs the rounding of
// thousands of summed frame steps, so a fixed-rate clock reaches 11 s after exactly 11 s of frames.
inline constexpr double kClockTolerance = 1e-6;

// What one frame has to do, in the order the frame loop does it.
struct FrameEvents {
    bool play = false;         // the level simulates and renders this frame
    float playDelta = 0.0f;    // seconds of play this frame: 0 on the first play frame, else the step
    bool playEnds = false;     // credits from this frame on; this frame's play passes still run
    bool lightChange = false;  // the 85 s change of light
    int pulses = 0;            // emission pulses due during this frame (0 in wireframe frames)
    bool drawIntro = false;
    bool playStarts = false;   // at the end of this frame: the next frame is the first of play
    bool drawCredits = false;
};

class GameFlow {
public:
    // The standard library's rand(), never seeded: every run repeats the same pulse sequence.
    using RandomSource = int (*)();

    // `random` returns values in 0..RAND_MAX; only its top 15 bits are used.
    explicit GameFlow(RandomSource random = nullptr);

    // The load sequence has finished: the intro starts with its full length.
    void finishLoading();
    // Advances the clocks by `delta` seconds and reports what this frame does. `wireframe` frames
    // neither pulse nor move the pulse schedule.
    FrameEvents advance(double delta, bool wireframe);

    // Seconds of play: 0 on the first play frame, which shows the pose the intro's end set up. Before
    // play it counts the time since loading. Summed in double precision, so that a fixed-rate clock
    // gives play time n / rate on the n-th play frame, exactly enough to match video frames.
    double playTime() const { return playTime_; }

    bool loadPending = true;
    bool introActive = false;
    double introTimer = 0.0;
    bool running = false;
    bool creditsActive = false;
    bool musicMuted = false;
    double pulseTimer = kFirstPulseSeconds;  // seconds until the next pulse is due

    bool operator==(const GameFlow&) const = default;

private:
    int duePulses();

    RandomSource random;
    double playTime_ = 0.0;
    bool firstPlayFrame = false;
    bool lightChanged = false;
};

// The process-wide flags (the input callbacks toggle musicMuted here).
GameFlow& gameFlow();

// The phases of a run (loading, 11 s intro, 165 s of play with a light change at 85 s, credits)
// as flags and timers that the frame loop tests at fixed points of each frame.
#pragma once

struct GameFlow {
    bool loadPending = true;
    bool introActive = false;
    float introTimer = 0.0f;
    bool running = false;
    bool creditsActive = false;
    bool musicMuted = false;
    float pulseTimer = 1.0f;
};

inline constexpr float kIntroSeconds = 11.0f;
inline constexpr float kPlayEndSeconds = 165.0f;
inline constexpr double kPlayEndLowerBound = 164.9;
inline constexpr float kLightChangeSeconds = 85.0f;
inline constexpr double kLightChangeLowerBound = 84.9;

// The process-wide flags (the input callbacks toggle musicMuted here).
GameFlow& gameFlow();

// Simulation runs in fixed steps of 1/60 s, decoupled from the frame rate: as many steps per frame
// as the accumulated time allows, the remainder carried to the next frame.
#pragma once

inline constexpr float kFixedStep = 0.016666668f;  // 1/60 in single precision

// Adds `delta` to `accumulator`, removes every whole step and returns how many there were.
inline int consumeFixedSteps(float& accumulator, float delta) {
    accumulator += delta;
    int steps = 0;
    while (accumulator >= kFixedStep) {
        accumulator -= kFixedStep;
        ++steps;
    }
    return steps;
}

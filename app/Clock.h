// Where the frame loop takes its time from: GLFW's clock for the demo, a fixed-step clock for tests
// and tools that must advance play time deterministically whatever a frame really costs.
#pragma once

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since some fixed origin; called once per frame and whenever the loop resets its time base.
    virtual double now() = 0;
};

class GlfwClock final : public Clock {
public:
    double now() override;
};

// Every reading is `step` seconds after the previous one.
class FixedStepClock final : public Clock {
public:
    explicit FixedStepClock(double step, double start = 0.0) : step(step), current(start) {}
    double now() override {
        const double reading = current;
        current += step;
        return reading;
    }

private:
    double step;
    double current;
};

// Progress of a long render on standard error: on a terminal a bar redrawn in place with frames done,
// frames per second and the time left; otherwise (a log, a pipe) a plain line every few percent.
#pragma once

#include <chrono>
#include <cstdio>

class Progress {
public:
    Progress(long total, std::FILE* out = stderr);
    // `done` frames of `total` are finished.
    void update(long done);
    // Ends the bar's line.
    void finish();

private:
    using Clock = std::chrono::steady_clock;
    long total;
    std::FILE* out;
    bool terminal;
    int nextPercent = 0;
    Clock::time_point firstFrame;
    bool started = false;
};

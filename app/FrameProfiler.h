// Wall-clock cost of each pass of a frame, measured on the CPU around glFinish (timer queries read
// about 0 on a software rasteriser). Only tools attach one: glFinish stalls the pipeline.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

class FrameProfiler {
public:
    // Starts a frame's measurement.
    void begin();
    // Waits for the GL work issued since the last mark and books its time under `pass`.
    void mark(const char* pass);

    // Milliseconds per frame of every pass, in first-seen order.
    const std::vector<std::string>& passes() const { return order; }
    const std::vector<double>& samples(const std::string& pass) const { return times.at(pass); }

private:
    std::chrono::steady_clock::time_point last;
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
};

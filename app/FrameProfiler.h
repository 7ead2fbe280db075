// Cost of each pass of a frame, measured on the CPU around glFinish (timer queries read about 0 on a
// software rasteriser): wall-clock time, and the CPU time of the whole process, whose rasteriser
// threads do most of the work. On a shared machine the CPU time moves far less with the load.
// Only tools attach one: glFinish stalls the pipeline.
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

    // Milliseconds per frame of every pass, in first-seen order: wall-clock, then CPU time.
    const std::vector<std::string>& passes() const { return order; }
    const std::vector<double>& samples(const std::string& pass) const { return times.at(pass); }
    const std::vector<double>& cpuSamples(const std::string& pass) const { return cpuTimes.at(pass); }

    // CPU time of the whole process (every thread) in milliseconds.
    static double processCpuMilliseconds();

private:
    std::chrono::steady_clock::time_point last;
    double lastCpu = 0.0;
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    std::map<std::string, std::vector<double>> cpuTimes;
};

#include "app/FrameProfiler.h"

#include <GL/glew.h>

#include <ctime>

double FrameProfiler::processCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

void FrameProfiler::begin() {
    glFinish();
    last = std::chrono::steady_clock::now();
    lastCpu = processCpuMilliseconds();
}

void FrameProfiler::mark(const char* pass) {
    glFinish();
    const auto now = std::chrono::steady_clock::now();
    const double cpu = processCpuMilliseconds();
    auto [entry, inserted] = times.try_emplace(pass);
    if (inserted) order.emplace_back(pass);
    entry->second.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    cpuTimes[pass].push_back(cpu - lastCpu);
    last = now;
    lastCpu = cpu;
}

#include "app/FrameProfiler.h"

#include <GL/glew.h>

void FrameProfiler::begin() {
    glFinish();
    last = std::chrono::steady_clock::now();
}

void FrameProfiler::mark(const char* pass) {
    glFinish();
    const auto now = std::chrono::steady_clock::now();
    auto [entry, inserted] = times.try_emplace(pass);
    if (inserted) order.emplace_back(pass);
    entry->second.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
}

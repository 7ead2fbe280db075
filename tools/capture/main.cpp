// capture: renders frames of the demo at given play times on a hidden window and saves them as PNG,
// or measures what each pass of a frame costs. Runs from the repository root (reads assets/).
#include "app/Demo.h"
#include "app/FixedStep.h"
#include "app/FrameProfiler.h"
#include "app/GameFlow.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void printHelp() {
    std::puts(
        "usage: capture [--out DIR] [--bench FRAMES] TIME...\n"
        "  Starts the demo on a hidden window with a fixed 1/60 s clock, loads the level, skips the\n"
        "  intro and saves the composited frame at each play TIME (seconds, ascending) as\n"
        "  DIR/frame_<TIME>.png (DIR defaults to build/frames).\n"
        "  --bench FRAMES  after the captures, renders FRAMES more frames from the last TIME and prints\n"
        "                  the median, minimum and maximum milliseconds of every pass (glFinish-timed).\n"
        "  Settings (window size) come from assets/settings.ini as for the demo.");
}

bool savePng(const std::string& path, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * height * 4);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    stbi_flip_vertically_on_write(1);
    return stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4) != 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::string outDir = "build/frames";
    int benchFrames = 0;
    std::vector<float> times;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printHelp();
            return 0;
        } else if (arg == "--out" && i + 1 < argc) {
            outDir = argv[++i];
        } else if (arg == "--bench" && i + 1 < argc) {
            benchFrames = std::atoi(argv[++i]);
        } else {
            char* end = nullptr;
            const float t = std::strtof(arg.c_str(), &end);
            if (end == arg.c_str() || *end != '\0' || t < 0.0f) {
                std::printf("ERROR: not a play time: '%s' (see --help)\n", arg.c_str());
                return 2;
            }
            times.push_back(t);
        }
    }
    if (times.empty()) times.push_back(5.0f);
    std::sort(times.begin(), times.end());
    std::error_code ignored;
    std::filesystem::create_directories(outDir, ignored);

    Demo demo;
    demo.setHidden(true);
    if (const int code = demo.start()) return code;
    FixedStepClock clock(kFixedStep);
    GameFlow& flow = gameFlow();
    FrameLoop loop(demo.getWindow(), demo.getTargets(), demo.getPostProcessing(), demo.getLevel(),
                   demo.getTitleScreens(), nullptr, clock, flow);

    const GlobalState& state = GlobalState::instance();
    bool saveNext = false;
    std::string savePath;
    loop.setBeforeSwap([&] {
        if (!saveNext) return;
        saveNext = false;
        if (savePng(savePath, state.width, state.height))
            std::printf("saved %s\n", savePath.c_str());
        else
            std::printf("ERROR: Failed to write '%s'\n", savePath.c_str());
    });

    loop.runFrame();  // the load sequence
    while (!flow.running && !flow.creditsActive) loop.simulateFrame();  // the 11 s intro
    for (const float t : times) {
        while (loop.playTime() + kFixedStep < t && flow.running) loop.simulateFrame();
        char name[64];
        std::snprintf(name, sizeof name, "/frame_%06.2f.png", t);
        savePath = outDir + name;
        saveNext = true;
        loop.runFrame();
    }

    if (benchFrames > 0) {
        FrameProfiler profiler;
        loop.setProfiler(&profiler);
        std::vector<double> totals;
        for (int frame = 0; frame < benchFrames; ++frame) {
            const double before = glfwGetTime();
            loop.runFrame();
            glFinish();
            totals.push_back((glfwGetTime() - before) * 1000.0);
        }
        std::printf("%-20s %8s %8s %8s  (%d frames, %d x %d)\n", "pass", "median", "min", "max", benchFrames,
                    state.width, state.height);
        for (const std::string& pass : profiler.passes()) {
            const auto& samples = profiler.samples(pass);
            std::printf("%-20s %8.2f %8.2f %8.2f\n", pass.c_str(), median(samples),
                        *std::min_element(samples.begin(), samples.end()),
                        *std::max_element(samples.begin(), samples.end()));
        }
        std::printf("%-20s %8.2f %8.2f %8.2f\n", "whole frame", median(totals),
                    *std::min_element(totals.begin(), totals.end()), *std::max_element(totals.begin(), totals.end()));
    }
    return demo.shutdown();
}

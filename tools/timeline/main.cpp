// timeline: runs the demo as the executable does (its window, the wall clock, the music) and prints
// when each phase began and each timed event fired, with the frame lengths seen, then saves the first
// credits frame as PNG and quits. It shows what a viewer's machine makes of the timeline.
#include "app/Demo.h"
#include "app/HugePages.h"
#include "app/StopSignal.h"
#include "app/WholeFile.h"
#include "tools/options/ToolOptions.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const kHelp =
    "usage: timeline [--out FILE] [--every N]\n"
    "  Runs the demo with its wall clock from load to the credits and prints the play time of the\n"
    "  start of play, the light change and the credits, every Nth frame's length (a whole number\n"
    "  from 1, default 25) and the frame lengths' minimum, median and maximum during play. The first\n"
    "  credits frame is saved as FILE (default build/credits.png). Escape ends it early. Exits 1\n"
    "  when the picture could not be saved, 2 on a bad option, 130 or 143 on Ctrl+C or SIGTERM\n"
    "  (answered within a frame).\n"
    "  Settings (window size) come from assets/settings.ini as for the demo.";

}  // namespace

int main(int argc, char** argv) {
    restartWithHugePages(argv);
    std::string out = "build/credits.png";
    int every = 25;
    const std::vector<ToolOption> options = {
        {"--out", [&](const std::string& value) { out = value; return true; }, ""},
        {"--every",
         [&](const std::string& value) {
             char* end = nullptr;
             const long n = std::strtol(value.c_str(), &end, 10);
             if (end == value.c_str() || *end != '\0' || n < 1 || n > INT_MAX) return false;
             every = static_cast<int>(n);
             return true;
         },
         "not a whole number of frames from 1"},
    };
    if (const auto code = parseToolOptions(argc, argv, kHelp, options)) return *code;

    installStopSignals();
    Demo demo;
    if (const int code = demo.start()) return code;
    watchStopSignals(true);
    GlfwClock clock;
    GameFlow& flow = gameFlow();
    FrameLoop loop(demo.getWindow(), demo.getTargets(), demo.getPostProcessing(), demo.getLevel(),
                   demo.getTitleScreens(), demo.getAudio(), clock, flow);
    const GlobalState& state = GlobalState::instance();

    std::string saveError;
    bool saved = false;

    const double start = glfwGetTime();
    double loaded = start;
    std::vector<double> playFrames;
    int frame = 0;
    int creditsFrames = 0;
    while (!glfwWindowShouldClose(demo.getWindow()) && creditsFrames < 3 && saveError.empty() && !stopSignal()) {
        const double before = glfwGetTime();
        // Only the first credits frame is read back: reading costs the frame its time.
        const bool saveCredits = flow.creditsActive && creditsFrames == 0;
        loop.passes().keepFinishedPictures(saveCredits);
        loop.runFrame();
        const double length = glfwGetTime() - before;
        if (saveCredits) {
            saved = writePngFile(out, state.width, state.height, loop.passes().finishedPicture().data(), false,
                                 saveError);
            if (saved) std::printf("saved %s\n", out.c_str());
        }
        const FrameEvents& events = loop.lastEvents();
        if (flow.creditsActive && !events.playEnds) ++creditsFrames;
        if (events.play) playFrames.push_back(length);
        if (frame == 0) {
            loaded = glfwGetTime();
            std::printf("loaded after %.2f s\n", loaded - start);
        }
        if (events.playStarts) std::printf("play starts after %.2f s of intro\n", glfwGetTime() - loaded);
        if (events.lightChange) std::printf("light change at play time %.3f s\n", loop.playTime());
        if (events.playEnds) std::printf("credits at play time %.3f s\n", loop.playTime());
        if (events.play && frame % every == 0)
            std::printf("frame %d: play time %.3f s, frame %.0f ms\n", frame, loop.playTime(), length * 1000.0);
        std::fflush(stdout);
        ++frame;
    }
    if (!playFrames.empty()) {
        std::vector<double> sorted = playFrames;
        std::sort(sorted.begin(), sorted.end());
        std::printf("%zu play frames: min %.0f ms, median %.0f ms, max %.0f ms; whole run %.1f s\n", sorted.size(),
                    sorted.front() * 1000.0, sorted[sorted.size() / 2] * 1000.0, sorted.back() * 1000.0,
                    glfwGetTime() - start);
    }
    const int code = demo.shutdown();
    if (stopSignal()) {
        std::printf("ERROR: interrupted by %s: %s\n", stopSignalName(),
                    saved ? ("the credits frame was saved as " + out).c_str() : "no picture saved");
        return stopExitCode();
    }
    if (!saveError.empty()) {
        std::printf("ERROR: %s\n", saveError.c_str());
        return 1;
    }
    return code;
}

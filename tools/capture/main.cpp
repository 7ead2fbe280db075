// capture: frames of the demo at given play times as PNG, exactly as the movie tool draws them (the
// same offline run: a fixed 1/fps clock, every skipped frame simulated, particles included), or what
// each pass of a frame costs. Runs from the repository root (reads assets/).
#include "app/FrameProfiler.h"
#include "app/HugePages.h"
#include "app/OfflineRun.h"
#include "app/StopSignal.h"
#include "app/WholeFile.h"
#include "tools/options/ToolOptions.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const kHelp =
    "usage: capture [--out DIR] [--fps N] [--size WxH] [--bench FRAMES] [--window-samples 1|4] TIME...\n"
    "  Renders the demo on a hidden window with a fixed clock of 1/N s a frame (N = 30 unless --fps),\n"
    "  as the movie tool does, and saves the frame at each play TIME (seconds, ascending; the\n"
    "  first frame at or after it; -11 to 0 is the intro, after 165 the credits) as\n"
    "  DIR/frame_<TIME>.png (DIR defaults to build/frames). The\n"
    "  frames before are simulated without drawing, particles included, so the picture equals the\n"
    "  movie's frame at that time with the same --fps and --size. A time given twice is saved once;\n"
    "  two different times that would share a file name (closer than 0.01 s) are refused.\n"
    "  --bench FRAMES  after the captures, renders FRAMES more frames from the last TIME and prints\n"
    "                  the median, minimum and maximum milliseconds of every pass (glFinish-timed),\n"
    "                  wall-clock, then the CPU time of the whole process.\n"
    "  --window-samples 4  framebuffer 0 multisampled like the demo's window (the same frames; the\n"
    "                  build runs it once so that the driver's shader cache holds the demo's variants).\n"
    "  The window size comes from assets/settings.ini as for the demo, unless --size.\n"
    "  Exits 0 only when every frame was saved whole; on a failure one ERROR line and exit 1.\n"
    "  Ctrl+C or SIGTERM stops it within a frame (the frames saved stay): exit 130 or 143.";

std::string frameFileName(double playSeconds) {
    char name[64];
    std::snprintf(name, sizeof name, "frame_%06.2f.png", playSeconds);
    return name;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool parsePositive(const char* text, double& value) {
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value > 0.0;
}

// Past this the frame's number (at up to 240 frames a second) would not fit a long.
constexpr double kLatestPlayTime = 1e12;

// A play time as capture takes it: a number of seconds from the intro's start (-11) on. Infinity
// and times past kLatestPlayTime are refused: their frame number has no value.
bool parsePlayTime(const std::string& text, double& seconds) {
    char* end = nullptr;
    seconds = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && seconds >= -kVideoSecondsBeforePlay && seconds <= kLatestPlayTime;
}

}  // namespace

int main(int argc, char** argv) {
    restartWithHugePages(argv);
    std::string outDir = "build/frames";
    int benchFrames = 0;
    double fps = 30.0;
    bool demoWindowSamples = false;
    int width = 0, height = 0;
    std::vector<double> times;
    const std::vector<ToolOption> options = {
        {"--out", [&](const std::string& value) { outDir = value; return true; }, ""},
        {"--bench",
         [&](const std::string& value) {
             double frames = 0.0;
             if (!parsePositive(value.c_str(), frames) || frames != std::floor(frames) || frames > 1e6) return false;
             benchFrames = static_cast<int>(frames);
             return true;
         },
         "not a number of frames"},
        {"--window-samples",
         [&](const std::string& value) {
             demoWindowSamples = value == "4";
             return value == "1" || value == "4";
         },
         "not 1 or 4"},
        {"--fps", [&](const std::string& value) { return parsePositive(value.c_str(), fps) && fps <= 240.0; },
         "not a frame rate"},
        {"--size",
         [&](const std::string& value) {
             char tail = 0;
             return std::sscanf(value.c_str(), "%dx%d%c", &width, &height, &tail) == 2 && width >= 16 && height >= 16;
         },
         "not a size WxH"},
    };
    const ToolOption playTime{"",
                              [&](const std::string& word) {
                                  double t = 0.0;
                                  if (!parsePlayTime(word, t)) return false;
                                  times.push_back(t);
                                  return true;
                              },
                              "not a play time"};
    if (const auto code = parseToolOptions(argc, argv, kHelp, options, playTime)) return *code;
    if (times.empty()) times.push_back(5.0);
    std::sort(times.begin(), times.end());
    // The same time twice is one frame, saved once; two times that would share a name are refused,
    // since the second picture would replace the first under the first one's name.
    times.erase(std::unique(times.begin(), times.end()), times.end());
    for (std::size_t i = 1; i < times.size(); ++i)
        if (frameFileName(times[i - 1]) == frameFileName(times[i])) {
            std::printf("ERROR: play times %.6g and %.6g would both be saved as '%s': give times 0.01 s apart\n",
                        times[i - 1], times[i], frameFileName(times[i]).c_str());
            return 2;
        }
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (error || !std::filesystem::is_directory(outDir)) {
        std::printf("ERROR: Failed to make the folder '%s': %s\n", outDir.c_str(),
                    error ? error.message().c_str() : "a file of that name is in the way");
        return 1;
    }

    // Nothing is written while loading: a signal then ends the run at once.
    installStopSignals();
    OfflineRun run(fps);
    if (const int code = run.start(width, height, demoWindowSamples)) return code;
    watchStopSignals(true);
    const auto stopRequested = [] { return stopSignal() != 0; };
    std::size_t saved = 0;
    const auto stop = [&](const std::string& message, int code) {
        std::fflush(stdout);
        run.shutdown();
        std::printf("ERROR: %s\n", message.c_str());
        return code;
    };
    const auto interrupted = [&] {
        return stop(std::string("interrupted by ") + stopSignalName() + ": " + std::to_string(saved) + " of " +
                        std::to_string(times.size()) + " frames saved",
                    stopExitCode());
    };
    for (const double t : times) {
        const long frame = std::max(frameAtVideoTime(kVideoSecondsBeforePlay + t, fps), run.nextFrame());
        // A late time is minutes of simulation away: a stop is answered between simulated frames.
        if (!run.simulateUntil(frame, stopRequested) || stopRequested()) return interrupted();
        const std::vector<std::uint8_t>& pixels = run.drawFrame(frame);
        const std::string path = outDir + "/" + frameFileName(t);
        std::string why;
        if (!writePngFile(path, run.width(), run.height(), pixels.data(), false, why)) return stop(why, 1);
        ++saved;
        std::printf("saved %s (play time %.4f s)\n", path.c_str(), run.frameLoop().playTime());
    }

    if (benchFrames > 0) {
        FrameProfiler profiler;
        run.frameLoop().setProfiler(&profiler);
        std::vector<double> totals;
        std::vector<double> cpuTotals;
        for (int frame = 0; frame < benchFrames; ++frame) {
            if (stopRequested()) return interrupted();
            const auto before = std::chrono::steady_clock::now();
            const double cpuBefore = FrameProfiler::processCpuMilliseconds();
            run.drawFrame(run.nextFrame());
            glFinish();
            totals.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count());
            cpuTotals.push_back(FrameProfiler::processCpuMilliseconds() - cpuBefore);
        }
        // Wall-clock milliseconds, then CPU milliseconds of the whole process (the rasteriser's threads
        // included), which a shared machine disturbs far less.
        const auto table = [&](const char* title, auto samplesOf, const std::vector<double>& whole) {
            std::printf("%-20s %8s %8s %8s  (%d frames, %d x %d)\n", title, "median", "min", "max", benchFrames,
                        run.width(), run.height());
            const auto row = [](const std::string& name, const std::vector<double>& samples) {
                std::printf("%-20s %8.2f %8.2f %8.2f\n", name.c_str(), median(samples),
                            *std::min_element(samples.begin(), samples.end()),
                            *std::max_element(samples.begin(), samples.end()));
            };
            for (const std::string& pass : profiler.passes()) row(pass, samplesOf(pass));
            row("whole frame", whole);
        };
        table("pass", [&](const std::string& pass) { return profiler.samples(pass); }, totals);
        table("pass (cpu ms)", [&](const std::string& pass) { return profiler.cpuSamples(pass); }, cpuTotals);
    }
    return run.shutdown();
}

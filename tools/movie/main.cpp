// movie: the whole demo rendered frame-exactly to a video with its music (or to numbered PNGs), in
// one piece or in chunks of video time that join without a seam. See kMovieHelp.
#include "app/AudioPlayer.h"
#include "app/HugePages.h"
#include "app/OfflineRun.h"
#include "app/StopSignal.h"
#include "app/WholeFile.h"
#include "tools/movie/FfmpegPipe.h"
#include "tools/movie/MovieOptions.h"
#include "tools/movie/Progress.h"
#include "tools/movie/VideoCheck.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr double kMusicVolume = 0.8;  // the demo plays its music at this volume

int fail(const std::string& message, int code = 1) {
    std::cout << "ERROR: " << message << std::endl;
    return code;
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// "build/verdance.mp4" -> "build/verdance.part.mp4": the extension stays last, where ffmpeg reads
// the container from.
fs::path partialName(const fs::path& output) {
    return output.parent_path() / (output.stem().string() + ".part" + output.extension().string());
}

std::string frameName(long index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06ld.png", index);
    return name;
}

// Creates `dir` if needed and proves a file can be made in it.
bool checkWritableFolder(const fs::path& dir, std::string& why) {
    std::error_code error;
    fs::create_directories(dir.empty() ? fs::path(".") : dir, error);
    const fs::path probe = (dir.empty() ? fs::path(".") : dir) / (".movie-probe-" + std::to_string(getpid()));
    std::ofstream file(probe);
    if (!file) {
        why = "cannot write into folder '" + (dir.empty() ? std::string(".") : dir.string()) +
              "': " + (error ? error.message() : std::strerror(errno));
        return false;
    }
    file.close();
    fs::remove(probe, error);
    return true;
}

std::vector<std::string> ffmpegArguments(const MovieOptions& options, int width, int height, long first, long end,
                                         const fs::path& partial) {
    const std::string fps = seconds(options.framesPerSecond);
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-y",
                                     "-f", "rawvideo", "-pix_fmt", "rgba",
                                     "-video_size", std::to_string(width) + "x" + std::to_string(height),
                                     "-framerate", fps, "-i", "pipe:0"};
    if (options.music) {
        // The music starts at video time 0, the end of loading, as in the demo: a stretch from the
        // middle takes the music from its own first frame's time on.
        args.insert(args.end(), {"-ss", seconds(first / options.framesPerSecond), "-t",
                                 seconds((end - first) / options.framesPerSecond), "-i", kMusicPath});
    }
    // "fast" rather than "medium": at CRF 18 the same quality (SSIM within 0.03 dB on stretches of
    // play) for 10 to 30 % less encoding, which shares the cores with the renderer.
    args.insert(args.end(), {"-map", "0:v:0", "-c:v", "libx264", "-preset", "fast", "-crf", "18",
                             "-pix_fmt", "yuv420p"});
    if (options.music)
        args.insert(args.end(), {"-map", "1:a:0", "-af", "volume=" + seconds(kMusicVolume), "-c:a", "aac",
                                 "-b:a", "192k"});
    const std::string extension = partial.extension().string();
    if (extension == ".mp4" || extension == ".mov" || extension == ".m4v")
        args.insert(args.end(), {"-movflags", "+faststart"});
    if (extension.empty()) args.insert(args.end(), {"-f", "mp4"});
    args.push_back(partial.string());
    return args;
}

// Whether `program` would be found on PATH, so that a missing encoder is reported before the level
// loads rather than after.
bool onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t colon = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, colon - start);
        if (access(((dir.empty() ? std::string(".") : dir) + "/" + program).c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

// What a stopped --frames run leaves: the frames from `first` on, `count` of them, each whole.
std::string framesWritten(long first, long count) {
    if (count == 0) return "no frame written";
    return std::to_string(count) + (count == 1 ? " whole frame" : " whole frames") + " written (" +
           frameName(first) + (count == 1 ? "" : " to " + frameName(first + count - 1)) + ")";
}

}  // namespace

int main(int argc, char** argv) {
    restartWithHugePages(argv);
    MovieOptions options;
    std::string why;
    if (!parseMovieOptions(argc, argv, options, why)) return fail(why, 2);
    if (options.help) {
        std::puts(kMovieHelp);
        return 0;
    }

    const double fps = options.framesPerSecond;
    const long total = movieFrameCount(fps, options.creditsSeconds);
    const double endSeconds = total / fps;
    if (options.toSeconds && *options.toSeconds > endSeconds + 1e-9)
        return fail("--to " + seconds(*options.toSeconds) + " is past the end of the movie (" + seconds(endSeconds) +
                        " s with " + seconds(options.creditsSeconds) + " s of credits)",
                    2);
    const long first = frameAtVideoTime(options.fromSeconds, fps);
    const long end = options.toSeconds ? frameAtVideoTime(*options.toSeconds, fps) : total;
    if (first >= end)
        return fail("empty range: --from " + seconds(options.fromSeconds) + " to " +
                        seconds(options.toSeconds.value_or(endSeconds)) + " holds no frame at " + seconds(fps) +
                        " frames per second",
                    2);
    if (options.music && options.framesDir.empty() && !fs::exists(kMusicPath))
        return fail(std::string("the music '") + kMusicPath + "' is missing: build first (the build bakes it), "
                    "and run from the repository root");

    const bool toFrames = !options.framesDir.empty();
    for (const char* program : {"ffmpeg", "ffprobe"})
        if (!toFrames && !onPath(program))
            return fail(std::string(program) + " not found on PATH (scripts/setup.sh installs it)");
    const fs::path output = toFrames ? fs::path(options.framesDir) : fs::path(options.output);
    const fs::path folder = toFrames ? output : output.parent_path();
    if (!checkWritableFolder(folder, why)) return fail(why);
    const fs::path partial = partialName(output);

    // Until the encoder starts, nothing of ours exists: a signal while loading ends the run at once.
    installStopSignals();
    OfflineRun run(fps);
    // Start-up reads the window size from the settings unless --size gives one; the encoder needs it.
    if (const int code = run.start(options.width, options.height)) return code;
    const int width = run.width(), height = run.height();
    watchStopSignals(true);
    const auto stopRequested = [] { return stopSignal() != 0; };

    FfmpegPipe encoder;
    std::error_code ignored;
    if (!toFrames && (width % 2 || height % 2)) {
        run.shutdown();
        return fail("the picture is " + std::to_string(width) + "x" + std::to_string(height) +
                    " (assets/settings.ini): H.264 in yuv420p needs even sizes; give --size");
    }
    auto cleanUp = [&] {
        encoder.abort();
        if (!toFrames) fs::remove(partial, ignored);
        run.shutdown();
    };
    if (!toFrames && !encoder.start("ffmpeg", ffmpegArguments(options, width, height, first, end, partial), why)) {
        cleanUp();
        return fail(why);
    }

    std::cerr << "movie: frames " << first << " to " << end - 1 << " of " << total << " (video " << seconds(first / fps)
              << " to " << seconds(end / fps) << " s), " << width << "x" << height << " at " << seconds(fps)
              << " fps" << (first > 0 ? "; simulating up to the first frame" : "") << std::endl;
    const auto started = std::chrono::steady_clock::now();
    Progress progress(end - first);
    long frame = first;
    // Every file is whole or removed when this returns; the frames written so far stay.
    auto interrupted = [&] {
        const long reached = run.nextFrame();
        const std::string where = reached < first ? " while simulating (frame " + std::to_string(reached) + " of the " +
                                                        std::to_string(first) + " before the first drawn)"
                                                  : "";
        progress.finish();
        cleanUp();
        return fail(std::string("interrupted by ") + stopSignalName() + where + ": " +
                        (toFrames ? framesWritten(first, frame - first) : "no video written"),
                    stopExitCode());
    };
    // A late stretch is minutes of simulation away: a stop is answered between simulated frames too.
    if (!run.simulateUntil(first, stopRequested)) return interrupted();
    for (; frame < end; ++frame) {
        if (stopRequested()) return interrupted();
        const std::vector<std::uint8_t>& pixels = run.drawFrame(frame);
        const bool written = toFrames ? writePngFile(output / frameName(frame), width, height, pixels.data(), false, why)
                                      : encoder.write(pixels.data(), pixels.size(), why);
        if (!written) {
            progress.finish();
            cleanUp();
            return fail(toFrames ? why + "; " + framesWritten(first, frame - first) : why);
        }
        progress.update(frame - first + 1);
    }
    progress.finish();

    if (!toFrames) {
        // ffprobe shares the terminal's Ctrl+C: a stop while it reads is a stop, not a broken video.
        const bool finished = encoder.finish(why, stopRequested) &&
                              checkVideo(partial.string(), end - first, options.music, why);
        if (stopRequested()) return interrupted();
        if (!finished) {
            cleanUp();
            return fail(why);
        }
        fs::rename(partial, output, ignored);
        if (ignored) {
            const std::string message = "cannot rename '" + partial.string() + "' to '" + output.string() +
                                        "': " + ignored.message();
            cleanUp();
            return fail(message);
        }
    }
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << "wrote " << output.string() << ": " << end - first << " frames, " << width << "x" << height << " at "
              << seconds(fps) << " fps, in " << seconds(elapsed) << " s (" << seconds((end - first) / elapsed)
              << " frames a second)";
    if (!toFrames) std::cout << ", " << fs::file_size(output, ignored) / 1000 << " kB";
    std::cout << std::endl;
    return run.shutdown();
}

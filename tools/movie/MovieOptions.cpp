#include "tools/movie/MovieOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>

const char* const kMovieHelp =
    "usage: movie [options]\n"
    "  Renders the demo frame by frame through its own frame loop, each frame advancing the clock by\n"
    "  exactly 1/FPS s: the intro (11 s, from the end of loading), 165 s of play and the credits.\n"
    "  Encodes H.264 (yuv420p) with the music, which starts with the intro as in the demo, by piping\n"
    "  raw frames to Debian's ffmpeg program. Runs from the repository root (reads assets/).\n"
    "  --out FILE     the video (default build/verdance.mp4); written as FILE's name with .part\n"
    "                 and renamed when complete\n"
    "  --frames DIR   numbered PNGs DIR/frame_NNNNNN.png (N = frame of the whole movie) instead of a video\n"
    "  --fps N        frames per second (default 30)\n"
    "  --size WxH     picture size (default: the window size of assets/settings.ini)\n"
    "  --credits S    seconds of credits at the end (default 8)\n"
    "  --from S       first video second to render (default 0); the frames before it are simulated\n"
    "                 without drawing, so a chunk's frames equal those of a render over the whole\n"
    "  --to S         video second to stop before (default: the end of the credits)\n"
    "                 (play time t is video time 11 + t; play ends at 176 s)\n"
    "  --no-music     no audio track (for chunks joined later: scripts/movie-parallel.sh)\n"
    "  Progress goes to standard error. On a failure: one ERROR line, a non-zero exit, no partial file\n"
    "  (a video is written only once ffmpeg printed no error and ffprobe reads back all its frames).\n"
    "  Ctrl+C or SIGTERM stops it within a frame, simulated ones included: it removes the unfinished\n"
    "  video (--frames: keeps the whole frames and says which), says so and exits 130 or 143.";

namespace {

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size() && errno == 0 && std::isfinite(value);
}

bool parseSize(const std::string& text, int& width, int& height) {
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &tail) != 2) return false;
    if (w < 16 || h < 16 || w > 8192 || h > 8192) return false;
    // yuv420p halves both directions: odd sizes cannot be encoded.
    if (w % 2 || h % 2) return false;
    width = w;
    height = h;
    return true;
}

}  // namespace

bool parseMovieOptions(int argc, const char* const* argv, MovieOptions& options, std::string& why) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--no-music") {
            options.music = false;
            continue;
        }
        const bool takesValue = arg == "--out" || arg == "--frames" || arg == "--fps" || arg == "--size" ||
                                arg == "--credits" || arg == "--from" || arg == "--to";
        if (!takesValue) {
            why = "unknown option '" + arg + "' (see --help)";
            return false;
        }
        if (i + 1 >= argc) {
            why = "option " + arg + " needs a value (see --help)";
            return false;
        }
        const std::string value = argv[++i];
        double number = 0.0;
        const bool isNumber = parseNumber(value, number);
        if (arg == "--out" || arg == "--frames") {
            if (value.empty()) {
                why = "option " + arg + " needs a path";
                return false;
            }
            (arg == "--out" ? options.output : options.framesDir) = value;
        } else if (arg == "--size") {
            if (!parseSize(value, options.width, options.height)) {
                why = "--size '" + value + "' is not WIDTHxHEIGHT with even sizes from 16 to 8192";
                return false;
            }
        } else if (arg == "--fps") {
            if (!isNumber || number < 1.0 || number > 240.0 || number != std::floor(number)) {
                why = "--fps '" + value + "' is not a whole number of frames per second from 1 to 240";
                return false;
            }
            options.framesPerSecond = number;
        } else if (!isNumber || number < 0.0) {
            why = arg + " '" + value + "' is not a number of seconds (0 or more)";
            return false;
        } else if (arg == "--credits") {
            options.creditsSeconds = number;
        } else if (arg == "--from") {
            options.fromSeconds = number;
        } else {
            options.toSeconds = number;
        }
    }
    return true;
}

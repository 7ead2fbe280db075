// The movie's command line: parsed and checked before anything starts, so that a mistake costs no
// rendering. Parsing only: no files are touched here.
#pragma once

#include <optional>
#include <string>

struct MovieOptions {
    std::string output = "build/verdance.mp4";
    std::string framesDir;       // set: numbered PNGs into this folder instead of a video
    double framesPerSecond = 30.0;
    int width = 0;               // 0: the settings' window size
    int height = 0;
    double creditsSeconds = 8.0;
    double fromSeconds = 0.0;    // video time; 0 is the intro's first frame
    std::optional<double> toSeconds;  // unset: the end of the credits
    bool music = true;
    bool help = false;
};

// Fills `options` from the arguments; on a mistake returns false with `why` saying what is wrong.
bool parseMovieOptions(int argc, const char* const* argv, MovieOptions& options, std::string& why);

extern const char* const kMovieHelp;

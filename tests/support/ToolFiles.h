// What the GL tests that run the offline tools read back: a file's bytes, a PNG's pixels, and the
// command that runs capture (the movie's frames at given play times) as a user runs it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gltest {

// The whole file; empty when it cannot be read.
std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;  // top row first, as stored; empty when the file cannot be read
};
// The decoded RGBA8 pixels of a PNG, whatever row order an earlier load left in the decoder's
// process-wide flag (the texture loader turns flipping on).
Picture readPng(const std::filesystem::path& path);

// The shell command that runs the capture tool with `arguments` (it reads assets/ from the working
// directory: run it from the repository root or a folder laid out alike).
std::string captureCommand(const std::string& arguments);

// The file name capture gives the frame at `playSeconds`.
std::string captureFileName(double playSeconds);

}  // namespace gltest

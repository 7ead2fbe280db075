// Files the tools write, whole or not at all. The bytes go to a temporary beside the target, created
// exclusively under a random name (never following a link), with every write and the close checked;
// only then is it renamed over the target, so a full disk, a file-size limit or a stop half-way
// leaves the target as it was and no temporary behind. A target that exists and is not a regular file
// (a device such as /dev/null or /dev/full) is written in place, with the same checks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// Writes `bytes` as the file `path`; false with the reason (naming the file) when any step fails.
bool writeWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string& why);

// Encodes width x height RGBA8 pixels as PNG in memory and writes it with writeWholeFile. Rows are
// top row first unless `bottomRowFirst` (as glReadPixels gives them).
bool writePngFile(const std::filesystem::path& path, int width, int height, const std::uint8_t* rgba,
                  bool bottomRowFirst, std::string& why);

// Where the baker's media files go and how they reach the disk. A file is written under a
// temporary name beside its final one and renamed into place, so the engine or a second bake
// running at the same time never reads half a file. Refuses nothing; failures print one ERROR line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Creates "<assetsDir>/<subFolder>/" when missing and returns it with a trailing '/';
// returns an empty string (after an ERROR line) when it cannot be created.
std::string prepareFolder(const std::string& assetsDir, const std::string& subFolder);

// Writes all of bytes to path, atomically as seen by other readers. False after an ERROR line.
bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

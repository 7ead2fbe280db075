// Writes DXT1/DXT5 DDS files in the layout the engine's reader accepts: the 128-byte header
// with the linear-size field equal to the top level's byte count, then the top level and, when the
// GL driver can build it here (DriverMips.h), the rest of the mip chain down to 1 x 1.
// Refuses sizes that are not multiples of 4 (the engine's materials are powers of two anyway).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class DdsFormat { DXT1, DXT5 };

// rgba: width * height * 4 bytes, row 0 at the top of the image (as DDS stores it).
// Returns false (and prints an ERROR line) when the file cannot be written or the size is unusable.
bool writeDds(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba,
              DdsFormat format);

// The compressed top level alone, for tests and size checks.
std::vector<std::uint8_t> compressDxt(int width, int height, const std::vector<std::uint8_t>& rgba,
                                      DdsFormat format);

// Reads Radiance HDR pictures ("#?RADIANCE" or "#?RGBE", FORMAT=32-bit_rle_rgbe, "-Y <h> +X <w>"
// layout) with flat or new-style run-length scanlines, into RGB floats with the bottom row first.
// Refuses every other format, other layouts, sizes above the limits, and any scanline that is cut
// short, overruns its width or has a zero-length run. The file must hold at least the smallest
// possible encoding of the claimed size before anything is allocated.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Far above the 2048 x 1024 sky, far below what would exhaust memory by itself (1.5 GiB of floats).
inline constexpr int kMaxHdrWidth = 16384;
inline constexpr int kMaxHdrHeight = 8192;

struct HdrImage {
    int width = 0;
    int height = 0;
    // width * height RGB triples, rows from the bottom of the picture up (the file stores top first),
    // so row 0 uploads as texture row 0 with v = 1 at the top.
    std::vector<float> pixels;
};

// Pure: the picture, or nothing and the reason in `why` (without the file name).
std::optional<HdrImage> parseHdr(std::span<const std::uint8_t> bytes, std::string* why = nullptr,
                                 int maxWidth = kMaxHdrWidth, int maxHeight = kMaxHdrHeight);

// Reads the file and parses it. A missing or refused file gives nothing and one line
// "ERROR: Failed to load HDR image. '<path>': <why>" on standard output.
std::optional<HdrImage> readHdr(const std::string& path);

// Reads DDS files holding DXT1, DXT3 or DXT5 data: the whole mip chain when the file carries a
// complete one (every level down to 1 x 1, all present), otherwise the top level only, for GL to
// build the chain from. Refuses anything whose header disagrees with itself or with the data: a
// wrong magic, another FourCC, a zero or oversized width or height, a linear size below what the
// image needs, or pixel data shorter than the linear size. Nothing is allocated before those sizes
// are checked.
#pragma once

#include "textures/DDSImage.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>

inline constexpr std::uint32_t kNoDdsSizeLimit = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::size_t kDdsHeaderBytes = 128;  // "DDS " and the 124-byte header

// Bytes of one level of a DXT image of that size: whole 4 x 4 blocks of 8 (DXT1) or 16 bytes.
std::uint64_t dxtLevelBytes(std::uint32_t width, std::uint32_t height, std::uint32_t blockBytes);
// Levels of a full chain: 1 + floor(log2(max(width, height))).
std::uint32_t fullMipChainLength(std::uint32_t width, std::uint32_t height);

// Pure: the image, or nothing and the reason in `why` (without the file name).
// `maxDimension` is the largest width or height accepted (GL_MAX_TEXTURE_SIZE once a context exists).
std::optional<DDSImage> parseDDS(std::span<const std::uint8_t> bytes, std::uint32_t maxDimension = kNoDdsSizeLimit,
                                 std::string* why = nullptr);

// Reads the file and parses it. A missing or refused file gives an all-zero image and one line
// "ERROR: Failed to load texture '<path>': <why>" on standard output.
DDSImage readDDS(const char* path, std::uint32_t maxDimension = kNoDdsSizeLimit);

#include "textures/DdsReader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

// Offsets from the start of the file; every field is a little-endian 32-bit unsigned integer.
constexpr std::size_t kHeightOffset = 12;
constexpr std::size_t kWidthOffset = 16;
constexpr std::size_t kLinearSizeOffset = 20;
constexpr std::size_t kMipCountOffset = 28;
constexpr std::size_t kFourCcOffset = 84;

std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

struct DxtFormat {
    const char* fourCc;
    GLenum format;
    std::uint32_t blockBytes;
};

constexpr DxtFormat kFormats[] = {
    {"DXT1", GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 8},
    {"DXT3", GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 16},
    {"DXT5", GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16},
};

// The FourCC as text for messages; bytes that are not printable show as '?'.
std::string printable(std::span<const std::uint8_t> code) {
    std::string text;
    for (std::uint8_t c : code) text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    return text;
}

std::optional<DDSImage> refuse(std::string* why, std::string reason) {
    if (why) *why = std::move(reason);
    return std::nullopt;
}

// Bytes of the full chain after the top level when the file says it has that many levels and holds
// them all; 0 when it has no chain, a partial one, or a cut one (then GL builds the chain).
std::uint64_t chainBytesPresent(std::span<const std::uint8_t> bytes, std::uint32_t width, std::uint32_t height,
                                std::uint32_t blockBytes, std::uint64_t topBytes) {
    const std::uint32_t levels = fullMipChainLength(width, height);
    if (levels < 2 || readU32(bytes, kMipCountOffset) != levels) return 0;
    std::uint64_t total = topBytes;
    for (std::uint32_t level = 1; level < levels; ++level)
        total += dxtLevelBytes(std::max(width >> level, 1u), std::max(height >> level, 1u), blockBytes);
    return bytes.size() - kDdsHeaderBytes >= total ? total : 0;
}

}  // namespace

std::uint64_t dxtLevelBytes(std::uint32_t width, std::uint32_t height, std::uint32_t blockBytes) {
    return (static_cast<std::uint64_t>(width) + 3) / 4 * ((static_cast<std::uint64_t>(height) + 3) / 4) * blockBytes;
}

std::uint32_t fullMipChainLength(std::uint32_t width, std::uint32_t height) {
    std::uint32_t levels = 1;
    for (std::uint32_t size = std::max(width, height); size > 1; size >>= 1) ++levels;
    return levels;
}

std::optional<DDSImage> parseDDS(std::span<const std::uint8_t> bytes, std::uint32_t maxDimension, std::string* why) {
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "DDS ", 4) != 0)
        return refuse(why, "not a DDS file (the magic is not 'DDS ')");
    if (bytes.size() < kDdsHeaderBytes)
        return refuse(why, "header truncated (need " + std::to_string(kDdsHeaderBytes) + " bytes, have " +
                               std::to_string(bytes.size()) + ")");

    const auto fourCc = bytes.subspan(kFourCcOffset, 4);
    const DxtFormat* dxt = nullptr;
    for (const DxtFormat& candidate : kFormats)
        if (std::memcmp(fourCc.data(), candidate.fourCc, 4) == 0) dxt = &candidate;
    if (!dxt) return refuse(why, "unsupported format '" + printable(fourCc) + "' (DXT1, DXT3 or DXT5 only)");

    const std::uint32_t width = readU32(bytes, kWidthOffset);
    const std::uint32_t height = readU32(bytes, kHeightOffset);
    const std::uint32_t linearSize = readU32(bytes, kLinearSizeOffset);
    const std::string dimensions = std::to_string(width) + " x " + std::to_string(height);
    if (width == 0 || height == 0) return refuse(why, "empty image (" + dimensions + ")");
    if (width > maxDimension || height > maxDimension)
        return refuse(why, "image " + dimensions + " exceeds the texture size limit " + std::to_string(maxDimension));

    // At most 2^30 x 2^30 blocks, so the block count fits 64 bits; the byte count saturates instead
    // of wrapping. Anything above 32 bits is larger than any linear size and fails the next test.
    const std::uint64_t blocks =
        (static_cast<std::uint64_t>(width) + 3) / 4 * ((static_cast<std::uint64_t>(height) + 3) / 4);
    const std::uint64_t needed = blocks > UINT64_MAX / dxt->blockBytes ? UINT64_MAX : blocks * dxt->blockBytes;
    if (linearSize < needed)
        return refuse(why, "linear size " + std::to_string(linearSize) + " is smaller than the image (" + dimensions +
                               " " + dxt->fourCc + " needs " + std::to_string(needed) + " bytes)");
    const std::size_t available = bytes.size() - kDdsHeaderBytes;
    if (available < linearSize)
        return refuse(why, "pixel data truncated (need " + std::to_string(linearSize) + " bytes, have " +
                               std::to_string(available) + ")");

    // A complete chain goes to GL as it is; otherwise the top level alone (bytes past it are not kept).
    const std::uint64_t chain = chainBytesPresent(bytes, width, height, dxt->blockBytes, needed);
    DDSImage image;
    const auto pixels = bytes.subspan(kDdsHeaderBytes, static_cast<std::size_t>(chain ? chain : needed));
    image.data.assign(pixels.begin(), pixels.end());
    image.width = width;
    image.height = height;
    image.size = static_cast<std::uint32_t>(needed);
    image.format = dxt->format;
    image.levels = chain ? fullMipChainLength(width, height) : 1;
    return image;
}

DDSImage readDDS(const char* path, std::uint32_t maxDimension) {
    std::string why;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        why = "cannot open the file";
    } else {
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        if (std::optional<DDSImage> image = parseDDS(bytes, maxDimension, &why)) return std::move(*image);
    }
    std::cout << "ERROR: Failed to load texture '" << path << "': " << why << std::endl;
    return {};
}

// A DXT1/DXT3/DXT5 DDS file as it goes to GL: compressed bytes, never decoded. Either the top mip
// level alone or, when the file carries one complete, the whole chain down to 1 x 1.
// A default-constructed image (no data, format 0) stands for a file that was missing or refused.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <vector>

struct DDSImage {
    std::vector<std::uint8_t> data;  // the levels one after the other, largest first
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t size = 0;          // of the top level: ceil(w / 4) * ceil(h / 4) * block bytes
    GLenum format = 0;               // GL_COMPRESSED_RGBA_S3TC_DXT{1,3,5}_EXT, or 0 when unusable
    std::uint32_t levels = 0;        // 1 (top level only) or the full chain's length

    bool usable() const { return format != 0; }
    bool hasMipChain() const { return levels > 1; }
};

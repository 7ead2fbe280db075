// The top mip level of a DXT1/DXT3/DXT5 DDS file as it goes to GL: compressed bytes, never decoded.
// A default-constructed image (no data, format 0) stands for a file that was missing or refused.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <vector>

struct DDSImage {
    std::vector<std::uint8_t> data;  // exactly `size` bytes: the top level only
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t size = 0;          // ceil(w / 4) * ceil(h / 4) * block bytes
    GLenum format = 0;               // GL_COMPRESSED_RGBA_S3TC_DXT{1,3,5}_EXT, or 0 when unusable

    bool usable() const { return format != 0; }
};

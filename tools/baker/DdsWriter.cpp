#include "tools/baker/DdsWriter.h"

#include "tools/baker/DriverMips.h"

#include <stb_dxt.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace {

void put32(std::vector<std::uint8_t>& out, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> compressDxt(int width, int height, const std::vector<std::uint8_t>& rgba,
                                      DdsFormat format) {
    const int blockBytes = format == DdsFormat::DXT1 ? 8 : 16;
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(width / 4) * (height / 4) * blockBytes);
    std::array<std::uint8_t, 64> block{};
    std::array<std::uint8_t, 16> packed{};
    for (int by = 0; by < height; by += 4) {
        for (int bx = 0; bx < width; bx += 4) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    for (int c = 0; c < 4; ++c)
                        block[(y * 4 + x) * 4 + c] =
                            rgba[(static_cast<std::size_t>(by + y) * width + (bx + x)) * 4 + c];
            stb_compress_dxt_block(packed.data(), block.data(), format == DdsFormat::DXT5 ? 1 : 0,
                                   STB_DXT_HIGHQUAL);
            out.insert(out.end(), packed.begin(), packed.begin() + blockBytes);
        }
    }
    return out;
}

bool writeDds(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba,
              DdsFormat format) {
    if (width <= 0 || height <= 0 || width % 4 || height % 4 ||
        rgba.size() != static_cast<std::size_t>(width) * height * 4) {
        std::printf("ERROR: Failed to write '%s': unusable size %d x %d\n", path.c_str(), width, height);
        return false;
    }
    const std::vector<std::uint8_t> data = compressDxt(width, height, rgba, format);
    // The whole chain, so the demo uploads it instead of building it at every start.
    const std::vector<std::vector<std::uint8_t>> lower = driverMipChain(width, height, data, format);

    std::vector<std::uint8_t> header(128, 0);
    header[0] = 'D'; header[1] = 'D'; header[2] = 'S'; header[3] = ' ';
    put32(header, 4, 124);                                   // header size
    const bool chain = !lower.empty();
    // CAPS | HEIGHT | WIDTH | PIXELFORMAT | LINEARSIZE, and MIPMAPCOUNT with a chain
    put32(header, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x80000 | (chain ? 0x20000 : 0));
    put32(header, 12, static_cast<std::uint32_t>(height));
    put32(header, 16, static_cast<std::uint32_t>(width));
    put32(header, 20, static_cast<std::uint32_t>(data.size()));
    put32(header, 28, static_cast<std::uint32_t>(1 + lower.size()));  // mip levels
    put32(header, 76, 32);                                   // pixel format size
    put32(header, 80, 0x4);                                  // DDPF_FOURCC
    const char* fourCC = format == DdsFormat::DXT1 ? "DXT1" : "DXT5";
    for (int i = 0; i < 4; ++i) header[84 + i] = static_cast<std::uint8_t>(fourCC[i]);
    put32(header, 108, 0x1000 | (chain ? 0x8 | 0x400000 : 0));  // TEXTURE, and COMPLEX | MIPMAP with a chain

    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    for (const std::vector<std::uint8_t>& level : lower)
        file.write(reinterpret_cast<const char*>(level.data()), static_cast<std::streamsize>(level.size()));
    if (!file) {
        std::printf("ERROR: Failed to write '%s'\n", path.c_str());
        return false;
    }
    return true;
}

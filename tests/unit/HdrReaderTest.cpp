#include "textures/HdrReader.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes prefix(Bytes bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

const Bytes kHeader = text("#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n");

// A run-length scanline of `width` pixels: every channel one run of `width` equal bytes.
Bytes runScanline(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t e) {
    Bytes line = {2, 2, static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width & 0xff)};
    for (std::uint8_t value : {r, g, b, e}) line = line + Bytes{static_cast<std::uint8_t>(128 + width), value};
    return line;
}

// A run-length scanline of `width` pixels (at most 128) stored as literal spans, one per channel.
Bytes spanScanline(int width, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t e) {
    Bytes line = {2, 2, static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width & 0xff)};
    for (std::uint8_t value : {r, g, b, e})
        line = line + Bytes{static_cast<std::uint8_t>(width)} + Bytes(static_cast<std::size_t>(width), value);
    return line;
}

// An 8 x 2 picture: top row red 1.0 (128 at exponent 129), bottom row blue 2.0 (128 at 130).
Bytes twoRows() {
    return kHeader + text("-Y 2 +X 8\n") + runScanline(8, 128, 0, 0, 129) + runScanline(8, 0, 0, 128, 130);
}

// What stb_image decodes the same bytes to, bottom row first (the flip the demo switches on).
std::vector<float> decodeWithStb(const Bytes& bytes, int& width, int& height) {
    stbi_set_flip_vertically_on_load(true);
    int channels = 0;
    float* pixels = stbi_loadf_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height,
                                           &channels, 3);
    std::vector<float> out;
    if (pixels) out.assign(pixels, pixels + static_cast<std::size_t>(width) * height * 3);
    stbi_image_free(pixels);
    return out;
}

Bytes readBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Pictures as stb_image_write encodes them: flat below 8 pixels of width, run-length from 8 on.
Bytes encodeWithStb(int width, int height) {
    std::vector<float> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = (i % 7 == 0) ? 0.0f : std::ldexp(static_cast<float>(i % 13 + 1), static_cast<int>(i % 9) - 4);
    Bytes out;
    stbi_write_hdr_to_func(
        [](void* context, void* data, int size) {
            auto* bytes = static_cast<Bytes*>(context);
            bytes->insert(bytes->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + size);
        },
        &out, width, height, 3, rgb.data());
    return out;
}

TEST(ParseHdr, DecodesGoodFilesExactlyAsStbImage) {
    struct Good {
        const char* name;
        Bytes bytes;
    };
    const Good goods[] = {
        {"flat 5 x 3 (too narrow for runs)", encodeWithStb(5, 3)},
        {"run-length 300 x 4 (runs and literal spans)", encodeWithStb(300, 4)},
        {"hand-made runs 8 x 2", twoRows()},
        {"hand-made literal spans 8 x 1", kHeader + text("-Y 1 +X 8\n") + spanScanline(8, 200, 100, 50, 140)},
        {"the baked sky", readBytes("assets/textures/skybox2.hdr")},
    };
    for (const Good& c : goods) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.bytes.empty());
        int width = 0, height = 0;
        const std::vector<float> expected = decodeWithStb(c.bytes, width, height);
        ASSERT_FALSE(expected.empty());
        std::string why;
        const auto image = parseHdr(c.bytes, &why);
        ASSERT_TRUE(image) << why;
        EXPECT_EQ(image->width, width);
        EXPECT_EQ(image->height, height);
        EXPECT_TRUE(image->pixels == expected);
    }

    // Worked out by hand: 128 * 2^(129 - 136) = 1, 128 * 2^(130 - 136) = 2; the bottom row comes first.
    const auto image = parseHdr(twoRows());
    ASSERT_TRUE(image);
    EXPECT_EQ(std::vector<float>(image->pixels.begin(), image->pixels.begin() + 3), (std::vector<float>{0, 0, 2}));
    EXPECT_EQ(std::vector<float>(image->pixels.end() - 3, image->pixels.end()), (std::vector<float>{1, 0, 0}));
}

struct BrokenSky {
    const char* name;
    Bytes bytes;
    const char* reason;
};

Bytes tgaHeader(std::uint16_t width, std::uint16_t height) {
    Bytes bytes(18, 0);
    bytes[2] = 2;  // uncompressed true colour
    bytes[12] = width & 0xff;
    bytes[13] = width >> 8;
    bytes[14] = height & 0xff;
    bytes[15] = height >> 8;
    bytes[16] = 24;
    return bytes + Bytes(10, 0x55);
}

TEST(ParseHdr, RefusesBrokenSkiesWithAReason) {
    const Bytes good = twoRows();
    const std::size_t dataStart = kHeader.size() + std::string("-Y 2 +X 8\n").size();
    // Longer than the smallest encoding, so a cut reaches the scanline decoder.
    const Bytes spans = kHeader + text("-Y 2 +X 8\n") + spanScanline(8, 1, 2, 3, 130) + spanScanline(8, 4, 5, 6, 130);
    const BrokenSky cases[] = {
        {"empty file", {}, "not a Radiance HDR file"},
        {"a TGA claiming 8224 x 8224", tgaHeader(8224, 8224), "not a Radiance HDR file"},
        {"cut inside the signature", prefix(good, 5), "not a Radiance HDR file"},
        {"cut inside the header", prefix(good, 20), "header cut short"},
        {"cut inside the size line", prefix(good, dataStart - 3), "size line cut short"},
        {"cut right after the size line", prefix(good, dataStart), "truncated"},
        {"cut in the last scanline's runs", prefix(good, good.size() - 3), "truncated"},
        {"cut in the last scanline's spans", prefix(spans, spans.size() - 10), "cut short in scanline 1"},
        {"one byte missing", prefix(spans, spans.size() - 1), "cut short in scanline 1"},
        {"another pixel format", text("#?RADIANCE\nFORMAT=32-bit_rle_xyze\n\n-Y 2 +X 8\n"), "unsupported pixel format"},
        {"no format line", text("#?RADIANCE\n\n-Y 2 +X 8\n") + Bytes(64, 1), "no FORMAT"},
        {"columns first", kHeader + text("+X 8 -Y 2\n") + Bytes(64, 1), "unsupported size line"},
        {"bottom-up rows", kHeader + text("+Y 2 +X 8\n") + Bytes(64, 1), "unsupported size line"},
        {"width above the limit", kHeader + text("-Y 2 +X 16385\n"), "outside 1 x 1 to 16384 x 8192"},
        {"height above the limit", kHeader + text("-Y 8193 +X 8\n"), "outside"},
        {"a size of zero", kHeader + text("-Y 0 +X 8\n"), "outside"},
        {"huge size, little data", kHeader + text("-Y 8192 +X 16384\n") + Bytes(1000, 1), "truncated"},
        {"scanline length differs from the width",
         kHeader + text("-Y 2 +X 8\n") + runScanline(9, 1, 1, 1, 1) + runScanline(8, 1, 1, 1, 1), "says 9 pixels"},
        {"run past the width",
         kHeader + text("-Y 1 +X 8\n") + Bytes{2, 2, 0, 8, 128 + 9, 1} + Bytes(40, 1), "runs past the width"},
        {"zero-length span", kHeader + text("-Y 1 +X 8\n") + Bytes{2, 2, 0, 8, 0} + Bytes(40, 1), "zero-length span"},
    };
    for (const BrokenSky& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        EXPECT_FALSE(parseHdr(c.bytes, &why));
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
}

TEST(ParseHdr, EveryPrefixOfAGoodFileIsRefused) {
    const Bytes good = encodeWithStb(40, 3);
    ASSERT_TRUE(parseHdr(good));
    for (std::size_t length = 0; length < good.size(); ++length) {
        std::string why;
        EXPECT_FALSE(parseHdr(prefix(good, length), &why)) << length;
        EXPECT_FALSE(why.empty()) << length;
    }
}

// Truncated run-length files on which stb_image 2.27 never returns (kept to show that ours does).
TEST(ReadHdr, FilesThatHangStbImageGiveOneErrorLine) {
    const struct {
        const char* file;
        const char* reason;
    } cases[] = {
        {"tests/fixtures/sky/cut_after_marker.hdr", "pixel data truncated (8 x 1 needs at least 12 bytes, have 4)"},
        {"tests/fixtures/sky/cut_in_span.hdr", "pixel data cut short in scanline 0"},
        {"tests/fixtures/sky/cut_in_last_scanline.hdr", "pixel data cut short in scanline 2"},
        {"tests/fixtures/sky/absent.hdr", "cannot open the file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        testing::internal::CaptureStdout();
        EXPECT_FALSE(readHdr(c.file));
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(output, "ERROR: Failed to load HDR image. '" + std::string(c.file) + "': " + c.reason + "\n");
    }
}

}  // namespace

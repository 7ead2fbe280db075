#include "textures/DdsReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A DDS file as the DXT writers lay it out: "DDS ", a 124-byte header (height at byte 12, width at
// 16, linear size at 20, FourCC at 84), then `dataBytes` bytes of pixel data (0, 1, 2, ...).
std::vector<std::uint8_t> ddsFile(const char* fourCc, std::uint32_t width, std::uint32_t height,
                                  std::uint32_t linearSize, std::size_t dataBytes, const char* magic = "DDS ") {
    std::vector<std::uint8_t> bytes(128 + dataBytes, 0);
    auto put = [&](std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    std::memcpy(bytes.data(), magic, 4);
    put(4, 124);           // header size
    put(8, 0x81007);       // caps, height, width, pixel format, linear size
    put(12, height);
    put(16, width);
    put(20, linearSize);
    put(76, 32);           // pixel format size
    put(80, 0x4);          // FourCC present
    std::memcpy(bytes.data() + 84, fourCc, 4);
    for (std::size_t i = 0; i < dataBytes; ++i) bytes[128 + i] = static_cast<std::uint8_t>(i);
    return bytes;
}

// Named after the process: other build folders may run these tests at the same time.
std::filesystem::path fixtureDir() {
    return std::filesystem::path(testing::TempDir()) / ("verdance-dds-" + std::to_string(getpid()));
}

std::string writeFixture(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::filesystem::create_directories(fixtureDir());
    const std::string path = (fixtureDir() / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::vector<std::uint8_t> cut(std::vector<std::uint8_t> bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

struct DdsCase {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::uint32_t maxDimension;
    // accepted files
    std::uint32_t width, height, size;
    GLenum format;
    // refused files: a part of the reason (empty for accepted files)
    const char* reason;
};

// 13 x 7 is 4 x 2 blocks: 64 bytes at 8 bytes a block (DXT1), 128 at 16 (DXT3, DXT5).
const DdsCase kDdsCases[] = {
    {"DXT1 13 x 7", ddsFile("DXT1", 13, 7, 64, 64), kNoDdsSizeLimit, 13, 7, 64, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, ""},
    {"DXT3 13 x 7", ddsFile("DXT3", 13, 7, 128, 128), kNoDdsSizeLimit, 13, 7, 128, GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, ""},
    {"DXT5 13 x 7", ddsFile("DXT5", 13, 7, 128, 128), kNoDdsSizeLimit, 13, 7, 128, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, ""},
    {"DXT1 1 x 1 is one whole block", ddsFile("DXT1", 1, 1, 8, 8), kNoDdsSizeLimit, 1, 1, 8,
     GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, ""},
    {"linear size above the image keeps the top level only", ddsFile("DXT1", 8, 8, 40, 40), kNoDdsSizeLimit, 8, 8, 32,
     GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, ""},
    {"at the size limit", ddsFile("DXT1", 16, 4, 32, 32), 16, 16, 4, 32, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, ""},

    {"wrong magic", ddsFile("DXT1", 13, 7, 64, 64, "PNG "), kNoDdsSizeLimit, 0, 0, 0, 0, "not a DDS file"},
    {"DXT2", ddsFile("DXT2", 13, 7, 128, 128), kNoDdsSizeLimit, 0, 0, 0, 0, "unsupported format 'DXT2'"},
    {"no FourCC", ddsFile("\0\0\0\0", 13, 7, 128, 128), kNoDdsSizeLimit, 0, 0, 0, 0, "unsupported format '\?\?\?\?'"},
    {"header cut", cut(ddsFile("DXT1", 13, 7, 64, 64), 100), kNoDdsSizeLimit, 0, 0, 0, 0,
     "header truncated (need 128 bytes, have 100)"},
    {"pixel data truncated", ddsFile("DXT1", 13, 7, 64, 10), kNoDdsSizeLimit, 0, 0, 0, 0,
     "pixel data truncated (need 64 bytes, have 10)"},
    {"linear size smaller than computed", ddsFile("DXT1", 13, 7, 32, 64), kNoDdsSizeLimit, 0, 0, 0, 0,
     "linear size 32 is smaller than the image (13 x 7 DXT1 needs 64 bytes)"},
    {"zero width", ddsFile("DXT1", 0, 7, 64, 64), kNoDdsSizeLimit, 0, 0, 0, 0, "empty image (0 x 7)"},
    {"zero height", ddsFile("DXT5", 13, 0, 128, 128), kNoDdsSizeLimit, 0, 0, 0, 0, "empty image (13 x 0)"},
    {"wider than the texture limit", ddsFile("DXT1", 32, 4, 64, 64), 16, 0, 0, 0, 0,
     "image 32 x 4 exceeds the texture size limit 16"},
    {"size that overflows 32 bits", ddsFile("DXT5", 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 16), kNoDdsSizeLimit, 0, 0,
     0, 0, "is smaller than the image"},
};

TEST(ParseDDS, AcceptsDxtFilesAndRefusesBadOnesWithAReason) {
    for (const DdsCase& c : kDdsCases) {
        SCOPED_TRACE(c.name);
        std::string why;
        const std::optional<DDSImage> image = parseDDS(c.bytes, c.maxDimension, &why);
        if (*c.reason) {
            EXPECT_FALSE(image);
            EXPECT_NE(why.find(c.reason), std::string::npos) << why;
            continue;
        }
        ASSERT_TRUE(image) << why;
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        EXPECT_EQ(image->size, c.size);
        EXPECT_EQ(image->format, c.format);
        ASSERT_EQ(image->data.size(), c.size);
        EXPECT_TRUE(std::equal(image->data.begin(), image->data.end(), c.bytes.begin() + 128));
    }
}

TEST(ReadDDS, ReadsFilesAndReportsEachRefusalOnceWithTheFileName) {
    for (const DdsCase& c : kDdsCases) {
        SCOPED_TRACE(c.name);
        const std::string path = writeFixture(std::string(c.name) + ".dds", c.bytes);
        testing::internal::CaptureStdout();
        const DDSImage image = readDDS(path.c_str(), c.maxDimension);
        const std::string output = testing::internal::GetCapturedStdout();
        if (*c.reason) {
            EXPECT_EQ(output.rfind("ERROR: Failed to load texture '" + path + "': ", 0), 0u) << output;
            EXPECT_NE(output.find(c.reason), std::string::npos) << output;
            EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
            EXPECT_TRUE(image.data.empty());
            EXPECT_EQ(image.width | image.height | image.size | image.format, 0u);
        } else {
            EXPECT_EQ(output, "");
            EXPECT_EQ(image.width, c.width);
            EXPECT_EQ(image.size, c.size);
            EXPECT_EQ(image.format, c.format);
        }
    }
    std::filesystem::remove_all(fixtureDir());
}

// The header's mip count (byte 28) and its flag (0x20000), as a writer of a chain sets them.
std::vector<std::uint8_t> withMipCount(std::vector<std::uint8_t> bytes, std::uint32_t count) {
    for (int i = 0; i < 4; ++i) bytes[28 + i] = static_cast<std::uint8_t>(count >> (8 * i));
    bytes[10] |= 0x02;
    return bytes;
}

// A chain is used only when it is whole: every level down to 1 x 1 named by the header and present.
// 8 x 8 DXT1: 32 + 8 + 8 + 8 bytes (8x8, 4x4, 2x2, 1x1). 16 x 4 DXT5: 64 + 32 + 16 + 16 + 16 (16x4,
// 8x2, 4x1, 2x1, 1x1; a level smaller than a block still takes a whole block).
TEST(ParseDDS, TakesTheMipChainOnlyWhenItIsComplete) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::uint32_t levels;
        std::size_t dataBytes;  // all levels taken; the top level alone is 32 bytes (64 for 16 x 4)
    };
    const Case cases[] = {
        {"complete chain", withMipCount(ddsFile("DXT1", 8, 8, 32, 56), 4), 4, 56},
        {"complete chain of a wide image", withMipCount(ddsFile("DXT5", 16, 4, 64, 144), 5), 5, 144},
        {"chain cut in its last level", withMipCount(ddsFile("DXT1", 8, 8, 32, 50), 4), 1, 32},
        {"chain cut after the top level", withMipCount(ddsFile("DXT1", 8, 8, 32, 32), 4), 1, 32},
        {"header names fewer levels than the full chain", withMipCount(ddsFile("DXT1", 8, 8, 32, 40), 2), 1, 32},
        {"header names more levels than exist", withMipCount(ddsFile("DXT1", 8, 8, 32, 64), 5), 1, 32},
        {"no mip count", ddsFile("DXT1", 8, 8, 32, 56), 1, 32},
        {"1 x 1 has no chain", withMipCount(ddsFile("DXT1", 1, 1, 8, 8), 1), 1, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        const std::optional<DDSImage> image = parseDDS(c.bytes, kNoDdsSizeLimit, &why);
        ASSERT_TRUE(image) << why;
        EXPECT_EQ(image->levels, c.levels);
        EXPECT_EQ(image->size, image->width == 16 ? 64u : image->width == 1 ? 8u : 32u);
        ASSERT_EQ(image->data.size(), c.dataBytes);
        EXPECT_TRUE(std::equal(image->data.begin(), image->data.end(), c.bytes.begin() + 128));
    }
}

TEST(ReadDDS, MissingFileGivesAnEmptyImageAndOneErrorLine) {
    testing::internal::CaptureStdout();
    const DDSImage image = readDDS("no/such/bark_Albedo.dds");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "ERROR: Failed to load texture 'no/such/bark_Albedo.dds': cannot open the file\n");
    EXPECT_FALSE(image.usable());
    EXPECT_TRUE(image.data.empty());
}

TEST(ParseDDS, EveryPrefixOfAGoodFileFailsCleanly) {
    for (const char* fourCc : {"DXT1", "DXT5"}) {
        const std::uint32_t size = std::string(fourCc) == "DXT1" ? 64 : 128;
        const std::vector<std::uint8_t> good = ddsFile(fourCc, 13, 7, size, size);
        ASSERT_TRUE(parseDDS(good));
        for (std::size_t length = 0; length < good.size(); ++length) {
            SCOPED_TRACE(std::string(fourCc) + " cut to " + std::to_string(length) + " bytes");
            std::string why;
            EXPECT_FALSE(parseDDS(std::span(good.data(), length), kNoDdsSizeLimit, &why));
            EXPECT_NE(why, "");
        }
    }
}

}  // namespace

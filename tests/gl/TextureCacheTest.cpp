#include "textures/TextureLoader.h"
#include "tests/support/GlTestContext.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using gltest::ScratchDir;

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

// An 8 x 8 DXT1 file of four identical blocks: colour 0 = pure red (RGB565 0xF800), every index 0.
std::vector<std::uint8_t> redDxt1(std::uint32_t linearSize = 32) {
    std::vector<std::uint8_t> bytes(128, 0);
    auto put = [&](std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    };
    std::memcpy(bytes.data(), "DDS ", 4);
    put(4, 124);
    put(12, 8);
    put(16, 8);
    put(20, linearSize);
    put(76, 32);
    put(80, 0x4);
    std::memcpy(bytes.data() + 84, "DXT1", 4);
    for (int block = 0; block < 4; ++block)
        bytes.insert(bytes.end(), {0x00, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    return bytes;
}

struct CachedCase {
    const char* name;
    std::optional<std::vector<std::uint8_t>> file;  // nullopt: no file at all
    int width;                                      // of level 0; 0 when the texture has no image
    const char* output;                             // on the first load
};

const CachedCase kCachedCases[] = {
    {"good.dds", redDxt1(), 8, ""},
    {"short.dds", redDxt1(16), 0,
     "ERROR: Failed to load texture 'assets/textures/short.dds': linear size 16 is smaller than the image "
     "(8 x 8 DXT1 needs 32 bytes)\n"},
    {"missing.dds", std::nullopt, 0, "ERROR: Failed to load texture 'assets/textures/missing.dds': cannot open the file\n"},
};

// Every outcome is cached under its name: the second request neither reads the file (it is gone by
// then) nor reports again, and hands out the same record.
TEST(LoadTexture, LoadsEachNameOnceWhateverTheOutcome) {
    const ScratchDir scratch("texture-cache");
    const fs::path& dir = scratch.path;
    gltest::ScopedWorkingDirectory cwd(dir.string());
    for (const CachedCase& c : kCachedCases) {
        SCOPED_TRACE(c.name);
        if (c.file) writeBytes(dir / "assets/textures" / c.name, *c.file);

        testing::internal::CaptureStdout();
        const std::shared_ptr<Texture> first = loadTexture(c.name);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        ASSERT_NE(first->getId(), 0u);

        glBindTexture(GL_TEXTURE_2D, first->getId());
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, c.width);
        if (c.width > 0) {
            // Uploaded still compressed, with a mip chain built by GL, and it decodes to red.
            GLint compressed = 0, levelOneWidth = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &compressed);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &levelOneWidth);
            EXPECT_TRUE(compressed);
            EXPECT_EQ(levelOneWidth, 4);
            std::vector<std::uint8_t> rgba(8 * 8 * 4);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
            EXPECT_EQ(rgba[0], 255);
            EXPECT_EQ(rgba[1], 0);
            EXPECT_EQ(rgba[2], 0);
        }
        glBindTexture(GL_TEXTURE_2D, 0);

        fs::remove(dir / "assets/textures" / c.name);
        testing::internal::CaptureStdout();
        const std::shared_ptr<Texture> second = loadTexture(c.name);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
        EXPECT_EQ(second.get(), first.get());
    }
}

// A chain the file carries is what GL samples: red at 8 x 8, then blue (RGB565 0x001F) at 4 x 4, 2 x 2
// and 1 x 1, which GL would never have built from a red top level.
TEST(LoadTexture, UsesTheMipChainTheFileCarries) {
    const ScratchDir scratch("texture-chain");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    std::vector<std::uint8_t> bytes = redDxt1();
    bytes[28] = 4;                     // mip count: 8, 4, 2, 1
    bytes[10] |= 0x02;                 // DDSD_MIPMAPCOUNT
    for (int level = 1; level < 4; ++level) bytes.insert(bytes.end(), {0x1F, 0x00, 0x00, 0x00, 0, 0, 0, 0});
    writeBytes(scratch.path / "assets/textures/chain.dds", bytes);

    testing::internal::CaptureStdout();
    const std::shared_ptr<Texture> texture = loadTexture("chain.dds");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glBindTexture(GL_TEXTURE_2D, texture->getId());
    for (int level = 0; level < 4; ++level) {
        SCOPED_TRACE("level " + std::to_string(level));
        GLint width = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
        EXPECT_EQ(width, 8 >> level);
        std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * width * 4);
        glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        EXPECT_EQ(rgba[0], level == 0 ? 255 : 0);
        EXPECT_EQ(rgba[2], level == 0 ? 0 : 255);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

// A 1 x 2 panorama: red on top, blue below, as stored in the file (top row first).
void writeRedOverBlue(const std::string& path) {
    const float pixels[] = {1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    ASSERT_TRUE(stbi_write_hdr(path.c_str(), 1, 2, 3, pixels));
}

TEST(LoadHDR, FlipsOnLoadAndLeavesTheFlipOnForLaterDecodes) {
    const ScratchDir scratch("hdr-flip");
    const fs::path& dir = scratch.path;
    const std::string path = (dir / "assets/textures/redOverBlue.hdr").string();
    writeRedOverBlue(path);

    stbi_set_flip_vertically_on_load(false);
    const GLuint texture = loadHDR(path);
    ASSERT_NE(texture, 0u);

    // Texture row 0 is the bottom of the picture, so t = 1 is up.
    float rows[6] = {};
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, rows);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_FLOAT_EQ(rows[2], 1.0f) << "row 0 should be the blue bottom";
    EXPECT_FLOAT_EQ(rows[3], 1.0f) << "row 1 should be the red top";

    // The switch is process-wide and stays on: the next decode starts at the bottom too.
    int width = 0, height = 0, channels = 0;
    float* decoded = stbi_loadf(path.c_str(), &width, &height, &channels, 3);
    ASSERT_NE(decoded, nullptr);
    EXPECT_FLOAT_EQ(decoded[2], 1.0f);
    EXPECT_FLOAT_EQ(decoded[0], 0.0f);
    stbi_image_free(decoded);
}

TEST(LoadHDR, MissingOrUndecodableFileGivesZeroAndOneErrorLine) {
    const ScratchDir scratch("hdr-bad");
    const fs::path& dir = scratch.path;
    writeBytes(dir / "assets/textures/garbage.hdr", {'#', '?', 'R', 'A', 'D', 'I', 'A', 'N', 'C', 'E', '\n'});
    for (const fs::path& path : {dir / "assets/textures/absent.hdr", dir / "assets/textures/garbage.hdr"}) {
        SCOPED_TRACE(path.string());
        testing::internal::CaptureStdout();
        EXPECT_EQ(loadHDR(path.string()), 0u);
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(output.rfind("ERROR: Failed to load HDR image. '" + path.string() + "': ", 0), 0u) << output;
        EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
    }
}

}  // namespace

// The baker's media (sky, titles, sprites, music): the same bytes on every bake, DDS files the
// engine's reader accepts with the header's sizes consistent, a sky panorama whose sun sits where
// the level's light expects it, titles stored so they read upright on the engine's plane, and an
// MP3 stream that parses frame by frame to the expected length.
#include "tests/unit/FileFixture.h"
#include "textures/DdsReader.h"
#include "tools/baker/Bake.h"
#include "tools/baker/Sky.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using fixture::filesUnder;
using fixture::readBytes;

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t offset) {
    return b[offset] | (b[offset + 1] << 8) | (b[offset + 2] << 16) | (static_cast<std::uint32_t>(b[offset + 3]) << 24);
}

void bakeMedia(const fs::path& folder) {
    BakeOptions options;
    options.assetsDir = folder.string();
    options.reduced = true;
    bakeSky(options);
    bakeTitles(options);
    bakeSprites(options);
    bakeMusic(options);
}

// Two reduced bakes into fresh folders, shared by the tests of this file (baking is the slow part).
class BakerMedia : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("verdance-baker-media-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        bakeMedia(root_ / "first");
        bakeMedia(root_ / "second");
    }
    static void TearDownTestSuite() { fs::remove_all(root_); }
    static fs::path first() { return root_ / "first"; }
    static fs::path second() { return root_ / "second"; }

private:
    static fs::path root_;
};
fs::path BakerMedia::root_;

TEST_F(BakerMedia, TwoBakesWriteTheSameFilesByteForByte) {
    const auto a = filesUnder(first());
    const auto b = filesUnder(second());
    const char* expected[] = {"textures/skybox2.hdr",      "textures/intro.dds",        "textures/credits.dds",
                              "textures/goodParticle.dds", "textures/hopeParticle.dds", "textures/badParticles3.dds",
                              "media/music.mp3"};
    for (const char* name : expected) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(a.count(name));
        EXPECT_GT(a.at(name).size(), 128u);
    }
    ASSERT_EQ(a.size(), std::size(expected)) << "no stray or temporary files";
    for (const auto& [name, bytes] : a) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(b.count(name));
        EXPECT_TRUE(bytes == b.at(name));
    }
}

TEST_F(BakerMedia, EveryDdsIsAcceptedWithConsistentSizes) {
    // levels: the whole chain, 600 x 300 down to 1 x 1 in 10 halvings, 64 x 64 in 7
    struct Expected { const char* name; std::uint32_t width, height, levels; };
    const Expected cases[] = {
        {"intro.dds", 600, 300, 10}, {"credits.dds", 600, 300, 10},   // 1800 x 900 divided by 3 when reduced
        {"goodParticle.dds", 64, 64, 7}, {"hopeParticle.dds", 64, 64, 7}, {"badParticles3.dds", 64, 64, 7},
    };
    for (const Expected& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::uint8_t> bytes = readBytes(first() / "textures" / c.name);
        ASSERT_GE(bytes.size(), 128u);
        EXPECT_EQ(0, std::memcmp(bytes.data(), "DDS ", 4));
        EXPECT_EQ(0, std::memcmp(&bytes[84], "DXT5", 4));
        // DXT5: 16 bytes per 4 x 4 block; the linear size is exactly the top level, the chain follows.
        const std::uint32_t blocks = ((c.width + 3) / 4) * ((c.height + 3) / 4);
        EXPECT_EQ(le32(bytes, 20), blocks * 16);
        EXPECT_EQ(le32(bytes, 28), c.levels);
        EXPECT_EQ(c.width % 4, 0u);
        EXPECT_EQ(c.height % 4, 0u);

        std::string why;
        const std::optional<DDSImage> image = parseDDS(bytes, kNoDdsSizeLimit, &why);
        ASSERT_TRUE(image.has_value()) << why;
        EXPECT_EQ(image->width, c.width);
        EXPECT_EQ(image->height, c.height);
        EXPECT_EQ(image->format, 0x83F3u);   // GL_COMPRESSED_RGBA_S3TC_DXT5_EXT
        EXPECT_EQ(image->size, blocks * 16);
        EXPECT_EQ(image->levels, c.levels) << "the baker wrote no complete mip chain";
        EXPECT_EQ(image->data.size(), bytes.size() - 128u);
    }
}

// The brightest texel of the panorama must lie toward kSunDirection by the documented mapping
// (u = atan2(z, x) / 2pi + 0.5, v = asin(y) / pi + 0.5, row 0 at v = 1), and be real HDR.
TEST_F(BakerMedia, SkySunIsWhereTheLevelLightPoints) {
    const std::vector<std::uint8_t> bytes = readBytes(first() / "textures" / "skybox2.hdr");
    ASSERT_GT(bytes.size(), 11u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), "#?RADIANCE\n", 11));
    stbi_set_flip_vertically_on_load(0);   // rows as stored; the engine's loader flips them itself
    int width = 0, height = 0, channels = 0;
    float* pixels = stbi_loadf_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 3);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(width, 2 * height);

    int brightest = 0;
    double upperSum = 0.0, lowerSum = 0.0;
    for (int i = 0; i < width * height; ++i) {
        const float luminance = pixels[i * 3] + pixels[i * 3 + 1] + pixels[i * 3 + 2];
        if (luminance > pixels[brightest * 3] + pixels[brightest * 3 + 1] + pixels[brightest * 3 + 2]) brightest = i;
        (i / width < height / 2 ? upperSum : lowerSum) += luminance;
    }
    const double pi = 3.14159265358979;
    const double u = (brightest % width + 0.5) / width, v = 1.0 - (brightest / width + 0.5) / height;
    const double azimuth = (u - 0.5) * 2.0 * pi, elevation = (v - 0.5) * pi;
    const double dx = std::cos(elevation) * std::cos(azimuth), dy = std::sin(elevation),
                 dz = std::cos(elevation) * std::sin(azimuth);
    const double cosine = dx * kSunDirection.x + dy * kSunDirection.y + dz * kSunDirection.z;
    EXPECT_GT(cosine, std::cos(2.0 * pi / 180.0)) << "sun texel at (" << brightest % width << ", " << brightest / width << ")";
    EXPECT_GT(pixels[brightest * 3], 10.0f) << "the sun must be far above 1.0";
    EXPECT_NEAR(std::sqrt(kSunDirection.x * kSunDirection.x + kSunDirection.y * kSunDirection.y +
                          kSunDirection.z * kSunDirection.z), 1.0, 1e-5);
    EXPECT_GT(upperSum, 3.0 * lowerSum) << "row 0 is the sky, the lower half the dark ground";
    stbi_image_free(pixels);
}

// The engine's plane has v = 0 at its bottom and uploads the first DDS row as v = 0, so the
// picture's top (the large title) must be stored in the second half of the rows. Bright solid
// blocks (opaque alpha, light colour endpoint) mark the lettering.
TEST_F(BakerMedia, IntroIsStoredBottomRowFirstWithTransparentCorners) {
    const std::vector<std::uint8_t> bytes = readBytes(first() / "textures" / "intro.dds");
    ASSERT_GE(bytes.size(), 128u);
    const std::uint32_t width = le32(bytes, 16), height = le32(bytes, 12);
    const std::uint32_t blocksX = width / 4, blocksY = height / 4;
    ASSERT_GE(bytes.size(), 128u + blocksX * blocksY * 16);  // the top level, then its mip chain
    int storedFirstHalf = 0, storedSecondHalf = 0;
    for (std::uint32_t by = 0; by < blocksY; ++by)
        for (std::uint32_t bx = 0; bx < blocksX; ++bx) {
            const std::uint8_t* block = &bytes[128 + (by * blocksX + bx) * 16];
            const int maxAlpha = std::max(block[0], block[1]);
            const int colour = std::max(block[8] | (block[9] << 8), block[10] | (block[11] << 8));
            const int green = (colour >> 5) & 63;   // RGB565: green has the most bits
            if (maxAlpha > 240 && green > 40) (by < blocksY / 2 ? storedFirstHalf : storedSecondHalf)++;
        }
    EXPECT_GT(storedSecondHalf, 2 * storedFirstHalf) << storedFirstHalf << " bright blocks in the first half";

    for (std::uint32_t by : {0u, blocksY - 1})
        for (std::uint32_t bx : {0u, blocksX - 1}) {
            const std::uint8_t* block = &bytes[128 + (by * blocksX + bx) * 16];
            EXPECT_EQ(block[0], 0) << "corner block (" << bx << ", " << by << ") lets the black window show";
            EXPECT_EQ(block[1], 0);
        }
}

// MPEG-1 Layer III at 44.1 kHz and 160 kbit/s, stereo: every frame header parses and the frames
// add up to the reduced bake's four seconds (1152 samples per frame, plus the encoder's padding).
TEST_F(BakerMedia, MusicIsAnUnbrokenMp3StreamOfTheExpectedLength) {
    const std::vector<std::uint8_t> bytes = readBytes(first() / "media" / "music.mp3");
    std::size_t offset = 0;
    int frames = 0;
    while (offset + 4 <= bytes.size()) {
        const std::uint8_t* h = &bytes[offset];
        ASSERT_EQ(h[0], 0xFF) << "frame " << frames << " at byte " << offset;
        ASSERT_EQ(h[1] & 0xFE, 0xFA) << "MPEG-1 Layer III";
        ASSERT_EQ(h[2] >> 4, 0xA) << "160 kbit/s";
        ASSERT_EQ((h[2] >> 2) & 3, 0) << "44100 Hz";
        ASSERT_NE(h[3] >> 6, 3) << "stereo";
        offset += 144 * 160000 / 44100 + ((h[2] >> 1) & 1);
        ++frames;
    }
    EXPECT_EQ(offset, bytes.size()) << "the last frame is complete";
    const double seconds = frames * 1152.0 / 44100.0;
    EXPECT_GT(seconds, 4.0);
    EXPECT_LT(seconds, 4.2);
}

// A destination that cannot hold folders: each step reports it and writes nothing, without throwing.
TEST(BakerMediaFailures, AnUnusableAssetsFolderIsReportedNotThrown) {
    const fs::path blocker = fs::temp_directory_path() / ("verdance-baker-blocker-" + std::to_string(::getpid()));
    std::ofstream(blocker) << "a file where the assets folder should be";
    BakeOptions options;
    options.assetsDir = blocker.string();
    options.reduced = true;
    struct Step { const char* name; void (*bake)(const BakeOptions&); };
    const Step steps[] = {{"sky", bakeSky}, {"titles", bakeTitles}, {"sprites", bakeSprites}, {"music", bakeMusic}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        ::testing::internal::CaptureStdout();
        EXPECT_NO_THROW(step.bake(options));
        const std::string output = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(output.rfind("ERROR: Failed to create folder '", 0), 0u) << output;
        EXPECT_NE(output.find(blocker.string()), std::string::npos);
    }
    EXPECT_TRUE(fs::is_regular_file(blocker));
    fs::remove(blocker);
}

}  // namespace

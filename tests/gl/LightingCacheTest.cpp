#include "render/ImageBasedLighting.h"
#include "render/LightingCache.h"
#include "textures/Texture.h"
#include "tests/support/GlTestContext.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <stb_image_write.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using gltest::ScratchDir;

// A panorama with structure in every direction, so that a texel out of place shows.
void writePanorama(const fs::path& path, float tint) {
    constexpr int width = 64, height = 32;
    std::vector<float> pixels;
    for (int row = 0; row < height; ++row)
        for (int column = 0; column < width; ++column)
            pixels.insert(pixels.end(), {tint * (1.0f + column % 7), 0.25f * (1 + row % 5), 0.5f + (row * column) % 3});
    ASSERT_TRUE(stbi_write_hdr(path.string().c_str(), width, height, 3, pixels.data()));
}

// Every level and face of a texture, as the driver stores them (half floats).
std::vector<std::uint16_t> texels(GLenum target, GLuint name, int channels) {
    std::vector<std::uint16_t> all;
    glBindTexture(target, name);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    const int faces = target == GL_TEXTURE_CUBE_MAP ? 6 : 1;
    for (int level = 0;; ++level) {
        const GLenum image = target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : target;
        GLint side = 0;
        glGetTexLevelParameteriv(image, level, GL_TEXTURE_WIDTH, &side);
        if (side == 0) break;
        for (int face = 0; face < faces; ++face) {
            std::vector<std::uint16_t> level_(static_cast<std::size_t>(side) * side * channels);
            glGetTexImage(target == GL_TEXTURE_CUBE_MAP ? image + face : image, level, channels == 3 ? GL_RGB : GL_RG,
                          GL_HALF_FLOAT, level_.data());
            all.insert(all.end(), level_.begin(), level_.end());
        }
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(target, 0);
    return all;
}

struct SetTexels {
    std::vector<std::uint16_t> environment, irradiance, prefiltered, brdf;
    bool operator==(const SetTexels&) const = default;
};

SetTexels readSet(const Texture& set) {
    return {texels(GL_TEXTURE_CUBE_MAP, set.getId(), 3), texels(GL_TEXTURE_CUBE_MAP, set.getIrradianceMap(), 3),
            texels(GL_TEXTURE_CUBE_MAP, set.getPrefilteredMap(), 3), texels(GL_TEXTURE_2D, set.getBrdfLut(), 2)};
}

std::vector<fs::path> entries(const fs::path& dir) {
    std::vector<fs::path> found;
    if (fs::exists(dir))
        for (const fs::directory_entry& entry : fs::directory_iterator(dir)) found.push_back(entry.path());
    return found;
}

class ScopedCacheDir {
public:
    explicit ScopedCacheDir(const std::string& dir) { setenv("VERDANCE_CACHE_DIR", dir.c_str(), 1); }
    ~ScopedCacheDir() { setenv("VERDANCE_CACHE_DIR", "off", 1); }
};

// Captures what the code under test prints to std::cout.
class CapturedOutput {
public:
    CapturedOutput() : previous(std::cout.rdbuf(text.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(previous); }
    std::string str() const { return text.str(); }

private:
    std::ostringstream text;
    std::streambuf* previous;
};

TEST(LightingCache, RestoresExactlyWhatThePassesMadeAndFollowsThePanorama) {
    const ScratchDir scratch("lighting-cache");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    const fs::path cache = scratch.path / "cache";
    const ScopedCacheDir useCache(cache.string());
    writePanorama("assets/textures/sky.hdr", 1.0f);

    const SetTexels computed = readSet(*loadEnvironment("sky.hdr"));
    ASSERT_EQ(entries(cache).size(), 1u) << "the computed set is kept";
    const fs::path entry = entries(cache).front();

    forgetLoadedEnvironments();
    const SetTexels restored = readSet(*loadEnvironment("sky.hdr"));
    EXPECT_TRUE(restored == computed) << "restored texels differ from the computed ones";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The restore really reads the entry: a texel changed in the file shows in the texture.
    {
        std::fstream file(entry, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(24);  // the first texel of the environment's first face
        const std::uint16_t two = 0x4000;
        file.write(reinterpret_cast<const char*>(&two), sizeof(two));
    }
    forgetLoadedEnvironments();
    EXPECT_EQ(readSet(*loadEnvironment("sky.hdr")).environment.front(), 0x4000);

    // Another panorama under the same name misses, is computed, and replaces the entry; what a
    // killed writer left goes with it (no process has pid 2^22 + 1 and above on Linux), a live
    // writer's temporary stays.
    const fs::path dead = entry.string() + ".part.4194305";
    const fs::path live = entry.string() + ".part." + std::to_string(getppid());
    std::ofstream(dead) << "half an entry";
    std::ofstream(live) << "being written";
    writePanorama("assets/textures/sky.hdr", 3.0f);
    forgetLoadedEnvironments();
    const SetTexels other = readSet(*loadEnvironment("sky.hdr"));
    EXPECT_FALSE(other.environment == computed.environment);
    EXPECT_EQ(other.brdf, computed.brdf);
    EXPECT_FALSE(fs::exists(entry)) << "the old entry is removed";
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live));
    fs::remove(live);
    EXPECT_EQ(entries(cache).size(), 1u);
}

// What the cache cannot use or keep costs only time: the textures are those the passes make.
TEST(LightingCache, BrokenEntriesAndUnwritableFoldersFallBackToThePasses) {
    const ScratchDir scratch("lighting-cache-broken");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    writePanorama("assets/textures/sky.hdr", 1.0f);
    const SetTexels expected = readSet(*loadEnvironment("sky.hdr"));  // the cache is off here

    const fs::path cache = scratch.path / "cache";
    {
        const ScopedCacheDir useCache(cache.string());
        forgetLoadedEnvironments();
        loadEnvironment("sky.hdr");
    }
    const fs::path entry = entries(cache).front();
    const std::uintmax_t whole = fs::file_size(entry);

    struct Case {
        const char* what;
        std::function<void()> breakIt;
    };
    const Case cases[] = {
        {"cut short", [&] { fs::resize_file(entry, whole - 1000); }},
        {"empty", [&] { fs::resize_file(entry, 0); }},
        {"another key in the header", [&] {
             std::fstream file(entry, std::ios::in | std::ios::out | std::ios::binary);
             file.seekp(16);
             file.write("XXXXXXXX", 8);
         }},
        {"not an entry at all", [&] { std::ofstream(entry, std::ios::trunc) << std::string(whole, 'x'); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.breakIt();
        const ScopedCacheDir useCache(cache.string());
        forgetLoadedEnvironments();
        EXPECT_TRUE(readSet(*loadEnvironment("sky.hdr")) == expected);
        EXPECT_EQ(fs::file_size(entry), whole) << "a good entry is written again";
    }

    // A file where the folder should be: one line, and the same textures.
    std::ofstream(scratch.path / "blocked") << "a file";
    const ScopedCacheDir useCache((scratch.path / "blocked" / "cache").string());
    forgetLoadedEnvironments();
    const CapturedOutput output;
    EXPECT_TRUE(readSet(*loadEnvironment("sky.hdr")) == expected);
    EXPECT_NE(output.str().find("Lighting cache not written to '"), std::string::npos) << output.str();
}

// A refused panorama is never kept: its error line must come on every start, not only the first.
TEST(LightingCache, ARefusedPanoramaIsNotKept) {
    const ScratchDir scratch("lighting-cache-refused");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    std::ofstream("assets/textures/sky.hdr") << "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 8 +X 8\n";
    const fs::path cache = scratch.path / "cache";
    const ScopedCacheDir useCache(cache.string());
    for (int start = 0; start < 2; ++start) {
        forgetLoadedEnvironments();
        const CapturedOutput output;
        loadSkyboxTexture("sky.hdr");
        EXPECT_NE(output.str().find("ERROR: Failed to load HDR image."), std::string::npos) << output.str();
    }
    EXPECT_TRUE(entries(cache).empty());
}

}  // namespace

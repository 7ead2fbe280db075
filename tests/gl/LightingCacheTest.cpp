#include "render/ImageBasedLighting.h"
#include "render/LightingCache.h"
#include "textures/Texture.h"
#include "textures/TextureLoader.h"
#include "tests/support/GlTestContext.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stb_image_write.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
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
    explicit ScopedCacheDir(const std::string& dir) {
        if (const char* current = std::getenv("VERDANCE_CACHE_DIR")) previous = current;
        setenv("VERDANCE_CACHE_DIR", dir.c_str(), 1);
    }
    ~ScopedCacheDir() { setenv("VERDANCE_CACHE_DIR", previous.c_str(), 1); }

private:
    std::string previous = "off";
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

int occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// What the cache does with a set does not depend on how many samples the passes take, so the scratch
// folder's copies of the passes take 16 instead of thousands: a set then costs a fraction of a second
// instead of seconds, and these tests make dozens. The programs' sources are in the key, so the
// entries are these programs' own. The real counts' results are checked by the lighting tests.
void quickenLightingPasses() {
    const std::pair<const char*, const char*> counts[] = {
        {"assets/shader/irradianceMap.frag", "4096u"},
        {"assets/shader/preFilterer.frag", "4096u"},
        {"assets/shader/brdf.frag", "512u"},
    };
    for (const auto& [file, count] : counts) {
        std::string source = readBytes(file);
        const std::size_t at = source.find(count);
        ASSERT_NE(at, std::string::npos) << file << " no longer takes " << count << " samples";
        source.replace(at, std::string(count).size(), "16u");
        writeBytes(file, source);
    }
}

// An entry is a 32-byte header (magic 8, format version 4, texture count 4, key 8, XXH3-64 of the
// payload 8) and the payload.
constexpr std::size_t kHeaderBytes = 32;
constexpr std::size_t kChecksumOffset = 24;

void mendChecksum(std::string& entry) {
    const std::uint64_t sum = XXH3_64bits(entry.data() + kHeaderBytes, entry.size() - kHeaderBytes);
    entry.replace(kChecksumOffset, sizeof(sum), reinterpret_cast<const char*>(&sum), sizeof(sum));
}

void makeUnusedFor(const fs::path& path, int days) {
    const std::time_t then = std::time(nullptr) - static_cast<std::time_t>(days) * 24 * 60 * 60;
    const timespec times[2] = {{then, 0}, {then, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(LightingCache, RestoresExactlyWhatThePassesMadeAndFollowsThePanorama) {
    const ScratchDir scratch("lighting-cache");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    const fs::path cache = scratch.path / "cache";
    const ScopedCacheDir useCache(cache.string());
    writePanorama("assets/textures/sky.hdr", 1.0f);

    const SetTexels computed = readSet(*loadEnvironment("sky.hdr"));
    ASSERT_EQ(entries(cache).size(), 1u) << "the computed set is kept";
    const fs::path entry = entries(cache).front();

    forgetLoadedEnvironments();
    {
        const CapturedOutput output;
        const SetTexels restored = readSet(*loadEnvironment("sky.hdr"));
        EXPECT_TRUE(restored == computed) << "restored texels differ from the computed ones";
        EXPECT_EQ(output.str(), "");
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The restore really reads the entry: a texel changed in the file, with the checksum mended to
    // match, shows in the texture.
    std::string bytes = readBytes(entry);
    const std::uint16_t two = 0x4000;  // the first texel of the environment's first face
    bytes.replace(kHeaderBytes, sizeof(two), reinterpret_cast<const char*>(&two), sizeof(two));
    mendChecksum(bytes);
    writeBytes(entry, bytes);
    forgetLoadedEnvironments();
    EXPECT_EQ(readSet(*loadEnvironment("sky.hdr")).environment.front(), 0x4000);

    // Another panorama under the same name misses, is computed, and replaces the entry.
    writePanorama("assets/textures/sky.hdr", 3.0f);
    forgetLoadedEnvironments();
    const SetTexels other = readSet(*loadEnvironment("sky.hdr"));
    EXPECT_FALSE(other.environment == computed.environment);
    EXPECT_EQ(other.brdf, computed.brdf);
    EXPECT_FALSE(fs::exists(entry)) << "the old entry is removed";
    EXPECT_EQ(entries(cache).size(), 1u);
}

// What the cache cannot use or keep costs only time: the textures are those the passes make, and a
// refused entry is written again exactly as a clean run writes it.
TEST(LightingCache, BrokenEntriesAreRefusedWithOneLineAndRewritten) {
    const ScratchDir scratch("lighting-cache-broken");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    writePanorama("assets/textures/sky.hdr", 1.0f);
    const SetTexels expected = [] {
        const ScopedCacheDir off("off");
        return readSet(*loadEnvironment("sky.hdr"));
    }();

    const fs::path cache = scratch.path / "cache";
    {
        const ScopedCacheDir useCache(cache.string());
        forgetLoadedEnvironments();
        loadEnvironment("sky.hdr");
    }
    const fs::path entry = entries(cache).front();
    const std::string clean = readBytes(entry);
    auto changed = [&](std::size_t offset, const std::string& with) {
        return [&, offset, with] {
            std::string bytes = clean;
            bytes.replace(offset, with.size(), with);
            writeBytes(entry, bytes);
        };
    };

    struct Case {
        const char* what;
        std::function<void()> breakIt;
        const char* reason;
    };
    const Case cases[] = {
        {"cut short", [&] { writeBytes(entry, clean.substr(0, clean.size() - 1000)); }, "bytes, expected"},
        {"empty", [&] { writeBytes(entry, ""); }, "0 bytes, expected"},
        {"not an entry at all", [&] { writeBytes(entry, std::string(clean.size(), 'x')); }, "not a lighting cache entry"},
        {"another format version", changed(8, std::string("\x01\0\0\0", 4)), "format version 1, expected"},
        {"another key in the header", changed(16, "XXXXXXXX"), "in the header, expected"},
        {"another checksum", changed(kChecksumOffset, "XXXXXXXX"), "the payload does not match its checksum"},
        {"one payload byte changed", changed(clean.size() / 2, std::string(1, static_cast<char>(clean[clean.size() / 2] ^ 1))),
         "the payload does not match its checksum"},
        {"a symbolic link", [&] {
             writeBytes(scratch.path / "elsewhere.bin", clean);
             fs::remove(entry);
             fs::create_symlink(scratch.path / "elsewhere.bin", entry);
         }, "it is a symbolic link"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.breakIt();
        const ScopedCacheDir useCache(cache.string());
        forgetLoadedEnvironments();
        const CapturedOutput output;
        EXPECT_TRUE(readSet(*loadEnvironment("sky.hdr")) == expected);
        EXPECT_EQ(occurrences(output.str(), "\n"), 1) << output.str();
        EXPECT_TRUE(output.str().starts_with("Lighting cache entry '" + entry.string() + "' refused: ")) << output.str();
        EXPECT_NE(output.str().find(c.reason), std::string::npos) << output.str();
        EXPECT_FALSE(fs::is_symlink(entry));
        EXPECT_TRUE(readBytes(entry) == clean) << "the entry is written again, as a clean run writes it";
    }
}

// A folder that cannot be written costs the start its speed and one line, however many entries it
// would have held; the textures are those the passes make.
TEST(LightingCache, AnUnwritableFolderIsReportedOnce) {
    const ScratchDir scratch("lighting-cache-unwritable");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    writePanorama("assets/textures/sky.hdr", 1.0f);
    const SetTexels expected = [] {
        const ScopedCacheDir off("off");
        return readSet(*loadEnvironment("sky.hdr"));
    }();

    std::ofstream(scratch.path / "blocked") << "a file where the folder should be";
    const ScopedCacheDir useCache((scratch.path / "blocked" / "cache").string());
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        forgetLoadedEnvironments();
        const CapturedOutput output;
        EXPECT_TRUE(readSet(*loadEnvironment("sky.hdr")) == expected);
        loadSkyboxTexture("sky.hdr");
        EXPECT_EQ(occurrences(output.str(), "\n"), 1) << output.str();
        EXPECT_EQ(occurrences(output.str(), "Lighting cache not written to '"), 1) << output.str();
    }
}

// What else a writer finds in the folder: it removes its own older entries, temporaries of this host
// whose process is gone, and what nobody used for 30 days; nothing of another checkout, driver or
// host, and no name it cannot read (and none of those names makes it fail).
TEST(LightingCache, AWriterRemovesOnlyWhatIsProvablyStale) {
    const ScratchDir scratch("lighting-cache-folder");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    const fs::path cache = scratch.path / "cache";
    const ScopedCacheDir useCache(cache.string());
    writePanorama("assets/textures/sky.hdr", 1.0f);
    loadEnvironment("sky.hdr");
    ASSERT_EQ(entries(cache).size(), 1u);
    const fs::path entry = entries(cache).front();
    const std::string name = entry.filename().string();  // "sky.hdr-lighting-<origin>-<key>.bin"
    const std::string lineage = name.substr(0, name.size() - 20);
    const std::string kind = name.substr(0, name.size() - 37);  // "sky.hdr-lighting-"
    const std::string zeros(16, '0');
    const std::string deadPid = "4194305";  // above Linux's largest pid_max: no such process
    const std::string otherHost = ".part." + deadPid + ".0123456789abcdef.elsewhere~4026531836";

    struct Case {
        const char* what;
        std::string file;
        bool magic;
        int unusedDays;
        bool kept;
    };
    const Case cases[] = {
        {"this writer's older entry", lineage + zeros + ".bin", true, 0, false},
        {"another checkout's or driver's entry", kind + zeros + "-" + zeros + ".bin", true, 0, true},
        {"another panorama's entry", "moon.hdr-lighting-" + zeros + "-" + zeros + ".bin", true, 0, true},
        {"a dead writer's temporary on this host",
         lightingCacheTemporary(entry, std::stol(deadPid)).filename().string(), false, 0, false},
        {"a live writer's temporary on this host", lightingCacheTemporary(entry, getppid()).filename().string(), false,
         0, true},
        {"a temporary of another host", name + otherHost, false, 0, true},
        {"a pid of 25 digits", name + ".part.9999999999999999999999999", false, 0, true},
        {"the issue's pid of 20 digits", "skybox2.hdr-sky-" + zeros + ".bin.part.99999999999999999999", false, 0, true},
        {".part. and nothing", name + ".part.", false, 0, true},
        {".part. and letters", name + ".part.abc", false, 0, true},
        {"an entry of ours unused for 31 days", kind + "1111111111111111-" + zeros + ".bin", true, 31, false},
        {"an entry of ours used 29 days ago", kind + "2222222222222222-" + zeros + ".bin", true, 29, true},
        {"someone else's file unused for 31 days", "firmware.bin", false, 31, true},
        {"another host's temporary untouched for 31 days", kind + zeros + "-" + zeros + ".bin" + otherHost, false, 31,
         false},
    };
    for (const Case& c : cases) {
        writeBytes(cache / c.file, c.magic ? std::string("VRDLIGHT") + std::string(100, '\0') : std::string("stray"));
        if (c.unusedDays) makeUnusedFor(cache / c.file, c.unusedDays);
    }

    writePanorama("assets/textures/sky.hdr", 3.0f);  // another key: computed and written
    forgetLoadedEnvironments();
    {
        const CapturedOutput output;
        loadEnvironment("sky.hdr");
        EXPECT_EQ(output.str(), "");
    }
    EXPECT_FALSE(fs::exists(entry)) << "the writer's previous entry";
    for (const Case& c : cases) EXPECT_EQ(fs::exists(cache / c.file), c.kept) << c.what << ": " << c.file;
    EXPECT_EQ(entries(cache).size(), 1u + std::count_if(std::begin(cases), std::end(cases), [](const Case& c) {
                                          return c.kept;
                                      }));
}

// A conversion drawn into an incomplete target is never kept; the same conversion into a complete
// one is (so the test can tell the two apart).
TEST(LightingCache, AResultDrawnIntoAnIncompleteTargetIsNotKept) {
    const ScratchDir scratch("lighting-cache-incomplete");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    const fs::path cache = scratch.path / "cache";
    const ScopedCacheDir useCache(cache.string());
    writePanorama("assets/textures/sky.hdr", 1.0f);

    struct Case {
        const char* what;
        int faceSize;  // a face of no texels cannot be drawn into: the capture target is incomplete
        int lines;
        bool kept;
    };
    const Case cases[] = {{"complete", 8, 0, true}, {"incomplete", 0, 1, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(cache);
        const std::vector<CachedTexture> layout = {{GL_TEXTURE_CUBE_MAP, c.faceSize, 1, 3, GL_LINEAR, "test cube"}};
        const CapturedOutput output;
        const std::vector<GLuint> made = loadOrComputeLighting("sky.hdr", "test", layout, [&] {
            return ComputedLighting{{equirectToCubemap(loadPanorama("sky.hdr"), c.faceSize)}, true};
        });
        glDeleteTextures(1, made.data());
        // (The driver's debug output may add its own message about the same framebuffer.)
        EXPECT_EQ(occurrences(output.str(), "ERROR: Frame buffer not complete! (equirect capture, status 0x"), c.lines)
            << output.str();
        EXPECT_EQ(entries(cache).size(), c.kept ? 1u : 0u);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The prefiltered map holds exactly the five levels the pass renders, computed or restored, and the
// entry holds exactly the layout's levels: nothing undefined is sampled or stored.
TEST(LightingCache, ThePrefilteredMapHasExactlyItsRenderedLevels) {
    const ScratchDir scratch("lighting-cache-levels");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    const fs::path cache = scratch.path / "cache";
    const ScopedCacheDir useCache(cache.string());
    writePanorama("assets/textures/sky.hdr", 1.0f);

    for (const char* source : {"computed", "restored"}) {
        SCOPED_TRACE(source);
        forgetLoadedEnvironments();
        glBindTexture(GL_TEXTURE_CUBE_MAP, loadEnvironment("sky.hdr")->getPrefilteredMap());
        GLint levels = 0;
        glGetTexParameteriv(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_IMMUTABLE_LEVELS, &levels);
        EXPECT_EQ(levels, 5);
        for (int level = 0; level <= 5; ++level) {
            GLint side = -1;
            glGetTexLevelParameteriv(GL_TEXTURE_CUBE_MAP_POSITIVE_X, level, GL_TEXTURE_WIDTH, &side);
            EXPECT_EQ(side, level < 5 ? 128 >> level : 0) << "level " << level;
        }
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    }

    // Half floats: 6 faces x 3 channels x 2 bytes per cube texel, 2 x 2 bytes per BRDF texel.
    std::size_t environment = 0, prefiltered = 0;
    for (int side = 512; side >= 1; side /= 2) environment += 36u * side * side;   // 10 levels
    for (int side = 128; side >= 8; side /= 2) prefiltered += 36u * side * side;   // 5 levels
    const std::size_t irradiance = 36u * 32 * 32, brdf = 4u * 512 * 512;
    ASSERT_EQ(entries(cache).size(), 1u);
    EXPECT_EQ(fs::file_size(entries(cache).front()), kHeaderBytes + environment + irradiance + prefiltered + brdf);
}

// A refused panorama is never kept: its error line must come on every start, not only the first.
TEST(LightingCache, ARefusedPanoramaIsNotKept) {
    const ScratchDir scratch("lighting-cache-refused");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
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

// The build's entries (assets/lighting/, baked on its headless context) come first: a start with an
// empty user cache reads them, also with the user cache off, and computes and writes nothing. A
// damaged one is refused with one line and the start goes on as without it; a start never writes
// into the build's folder.
TEST(LightingCache, AStartReadsTheBuildsEntriesFirstAndNeverWritesThem) {
    const ScratchDir scratch("lighting-cache-baked");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    writePanorama("assets/textures/sky.hdr", 1.0f);
    {
        const CapturedOutput output;
        ASSERT_TRUE(bakeEnvironmentAndSkybox(kBakedLightingDir, "sky.hdr"));
        EXPECT_EQ(occurrences(output.str(), "Lighting set baked into 'assets/lighting/sky.hdr-"), 2) << output.str();
    }
    std::vector<fs::path> bakedEntries = entries(kBakedLightingDir);
    ASSERT_EQ(bakedEntries.size(), 2u);
    std::sort(bakedEntries.begin(), bakedEntries.end());  // "...-lighting-..." before "...-sky-..."
    const fs::path environment = bakedEntries[0];
    const std::string clean = readBytes(environment);
    const auto bakedTime = fs::last_write_time(environment);

    const fs::path cache = scratch.path / "cache";
    SetTexels restored;
    {
        const ScopedCacheDir useCache(cache.string());
        forgetLoadedEnvironments();
        const CapturedOutput output;
        restored = readSet(*loadEnvironment("sky.hdr"));
        loadSkyboxTexture("sky.hdr");
        EXPECT_EQ(output.str(), "");
        EXPECT_TRUE(entries(cache).empty()) << "nothing was computed, so nothing was kept";
    }
    EXPECT_EQ(fs::last_write_time(environment), bakedTime) << "the build's entries are only read";

    // With the user cache off the build's entry is still read: a texel changed in it (checksum mended)
    // shows in the texture.
    std::string bytes = clean;
    const std::uint16_t two = 0x4000;
    bytes.replace(kHeaderBytes, sizeof(two), reinterpret_cast<const char*>(&two), sizeof(two));
    mendChecksum(bytes);
    writeBytes(environment, bytes);
    {
        const ScopedCacheDir off("off");
        forgetLoadedEnvironments();
        EXPECT_EQ(readSet(*loadEnvironment("sky.hdr")).environment.front(), 0x4000);
    }

    // Damaged: refused with one line; the set is computed (the very texels the build kept) and kept
    // in the user's cache, not there.
    bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 1);
    writeBytes(environment, bytes);
    {
        const ScopedCacheDir useCache(cache.string());
        forgetLoadedEnvironments();
        const CapturedOutput output;
        EXPECT_TRUE(readSet(*loadEnvironment("sky.hdr")) == restored);
        EXPECT_EQ(occurrences(output.str(), "\n"), 1) << output.str();
        EXPECT_TRUE(output.str().starts_with("Lighting cache entry '" + environment.string() +
                                             "' refused: the payload does not match its checksum"))
            << output.str();
        EXPECT_EQ(entries(cache).size(), 1u);
    }
    EXPECT_TRUE(readBytes(environment) == bytes) << "a start never writes the build's folder";
}

// What the build does with its folder: an entry already whole under the current key is kept as it
// is; a new key replaces the old one of its name and kind and a dead writer's temporary, and leaves
// other names alone; a result that must not be kept is an ERROR line and no file.
TEST(LightingCache, TheBuildKeepsOneWholeEntryPerNameAndKind) {
    const ScratchDir scratch("lighting-cache-bake");
    gltest::ScopedWorkingDirectory cwd(scratch.path.string());
    quickenLightingPasses();
    writePanorama("assets/textures/sky.hdr", 1.0f);
    const fs::path dir = scratch.path / "baked";
    const std::vector<CachedTexture> layout = {{GL_TEXTURE_CUBE_MAP, 8, 1, 3, GL_LINEAR, "test cube"}};
    int computed = 0;
    auto bake = [&](bool keep = true) {
        return bakeLighting(dir, "sky.hdr", "test", layout, [&] {
            ++computed;
            return ComputedLighting{{equirectToCubemap(loadPanorama("sky.hdr"), 8)}, keep};
        });
    };

    ASSERT_TRUE(bake());
    ASSERT_EQ(entries(dir).size(), 1u);
    const fs::path first = entries(dir).front();
    EXPECT_EQ(first, bakedLightingFile(dir, "sky.hdr", "test", *lightingCacheKey("assets/textures/sky.hdr", layout)));
    const auto firstTime = fs::last_write_time(first);
    {
        const CapturedOutput output;
        EXPECT_TRUE(bake());
        EXPECT_EQ(output.str(), "Lighting set '" + first.string() + "' is up to date\n");
    }
    EXPECT_EQ(computed, 1);
    EXPECT_EQ(fs::last_write_time(first), firstTime);

    const std::string zeros(16, '0');
    const fs::path otherName = dir / ("moon.hdr-test-" + zeros + ".bin");
    const fs::path otherKind = dir / ("sky.hdr-lighting-" + zeros + ".bin");
    const fs::path deadTemporary = lightingCacheTemporary(first, 4194305);  // above any pid_max
    for (const fs::path& path : {otherName, otherKind, deadTemporary}) writeBytes(path, "stray");
    writePanorama("assets/textures/sky.hdr", 3.0f);
    forgetLoadedEnvironments();
    ASSERT_TRUE(bake());
    EXPECT_EQ(computed, 2);
    EXPECT_FALSE(fs::exists(first)) << "the older key's entry";
    EXPECT_FALSE(fs::exists(deadTemporary));
    EXPECT_TRUE(fs::exists(otherName));
    EXPECT_TRUE(fs::exists(otherKind));
    EXPECT_EQ(entries(dir).size(), 3u);

    writePanorama("assets/textures/sky.hdr", 5.0f);
    forgetLoadedEnvironments();
    {
        const CapturedOutput output;
        EXPECT_FALSE(bake(false));
        EXPECT_TRUE(output.str().starts_with("ERROR: Lighting set not baked into '" + dir.string() + "/sky.hdr-test-"))
            << output.str();
        EXPECT_NE(output.str().find("': its panorama was refused\n"), std::string::npos) << output.str();
    }
    EXPECT_EQ(entries(dir).size(), 3u) << "nothing of the refused result is left";
}

}  // namespace

// A disk cache for what the load-time lighting passes compute from the sky panorama: the skybox's
// 2048 cube map and the image-based-lighting set. On this driver those passes are most of the load
// (about 3.5 s of fragment work), yet their result depends only on the panorama's bytes, the four
// capture programs, this code and the driver, so it is kept as the driver's own half floats and
// uploaded again on the next start. The entry's key hashes all of these; any change misses and the
// passes run as before. Restored textures are bit-for-bit those the passes made (the tests and the
// frame comparisons check it).
//
// Where: $VERDANCE_CACHE_DIR, else $XDG_CACHE_HOME/verdance, else $HOME/.cache/verdance (beside
// the driver's shader cache). VERDANCE_CACHE_DIR=off switches the cache off.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The folder entries live in, or nothing when the cache is off or no folder can be named.
std::optional<std::filesystem::path> lightingCacheDir();

// One texture of an entry: a cube map or 2D texture of `levels` levels, `channels` half floats per
// texel (3 for GL_RGB16F, 2 for GL_RG16F), side `size` at level 0.
struct CachedTexture {
    GLenum target;
    int size;
    int levels;
    int channels;
    GLenum minFilter;
    const char* label;
};

// The key of an entry: the panorama file's bytes, the capture programs' sources and the engine's
// shader preamble, the driver's vendor, renderer and version, and `layout` (the entry's textures).
// Nothing when the panorama file cannot be read: the passes then run and report it.
std::optional<std::uint64_t> lightingCacheKey(const std::string& panoramaPath, const std::vector<CachedTexture>& layout);

// The entry's file: "<dir>/<name>-<kind>-<key in hex>.bin".
std::filesystem::path lightingCacheFile(const std::filesystem::path& dir, const std::string& name, const char* kind,
                                        std::uint64_t key);

// New GL textures, in `layout` order, from `file` when it holds exactly this key and layout; nothing
// (and no GL object made) when it is missing, of another key, or cut short.
std::optional<std::vector<GLuint>> readLightingCache(const std::filesystem::path& file, std::uint64_t key,
                                                     const std::vector<CachedTexture>& layout);

// Reads `textures` (in `layout` order) back from GL and writes them as `file`, through a temporary
// name renamed when complete; older entries of the same name and kind are removed. A folder that
// cannot be written costs the next start its speed, nothing else: one line says so.
void writeLightingCache(const std::filesystem::path& file, std::uint64_t key, const std::vector<CachedTexture>& layout,
                        const std::vector<GLuint>& textures);

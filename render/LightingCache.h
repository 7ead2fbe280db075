// A disk cache for what the load-time lighting passes compute from the sky panorama: the skybox's
// 2048 cube map and the image-based-lighting set. On this driver those passes are most of the load
// (about 3.5 s of fragment work), yet their result depends only on the panorama's bytes, the four
// capture programs, the passes' C++ code and the driver, so it is kept as the driver's own half
// floats and uploaded again on the next start. The entry's key hashes all of these (the C++ side as
// a hash of its sources made by the build); any change misses and the passes run as before.
// Restored textures are bit-for-bit those the passes made (the tests and frame comparisons check it).
//
// An entry carries an XXH3 checksum of its payload, summed as the payload is read and uploaded; an
// entry that fails any check leaves no texture behind and is refused with one line, and the passes'
// result replaces it. A result made while any framebuffer was incomplete is never kept.
//
// Where: $VERDANCE_CACHE_DIR, else $XDG_CACHE_HOME/verdance, else $HOME/.cache/verdance (beside
// the driver's shader cache). VERDANCE_CACHE_DIR=off switches the cache off.
//
// The build makes the same entries once, on its own headless context, into assets/lighting/ (the
// build's tree, beside the baked assets; tools/baker/lighting). A start reads that folder first,
// never writes it, and verifies its entries like any other; its key holds the driver, so a start on
// another driver misses it and goes on to the user's cache.
//
// Sharing the folder: entries are named after their writer's origin (the checkout, i.e. the working
// directory, and the driver) as well as their key. A writer replaces only older entries of its own
// name, kind and origin, so two checkouts or two drivers never delete each other's entries; anything
// of the cache's own not used for 30 days goes (a use refreshes an entry's time), which bounds what
// removed checkouts leave. Temporaries are created exclusively under an unpredictable name that also
// names their host; a writer removes one only when it is of this host and its process is gone.
#pragma once

#include <GL/glew.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// The folder entries live in, or nothing when the cache is off or no folder can be named.
std::optional<std::filesystem::path> lightingCacheDir();

// The build's own entries, relative to the working directory like every asset.
inline constexpr const char* kBakedLightingDir = "assets/lighting";

// One texture of an entry: a cube map or 2D texture of exactly `levels` levels, `channels` half
// floats per texel (3 for GL_RGB16F, 2 for GL_RG16F), side `size` at level 0.
struct CachedTexture {
    GLenum target;
    int size;
    int levels;
    int channels;
    GLenum minFilter;
    const char* label;
};

// The key of an entry: the panorama file's bytes, the capture programs' sources and the engine's
// shader preamble, the passes' C++ sources, the driver's vendor, renderer and version, and `layout`.
// Nothing when the panorama file cannot be read: the passes then run and report it.
std::optional<std::uint64_t> lightingCacheKey(const std::string& panoramaPath, const std::vector<CachedTexture>& layout);

// The entry's file: "<dir>/<name>-<kind>-<origin>-<key>.bin", origin and key in 16 hex digits.
std::filesystem::path lightingCacheFile(const std::filesystem::path& dir, const std::string& name, const char* kind,
                                        std::uint64_t key);

// A build-time entry's file: "<dir>/<name>-<kind>-<key>.bin". The folder belongs to one checkout and
// holds one entry per name and kind, so its names need no origin.
std::filesystem::path bakedLightingFile(const std::filesystem::path& dir, const std::string& name, const char* kind,
                                        std::uint64_t key);

// The name a writer with process id `pid` writes `file` through: "<file>.part.<pid>.<16 random hex
// digits>.<host>", where host is this machine's name and PID namespace.
std::filesystem::path lightingCacheTemporary(const std::filesystem::path& file, long pid);

// New GL textures, in `layout` order, from `file` when it holds exactly this key and layout and its
// checksum holds; nothing (and no GL object left) otherwise. A missing file is a plain miss; any other
// refusal prints one line naming the file and the reason. A use is marked on the file (its time, for
// the 30-day rule) unless it is only read, as the build's entries are.
enum class CacheUse { MarkUse, ReadOnly };
std::optional<std::vector<GLuint>> readLightingCache(const std::filesystem::path& file, std::uint64_t key,
                                                     const std::vector<CachedTexture>& layout,
                                                     CacheUse use = CacheUse::MarkUse);

// Reads `textures` (in `layout` order) back from GL and writes them as `file`, through an exclusive
// temporary renamed when complete, then clears out what the folder policy above lets this writer
// remove. A folder that cannot be written costs the next start its speed, nothing else: one line
// says so, once per process (forgetLightingCacheFailures starts over).
void writeLightingCache(const std::filesystem::path& file, std::uint64_t key, const std::vector<CachedTexture>& layout,
                        const std::vector<GLuint>& textures);

// What a conversion made: the layout's textures, and whether they are worth keeping (not when an
// input was refused: its black result must not hide the error line on later starts).
struct ComputedLighting {
    std::vector<GLuint> textures;
    bool keep;
};

// The textures of `layout` for the panorama "assets/textures/<name>": from the build's entry of this
// name and `kind` (kBakedLightingDir) when it holds them, else from the user's cache entry, else from
// `compute`, whose result is stored in the user's cache unless it asked not to be or a framebuffer
// was incomplete while it ran. VERDANCE_CACHE_DIR=off turns off the user's cache only.
std::vector<GLuint> loadOrComputeLighting(const std::string& name, const char* kind,
                                          const std::vector<CachedTexture>& layout,
                                          const std::function<ComputedLighting()>& compute);

// For the build: makes sure `dir` holds the entry of this name and kind under the key this context
// computes (a valid one is kept, else `compute` runs and its result is written), and removes that
// name and kind's entries of other keys. On failure: one "ERROR: " line naming the file and the
// reason, no file left behind, and false.
bool bakeLighting(const std::filesystem::path& dir, const std::string& name, const char* kind,
                  const std::vector<CachedTexture>& layout, const std::function<ComputedLighting()>& compute);

// Forgets which folders this process found unwritable, so the next write tries (and reports) again.
void forgetLightingCacheFailures();

#include "render/LightingCache.h"

#include "gl/GlObjects.h"
#include "render/LightingPassSourcesHash.h"
#include "shaders/ShaderContract.h"
#include "shaders/ShaderRegistry.h"
#include "textures/TextureLoader.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <new>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// The entry's file layout: the header below, then every level of every face of every texture in
// layout order. The passes' own changes reach the key through the hash of their sources instead.
constexpr std::uint32_t kFormatVersion = 2;
constexpr char kMagic[8] = {'V', 'R', 'D', 'L', 'I', 'G', 'H', 'T'};
// Anything of the cache's own that nobody used for this long goes (a use refreshes the time). A
// writer is done within seconds, so a temporary this old has no writer left either.
constexpr std::time_t kUnusedSeconds = 30 * 24 * 60 * 60;

struct Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t textureCount;
    std::uint64_t key;
    std::uint64_t checksum;  // XXH3-64 of everything after the header
};
static_assert(sizeof(Header) == 32);

// XXH3-64, streamed: for the key a collision would only show another sky; for the checksum it finds
// damage (a torn write, a flipped bit), which is all it is for.
class Hash {
public:
    Hash() : state(XXH3_createState(), XXH3_freeState) {
        if (!state) throw std::bad_alloc();
        XXH3_64bits_reset(state.get());
    }
    void add(const void* data, std::size_t size) { XXH3_64bits_update(state.get(), data, size); }
    void add(std::string_view text) {
        const std::uint64_t length = text.size();
        add(&length, sizeof(length));  // so that ("ab", "c") and ("a", "bc") differ
        add(text.data(), text.size());
    }
    std::uint64_t get() const { return XXH3_64bits_digest(state.get()); }

private:
    std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)> state;
};

// Closes its descriptor unless released; for paths where the close result does not matter.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd(fd) {}
    ~FileDescriptor() {
        if (fd >= 0) close(fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd; }
    int release() { return std::exchange(fd, -1); }

private:
    int fd;
};

// Exactly `size` bytes at `offset`; false on an error or the end of the file (errno 0 then).
bool readAt(int fd, void* data, std::size_t size, off_t offset) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = pread(fd, bytes, size, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = 0;
            return false;
        }
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += got;
    }
    return true;
}

bool writeAt(int fd, const void* data, std::size_t size, off_t offset) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = pwrite(fd, bytes, size, offset);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = ENOSPC;
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
        offset += put;
    }
    return true;
}

std::string systemReason(const char* fallback) { return errno != 0 ? std::strerror(errno) : fallback; }

std::optional<std::string> readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::string glString(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "";
}

std::string hex16(std::uint64_t value) {
    char hex[17];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(value));
    return hex;
}

bool isHex16(std::string_view text) {
    return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

int faceCount(const CachedTexture& texture) { return texture.target == GL_TEXTURE_CUBE_MAP ? 6 : 1; }
GLenum pixelFormat(const CachedTexture& texture) { return texture.channels == 3 ? GL_RGB : GL_RG; }
GLenum internalFormat(const CachedTexture& texture) { return texture.channels == 3 ? GL_RGB16F : GL_RG16F; }
int levelSide(const CachedTexture& texture, int level) { return std::max(1, texture.size >> level); }

std::size_t levelBytes(const CachedTexture& texture, int level) {
    const std::size_t side = levelSide(texture, level);
    return side * side * static_cast<std::size_t>(texture.channels) * sizeof(std::uint16_t);
}

std::size_t entryBytes(const std::vector<CachedTexture>& layout) {
    std::size_t total = sizeof(Header);
    for (const CachedTexture& texture : layout)
        for (int level = 0; level < texture.levels; ++level) total += faceCount(texture) * levelBytes(texture, level);
    return total;
}

// The largest single image of the layout: the one buffer both directions move faces through.
std::size_t largestImageBytes(const std::vector<CachedTexture>& layout) {
    std::size_t largest = 0;
    for (const CachedTexture& texture : layout) largest = std::max(largest, levelBytes(texture, 0));
    return largest;
}

GLenum imageTarget(const CachedTexture& texture, int face) {
    return texture.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
}

// Half-float rows of width 1 are 6 bytes: pack and unpack without row padding while the cache works.
class TightPixelRows {
public:
    TightPixelRows() {
        glGetIntegerv(GL_PACK_ALIGNMENT, &pack);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    }
    ~TightPixelRows() {
        glPixelStorei(GL_PACK_ALIGNMENT, pack);
        glPixelStorei(GL_UNPACK_ALIGNMENT, unpack);
    }

private:
    GLint pack = 4, unpack = 4;
};

// Exactly the layout's levels, as the passes make them: nothing past the last level to sample.
GLuint createTexture(const CachedTexture& texture) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(texture.target, name);
    glTexStorage2D(texture.target, texture.levels, internalFormat(texture), texture.size, texture.size);
    glTexParameteri(texture.target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(texture.target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (texture.target == GL_TEXTURE_CUBE_MAP) glTexParameteri(texture.target, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(texture.target, GL_TEXTURE_MIN_FILTER, texture.minFilter);
    glTexParameteri(texture.target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    labelObject(GL_TEXTURE, name, texture.label);
    return name;
}

// This machine and PID namespace, as temporaries name it: a process id means something only where
// both match. Empty when the namespace cannot be told; such a writer never judges others by pid.
const std::string& hostIdentity() {
    static const std::string identity = [] {
        char host[256] = {};
        struct stat pidNamespace {};
        if (gethostname(host, sizeof(host) - 1) != 0 || stat("/proc/self/ns/pid", &pidNamespace) != 0)
            return std::string();
        std::string name = host;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
        return name + "~" + std::to_string(pidNamespace.st_ino);
    }();
    return identity;
}

std::uint64_t unpredictable() {
    std::uint64_t value = 0;
    if (getrandom(&value, sizeof(value), 0) == static_cast<ssize_t>(sizeof(value))) return value;
    // No kernel randomness: the name is still exclusive (O_EXCL), only guessable.
    return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (static_cast<std::uint64_t>(getpid()) << 32);
}

// A temporary's name after "<entry>.bin.part.": "<pid>.<16 hex>.<host>". Anything else is not one
// of ours and is left alone.
struct TemporaryName {
    long pid;
    std::string_view host;
};

std::optional<TemporaryName> parseTemporaryName(std::string_view name) {
    constexpr std::string_view marker = ".bin.part.";
    const std::size_t at = name.find(marker);
    if (at == std::string_view::npos) return std::nullopt;
    const std::string_view rest = name.substr(at + marker.size());
    long pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    const std::size_t digits = static_cast<std::size_t>(end - rest.data());
    if (error != std::errc() || pid <= 0 || digits == 0 || rest.size() < digits + 19 || rest[digits] != '.' ||
        !isHex16(rest.substr(digits + 1, 16)) || rest[digits + 17] != '.')
        return std::nullopt;
    return TemporaryName{pid, rest.substr(digits + 18)};
}

bool processGone(long pid) { return pid <= INT_MAX && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

bool unusedForLong(const fs::path& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_mtime < std::time(nullptr) - kUnusedSeconds;
}

bool startsWithMagic(const fs::path& path) {
    const FileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    char magic[sizeof(kMagic)] = {};
    return file.get() >= 0 && readAt(file.get(), magic, sizeof(magic), 0) &&
           std::memcmp(magic, kMagic, sizeof(kMagic)) == 0;
}

// What a writer clears out of its folder once its entry is in place.
enum class Removal {
    // The user's cache: older keys of its own, dead temporaries and anything unused for long.
    Stale,
    // The build's folder: older keys and dead temporaries. Its entries are never marked used, so
    // their age says nothing.
    OlderKeys,
};

// After `written` is in place: removes this writer's own older entries (same name, kind and origin,
// another key), temporaries of this host whose process is gone, and with Removal::Stale anything of
// the cache's own unused for kUnusedSeconds. Best effort: what cannot be removed costs
// disk space, and nothing is read from it (an entry is read only under its own key's name).
void removeStale(const fs::path& dir, const fs::path& written, Removal removal) {
    const std::string own = written.filename().string();
    const std::string lineage = own.substr(0, own.size() - 20);  // "<name>-<kind>-<origin>-" or "<name>-<kind>-"
    const bool byAge = removal == Removal::Stale;
    std::error_code error, ignored;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        const std::string other = path.filename().string();
        if (other == own) continue;
        bool stale = false;
        if (const std::optional<TemporaryName> temporary = parseTemporaryName(other)) {
            stale = (!hostIdentity().empty() && temporary->host == hostIdentity() && processGone(temporary->pid)) ||
                    (byAge && unusedForLong(path));
        } else if (other.ends_with(".bin")) {
            const bool olderOfOwnLineage = other.size() == own.size() && other.starts_with(lineage) &&
                                           isHex16(std::string_view(other).substr(lineage.size(), 16));
            stale = olderOfOwnLineage || (byAge && unusedForLong(path) && startsWithMagic(path));
        }
        if (stale) fs::remove(path, ignored);
    }
}

// Folders this process already reported as unwritable: one line per problem, not one per entry.
std::set<std::string> unwritableFolders;

}  // namespace

std::optional<fs::path> lightingCacheDir() {
    if (const char* own = std::getenv("VERDANCE_CACHE_DIR"); own && *own) {
        if (std::strcmp(own, "off") == 0) return std::nullopt;
        return fs::path(own);
    }
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg == '/') return fs::path(xdg) / "verdance";
    if (const char* home = std::getenv("HOME"); home && *home == '/') return fs::path(home) / ".cache" / "verdance";
    return std::nullopt;
}

std::optional<std::uint64_t> lightingCacheKey(const std::string& panoramaPath, const std::vector<CachedTexture>& layout) {
    Hash hash;
    hash.add(&kFormatVersion, sizeof(kFormatVersion));
    hash.add(kLightingPassSourcesHash);
    const std::optional<std::string> panorama = readWholeFile(panoramaPath);
    if (!panorama) return std::nullopt;
    hash.add(*panorama);
    for (ShaderType type : {EQUI_TO_CUBEMAP, IRRADIANCE_MAP, PRE_FILTERER, BRDF}) {
        const ShaderFiles files = shaderFilesFor(type);
        for (const char* path : {files.vertex, files.geometry, files.fragment}) {
            if (!path) continue;
            const std::optional<std::string> source = readWholeFile(path);
            if (!source) return std::nullopt;  // the passes report it; never keep what they make without it
            hash.add(*source);
        }
    }
    hash.add(shaderContractPreamble());
    for (GLenum name : {GL_VENDOR, GL_RENDERER, GL_VERSION}) hash.add(glString(name));
    for (const CachedTexture& texture : layout) {
        const std::int64_t fields[] = {texture.target, texture.size, texture.levels, texture.channels, texture.minFilter};
        hash.add(fields, sizeof(fields));
    }
    return hash.get();
}

fs::path lightingCacheFile(const fs::path& dir, const std::string& name, const char* kind, std::uint64_t key) {
    // The origin: the checkout (the demo runs in the repository root) and the driver.
    Hash origin;
    std::error_code error;
    origin.add(fs::current_path(error).string());
    for (GLenum string : {GL_VENDOR, GL_RENDERER, GL_VERSION}) origin.add(glString(string));
    return dir / (name + "-" + kind + "-" + hex16(origin.get()) + "-" + hex16(key) + ".bin");
}

fs::path bakedLightingFile(const fs::path& dir, const std::string& name, const char* kind, std::uint64_t key) {
    return dir / (name + "-" + kind + "-" + hex16(key) + ".bin");
}

fs::path lightingCacheTemporary(const fs::path& file, long pid) {
    return file.string() + ".part." + std::to_string(pid) + "." + hex16(unpredictable()) + "." + hostIdentity();
}

std::optional<std::vector<GLuint>> readLightingCache(const fs::path& file, std::uint64_t key,
                                                     const std::vector<CachedTexture>& layout, CacheUse use) {
    auto refuse = [&](const std::string& why) -> std::optional<std::vector<GLuint>> {
        std::cout << "Lighting cache entry '" << file.string() << "' refused: " << why << "; computing it again"
                  << std::endl;
        return std::nullopt;
    };
    const FileDescriptor entry(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (entry.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;  // a plain miss; the writer reports the folder
        return refuse(errno == ELOOP ? "it is a symbolic link" : std::strerror(errno));
    }
    struct stat status {};
    if (fstat(entry.get(), &status) != 0) return refuse(std::strerror(errno));
    if (!S_ISREG(status.st_mode)) return refuse("not a regular file");
    const std::size_t size = entryBytes(layout);
    if (static_cast<std::uintmax_t>(status.st_size) != size)
        return refuse(std::to_string(status.st_size) + " bytes, expected " + std::to_string(size));
    Header header{};
    if (!readAt(entry.get(), &header, sizeof(header), 0)) return refuse(systemReason("cut short"));
    if (std::memcmp(header.magic, kMagic, sizeof(kMagic)) != 0) return refuse("not a lighting cache entry");
    if (header.version != kFormatVersion)
        return refuse("format version " + std::to_string(header.version) + ", expected " +
                      std::to_string(kFormatVersion));
    if (header.textureCount != layout.size())
        return refuse(std::to_string(header.textureCount) + " textures, expected " + std::to_string(layout.size()));
    if (header.key != key) return refuse("key " + hex16(header.key) + " in the header, expected " + hex16(key));

    // One pass: every image is read, hashed and uploaded, and the sum decides at the end; a payload
    // that does not match deletes everything made from it, so it leaves no GL object either. A check
    // before the upload would read the whole payload (165 MB for the sky) twice on every start. The
    // buffer is left uninitialised: each image is read into it whole before it is used.
    const std::unique_ptr<char[]> pixels(new char[largestImageBytes(layout)]);
    const TightPixelRows tight;
    std::vector<GLuint> textures;
    Hash uploaded;
    off_t at = sizeof(Header);
    bool whole = true;
    for (const CachedTexture& texture : layout) {
        textures.push_back(createTexture(texture));
        for (int level = 0; level < texture.levels && whole; ++level) {
            const std::size_t bytes = levelBytes(texture, level);
            const int side = levelSide(texture, level);
            for (int face = 0; face < faceCount(texture) && whole; ++face) {
                whole = readAt(entry.get(), pixels.get(), bytes, at);
                if (!whole) break;
                at += static_cast<off_t>(bytes);
                uploaded.add(pixels.get(), bytes);
                glTexSubImage2D(imageTarget(texture, face), level, 0, 0, side, side, pixelFormat(texture), GL_HALF_FLOAT,
                                pixels.get());
            }
        }
        glBindTexture(texture.target, 0);
        if (!whole) break;
    }
    if (!whole || uploaded.get() != header.checksum) {
        const std::string why = !whole ? systemReason("cut short") : "the payload does not match its checksum";
        glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
        return refuse(why);
    }
    // Marks the use for the 30-day rule. An entry we may not touch just ages; that only matters to a
    // writer, who could not remove it from such a folder either.
    if (use == CacheUse::MarkUse) futimens(entry.get(), nullptr);
    return textures;
}

namespace {

// Writes `textures` as `file` through an exclusive temporary, renamed when whole, then clears out
// the folder as `removal` says. Empty when done, else the reason (and nothing left behind).
std::string writeEntry(const fs::path& file, std::uint64_t key, const std::vector<CachedTexture>& layout,
                       const std::vector<GLuint>& textures, Removal removal) {
    const fs::path dir = file.parent_path();
    fs::path temporary;
    auto giveUp = [&](const std::string& why) {
        if (!temporary.empty()) unlink(temporary.c_str());
        return why;
    };

    std::error_code error;
    fs::create_directories(dir, error);
    if (error) return giveUp(error.message());
    // Exclusive and never through a link: a name someone placed there is refused, not written into.
    const fs::path name = lightingCacheTemporary(file, getpid());
    // The user's entries are private; the build's are read like its other assets.
    const mode_t mode = removal == Removal::Stale ? 0600 : 0644;
    FileDescriptor out(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (out.get() < 0) return giveUp(std::strerror(errno));
    temporary = name;

    // The header goes last: until then the file starts with zeros and never passes for an entry.
    Header header{};
    off_t at = sizeof(Header);
    const TightPixelRows tight;
    std::vector<char> pixels(largestImageBytes(layout));
    Hash checksum;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const CachedTexture& texture = layout[i];
        glBindTexture(texture.target, textures[i]);
        for (int level = 0; level < texture.levels; ++level) {
            GLint side = 0;
            glGetTexLevelParameteriv(imageTarget(texture, 0), level, GL_TEXTURE_WIDTH, &side);
            if (side != levelSide(texture, level)) {
                glBindTexture(texture.target, 0);
                return giveUp(std::string(texture.label) + " level " + std::to_string(level) + " is " +
                              std::to_string(side) + " texels wide, expected " +
                              std::to_string(levelSide(texture, level)));
            }
            const std::size_t bytes = levelBytes(texture, level);
            for (int face = 0; face < faceCount(texture); ++face) {
                glGetTexImage(imageTarget(texture, face), level, pixelFormat(texture), GL_HALF_FLOAT, pixels.data());
                checksum.add(pixels.data(), bytes);
                if (!writeAt(out.get(), pixels.data(), bytes, at)) {
                    glBindTexture(texture.target, 0);
                    return giveUp(std::strerror(errno));
                }
                at += static_cast<off_t>(bytes);
            }
        }
        glBindTexture(texture.target, 0);
    }
    std::memcpy(header.magic, kMagic, sizeof(kMagic));
    header.version = kFormatVersion;
    header.textureCount = static_cast<std::uint32_t>(layout.size());
    header.key = key;
    header.checksum = checksum.get();
    if (!writeAt(out.get(), &header, sizeof(header), 0)) return giveUp(std::strerror(errno));
    if (close(out.release()) != 0) return giveUp(std::strerror(errno));
    if (rename(temporary.c_str(), file.c_str()) != 0) return giveUp(std::strerror(errno));
    temporary.clear();
    removeStale(dir, file, removal);
    return {};
}

}  // namespace

void writeLightingCache(const fs::path& file, std::uint64_t key, const std::vector<CachedTexture>& layout,
                        const std::vector<GLuint>& textures) {
    const fs::path dir = file.parent_path();
    if (unwritableFolders.contains(dir.string())) return;  // already said once
    const std::string why = writeEntry(file, key, layout, textures, Removal::Stale);
    if (why.empty()) return;
    unwritableFolders.insert(dir.string());
    std::cout << "Lighting cache not written to '" << dir.string() << "': " << why << std::endl;
}

std::vector<GLuint> loadOrComputeLighting(const std::string& name, const char* kind,
                                          const std::vector<CachedTexture>& layout,
                                          const std::function<ComputedLighting()>& compute) {
    const std::optional<std::uint64_t> key = lightingCacheKey(kTextureDir + name, layout);
    if (key) {
        const fs::path baked = bakedLightingFile(kBakedLightingDir, name, kind, *key);
        if (std::optional<std::vector<GLuint>> textures = readLightingCache(baked, *key, layout, CacheUse::ReadOnly))
            return *textures;
    }
    const std::optional<fs::path> dir = lightingCacheDir();
    fs::path file;
    if (key && dir) {
        file = lightingCacheFile(*dir, name, kind, *key);
        if (std::optional<std::vector<GLuint>> textures = readLightingCache(file, *key, layout)) return *textures;
    }
    const std::uint64_t incompleteBefore = incompleteFramebufferCount();
    const ComputedLighting made = compute();
    // The incomplete target was reported when it was found; its result must not outlive this run.
    const bool drawnWhole = incompleteFramebufferCount() == incompleteBefore;
    if (!file.empty() && made.keep && drawnWhole) writeLightingCache(file, *key, layout, made.textures);
    return made.textures;
}

bool bakeLighting(const fs::path& dir, const std::string& name, const char* kind, const std::vector<CachedTexture>& layout,
                  const std::function<ComputedLighting()>& compute) {
    const std::optional<std::uint64_t> key = lightingCacheKey(kTextureDir + name, layout);
    if (!key) {
        std::cout << "ERROR: Lighting set of '" << kTextureDir << name
                  << "' not baked: the panorama or a capture program cannot be read" << std::endl;
        return false;
    }
    const fs::path file = bakedLightingFile(dir, name, kind, *key);
    auto release = [](const std::vector<GLuint>& textures) {
        glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
    };
    if (std::optional<std::vector<GLuint>> kept = readLightingCache(file, *key, layout, CacheUse::ReadOnly)) {
        release(*kept);
        removeStale(dir, file, Removal::OlderKeys);
        std::cout << "Lighting set '" << file.string() << "' is up to date" << std::endl;
        return true;
    }
    const std::uint64_t incompleteBefore = incompleteFramebufferCount();
    const ComputedLighting made = compute();
    const bool drawnWhole = incompleteFramebufferCount() == incompleteBefore;
    std::string why;
    if (!made.keep) why = "its panorama was refused";
    else if (!drawnWhole) why = "a capture target was incomplete";
    std::error_code error;
    if (why.empty()) fs::create_directories(dir, error);
    if (why.empty() && error) why = error.message();
    if (why.empty()) why = writeEntry(file, *key, layout, made.textures, Removal::OlderKeys);
    release(made.textures);
    // What landed on disk is read back whole, as a start would read it.
    if (why.empty()) {
        if (std::optional<std::vector<GLuint>> written = readLightingCache(file, *key, layout, CacheUse::ReadOnly))
            release(*written);
        else
            why = "it does not read back";
    }
    if (!why.empty()) {
        std::error_code ignored;
        fs::remove(file, ignored);
        std::cout << "ERROR: Lighting set not baked into '" << file.string() << "': " << why << std::endl;
        return false;
    }
    std::cout << "Lighting set baked into '" << file.string() << "'" << std::endl;
    return true;
}

void forgetLightingCacheFailures() { unwritableFolders.clear(); }

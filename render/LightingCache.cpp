#include "render/LightingCache.h"

#include "shaders/ShaderContract.h"
#include "shaders/ShaderRegistry.h"
#include "textures/GlObjects.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Bumped whenever the passes' C++ side changes what they compute (sizes, projection, filters).
constexpr std::uint32_t kFormatVersion = 1;
constexpr char kMagic[8] = {'V', 'R', 'D', 'L', 'I', 'G', 'H', 'T'};

struct Header {
    char magic[8];
    std::uint32_t version;
    std::uint32_t textureCount;
    std::uint64_t key;
};
static_assert(sizeof(Header) == 24);

// 64-bit FNV-1a: a cache key, not a defence; a collision would only show another sky.
class Hash {
public:
    void add(const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) value = (value ^ bytes[i]) * 0x100000001b3ull;
    }
    void add(const std::string& text) {
        const std::uint64_t length = text.size();
        add(&length, sizeof(length));  // so that ("ab", "c") and ("a", "bc") differ
        add(text.data(), text.size());
    }
    std::uint64_t get() const { return value; }

private:
    std::uint64_t value = 0xcbf29ce484222325ull;
};

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

int faceCount(const CachedTexture& texture) { return texture.target == GL_TEXTURE_CUBE_MAP ? 6 : 1; }
GLenum pixelFormat(const CachedTexture& texture) { return texture.channels == 3 ? GL_RGB : GL_RG; }
GLenum internalFormat(const CachedTexture& texture) { return texture.channels == 3 ? GL_RGB16F : GL_RG16F; }

std::size_t levelBytes(const CachedTexture& texture, int level) {
    const std::size_t side = std::max(1, texture.size >> level);
    return side * side * static_cast<std::size_t>(texture.channels) * sizeof(std::uint16_t);
}

std::size_t entryBytes(const std::vector<CachedTexture>& layout) {
    std::size_t total = sizeof(Header);
    for (const CachedTexture& texture : layout)
        for (int level = 0; level < texture.levels; ++level) total += faceCount(texture) * levelBytes(texture, level);
    return total;
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

GLuint createTexture(const CachedTexture& texture) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(texture.target, name);
    glTexParameteri(texture.target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(texture.target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (texture.target == GL_TEXTURE_CUBE_MAP) glTexParameteri(texture.target, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(texture.target, GL_TEXTURE_MIN_FILTER, texture.minFilter);
    glTexParameteri(texture.target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    labelObject(GL_TEXTURE, name, texture.label);
    return name;
}

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
    char hex[17];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(key));
    return dir / (name + "-" + kind + "-" + hex + ".bin");
}

std::optional<std::vector<GLuint>> readLightingCache(const fs::path& file, std::uint64_t key,
                                                     const std::vector<CachedTexture>& layout) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error || size != entryBytes(layout)) return std::nullopt;
    std::ifstream in(file, std::ios::binary);
    Header header{};
    if (!in.read(reinterpret_cast<char*>(&header), sizeof(header))) return std::nullopt;
    if (std::memcmp(header.magic, kMagic, sizeof(kMagic)) != 0 || header.version != kFormatVersion ||
        header.textureCount != layout.size() || header.key != key)
        return std::nullopt;

    // The size matched, so every level below is there unless the file shrinks under us; then the
    // names made so far are deleted and the passes run.
    const TightPixelRows tight;
    std::vector<GLuint> textures;
    std::vector<char> pixels;
    for (const CachedTexture& texture : layout) {
        textures.push_back(createTexture(texture));
        for (int level = 0; level < texture.levels; ++level) {
            const int side = std::max(1, texture.size >> level);
            pixels.resize(levelBytes(texture, level));
            for (int face = 0; face < faceCount(texture); ++face) {
                if (!in.read(pixels.data(), static_cast<std::streamsize>(pixels.size()))) {
                    glDeleteTextures(static_cast<GLsizei>(textures.size()), textures.data());
                    return std::nullopt;
                }
                glTexImage2D(imageTarget(texture, face), level, internalFormat(texture), side, side, 0,
                             pixelFormat(texture), GL_HALF_FLOAT, pixels.data());
            }
        }
        glTexParameteri(texture.target, GL_TEXTURE_MAX_LEVEL, texture.levels - 1);
        glBindTexture(texture.target, 0);
    }
    return textures;
}

void writeLightingCache(const fs::path& file, std::uint64_t key, const std::vector<CachedTexture>& layout,
                        const std::vector<GLuint>& textures) {
    const fs::path dir = file.parent_path();
    const fs::path temporary = file.string() + ".part." + std::to_string(getpid());
    auto giveUp = [&](const std::string& why) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        std::cout << "Lighting cache not written to '" << dir.string() << "': " << why << std::endl;
    };

    std::error_code error;
    fs::create_directories(dir, error);
    if (error) return giveUp(error.message());
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return giveUp(std::strerror(errno));

    Header header{};
    std::memcpy(header.magic, kMagic, sizeof(kMagic));
    header.version = kFormatVersion;
    header.textureCount = static_cast<std::uint32_t>(layout.size());
    header.key = key;
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));

    const TightPixelRows tight;
    std::vector<char> pixels;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        const CachedTexture& texture = layout[i];
        glBindTexture(texture.target, textures[i]);
        for (int level = 0; level < texture.levels; ++level) {
            pixels.resize(levelBytes(texture, level));
            for (int face = 0; face < faceCount(texture); ++face) {
                glGetTexImage(imageTarget(texture, face), level, pixelFormat(texture), GL_HALF_FLOAT, pixels.data());
                out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
            }
        }
        glBindTexture(texture.target, 0);
    }
    out.close();
    if (!out) return giveUp(std::strerror(errno));

    // One entry per name and kind: a sky entry is about 150 MB, and an old key never matches again.
    // Temporaries of writers that died (killed while writing) go too; a live writer's stays.
    const std::string own = file.filename().string();
    const std::string prefix = own.substr(0, own.size() - 20);  // "<name>-<kind>-"
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        const std::string other = entry.path().filename().string();
        if (!other.starts_with(prefix) || other.size() < own.size()) continue;
        const bool entryOfOtherKey = other.size() == own.size() && other.ends_with(".bin");
        const std::string tail = other.substr(own.size());
        const bool deadTemporary = tail.starts_with(".part.") && tail.size() > 6 &&
                                   tail.find_first_not_of("0123456789", 6) == std::string::npos &&
                                   kill(static_cast<pid_t>(std::stol(tail.substr(6))), 0) != 0 && errno == ESRCH;
        if (entryOfOtherKey || deadTemporary) fs::remove(entry.path(), error);
    }
    fs::rename(temporary, file, error);
    if (error) giveUp(error.message());
}

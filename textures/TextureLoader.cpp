#include "textures/TextureLoader.h"

#include "gl/GlObjects.h"
#include "textures/DdsReader.h"
#include "textures/HdrReader.h"

#include <stb_image.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unordered_map>

namespace {

// The caches live for the whole process and never evict: a name is loaded at most once, also
// when the load failed.
std::unordered_map<std::string, std::shared_ptr<Texture>> textureCache;
// The panorama of each HDR name, decoded once: the lighting set and the skybox both convert it.
std::unordered_map<std::string, GLuint> panoramaCache;

// The last mipmap level whose smaller side still holds a whole 4 x 4 block.
GLint lastWholeBlockLevel(std::uint32_t width, std::uint32_t height) {
    GLint level = 0;
    for (std::uint32_t side = std::min(width, height); side >= 8; side /= 2) ++level;
    return level;
}

}  // namespace

GLuint loadDDSTexture(const std::string& path) {
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    const DDSImage image = readDDS(path.c_str(), maxSize > 0 ? static_cast<std::uint32_t>(maxSize) : kNoDdsSizeLimit);
    // A refused file was already reported; uploading its empty image would only add a GL error.
    // The name stays without an image and samples as black.
    if (image.usable()) {
        // A chain the file carries is uploaded level by level; building one costs the driver far
        // more (it decodes, filters and encodes DXT again on the CPU).
        const std::uint32_t blockBytes = image.format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ? 8 : 16;
        std::size_t offset = 0;
        for (std::uint32_t level = 0; level < image.levels; ++level) {
            const std::uint32_t width = std::max(image.width >> level, 1u);
            const std::uint32_t height = std::max(image.height >> level, 1u);
            const auto bytes = static_cast<GLsizei>(dxtLevelBytes(width, height, blockBytes));
            glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), image.format, static_cast<GLsizei>(width),
                                   static_cast<GLsizei>(height), 0, bytes, image.data.data() + offset);
            offset += static_cast<std::size_t>(bytes);
        }
        if (!image.hasMipChain()) glGenerateMipmap(GL_TEXTURE_2D);
        // Levels smaller than a 4 x 4 DXT block come out of llvmpipe's generator different from run
        // to run, and sprites a few pixels wide sample exactly those, so identical runs drew different
        // particles: the chain stops at the last level of whole blocks.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, lastWholeBlockLevel(image.width, image.height));
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    labelObject(GL_TEXTURE, texture, path);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

std::shared_ptr<Texture> loadTexture(const std::string& name) {
    if (auto found = textureCache.find(name); found != textureCache.end()) return found->second;
    auto texture = std::make_shared<Texture>(loadDDSTexture(kTextureDir + name));
    textureCache.emplace(name, texture);
    return texture;
}

GLuint loadHDR(const std::string& path) {
    // Our own reader decodes the sky (it already flips); the switch stays on for the rest of the
    // process as before, for every later stb_image decode.
    stbi_set_flip_vertically_on_load(true);
    const std::optional<HdrImage> image = readHdr(path);
    if (!image) return 0;
    return createLinearTexture2D(image->width, image->height, GL_RGB16F, GL_RGB, image->pixels.data(), path);
}

GLuint loadPanorama(const std::string& name) {
    if (auto found = panoramaCache.find(name); found != panoramaCache.end()) return found->second;
    const GLuint panorama = loadHDR(kTextureDir + name);
    panoramaCache.emplace(name, panorama);
    return panorama;
}

void releasePanorama(const std::string& name) {
    const auto found = panoramaCache.find(name);
    if (found == panoramaCache.end()) return;
    if (found->second != 0) glDeleteTextures(1, &found->second);
    panoramaCache.erase(found);
}

void forgetLoadedTextures() {
    textureCache.clear();
    for (const auto& [name, panorama] : panoramaCache)
        if (panorama != 0) glDeleteTextures(1, &panorama);
    panoramaCache.clear();
}

#include "textures/TextureLoader.h"

#include "render/ImageBasedLighting.h"
#include "textures/DdsReader.h"

#include <stb_image.h>

#include <cstdio>
#include <iostream>
#include <algorithm>
#include <unordered_map>

namespace {

// Both caches live for the whole process and never evict: a name is loaded at most once, also
// when the load failed.
std::unordered_map<std::string, std::shared_ptr<Texture>> textureCache;
std::unordered_map<std::string, std::shared_ptr<Texture>> environmentCache;

void label(GLuint texture, const std::string& text) {
    if (glObjectLabel) glObjectLabel(GL_TEXTURE, texture, -1, text.c_str());
}

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
        glCompressedTexImage2D(GL_TEXTURE_2D, 0, image.format, static_cast<GLsizei>(image.width),
                               static_cast<GLsizei>(image.height), 0, static_cast<GLsizei>(image.size),
                               image.data.data());
        glGenerateMipmap(GL_TEXTURE_2D);
        // Levels smaller than a 4 x 4 DXT block come out of llvmpipe's generator different from run
        // to run, and sprites a few pixels wide sample exactly those, so identical runs drew different
        // particles: the chain stops at the last level of whole blocks.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, lastWholeBlockLevel(image.width, image.height));
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    label(texture, path);
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
    stbi_set_flip_vertically_on_load(true);
    int width = 0;
    int height = 0;
    int channels = 0;
    float* pixels = nullptr;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        // Always three channels: the upload reads RGB, so a grey or grey-alpha file decoded with
        // its own count would be read past its end.
        pixels = stbi_loadf_from_file(file, &width, &height, &channels, 3);
        std::fclose(file);
    }
    if (!pixels) {
        std::cout << "ERROR: Failed to load HDR image." << std::endl;
        return 0;
    }

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16F, width, height, 0, GL_RGB, GL_FLOAT, pixels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    label(texture, path);
    stbi_image_free(pixels);
    return texture;
}

std::shared_ptr<Texture> loadEnvironment(const std::string& name) {
    if (auto found = environmentCache.find(name); found != environmentCache.end()) return found->second;
    const GLuint panorama = loadHDR(kTextureDir + name);
    const GLuint cube = equirectToCubemap(panorama, kEnvironmentFaceSize);
    const GLuint irradiance = createIrradianceMap(cube);
    const GLuint prefiltered = createPrefilteredMap(cube);
    const GLuint brdf = createBrdfLut();
    auto environment = std::make_shared<Texture>(cube, irradiance, prefiltered, brdf);
    environmentCache.emplace(name, environment);
    return environment;
}

std::shared_ptr<Texture> loadSkyboxTexture(const std::string& name) {
    const GLuint panorama = loadHDR(kTextureDir + name);
    return std::make_shared<Texture>(equirectToCubemap(panorama, kSkyboxFaceSize));
}

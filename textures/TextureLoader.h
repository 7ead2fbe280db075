// Turns image files under "assets/textures/" into GL textures: DXT DDS files (cached by name) and
// the Radiance HDR panorama, which becomes the skybox cube map and the image-based-lighting set
// (cached by name). Failed loads leave an empty but valid texture name and are cached like good ones.
#pragma once

#include "textures/Texture.h"

#include <GL/glew.h>

#include <memory>
#include <string>

inline constexpr const char* kTextureDir = "assets/textures/";

// A new 2D texture from a DDS file with the mip chain the file carries, or one built by GL when it
// carries none (or an incomplete one). A missing or refused file leaves the name
// without an image (it samples as black) after one ERROR line.
GLuint loadDDSTexture(const std::string& path);

// The texture of "assets/textures/<name>", read once per name and process.
std::shared_ptr<Texture> loadTexture(const std::string& name);

// A floating-point (GL_RGB16F) 2D texture from a Radiance HDR file (textures/HdrReader.h), or 0
// after one "ERROR: Failed to load HDR image. '<path>': <why>" line. Switches stb_image's vertical
// flip on for the whole process, so row 0 of the texture is the bottom of the picture (v = 1 is the
// zenith of a panorama).
GLuint loadHDR(const std::string& path);

// The 2D texture of the HDR panorama "assets/textures/<name>" (loadHDR), decoded once per name and
// process: the image-based-lighting set and the skybox both convert it. 0 when it was refused.
GLuint loadPanorama(const std::string& name);

// Deletes the decoded panorama of `name` (16 MiB for the sky), once everything made from it exists;
// a later loadPanorama of the name decodes the file again.
void releasePanorama(const std::string& name);

// Forgets every cached texture and decoded panorama, so the next load of a name reads its file again:
// the tests load the same names from different folders in one process. Deletes only the decoded
// panoramas, which nothing outside the cache holds; textures already handed out stay valid.
void forgetLoadedTextures();

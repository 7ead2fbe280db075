// The load-time passes that turn an equirectangular HDR panorama into image-based lighting: the
// environment cube map, its diffuse irradiance, its GGX-prefiltered specular levels and the
// split-sum BRDF table. Each pass disables face culling and ends with framebuffer 0 bound, the
// window viewport and culling on again; nothing here runs per frame.
#pragma once

#include "textures/GlObjects.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <filesystem>
#include <memory>
#include <string>

class Texture;

inline constexpr int kEnvironmentFaceSize = 512;
inline constexpr int kSkyboxFaceSize = 2048;
inline constexpr int kIrradianceFaceSize = 32;
inline constexpr int kPrefilteredFaceSize = 128;
inline constexpr int kPrefilteredLevels = 5;  // roughness 0, 0.25, 0.5, 0.75, 1 at levels 0 to 4
inline constexpr int kBrdfLutSize = 512;

// 90 degree right-handed perspective, aspect 1, near 0.1, far 10; the views are
// cubeFaceViews(origin) (textures/GlObjects.h).
glm::mat4 captureProjection();

// The image-based-lighting set (512 environment cube, irradiance, prefiltered, BRDF table) of
// "assets/textures/<name>", computed once per name and process.
std::shared_ptr<Texture> loadEnvironment(const std::string& name);

// A fresh 2048 cube map of "assets/textures/<name>" for the skybox. The panorama is decoded once per
// name and process and shared with loadEnvironment.
std::shared_ptr<Texture> loadSkyboxTexture(const std::string& name);

// For the build: makes sure `dir` holds the lighting set and the sky cube of "assets/textures/<name>"
// as this context's driver computes them, under the keys a start computes (bakeLighting,
// render/LightingCache.h). False after an "ERROR: " line.
bool bakeEnvironmentAndSkybox(const std::filesystem::path& dir, const std::string& name);

// Forgets the computed lighting sets (and, through forgetLoadedTextures, the panoramas), so the next
// loadEnvironment of a name converts its file again; sets already handed out stay valid.
void forgetLoadedEnvironments();

// A new GL_RGB16F cube map, faceSize per face, of the panorama (a 2D texture name).
GLuint equirectToCubemap(GLuint panorama, int faceSize);
// Generates the environment's mip chain (which the two passes below sample) and returns its
// 32 x 32 diffuse irradiance cube map.
GLuint createIrradianceMap(GLuint environment);
// The 128 x 128 prefiltered cube map of exactly kPrefilteredLevels levels (immutable storage); level
// m holds GGX roughness m / 4.
GLuint createPrefilteredMap(GLuint environment);
// The 512 x 512 GL_RG16F table of (scale, bias) on F0, indexed by (N.V, roughness).
GLuint createBrdfLut();

// Draws `cube` (createCubeVertexArray) with whatever program is current. Each pass makes its own
// unit cube and deletes it at its end, as it does its capture target.
void renderCube(const VertexArray& cube);

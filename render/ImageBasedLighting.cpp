#include "render/ImageBasedLighting.h"

#include "app/GlobalState.h"
#include "render/LightingCache.h"
#include "shaders/ShaderRegistry.h"
#include "textures/Texture.h"
#include "textures/TextureLoader.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// Every capture pass draws a closed cube from inside it, so the winding must not matter. Culling is
// put back as the pass found it: whether it is on is the viewer's choice (F2).
bool beginPass() {
    const bool culling = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);
    return culling;
}

void endPass(bool culling) {
    const GlobalState& state = GlobalState::instance();
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, state.width, state.height);
    if (culling) glEnable(GL_CULL_FACE);
}

bool checkComplete(const char* what) { return checkFramebuffer("ERROR: Frame buffer not complete!", what); }

struct CaptureTarget {
    GLuint framebuffer = 0;
    GLuint depth = 0;
};

// A framebuffer with a size x size depth renderbuffer; the colour attachment changes per face.
CaptureTarget createCaptureTarget(int size, const char* what) {
    CaptureTarget target;
    glGenFramebuffers(1, &target.framebuffer);
    glGenRenderbuffers(1, &target.depth);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size, size);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depth);
    labelObject(GL_FRAMEBUFFER, target.framebuffer, what);
    return target;
}

// The capture targets serve one pass each: the 2048 sky's depth alone is 16 MiB, and no pass runs again.
void deleteCaptureTarget(const CaptureTarget& target) {
    glDeleteFramebuffers(1, &target.framebuffer);
    glDeleteRenderbuffers(1, &target.depth);
}

// Of the cube map bound to GL_TEXTURE_CUBE_MAP.
void setCubeMapParameters(GLenum minFilter) {
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

// Level 0 only; the environment's chain is generated from it once it is drawn (irradiance pass).
GLuint createCubeMap(int size, GLenum minFilter, const char* what) {
    GLuint cube = 0;
    glGenTextures(1, &cube);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB16F, size, size, 0, GL_RGB, GL_FLOAT, nullptr);
    setCubeMapParameters(minFilter);
    labelObject(GL_TEXTURE, cube, what);
    return cube;
}

// Renders `unitCube` once per face of `cube` at `level`, with the current program, whose "viewMat"
// is set per face, into the framebuffer already bound. Every face's target is checked; at the first
// incomplete one the pass stops (one line) and false comes back: nothing more can be drawn there.
bool renderFaces(Shader& shader, const VertexArray& unitCube, GLuint cube, int level, const char* what) {
    const std::array<glm::mat4, 6> views = cubeFaceViews(glm::vec3(0.0f));
    for (int face = 0; face < 6; ++face) {
        shader.setMat4("viewMat", views[face]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, cube, level);
        if (!checkComplete(what)) return false;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        renderCube(unitCube);
    }
    return true;
}

// The full-screen quad of the BRDF pass: positions at attribute 0, texture coordinates at 1, drawn
// as a strip covering clip space.
VertexArray createScreenQuad() {
    constexpr float vertices[] = {
        -1.0f, 1.0f, 0.0f, 0.0f, 1.0f,  -1.0f, -1.0f, 0.0f, 0.0f, 0.0f,
        1.0f,  1.0f, 0.0f, 1.0f, 1.0f,  1.0f,  -1.0f, 0.0f, 1.0f, 0.0f,
    };
    GLuint array = 0, buffer = 0;
    glGenVertexArrays(1, &array);
    glGenBuffers(1, &buffer);
    glBindVertexArray(array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices, GL_STATIC_DRAW);
    constexpr GLsizei stride = 5 * sizeof(float);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(3 * sizeof(float)));
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);
    labelObject(GL_VERTEX_ARRAY, array, "BRDF quad");
    return {GlName(array, deleteVertexArray), GlName(buffer, deleteBuffer)};
}

// Filtering across cube faces while the passes sample the environment's small mip levels;
// the previous setting is put back afterwards.
class SeamlessCubeFiltering {
public:
    SeamlessCubeFiltering() : wasOn(glIsEnabled(GL_TEXTURE_CUBE_MAP_SEAMLESS)) { glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS); }
    ~SeamlessCubeFiltering() {
        if (!wasOn) glDisable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    }

private:
    GLboolean wasOn;
};

}  // namespace

glm::mat4 captureProjection() { return glm::perspective(glm::radians(90.0f), 1.0f, 0.1f, 10.0f); }

GLuint equirectToCubemap(GLuint panorama, int faceSize) {
    const bool culling = beginPass();
    const CaptureTarget target = createCaptureTarget(faceSize, "equirect capture");
    const GLuint cube = createCubeMap(faceSize, GL_LINEAR, "panorama cube map");
    const VertexArray unitCube = createCubeVertexArray(1.0f, "capture cube");

    std::shared_ptr<Shader> shader = getShader(EQUI_TO_CUBEMAP);
    shader->use();
    shader->setInt("equirectangularMap", 0);
    shader->setMat4("projectionMat", captureProjection());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, panorama);
    glViewport(0, 0, faceSize, faceSize);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    renderFaces(*shader, unitCube, cube, 0, "equirect capture");
    endPass(culling);
    deleteCaptureTarget(target);
    return cube;
}

GLuint createIrradianceMap(GLuint environment) {
    const bool culling = beginPass();
    SeamlessCubeFiltering seamless;
    // The irradiance and prefilter passes read the environment through its mip chain (filtered
    // importance sampling), so the chain is built here, from the level 0 just drawn, and the
    // minifying filter made to use it.
    glBindTexture(GL_TEXTURE_CUBE_MAP, environment);
    glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);

    const GLuint irradiance = createCubeMap(kIrradianceFaceSize, GL_LINEAR, "irradiance map");
    const CaptureTarget target = createCaptureTarget(kIrradianceFaceSize, "irradiance capture");
    const VertexArray unitCube = createCubeVertexArray(1.0f, "capture cube");

    std::shared_ptr<Shader> shader = getShader(IRRADIANCE_MAP);
    shader->use();
    shader->setInt("environmentMap", 0);
    shader->setMat4("projectionMat", captureProjection());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, environment);
    glViewport(0, 0, kIrradianceFaceSize, kIrradianceFaceSize);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    renderFaces(*shader, unitCube, irradiance, 0, "irradiance capture");
    endPass(culling);
    deleteCaptureTarget(target);
    return irradiance;
}

GLuint createPrefilteredMap(GLuint environment) {
    const bool culling = beginPass();
    SeamlessCubeFiltering seamless;
    // Exactly the levels rendered below: a fully rough lookup (lod 4) then has no level beyond to
    // blend in, and nothing is left undefined for the cache to store.
    GLuint prefiltered = 0;
    glGenTextures(1, &prefiltered);
    glBindTexture(GL_TEXTURE_CUBE_MAP, prefiltered);
    glTexStorage2D(GL_TEXTURE_CUBE_MAP, kPrefilteredLevels, GL_RGB16F, kPrefilteredFaceSize, kPrefilteredFaceSize);
    setCubeMapParameters(GL_LINEAR_MIPMAP_LINEAR);
    labelObject(GL_TEXTURE, prefiltered, "prefiltered map");

    std::shared_ptr<Shader> shader = getShader(PRE_FILTERER);
    shader->use();
    shader->setInt("environmentMap", 0);
    shader->setMat4("projectionMat", captureProjection());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, environment);
    const CaptureTarget target = createCaptureTarget(kPrefilteredFaceSize, "prefilter capture");
    const VertexArray unitCube = createCubeVertexArray(1.0f, "capture cube");

    for (int level = 0; level < kPrefilteredLevels; ++level) {
        const int size = static_cast<int>(kPrefilteredFaceSize * std::pow(0.5, level));
        glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size, size);
        glViewport(0, 0, size, size);
        shader->setFloat("roughness", static_cast<float>(level) / static_cast<float>(kPrefilteredLevels - 1));
        if (!renderFaces(*shader, unitCube, prefiltered, level, "prefilter capture")) break;
    }
    endPass(culling);
    deleteCaptureTarget(target);
    return prefiltered;
}

GLuint createBrdfLut() {
    const bool culling = beginPass();
    GLuint table = 0;
    glGenTextures(1, &table);
    glBindTexture(GL_TEXTURE_2D, table);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RG16F, kBrdfLutSize, kBrdfLutSize, 0, GL_RG, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    labelObject(GL_TEXTURE, table, "BRDF table");

    const CaptureTarget target = createCaptureTarget(kBrdfLutSize, "BRDF capture");  // bound
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, table, 0);
    checkComplete("BRDF capture");

    glViewport(0, 0, kBrdfLutSize, kBrdfLutSize);
    getShader(BRDF)->use();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const VertexArray quad = createScreenQuad();
    glBindVertexArray(quad.array.get());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
    endPass(culling);
    deleteCaptureTarget(target);
    return table;
}

void renderCube(const VertexArray& cube) {
    glBindVertexArray(cube.array.get());
    glDrawArrays(GL_TRIANGLES, 0, kCubeVertexCount);
    glBindVertexArray(0);
}

namespace {
// Lives for the whole process and never evicts: a name is computed at most once, also when it failed.
std::unordered_map<std::string, std::shared_ptr<Texture>> environmentCache;

constexpr int mipLevels(int size) { return size > 1 ? 1 + mipLevels(size / 2) : 1; }

const std::vector<CachedTexture> kEnvironmentLayout = {
    {GL_TEXTURE_CUBE_MAP, kEnvironmentFaceSize, mipLevels(kEnvironmentFaceSize), 3, GL_LINEAR_MIPMAP_LINEAR, "panorama cube map"},
    {GL_TEXTURE_CUBE_MAP, kIrradianceFaceSize, 1, 3, GL_LINEAR, "irradiance map"},
    {GL_TEXTURE_CUBE_MAP, kPrefilteredFaceSize, kPrefilteredLevels, 3, GL_LINEAR_MIPMAP_LINEAR, "prefiltered map"},
    {GL_TEXTURE_2D, kBrdfLutSize, 1, 2, GL_LINEAR, "BRDF table"},
};
const std::vector<CachedTexture> kSkyboxLayout = {
    {GL_TEXTURE_CUBE_MAP, kSkyboxFaceSize, 1, 3, GL_LINEAR, "panorama cube map"},
};

}  // namespace

namespace {

ComputedLighting computeEnvironment(const std::string& name) {
    const GLuint panorama = loadPanorama(name);
    const GLuint cube = equirectToCubemap(panorama, kEnvironmentFaceSize);
    const GLuint irradiance = createIrradianceMap(cube);
    const GLuint prefiltered = createPrefilteredMap(cube);
    const GLuint brdf = createBrdfLut();
    return ComputedLighting{{cube, irradiance, prefiltered, brdf}, panorama != 0};
}

ComputedLighting computeSkybox(const std::string& name) {
    const GLuint panorama = loadPanorama(name);
    const GLuint cube = equirectToCubemap(panorama, kSkyboxFaceSize);
    return ComputedLighting{{cube}, panorama != 0};
}

}  // namespace

std::shared_ptr<Texture> loadEnvironment(const std::string& name) {
    if (auto found = environmentCache.find(name); found != environmentCache.end()) return found->second;
    const std::vector<GLuint> set =
        loadOrComputeLighting(name, "lighting", kEnvironmentLayout, [&] { return computeEnvironment(name); });
    auto environment = std::make_shared<Texture>(set[0], set[1], set[2], set[3]);
    environmentCache.emplace(name, environment);
    return environment;
}

void forgetLoadedEnvironments() {
    environmentCache.clear();
    forgetLightingCacheFailures();
    forgetLoadedTextures();
}

std::shared_ptr<Texture> loadSkyboxTexture(const std::string& name) {
    const std::vector<GLuint> sky = loadOrComputeLighting(name, "sky", kSkyboxLayout, [&] { return computeSkybox(name); });
    return std::make_shared<Texture>(sky[0]);
}

bool bakeEnvironmentAndSkybox(const std::filesystem::path& dir, const std::string& name) {
    const bool environment =
        bakeLighting(dir, name, "lighting", kEnvironmentLayout, [&] { return computeEnvironment(name); });
    const bool sky = bakeLighting(dir, name, "sky", kSkyboxLayout, [&] { return computeSkybox(name); });
    return environment && sky;
}

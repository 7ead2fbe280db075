#include "render/ImageBasedLighting.h"

#include "app/GlobalState.h"
#include "shaders/ShaderRegistry.h"
#include "textures/Texture.h"
#include "textures/TextureLoader.h"

#include <glm/gtc/matrix_transform.hpp>

#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <unordered_map>

namespace {

void label(GLenum kind, GLuint name, const char* text) {
    if (glObjectLabel) glObjectLabel(kind, name, -1, text);
}

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

void checkComplete(const char* what) {
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE) return;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", status);
    std::cout << "ERROR: Frame buffer not complete! (" << what << ", status " << hex << ")" << std::endl;
}

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
    label(GL_FRAMEBUFFER, target.framebuffer, what);
    return target;
}

// The capture targets serve one pass each: the 2048 sky's depth alone is 16 MiB, and no pass runs again.
void deleteCaptureTarget(const CaptureTarget& target) {
    glDeleteFramebuffers(1, &target.framebuffer);
    glDeleteRenderbuffers(1, &target.depth);
}

GLuint createCubeMap(int size, GLenum minFilter, const char* what) {
    GLuint cube = 0;
    glGenTextures(1, &cube);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_RGB16F, size, size, 0, GL_RGB, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    label(GL_TEXTURE, cube, what);
    return cube;
}

// Renders the unit cube once per face of `cube` at `level`, with the current program, whose
// "viewMat" is set per face; the checked framebuffer is the one already bound.
void renderFaces(Shader& shader, GLuint cube, int level, const char* what) {
    const std::array<glm::mat4, 6> views = captureViews();
    for (int face = 0; face < 6; ++face) {
        shader.setMat4("viewMat", views[face]);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, cube, level);
        if (face == 0 && level == 0) checkComplete(what);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        renderCube();
    }
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

std::array<float, kCubeVertexCount * kCubeFloatsPerVertex> unitCubeVertices() {
    std::array<float, kCubeVertexCount * kCubeFloatsPerVertex> vertices{};
    // Two triangles per face over the face's two other axes (b, c); texture coordinates follow them.
    constexpr float corners[6][2] = {{-1, -1}, {1, -1}, {1, 1}, {1, 1}, {-1, 1}, {-1, -1}};
    std::size_t out = 0;
    for (int axis = 0; axis < 3; ++axis) {
        for (float sign : {1.0f, -1.0f}) {
            const int b = (axis + 1) % 3;
            const int c = (axis + 2) % 3;
            for (const auto& corner : corners) {
                float position[3];
                float normal[3] = {0, 0, 0};
                position[axis] = sign;
                position[b] = corner[0];
                position[c] = corner[1];
                normal[axis] = sign;
                for (float v : position) vertices[out++] = v;
                for (float v : normal) vertices[out++] = v;
                vertices[out++] = (corner[0] + 1.0f) * 0.5f;
                vertices[out++] = (corner[1] + 1.0f) * 0.5f;
            }
        }
    }
    return vertices;
}

glm::mat4 captureProjection() { return glm::perspective(glm::radians(90.0f), 1.0f, 0.1f, 10.0f); }

std::array<glm::mat4, 6> captureViews() {
    // GL samples a cube face with t running along -y on the side faces, +z on +Y and -z on -Y
    // (OpenGL's cube-map face selection table); these up vectors make each rendered image land on
    // its face that way. Face 2 (+Y) looks up and face 3 (-Y) looks down: swapping them would
    // put the ground overhead.
    const glm::vec3 origin(0.0f);
    return {
        glm::lookAt(origin, glm::vec3(1, 0, 0), glm::vec3(0, -1, 0)),
        glm::lookAt(origin, glm::vec3(-1, 0, 0), glm::vec3(0, -1, 0)),
        glm::lookAt(origin, glm::vec3(0, 1, 0), glm::vec3(0, 0, 1)),
        glm::lookAt(origin, glm::vec3(0, -1, 0), glm::vec3(0, 0, -1)),
        glm::lookAt(origin, glm::vec3(0, 0, 1), glm::vec3(0, -1, 0)),
        glm::lookAt(origin, glm::vec3(0, 0, -1), glm::vec3(0, -1, 0)),
    };
}

GLuint equirectToCubemap(GLuint panorama, int faceSize) {
    const bool culling = beginPass();
    const CaptureTarget target = createCaptureTarget(faceSize, "equirect capture");
    const GLuint cube = createCubeMap(faceSize, GL_LINEAR, "panorama cube map");

    std::shared_ptr<Shader> shader = getShader(EQUI_TO_CUBEMAP);
    shader->use();
    shader->setInt("equirectangularMap", 0);
    shader->setMat4("projectionMat", captureProjection());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, panorama);
    glViewport(0, 0, faceSize, faceSize);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    renderFaces(*shader, cube, 0, "equirect capture");
    endPass(culling);
    deleteCaptureTarget(target);
    return cube;
}

GLuint createIrradianceMap(GLuint environment) {
    const bool culling = beginPass();
    SeamlessCubeFiltering seamless;
    // The irradiance and prefilter passes read the environment through its mip chain (filtered
    // importance sampling), so the chain is built here and the minifying filter made to use it.
    glBindTexture(GL_TEXTURE_CUBE_MAP, environment);
    glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);

    const GLuint irradiance = createCubeMap(kIrradianceFaceSize, GL_LINEAR, "irradiance map");
    const CaptureTarget target = createCaptureTarget(kIrradianceFaceSize, "irradiance capture");

    std::shared_ptr<Shader> shader = getShader(IRRADIANCE_MAP);
    shader->use();
    shader->setInt("environmentMap", 0);
    shader->setMat4("projectionMat", captureProjection());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, environment);
    glViewport(0, 0, kIrradianceFaceSize, kIrradianceFaceSize);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    renderFaces(*shader, irradiance, 0, "irradiance capture");
    endPass(culling);
    deleteCaptureTarget(target);
    return irradiance;
}

GLuint createPrefilteredMap(GLuint environment) {
    const bool culling = beginPass();
    SeamlessCubeFiltering seamless;
    const GLuint prefiltered = createCubeMap(kPrefilteredFaceSize, GL_LINEAR_MIPMAP_LINEAR, "prefiltered map");
    glGenerateMipmap(GL_TEXTURE_CUBE_MAP);  // allocates the chain; levels 0 to 4 are rendered below

    std::shared_ptr<Shader> shader = getShader(PRE_FILTERER);
    shader->use();
    shader->setInt("environmentMap", 0);
    shader->setMat4("projectionMat", captureProjection());
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, environment);
    const CaptureTarget target = createCaptureTarget(kPrefilteredFaceSize, "prefilter capture");

    for (int level = 0; level < kPrefilteredLevels; ++level) {
        const int size = static_cast<int>(kPrefilteredFaceSize * std::pow(0.5, level));
        glBindRenderbuffer(GL_RENDERBUFFER, target.depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, size, size);
        glViewport(0, 0, size, size);
        shader->setFloat("roughness", static_cast<float>(level) / static_cast<float>(kPrefilteredLevels - 1));
        renderFaces(*shader, prefiltered, level, "prefilter capture");
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
    label(GL_TEXTURE, table, "BRDF table");

    const CaptureTarget target = createCaptureTarget(kBrdfLutSize, "BRDF capture");  // bound
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, table, 0);
    checkComplete("BRDF capture");

    glViewport(0, 0, kBrdfLutSize, kBrdfLutSize);
    getShader(BRDF)->use();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    renderScreenQuad();
    endPass(culling);
    deleteCaptureTarget(target);
    return table;
}

void renderCube() {
    static GLuint vao = 0;
    if (vao == 0) {
        const auto vertices = unitCubeVertices();
        GLuint vbo = 0;
        glGenVertexArrays(1, &vao);
        glGenBuffers(1, &vbo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices.data(), GL_STATIC_DRAW);
        glBindVertexArray(vao);
        constexpr GLsizei stride = kCubeFloatsPerVertex * sizeof(float);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(3 * sizeof(float)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(6 * sizeof(float)));
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        label(GL_VERTEX_ARRAY, vao, "capture cube");
    }
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLES, 0, kCubeVertexCount);
    glBindVertexArray(0);
}

void renderScreenQuad() {
    static GLuint vao = 0;
    if (vao == 0) {
        // position (3), texture coordinate (2); a strip covering clip space
        constexpr float vertices[] = {
            -1.0f, 1.0f, 0.0f, 0.0f, 1.0f,  -1.0f, -1.0f, 0.0f, 0.0f, 0.0f,
            1.0f,  1.0f, 0.0f, 1.0f, 1.0f,  1.0f,  -1.0f, 0.0f, 1.0f, 0.0f,
        };
        GLuint vbo = 0;
        glGenVertexArrays(1, &vao);
        glGenBuffers(1, &vbo);
        glBindVertexArray(vao);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, sizeof(vertices), vertices, GL_STATIC_DRAW);
        constexpr GLsizei stride = 5 * sizeof(float);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(3 * sizeof(float)));
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        label(GL_VERTEX_ARRAY, vao, "BRDF quad");
    }
    glBindVertexArray(vao);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
}

namespace {
// Lives for the whole process and never evicts: a name is computed at most once, also when it failed.
std::unordered_map<std::string, std::shared_ptr<Texture>> environmentCache;
}  // namespace

std::shared_ptr<Texture> loadEnvironment(const std::string& name) {
    if (auto found = environmentCache.find(name); found != environmentCache.end()) return found->second;
    const GLuint panorama = loadPanorama(name);
    const GLuint cube = equirectToCubemap(panorama, kEnvironmentFaceSize);
    const GLuint irradiance = createIrradianceMap(cube);
    const GLuint prefiltered = createPrefilteredMap(cube);
    const GLuint brdf = createBrdfLut();
    auto environment = std::make_shared<Texture>(cube, irradiance, prefiltered, brdf);
    environmentCache.emplace(name, environment);
    return environment;
}

std::shared_ptr<Texture> loadSkyboxTexture(const std::string& name) {
    const GLuint panorama = loadPanorama(name);
    return std::make_shared<Texture>(equirectToCubemap(panorama, kSkyboxFaceSize));
}

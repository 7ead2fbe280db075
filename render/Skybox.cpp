#include "render/Skybox.h"

#include "render/ImageBasedLighting.h"
#include "scene/Camera.h"

namespace {

// Inside the far plane for any sensible camera, and far enough out that the near plane never cuts it.
constexpr float kSkyboxScale = 15.0f;

}  // namespace

Skybox::Skybox() {
    surface = createSkyboxSurface(loadSkyboxTexture(kSkyPanorama));

    cube = createCubeVertexArray(kSkyboxScale, "skybox cube");

    // One draw at load validates the vertex array. The sky program is made current for it: its
    // view-projection is still all zero, so every vertex collapses and nothing reaches the
    // framebuffer that happens to be bound.
    surface->shader->use();
    glBindVertexArray(cube.array.get());
    glDrawArrays(GL_TRIANGLES, 0, kCubeVertexCount);
    glBindVertexArray(0);
}

void Skybox::draw(const std::shared_ptr<Camera>& camera) {
    // Seen from inside, the cube's faces all point away; culling is the viewer's choice (F2) and is
    // put back as it was found.
    const GLboolean culling = glIsEnabled(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    glDisable(GL_CULL_FACE);
    surface->shader->use();

    glm::mat4 rotationOnly = camera->getViewMatrix();
    rotationOnly[3] = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    surface->shader->setMat4("viewProjectionMat", camera->getProjectionMatrix() * rotationOnly);
    // The sky program ignores the model matrix; the surface still sets it, as for every object.
    surface->setUniforms(glm::mat4(0.0f));

    glBindVertexArray(cube.array.get());
    glDrawArrays(GL_TRIANGLES, 0, kCubeVertexCount);
    glBindVertexArray(0);
    glDepthMask(GL_TRUE);
    if (culling) glEnable(GL_CULL_FACE);
}

#include "render/VolumetricLightPipe.h"

#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "render/LightBuffers.h"
#include "render/SimpleDepthMap.h"
#include "scene/Camera.h"
#include "scene/Object.h"
#include "scene/ScreenObjects.h"
#include "shaders/Shader.h"
#include "shaders/Surface.h"

#include <glm/glm.hpp>

#include <string>

VolumetricLightPipe::VolumetricLightPipe() {
    const GlobalState& state = GlobalState::instance();
    width = state.width;
    height = state.height;
    halfWidth = width / 2;
    halfHeight = height / 2;

    // Depth only; lookups beyond the edge read the far plane, like the camera's own map.
    const DepthTextureTarget downSample = createDepthTextureTarget(
        halfWidth, halfHeight, "volumetric down-sample", "ERROR: DOWN Frame buffer not complete!");
    downSampleFramebuffer = downSample.framebuffer;
    downSampleDepthTexture = downSample.texture;
    downSampleScreen = createScreenObject(createVolumetricDownSampleSurface());

    // The march, the blur and the up-sample write half floats, so the light may exceed 1.
    const char* blurLabels[2] = {"volumetric blur 0", "volumetric blur 1"};
    for (int i = 0; i < 2; ++i) {
        const ColourTarget blur = createColourTarget(halfWidth, halfHeight, {}, blurLabels[i], {blurLabels[i]},
                                                     "ERROR: BLUR Frame buffer not complete!");
        blurFramebuffers[i] = blur.framebuffer;
        blurTextures[i] = blur.colour[0];
    }
    blurScreen = createScreenObject(createVolumetricBlurSurface());
    marchScreen = createScreenObject(createVolumetricLightingSurface());

    const ColourTarget upSample = createColourTarget(width, height, {}, "volumetric up-sample",
                                                     {"volumetric up-sample"}, "ERROR: UP Frame buffer not complete!");
    upSampleFramebuffer = upSample.framebuffer;
    upSampleTexture = upSample.colour[0];
    upSampleScreen = createScreenObject(createVolumetricUpSampleSurface());
}

const std::shared_ptr<Shader>& VolumetricLightPipe::getMarchShader() const { return marchScreen->getSurface()->shader; }

void VolumetricLightPipe::downSample(GLuint cameraDepthTexture) {
    glDisable(GL_BLEND);
    const std::shared_ptr<Surface>& surface = downSampleScreen->getSurface();
    surface->shader->use();
    surface->setTextures(cameraDepthTexture);
    // The program writes depth: the depth test must stay on (with the clear at 1.0 every value passes).
    bindAndClear(downSampleFramebuffer);
    glViewport(0, 0, halfWidth, halfHeight);
    downSampleScreen->draw();
}

void VolumetricLightPipe::setMarchUniforms(const std::shared_ptr<Camera>& camera, const std::vector<GLuint>& lightBuffers,
                                           const std::vector<std::shared_ptr<PointLight>>& pointLights,
                                           const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                                           const std::vector<std::shared_ptr<SpotLight>>& spotLights,
                                           const std::vector<std::shared_ptr<SimpleDepthMap>>& spotDepthMaps) {
    static const auto projectionNames = indexedUniformNames<kMaxLightsPerKind>("light_projection_matrices[");
    static const auto viewNames = indexedUniformNames<kMaxLightsPerKind>("light_view_matrices[");
    Shader& shader = *getMarchShader();
    selectLightVariant(shader, pointLights, directionalLights, spotLights);
    setFrameUniforms(shader, camera, lightBuffers, pointLights, directionalLights, spotLights, 0);
    for (std::size_t i = 0; i < spotDepthMaps.size() && i < kMaxLightsPerKind; ++i) {
        shader.setMat4(projectionNames[i], spotDepthMaps[i]->getProjection());
        shader.setMat4(viewNames[i], spotDepthMaps[i]->getView());
    }
}

void VolumetricLightPipe::march() {
    glViewport(0, 0, halfWidth, halfHeight);
    const std::shared_ptr<Surface>& surface = marchScreen->getSurface();
    surface->shader->use();
    surface->setTextures(downSampleDepthTexture);
    // The point lights' cube maps hold hardware depth of a projection with these planes; the march
    // turns its distances into that depth to compare.
    surface->shader->setFloat("nearPlane", GlobalState::instance().nearPlane);
    glBindFramebuffer(GL_FRAMEBUFFER, blurFramebuffers[0]);  // every pixel is written: no clear
    marchScreen->draw();
}

void VolumetricLightPipe::blur() {
    const std::shared_ptr<Surface>& surface = blurScreen->getSurface();
    Shader& shader = *surface->shader;
    // Horizontal from texture 0 into 1, then vertical from 1 back into 0.
    for (int pass = 0; pass < 2; ++pass) {
        const bool horizontal = pass == 0;
        shader.use();
        surface->setTextures(blurTextures[horizontal ? 0 : 1]);
        shader.setBool("horizontal", horizontal);
        bindAndClear(blurFramebuffers[horizontal ? 1 : 0]);
        glViewport(0, 0, halfWidth, halfHeight);
        blurScreen->draw();
    }
}

void VolumetricLightPipe::upSample(GLuint sceneTexture, GLuint outputFramebuffer) {
    const std::shared_ptr<Surface>& surface = upSampleScreen->getSurface();
    surface->shader->use();
    surface->setTextures(blurTextures[0], sceneTexture);
    bindAndClear(outputFramebuffer);
    glViewport(0, 0, width, height);
    upSampleScreen->draw();
}

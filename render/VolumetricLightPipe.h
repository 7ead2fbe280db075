// Light scattered by the air, at half the window size: the camera depth is halved, a ray march
// through the reach of every point and spot light (with their shadow maps) fills a half-size target,
// a separable blur smooths the march's noise, and an up-sample merges it with the scene into the two
// attachments of the output target. Sizes are those of the window at construction and never change;
// an incomplete target is reported and kept. Each step binds its own target and sets its viewport;
// downSample turns blending off for the whole chain. The frame's pass list states what comes after.
#pragma once

#include "scene/Lights.h"

#include <GL/glew.h>

#include <array>
#include <memory>
#include <vector>

class Camera;
class Object;
class Shader;
class SimpleDepthMap;

class VolumetricLightPipe {
public:
    // Reads GlobalState width and height; needs the screen model and the four programs.
    VolumetricLightPipe();

    // The camera's depth, halved (the farthest of each 2 x 2 texels) into the down-sample target.
    void downSample(GLuint cameraDepthTexture);
    // The march program's per-frame uniforms, which the level sets just before march(): the
    // program's frame uniforms, then each spot map's projection and view (map i belongs to light i).
    void setMarchUniforms(const std::shared_ptr<Camera>& camera, const std::vector<GLuint>& lightBuffers,
                          const std::vector<std::shared_ptr<PointLight>>& pointLights,
                          const std::vector<std::shared_ptr<DirectionalLight>>& directionalLights,
                          const std::vector<std::shared_ptr<SpotLight>>& spotLights,
                          const std::vector<std::shared_ptr<SimpleDepthMap>>& spotDepthMaps);
    // The scattered light into blur texture 0.
    void march();
    // One horizontal and one vertical pass; the result ends in blur texture 0.
    void blur();
    // Attachment 0 of `outputFramebuffer`: the scattered light at full size; attachment 1: the
    // scene's bright part plus a share of the scattered light, for the bloom.
    void upSample(GLuint sceneTexture, GLuint outputFramebuffer);

    const std::shared_ptr<Shader>& getMarchShader() const;

    // Full-window quads, one per program: down-sample, march, blur, up-sample.
    std::shared_ptr<Object> downSampleScreen;
    std::shared_ptr<Object> marchScreen;
    std::shared_ptr<Object> blurScreen;
    std::shared_ptr<Object> upSampleScreen;

    GLuint downSampleFramebuffer = 0;
    std::array<GLuint, 2> blurFramebuffers{};
    GLuint upSampleFramebuffer = 0;  // made and checked; the frame up-samples into its own target

    GLuint downSampleDepthTexture = 0;
    std::array<GLuint, 2> blurTextures{};
    GLuint upSampleTexture = 0;

    int width = 0;
    int height = 0;
    int halfWidth = 0;   // width / 2, rounded towards zero
    int halfHeight = 0;
};

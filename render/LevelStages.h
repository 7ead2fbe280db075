// The render stages a level owns: what its passes draw into and with, made at load from its lights
// and camera, and kept for the run.
#pragma once

#include "gl/GlObjects.h"

#include <GL/glew.h>

#include <memory>
#include <vector>

class OmniShadowMap;
class Particles;
class SimpleDepthMap;
class StaticCasterDepth;
class Skybox;
class VolumetricLightPipe;

struct LevelStages {
    std::vector<GLuint> lightBuffers;  // point, directional, spot
    GlName shadowSampler;              // the lit program's shadow lookups (createShadowComparisonSampler)
    std::shared_ptr<Particles> goodParticles;
    std::shared_ptr<Particles> hopeParticles;
    std::shared_ptr<Particles> badParticles;
    std::shared_ptr<OmniShadowMap> omniShadowMap;
    std::shared_ptr<SimpleDepthMap> cameraDepthMap;
    std::vector<std::shared_ptr<SimpleDepthMap>> directionalDepthMaps;
    std::vector<std::shared_ptr<SimpleDepthMap>> spotDepthMaps;
    std::shared_ptr<Skybox> skybox;
    std::shared_ptr<VolumetricLightPipe> volumetricLightPipe;
    std::shared_ptr<StaticCasterDepth> staticCasterDepth;  // the point lights' casters that never move
};

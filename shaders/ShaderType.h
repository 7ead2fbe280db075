// Every program of the engine, by the value the registry keys it with. The stage files of each
// member are listed in ShaderRegistry.cpp; that table is the only place that knows them.
#pragma once

#include <cstdint>

enum ShaderType : std::int32_t {
    SIMPLE = 0,
    PBR = 1,
    EQUI_TO_CUBEMAP = 2,
    IRRADIANCE_MAP = 3,
    BLOOM = 4,
    GAUSSIAN = 5,
    LAVA = 6,
    PARTICLES_COMPUTE = 7,
    PARTICLES = 8,
    PRE_FILTERER = 9,
    BRDF = 10,
    FUR = 11,
    DEPTH_SHADER = 12,
    VOLUMETRIC_LIGHTING = 13,
    SIMPLE_DEPTH_SHADER = 14,
    VOLUMETRIC_LIGHTING_DOWN_SAMPLE = 15,
    VOLUMETRIC_LIGHTING_BLUR = 16,
    VOLUMETRIC_LIGHTING_UP_SAMPLE = 17,
    SKYBOX = 18,
};

inline constexpr int kShaderTypeCount = 19;

// Texture units and uniform-block binding points shared by the C++ side and the GLSL files (which
// get them through the preamble of shaders/ShaderContract.h).
#pragma once

// PBR material and image-based lighting; unit 3 stays free.
inline constexpr int kAlbedoUnit = 0;
inline constexpr int kAoRoughMetalUnit = 1;
inline constexpr int kNormalUnit = 2;
inline constexpr int kIrradianceUnit = 4;
inline constexpr int kPrefilteredUnit = 5;
inline constexpr int kBrdfUnit = 6;
// Shadow maps: point cubes, then directional, then spot maps, from these first units.
inline constexpr int kPbrFirstShadowUnit = 7;
inline constexpr int kVolumetricFirstShadowUnit = 2;
// Shadow samplers without a light are parked here, one unit per sampler type: GL refuses a draw in
// which samplers of different types share a unit, and a sampler keeps its unit from earlier frames.
inline constexpr int kParkedCubeShadowUnit = 37;
inline constexpr int kParked2DShadowUnit = 38;
// Until the engine first points them, the programs' shadow sampler arrays start here, one unit per
// element, kind after kind (cube, directional, spot), so no two sampler types ever share a unit.
inline constexpr int kFirstSpareShadowUnit = 40;

// Light uniform blocks.
inline constexpr unsigned kPointBlockBinding = 0;
inline constexpr unsigned kDirectionalBlockBinding = 1;
inline constexpr unsigned kSpotBlockBinding = 2;

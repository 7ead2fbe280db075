// The dusk sky panorama's conventions, shared with whoever must agree with it: the level's sun
// light points along -kSunDirection, and the engine's equirect-to-cube pass reads the picture by
//   u = atan2(dir.z, dir.x) / (2 pi) + 0.5,   v = asin(dir.y) / pi + 0.5,
// with image row 0 at the top of the sky (v = 1; the engine's loader flips rows so v = 1 is up).
// Directions are +Y up, right-handed, as glTF.
#pragma once

#include <glm/glm.hpp>

#include <vector>

// Unit vector pointing toward the sun: azimuth atan2(z, x) = -119 degrees (toward -X, -Z, the way
// the camera's flight sets out), 10 degrees above the horizon:
// (cos 10 cos -119, sin 10, cos 10 sin -119).
inline constexpr float kSunAzimuthDegrees = -119.0f;
inline constexpr float kSunElevationDegrees = 10.0f;
inline const glm::vec3 kSunDirection(-0.4774443f, 0.1736482f, -0.8613323f);

// Linear radiance of the sky seen along a unit direction (HDR: the sun's disc reaches about 100).
glm::vec3 skyRadiance(const glm::vec3& direction);

// The panorama, width x (width / 2) RGB floats, row 0 at the top. width: a positive even number.
std::vector<float> renderSkyPanorama(int width);

// The unit direction the panorama's pixel centre (x, y) shows, by the convention above.
glm::vec3 panoramaDirection(int x, int y, int width, int height);

// The sky: a cube 15 units around the eye, textured with the 2048 cube map of the HDR panorama and
// drawn first in the scene pass with depth writes off, so everything drawn later covers it.
#pragma once

#include "gl/GlObjects.h"
#include "shaders/Surface.h"

#include <GL/glew.h>

#include <memory>

class Camera;

// The level's sky: the skybox and the image-based lighting are both made from this panorama.
inline constexpr const char* kSkyPanorama = "skybox2.hdr";

class Skybox {
public:
    // Builds the sky cube map from "skybox2.hdr" (through its surface) and the cube's vertex array.
    Skybox();

    // Draws with the camera's rotation only; leaves depth writes and face culling on.
    void draw(const std::shared_ptr<Camera>& camera);

    const std::shared_ptr<Surface>& getSurface() const { return surface; }

private:
    std::shared_ptr<Surface> surface;
    VertexArray cube;  // the unit cube scaled by 15: corners, normals and texture coordinates
};

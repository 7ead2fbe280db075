// A shared record of GL texture names: one 2D texture or cube map, or an image-based-lighting set
// (environment cube map, irradiance map, prefiltered map, BRDF table). It deletes nothing: the
// names live as long as the context.
#pragma once

#include <GL/glew.h>

class Texture {
public:
    explicit Texture(GLuint id) : id(id) {}
    Texture(GLuint cubeMap, GLuint irradianceMap, GLuint prefilteredMap, GLuint brdfLut)
        : id(cubeMap), irradianceMap(irradianceMap), prefilteredMap(prefilteredMap), brdfLut(brdfLut) {}

    GLuint getId() const { return id; }
    GLuint getIrradianceMap() const { return irradianceMap; }
    GLuint getPrefilteredMap() const { return prefilteredMap; }
    GLuint getBrdfLut() const { return brdfLut; }

private:
    GLuint id = 0;
    GLuint irradianceMap = 0;
    GLuint prefilteredMap = 0;
    GLuint brdfLut = 0;
};

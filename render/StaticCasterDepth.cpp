#include "render/StaticCasterDepth.h"

#include "gl/GlObjects.h"

StaticCasterDepth::~StaticCasterDepth() { forgetAll(); }

bool StaticCasterDepth::restore(const void* light, GLuint texture, int size, unsigned state) {
    const auto found = copies.find(light);
    if (found == copies.end()) return false;
    if (found->second.size != size || found->second.state != state) {
        forget(light);
        return false;
    }
    Copy& copy = found->second;
    for (int face = 0; face < 6; ++face)
        if (copy.changedFaces & (1u << face))
            glCopyImageSubData(copy.texture, GL_TEXTURE_CUBE_MAP, 0, 0, 0, face, texture, GL_TEXTURE_CUBE_MAP, 0, 0, 0,
                               face, size, size, 1);
    copy.changedFaces = 0u;
    return true;
}

void StaticCasterDepth::drewMoving(const void* light, unsigned faces) {
    const auto found = copies.find(light);
    if (found != copies.end()) found->second.changedFaces |= faces & 0x3Fu;
}

void StaticCasterDepth::cubesChanged() {
    for (auto& [light, copy] : copies) copy.changedFaces = 0x3Fu;
}

void StaticCasterDepth::keep(const void* light, GLuint texture, int size, unsigned state) {
    forget(light);
    Copy copy{0, size, state};
    glGenTextures(1, &copy.texture);
    glBindTexture(GL_TEXTURE_CUBE_MAP, copy.texture);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT32F, size, size, 0,
                     GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    labelObject(GL_TEXTURE, copy.texture, "static casters' depth");
    glCopyImageSubData(texture, GL_TEXTURE_CUBE_MAP, 0, 0, 0, 0, copy.texture, GL_TEXTURE_CUBE_MAP, 0, 0, 0, 0, size,
                       size, 6);
    copies.emplace(light, copy);
}

void StaticCasterDepth::forget(const void* light) {
    const auto found = copies.find(light);
    if (found == copies.end()) return;
    glDeleteTextures(1, &found->second.texture);
    copies.erase(found);
}

void StaticCasterDepth::forgetAll() {
    for (const auto& [light, copy] : copies) glDeleteTextures(1, &copy.texture);
    copies.clear();
}

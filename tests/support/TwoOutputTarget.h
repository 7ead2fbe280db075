// The target the GL tests draw the lit program, the sky or the volumetric chain into, shaped like the
// frame's resolve and volumetric targets: two RGBA16F colour outputs (the colour, the bright part)
// and, when asked, a depth-stencil buffer, made by the GL layer's target maker and deleted with this.
#pragma once

#include "gl/GlObjects.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <string>
#include <vector>

namespace gltest {

class TwoOutputTarget {
public:
    // Fails the test when the target is incomplete.
    TwoOutputTarget(int width, int height, bool depthStencil, const std::string& label);
    ~TwoOutputTarget();
    TwoOutputTarget(const TwoOutputTarget&) = delete;
    TwoOutputTarget& operator=(const TwoOutputTarget&) = delete;

    // Binds it with a viewport over all of it.
    void bind() const;
    // Output `attachment` (0 or 1) as RGBA floats, bottom row first; leaves this target bound and
    // output 0 the one read.
    std::vector<float> read(int attachment) const;

    GLuint framebuffer() const { return target.framebuffer; }
    GLuint colour(int attachment) const { return target.colour[attachment]; }

    const int width;
    const int height;

private:
    ColourTarget target;
};

// The mean luminance (Rec. 709 weights) of the 3 x 3 pixels around where `world` lands under
// `viewProjection`, in `size` x `size` RGBA float pixels such as read() gives. A point whose 3 x 3
// pixels are not all in the picture fails the test and gives 0.
float luminanceAround(const std::vector<float>& pixels, int size, const glm::mat4& viewProjection, glm::vec3 world);

}  // namespace gltest

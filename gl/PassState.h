// The GL state a pass begins from, stated in full, so that no pass depends on what the pass before
// it left: the framebuffer it draws into, its viewport, what it clears, the faces it culls and
// whether it blends. Two things stay as they are: whether faces are culled at all (the viewer's F2)
// and depth testing (on for every pass; the title screens switch it off and back themselves).
#pragma once

#include <GL/glew.h>

inline constexpr GLbitfield kClearColourAndDepth = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
inline constexpr GLbitfield kClearDepth = GL_DEPTH_BUFFER_BIT;
inline constexpr GLbitfield kKeepContents = 0;

struct PassState {
    GLuint framebuffer = 0;        // bound to GL_FRAMEBUFFER
    int width = 0;                 // viewport from (0, 0)
    int height = 0;
    GLbitfield clear = kKeepContents;
    GLenum culledFaces = GL_BACK;  // when culling is on
    bool blending = false;         // on: source alpha over what is there
};

// Sets all of `state`, then clears what it names.
void beginPass(const PassState& state);

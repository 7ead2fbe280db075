#include "gl/PassState.h"

void beginPass(const PassState& state) {
    glBindFramebuffer(GL_FRAMEBUFFER, state.framebuffer);
    glViewport(0, 0, state.width, state.height);
    glCullFace(state.culledFaces);
    if (state.blending) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
    if (state.clear != kKeepContents) glClear(state.clear);
}

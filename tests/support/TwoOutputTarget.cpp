#include "tests/support/TwoOutputTarget.h"

#include "tests/support/GlTestContext.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace gltest {

TwoOutputTarget::TwoOutputTarget(int width, int height, bool depthStencil, const std::string& label)
    : width(width), height(height) {
    const std::uint64_t incompleteBefore = incompleteFramebufferCount();
    const std::string message = "ERROR: " + label + " target not complete";
    target = createColourTarget(width, height, {.depthStencil = depthStencil}, label,
                                {label + " colour", label + " bright"}, message.c_str());
    EXPECT_EQ(incompleteFramebufferCount(), incompleteBefore) << message;
}

TwoOutputTarget::~TwoOutputTarget() {
    glDeleteFramebuffers(1, &target.framebuffer);
    glDeleteTextures(2, target.colour.data());
    glDeleteRenderbuffers(1, &target.depthStencil);
}

void TwoOutputTarget::bind() const {
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glViewport(0, 0, width, height);
}

std::vector<float> TwoOutputTarget::read(int attachment) const {
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glReadBuffer(GL_COLOR_ATTACHMENT0 + attachment);
    std::vector<float> pixels = readPixelsRgbaFloat(0, 0, width, height);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    return pixels;
}

}  // namespace gltest

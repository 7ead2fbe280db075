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

float luminanceAround(const std::vector<float>& pixels, int size, const glm::mat4& viewProjection, glm::vec3 world) {
    const glm::vec4 clip = viewProjection * glm::vec4(world, 1.0f);
    const int x = static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * size);
    const int y = static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * size);
    if (x < 1 || y < 1 || x > size - 2 || y > size - 2) {
        ADD_FAILURE() << "the point is not in view";
        return 0.0f;
    }
    float sum = 0.0f;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const std::size_t i = (static_cast<std::size_t>(y + dy) * size + (x + dx)) * 4;
            sum += 0.2126f * pixels[i] + 0.7152f * pixels[i + 1] + 0.0722f * pixels[i + 2];
        }
    return sum / 9.0f;
}

}  // namespace gltest

// A floating-point RGBA picture with premultiplied alpha, where the titles and sprites are painted
// before DXT compression: anti-aliased shapes from signed distances, Gaussian blur for glows, and
// the conversion to straight-alpha 8-bit rows. Row 0 is the top; coordinates are pixel units with
// pixel centres at +0.5. Sizes are the caller's (positive); it does no file I/O.
#pragma once

#include <glm/glm.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

class Canvas {
public:
    Canvas(int width, int height)
        : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, glm::vec4(0.0f)) {}

    int width() const { return width_; }
    int height() const { return height_; }
    glm::vec4& at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
    const glm::vec4& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

    // Porter-Duff "over" with a straight colour whose alpha is already scaled by coverage.
    void blendOver(int x, int y, const glm::vec3& rgb, float alpha) {
        glm::vec4& p = at(x, y);
        p = glm::vec4(rgb * alpha, alpha) + p * (1.0f - alpha);
    }

    // Straight-alpha RGBA bytes. Fully transparent pixels take the colour of their surroundings so
    // DXT blocks at the edge of a shape do not pick up black endpoints. bottomRowFirst stores the
    // picture upside down, for planes whose texture coordinate v = 0 is at the bottom.
    std::vector<std::uint8_t> toRgba8(bool bottomRowFirst) const;

private:
    int width_;
    int height_;
    std::vector<glm::vec4> pixels_;
};

// Separable Gaussian blur of one channel, edges clamped.
std::vector<float> gaussianBlur(const std::vector<float>& plane, int width, int height, float sigma);

// Paints a shape given by its signed distance (pixels, negative inside), one pixel of anti-aliasing,
// over the box [lo, hi]; colourAt gives the straight colour and alpha for each covered pixel centre.
template <class Distance, class ColourAt>
void paintShape(Canvas& canvas, glm::vec2 lo, glm::vec2 hi, Distance distance, ColourAt colourAt) {
    const int x0 = std::max(0, static_cast<int>(std::floor(lo.x)) - 1);
    const int y0 = std::max(0, static_cast<int>(std::floor(lo.y)) - 1);
    const int x1 = std::min(canvas.width() - 1, static_cast<int>(std::ceil(hi.x)) + 1);
    const int y1 = std::min(canvas.height() - 1, static_cast<int>(std::ceil(hi.y)) + 1);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const glm::vec2 p(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
            const float coverage = std::clamp(0.5f - distance(p), 0.0f, 1.0f);
            if (coverage <= 0.0f) continue;
            const glm::vec4 colour = colourAt(p);
            canvas.blendOver(x, y, glm::vec3(colour), colour.a * coverage);
        }
    }
}

// Distance to a capsule from a to b whose radius runs from ra to rb (a tapered stroke).
inline float taperedSegmentDistance(glm::vec2 p, glm::vec2 a, glm::vec2 b, float ra, float rb) {
    const glm::vec2 ab = b - a;
    const float t = std::clamp(glm::dot(p - a, ab) / std::max(glm::dot(ab, ab), 1e-6f), 0.0f, 1.0f);
    return glm::length(p - (a + ab * t)) - (ra + (rb - ra) * t);
}

// Approximate distance to an axis-aligned ellipse (exact on the axes, close enough for strokes).
inline float ellipseDistance(glm::vec2 p, glm::vec2 centre, glm::vec2 radii) {
    const glm::vec2 q = (p - centre) / radii;
    return (glm::length(q) - 1.0f) * std::min(radii.x, radii.y);
}

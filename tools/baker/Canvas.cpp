#include "tools/baker/Canvas.h"

namespace {

// One box pass of radius r along lines of `count` samples spaced `stride` apart, edges clamped;
// prefix sums in double keep the cost independent of the radius.
void boxPass(std::vector<float>& data, int lines, int lineStride, int count, int stride, int r) {
    std::vector<double> prefix(static_cast<std::size_t>(count + 2 * r + 1));
    const double scale = 1.0 / (2 * r + 1);
    for (int line = 0; line < lines; ++line) {
        float* base = &data[static_cast<std::size_t>(line) * lineStride];
        prefix[0] = 0.0;
        for (int i = 0; i < count + 2 * r; ++i) {
            const int source = std::clamp(i - r, 0, count - 1);
            prefix[static_cast<std::size_t>(i + 1)] = prefix[static_cast<std::size_t>(i)] + base[static_cast<std::size_t>(source) * stride];
        }
        for (int i = 0; i < count; ++i)
            base[static_cast<std::size_t>(i) * stride] = static_cast<float>(
                (prefix[static_cast<std::size_t>(i + 2 * r + 1)] - prefix[static_cast<std::size_t>(i)]) * scale);
    }
}

}  // namespace

// Three box passes per axis approximate a Gaussian within a few percent (central limit); box
// widths after Kovesi, "Fast almost-Gaussian filtering" (2010).
std::vector<float> gaussianBlur(const std::vector<float>& plane, int width, int height, float sigma) {
    std::vector<float> out = plane;
    const int passes = 3;
    const double ideal = std::sqrt(12.0 * sigma * sigma / passes + 1.0);
    int lower = static_cast<int>(std::floor(ideal));
    if (lower % 2 == 0) --lower;
    const double m = (12.0 * sigma * sigma - passes * lower * lower - 4.0 * passes * lower - 3.0 * passes) /
                     (-4.0 * lower - 4.0);
    const int lowerCount = static_cast<int>(std::lround(m));
    for (int pass = 0; pass < passes; ++pass) {
        const int boxWidth = pass < lowerCount ? lower : lower + 2;
        const int r = std::max(0, (boxWidth - 1) / 2);
        if (r == 0) continue;
        boxPass(out, height, width, width, 1, r);
        boxPass(out, width, 1, height, width, r);
    }
    return out;
}

std::vector<std::uint8_t> Canvas::toRgba8(bool bottomRowFirst) const {
    const std::size_t count = pixels_.size();
    // Bleed colour: a small blur of the premultiplied colour divided by the blurred alpha, which
    // is the average straight colour of the nearby visible pixels.
    std::vector<float> planes[4];
    for (int c = 0; c < 4; ++c) {
        planes[c].resize(count);
        for (std::size_t i = 0; i < count; ++i) planes[c][i] = pixels_[i][c];
        planes[c] = gaussianBlur(planes[c], width_, height_, 3.0f);
    }

    auto toByte = [](float v) {
        return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    };
    std::vector<std::uint8_t> out(count * 4);
    for (int y = 0; y < height_; ++y) {
        const int row = bottomRowFirst ? height_ - 1 - y : y;
        for (int x = 0; x < width_; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width_ + x;
            const glm::vec4& p = pixels_[i];
            glm::vec3 rgb(0.0f);
            if (p.a >= 0.5f / 255.0f) {
                rgb = glm::vec3(p) / p.a;
            } else if (planes[3][i] > 1e-5f) {
                rgb = glm::vec3(planes[0][i], planes[1][i], planes[2][i]) / planes[3][i];
            }
            std::uint8_t* dst = &out[(static_cast<std::size_t>(row) * width_ + x) * 4];
            dst[0] = toByte(rgb.r);
            dst[1] = toByte(rgb.g);
            dst[2] = toByte(rgb.b);
            dst[3] = toByte(p.a);
        }
    }
    return out;
}

#include "tools/baker/TrueTypeFont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// Decodes UTF-8 into code points; a malformed byte becomes U+FFFD rather than stopping the text.
std::vector<int> codePoints(const std::string& text) {
    std::vector<int> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        int cp = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(cp);
        i += static_cast<std::size_t>(length);
    }
    return out;
}

}  // namespace

bool TrueTypeFont::load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::printf("ERROR: Failed to load font '%s': file not found\n", path.c_str());
        std::fflush(stdout);
        return false;
    }
    bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    const int offset = bytes_.empty() ? -1 : stbtt_GetFontOffsetForIndex(bytes_.data(), 0);
    if (offset < 0 || !stbtt_InitFont(&info_, bytes_.data(), offset)) {
        std::printf("ERROR: Failed to load font '%s': not a TrueType font (%zu bytes)\n", path.c_str(),
                    bytes_.size());
        std::fflush(stdout);
        bytes_.clear();
        return false;
    }
    return true;
}

float TrueTypeFont::measure(const std::string& text, float pixelHeight, float trackingEm) const {
    if (bytes_.empty()) return 0.0f;
    const float scale = stbtt_ScaleForPixelHeight(&info_, pixelHeight);
    const std::vector<int> cps = codePoints(text);
    float x = 0.0f;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info_, cps[i], &advance, &bearing);
        x += static_cast<float>(advance) * scale;
        if (i + 1 < cps.size()) {
            x += static_cast<float>(stbtt_GetCodepointKernAdvance(&info_, cps[i], cps[i + 1])) * scale;
            x += trackingEm * pixelHeight;
        }
    }
    return x;
}

void TrueTypeFont::draw(std::vector<float>& coverage, int width, int height, const std::string& text,
                        float pixelHeight, float trackingEm, float centreX, float baselineY) const {
    if (bytes_.empty()) return;
    const float scale = stbtt_ScaleForPixelHeight(&info_, pixelHeight);
    const std::vector<int> cps = codePoints(text);
    float x = centreX - 0.5f * measure(text, pixelHeight, trackingEm);
    const float baseline = std::floor(baselineY);
    const float shiftY = baselineY - baseline;
    std::vector<unsigned char> glyph;
    for (std::size_t i = 0; i < cps.size(); ++i) {
        const float penX = std::floor(x);
        const float shiftX = x - penX;
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetCodepointBitmapBoxSubpixel(&info_, cps[i], scale, scale, shiftX, shiftY, &x0, &y0, &x1, &y1);
        const int gw = x1 - x0, gh = y1 - y0;
        if (gw > 0 && gh > 0) {
            glyph.assign(static_cast<std::size_t>(gw) * gh, 0);
            stbtt_MakeCodepointBitmapSubpixel(&info_, glyph.data(), gw, gh, gw, scale, scale, shiftX, shiftY, cps[i]);
            for (int gy = 0; gy < gh; ++gy) {
                const int py = static_cast<int>(baseline) + y0 + gy;
                if (py < 0 || py >= height) continue;
                for (int gx = 0; gx < gw; ++gx) {
                    const int px = static_cast<int>(penX) + x0 + gx;
                    if (px < 0 || px >= width) continue;
                    const float a = glyph[static_cast<std::size_t>(gy) * gw + gx] / 255.0f;
                    float& c = coverage[static_cast<std::size_t>(py) * width + px];
                    c = 1.0f - (1.0f - c) * (1.0f - a);
                }
            }
        }
        int advance = 0, bearing = 0;
        stbtt_GetCodepointHMetrics(&info_, cps[i], &advance, &bearing);
        x += static_cast<float>(advance) * scale;
        if (i + 1 < cps.size()) {
            x += static_cast<float>(stbtt_GetCodepointKernAdvance(&info_, cps[i], cps[i + 1])) * scale;
            x += trackingEm * pixelHeight;
        }
    }
}

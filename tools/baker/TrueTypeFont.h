// Text for the title pictures: a TrueType font read from disk and rasterised with stb_truetype
// into a coverage plane (0..1 per pixel, row 0 at the top). UTF-8 input; kerning and extra letter
// spacing are applied. Refuses unreadable or invalid font files (load returns false).
#pragma once

#include <stb_truetype.h>

#include <string>
#include <vector>

class TrueTypeFont {
public:
    // Prints an ERROR line and returns false when the file is missing or not a font.
    bool load(const std::string& path);

    // Advance width in pixels of text at pixelHeight (the font's ascent-to-descent height), with
    // trackingEm extra space after every character but the last, in fractions of the height.
    float measure(const std::string& text, float pixelHeight, float trackingEm) const;

    // Adds text centred on centreX with its baseline at baselineY into coverage (width x height);
    // overlapping glyphs combine as 1 - (1 - a)(1 - b). Pixels outside the plane are clipped.
    void draw(std::vector<float>& coverage, int width, int height, const std::string& text, float pixelHeight,
              float trackingEm, float centreX, float baselineY) const;

private:
    std::vector<unsigned char> bytes_;
    stbtt_fontinfo info_{};
};

// The intro and credits pictures: text set in DejaVu with stb_truetype, a warm glow, a dusk haze and
// a small thistle, on a transparent background (the engine blends the picture by its alpha over a
// black window). The engine draws them on a 1800 x 900 pixel plane around the window centre, and a
// default 800 x 800 window shows only the middle, so every word stays inside the central 760 pixels.
#include "tools/baker/Bake.h"
#include "tools/baker/BakeFiles.h"
#include "tools/baker/BakeMath.h"
#include "tools/baker/Canvas.h"
#include "tools/baker/DdsWriter.h"
#include "tools/baker/TrueTypeFont.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kFullWidth = 1800;   // the plane's size in window pixels: one texel per pixel
constexpr int kFullHeight = 900;
constexpr int kReducedDivisor = 3; // 600 x 300: both still multiples of 4 for DXT blocks

const char* const kFontFolder = "/usr/share/fonts/truetype/dejavu/";

struct Fonts {
    TrueTypeFont serif;
    TrueTypeFont sans;
    TrueTypeFont sansBold;
    bool load() {
        const std::string folder = kFontFolder;
        // Evaluate all three so every missing file is reported.
        const bool a = serif.load(folder + "DejaVuSerif.ttf");
        const bool b = sans.load(folder + "DejaVuSans.ttf");
        const bool c = sansBold.load(folder + "DejaVuSans-Bold.ttf");
        return a && b && c;
    }
};

// Layout is written in full-size pixels; s scales it to the canvas actually painted.
struct Page {
    Canvas canvas;
    float s;
};

struct TextStyle {
    glm::vec3 top;        // colour at the cap height
    glm::vec3 bottom;     // colour at the baseline
    glm::vec3 glow;
    float glowSigma;      // full-size pixels
    float glowStrength;   // alpha of the glow where the text is solid
    float haloSigma;      // a second, wide and faint glow; 0 for none
    float haloStrength;
};

void paintText(Page& page, const TrueTypeFont& font, const std::string& text, float pixelHeight, float trackingEm,
               float centreX, float baselineY, const TextStyle& style) {
    Canvas& canvas = page.canvas;
    const int w = canvas.width(), h = canvas.height();
    std::vector<float> coverage(static_cast<std::size_t>(w) * h, 0.0f);
    font.draw(coverage, w, h, text, pixelHeight * page.s, trackingEm, centreX * page.s, baselineY * page.s);

    auto paintGlow = [&](float sigma, float strength) {
        if (sigma <= 0.0f || strength <= 0.0f) return;
        const std::vector<float> glow = gaussianBlur(coverage, w, h, sigma * page.s);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const float a = std::min(1.0f, glow[static_cast<std::size_t>(y) * w + x] * strength);
                if (a > 0.0f) canvas.blendOver(x, y, style.glow, a);
            }
    };
    paintGlow(style.haloSigma, style.haloStrength);
    paintGlow(style.glowSigma, style.glowStrength);

    const float capTop = (baselineY - 0.72f * pixelHeight) * page.s;
    const float base = baselineY * page.s;
    for (int y = 0; y < h; ++y) {
        const float t = std::clamp((static_cast<float>(y) + 0.5f - capTop) / std::max(base - capTop, 1.0f), 0.0f, 1.0f);
        const glm::vec3 colour = glm::mix(style.top, style.bottom, t);
        for (int x = 0; x < w; ++x) {
            const float a = coverage[static_cast<std::size_t>(y) * w + x];
            if (a > 0.0f) canvas.blendOver(x, y, colour, a);
        }
    }
}

// A soft elliptical wash that fades to nothing at its rim, so the picture has no visible edge
// on windows wider than it.
void paintHaze(Page& page, glm::vec2 centre, glm::vec2 radii, glm::vec3 colour, float alpha) {
    Canvas& canvas = page.canvas;
    for (int y = 0; y < canvas.height(); ++y)
        for (int x = 0; x < canvas.width(); ++x) {
            const glm::vec2 p((static_cast<float>(x) + 0.5f) / page.s, (static_cast<float>(y) + 0.5f) / page.s);
            const float r = glm::length((p - centre) / radii);
            if (r >= 1.0f) continue;
            const float fade = 1.0f - r * r * (3.0f - 2.0f * r);
            canvas.blendOver(x, y, colour, alpha * fade * fade);
        }
}

// A thin line fading out towards both ends: the "ground" the thistle stands on.
void paintRule(Page& page, glm::vec2 centre, float halfLength, float gap, glm::vec3 colour, float alpha) {
    const float s = page.s;
    for (float side : {-1.0f, 1.0f}) {
        const glm::vec2 a = (centre + glm::vec2(side * gap, 0.0f)) * s;
        const glm::vec2 b = (centre + glm::vec2(side * halfLength, 0.0f)) * s;
        const float width = std::max(0.6f, 1.1f * s);
        paintShape(
            page.canvas, glm::min(a, b) - width, glm::max(a, b) + width,
            [&](glm::vec2 p) { return taperedSegmentDistance(p, a, b, width, width * 0.4f); },
            [&](glm::vec2 p) {
                const float t = std::clamp(std::abs(p.x - a.x) / std::abs(b.x - a.x), 0.0f, 1.0f);
                return glm::vec4(colour, alpha * (1.0f - t) * (1.0f - t));
            });
    }
}

void paintStroke(Page& page, glm::vec2 a, glm::vec2 b, float ra, float rb, glm::vec3 colourA, glm::vec3 colourB,
                 float alpha) {
    const float s = page.s;
    a *= s;
    b *= s;
    ra = std::max(ra * s, 0.35f);
    rb = std::max(rb * s, 0.35f);
    const float r = std::max(ra, rb);
    paintShape(
        page.canvas, glm::min(a, b) - r, glm::max(a, b) + r,
        [&](glm::vec2 p) { return taperedSegmentDistance(p, a, b, ra, rb); },
        [&](glm::vec2 p) {
            const glm::vec2 ab = b - a;
            const float t = std::clamp(glm::dot(p - a, ab) / std::max(glm::dot(ab, ab), 1e-6f), 0.0f, 1.0f);
            return glm::vec4(glm::mix(colourA, colourB, t), alpha);
        });
}

// A stylised thistle standing at base (full-size pixels), height tall: curved stem, two spiny
// leaves, a scaled bulb and a fan of purple florets, with a faint purple halo behind the head.
void paintThistle(Page& page, glm::vec2 base, float height) {
    const float H = height;
    const glm::vec3 stemDark(0.20f, 0.30f, 0.20f), stemLight(0.36f, 0.48f, 0.32f);
    const glm::vec2 head = base + glm::vec2(0.03f * H, -0.72f * H);

    paintHaze(page, head + glm::vec2(0.0f, -0.1f * H), glm::vec2(0.55f * H), glm::vec3(0.55f, 0.22f, 0.62f), 0.35f);

    // Stem: three segments bending slightly to the right as it rises.
    const glm::vec2 stem[4] = {base, base + glm::vec2(0.01f * H, -0.25f * H), base + glm::vec2(0.035f * H, -0.5f * H),
                               head + glm::vec2(0.0f, 0.06f * H)};
    for (int i = 0; i < 3; ++i)
        paintStroke(page, stem[i], stem[i + 1], 0.024f * H - 0.003f * H * static_cast<float>(i),
                    0.021f * H - 0.003f * H * static_cast<float>(i), stemDark, stemLight, 1.0f);

    // Leaves: a tapered midrib with short spines along its upper edge.
    for (float side : {-1.0f, 1.0f}) {
        const glm::vec2 root = base + glm::vec2(0.012f * H, (side < 0.0f ? -0.22f : -0.34f) * H);
        const glm::vec2 tip = root + glm::vec2(side * 0.34f * H, -0.16f * H);
        paintStroke(page, root, tip, 0.035f * H, 0.004f * H, stemDark, stemLight, 1.0f);
        for (int k = 1; k <= 3; ++k) {
            const float t = 0.25f * static_cast<float>(k);
            const glm::vec2 p = glm::mix(root, tip, t);
            const glm::vec2 spine = p + glm::vec2(side * 0.03f * H, -0.07f * H) * (1.0f - 0.4f * t);
            paintStroke(page, p, spine, 0.012f * H, 0.002f * H, stemLight, glm::vec3(0.70f, 0.72f, 0.55f), 0.9f);
        }
    }

    // Florets: a fan of thin strokes, purple at the base and pink at the tips.
    const glm::vec2 fanRoot = head + glm::vec2(0.0f, -0.05f * H);
    const int florets = 23;
    for (int i = 0; i < florets; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(florets - 1);
        const float angle = (t - 0.5f) * 2.0f * 1.15f;   // about +-66 degrees from vertical
        const float length = H * (0.26f - 0.07f * std::abs(t - 0.5f) * 2.0f + 0.02f * std::sin(7.0f * t * kPi));
        const glm::vec2 tip = fanRoot + glm::vec2(std::sin(angle), -std::cos(angle)) * length;
        paintStroke(page, fanRoot, tip, 0.016f * H, 0.0045f * H, glm::vec3(0.45f, 0.16f, 0.55f),
                    glm::vec3(0.98f, 0.56f, 0.92f), 0.95f);
    }

    // Bulb with small outward spines (the bracts).
    for (int i = 0; i < 9; ++i) {
        const float angle = kPi * (0.15f + 0.7f * static_cast<float>(i) / 8.0f);
        const glm::vec2 dir(std::cos(angle), std::sin(angle));
        const glm::vec2 p = head + dir * glm::vec2(0.10f * H, 0.085f * H);
        paintStroke(page, p, p + dir * 0.07f * H, 0.012f * H, 0.002f * H, stemLight, glm::vec3(0.72f, 0.74f, 0.58f),
                    0.9f);
    }
    const float s = page.s;
    const glm::vec2 bulbRadii = glm::vec2(0.115f * H, 0.095f * H) * s;
    paintShape(
        page.canvas, head * s - bulbRadii, head * s + bulbRadii,
        [&](glm::vec2 p) { return ellipseDistance(p, head * s, bulbRadii); },
        [&](glm::vec2 p) {
            // Overlapping bracts: thin dark diagonal lines on a bulb lit from the upper left.
            const glm::vec2 q = (p - head * s) / (0.04f * H * s);
            const float line = std::min(std::abs(std::sin((q.x + q.y) * kPi)), std::abs(std::sin((q.x - q.y) * kPi)));
            const glm::vec2 lightOffset = (p - head * s) / bulbRadii + glm::vec2(0.35f, 0.45f);
            const float light = std::clamp(1.1f - 0.6f * glm::length(lightOffset), 0.3f, 1.0f);
            return glm::vec4(glm::mix(stemDark * 0.7f, stemLight * 1.2f * light, smooth(0.05f, 0.45f, line)), 1.0f);
        });
}

const TextStyle kTitleStyle{glm::vec3(1.00f, 0.93f, 0.74f), glm::vec3(1.00f, 0.66f, 0.34f),
                            glm::vec3(1.00f, 0.45f, 0.14f), 14.0f, 0.85f, 55.0f, 0.5f};
const TextStyle kSubtitleStyle{glm::vec3(0.86f, 0.80f, 0.98f), glm::vec3(0.78f, 0.70f, 0.95f),
                               glm::vec3(0.55f, 0.30f, 0.75f), 8.0f, 0.55f, 0.0f, 0.0f};
const TextStyle kLabelStyle{glm::vec3(0.95f, 0.74f, 0.42f), glm::vec3(0.88f, 0.62f, 0.34f),
                            glm::vec3(0.80f, 0.40f, 0.12f), 6.0f, 0.35f, 0.0f, 0.0f};
const TextStyle kCreditStyle{glm::vec3(0.95f, 0.92f, 0.98f), glm::vec3(0.86f, 0.82f, 0.94f),
                             glm::vec3(0.45f, 0.30f, 0.70f), 7.0f, 0.45f, 0.0f, 0.0f};
const TextStyle kClosingStyle{glm::vec3(1.00f, 0.88f, 0.66f), glm::vec3(1.00f, 0.70f, 0.42f),
                              glm::vec3(1.00f, 0.45f, 0.14f), 10.0f, 0.6f, 35.0f, 0.3f};

// The dusk wash behind both pictures: violet around the text, a warm band low down like the
// last light over the meadow.
void paintBackdrop(Page& page, float warmBandY) {
    paintHaze(page, glm::vec2(900.0f, 450.0f), glm::vec2(860.0f, 470.0f), glm::vec3(0.13f, 0.07f, 0.18f), 0.75f);
    paintHaze(page, glm::vec2(900.0f, warmBandY), glm::vec2(720.0f, 120.0f), glm::vec3(0.85f, 0.36f, 0.12f), 0.22f);
}

Page paintIntro(const Fonts& fonts, float s, int width, int height) {
    Page page{Canvas(width, height), s};
    paintBackdrop(page, 700.0f);
    // The title fills 680 of the 760 pixels a small window shows.
    const float titleHeight = 170.0f * 680.0f / std::max(fonts.serif.measure("Verdance", 170.0f, 0.02f), 1.0f);
    paintText(page, fonts.serif, "Verdance", titleHeight, 0.02f, 900.0f, 420.0f, kTitleStyle);
    paintText(page, fonts.sans, "a dusk in the meadow", 36.0f, 0.22f, 900.0f, 505.0f, kSubtitleStyle);
    paintRule(page, glm::vec2(900.0f, 700.0f), 330.0f, 18.0f, glm::vec3(1.0f, 0.78f, 0.50f), 0.8f);
    paintThistle(page, glm::vec2(900.0f, 700.0f), 140.0f);
    return page;
}

Page paintCredits(const Fonts& fonts, float s, int width, int height) {
    Page page{Canvas(width, height), s};
    paintBackdrop(page, 790.0f);
    paintText(page, fonts.serif, "Verdance", 92.0f, 0.02f, 900.0f, 168.0f, kTitleStyle);
    paintRule(page, glm::vec2(900.0f, 262.0f), 240.0f, 12.0f, glm::vec3(1.0f, 0.78f, 0.50f), 0.8f);
    paintThistle(page, glm::vec2(900.0f, 262.0f), 62.0f);

    struct Credit { const char* role; const char* names; };
    const Credit credits[] = {
        {"MADE BY", "the Verdance team"},
        {"ENGINE", "C++20 and OpenGL 4.3"},
        {"MUSIC", "synthesized by the baker, note by note"},
        {"THANKS", "stb, tinygltf, LAME and the DejaVu fonts"},
    };
    float y = 330.0f;
    for (const Credit& credit : credits) {
        paintText(page, fonts.sansBold, credit.role, 19.0f, 0.32f, 900.0f, y, kLabelStyle);
        paintText(page, fonts.sans, credit.names, 32.0f, 0.02f, 900.0f, y + 44.0f, kCreditStyle);
        y += 100.0f;
    }
    paintText(page, fonts.serif, "thank you for watching", 40.0f, 0.04f, 900.0f, 762.0f, kClosingStyle);
    return page;
}

}  // namespace

void bakeTitles(const BakeOptions& options) {
    const std::string folder = prepareFolder(options.assetsDir, "textures");
    if (folder.empty()) return;
    Fonts fonts;
    if (!fonts.load()) return;   // no picture without its words: the missing file is reported

    const int divisor = options.reduced ? kReducedDivisor : 1;
    const int width = kFullWidth / divisor, height = kFullHeight / divisor;
    const float s = 1.0f / static_cast<float>(divisor);
    // The engine's plane has v = 0 at its bottom edge and the first DDS row is uploaded as v = 0,
    // so the picture is stored bottom row first to read upright.
    writeDds(folder + "intro.dds", width, height, paintIntro(fonts, s, width, height).canvas.toRgba8(true),
             DdsFormat::DXT5);
    writeDds(folder + "credits.dds", width, height, paintCredits(fonts, s, width, height).canvas.toRgba8(true),
             DdsFormat::DXT5);
}

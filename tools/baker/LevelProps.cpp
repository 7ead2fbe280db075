#include "tools/baker/LevelProps.h"

#include "tools/baker/BakeMath.h"
#include "tools/baker/MaterialsLayout.h"
#include "tools/baker/MaterialsNoise.h"

#include <cmath>

namespace {

const glm::vec3 kUp(0.0f, 1.0f, 0.0f);

glm::vec3 bezier(const glm::vec3& p0, const glm::vec3& p1, const glm::vec3& p2, float t) {
    const float a = 1.0f - t;
    return a * a * p0 + 2.0f * a * t * p1 + t * t * p2;
}

glm::vec3 bezierTangent(const glm::vec3& p0, const glm::vec3& p1, const glm::vec3& p2, float t) {
    const glm::vec3 d = 2.0f * (1.0f - t) * (p1 - p0) + 2.0f * t * (p2 - p1);
    const float len = glm::length(d);
    return len > 1e-9f ? d / len : glm::normalize(p2 - p0);
}

glm::vec3 anyPerpendicular(const glm::vec3& v) {
    const glm::vec3 a = std::fabs(v.y) < 0.9f ? kUp : glm::vec3(1, 0, 0);
    return glm::normalize(glm::cross(a, v));
}

glm::vec3 horizontal(float angle) { return glm::vec3(std::cos(angle), 0.0f, std::sin(angle)); }

// A tube along a quadratic Bezier. The curve is planar, so the plane normal is a twist-free frame.
void addTube(LevelMesh& mesh, const glm::vec3& p0, const glm::vec3& p1, const glm::vec3& p2, float r0, float r1,
             int sides, int rows, const UvRect& uv, bool closeTip) {
    glm::vec3 n1 = glm::cross(p1 - p0, p2 - p0);
    n1 = glm::length(n1) > 1e-9f ? glm::normalize(n1) : anyPerpendicular(p2 - p0);
    mesh.addSurface(sides, rows,
                    [=](float s, float t) {
                        const glm::vec3 c = bezier(p0, p1, p2, t);
                        const glm::vec3 tangent = bezierTangent(p0, p1, p2, t);
                        const glm::vec3 n2 = glm::normalize(glm::cross(tangent, n1));
                        const float r = closeTip ? lerpf(r0, r1, t) * std::sqrt(std::max(0.0f, 1.0f - t)) + 1e-4f
                                                 : lerpf(r0, r1, t);
                        const float a = 2.0f * kPi * s;
                        return c + r * (std::cos(a) * n1 + std::sin(a) * n2);
                    },
                    uv, SurfaceOptions{true, false, false, closeTip});
}

// A surface of revolution around `axis`: profile(s, t) gives (radius, height along the axis);
// the height must grow with t so that the outside faces outwards.
void addRevolution(LevelMesh& mesh, const glm::vec3& center, const glm::vec3& axis, int sides, int rows,
                   const std::function<glm::vec2(float, float)>& profile, const UvRect& uv, bool poleBottom,
                   bool poleTop) {
    const glm::vec3 a = glm::normalize(axis);
    const glm::vec3 e1 = anyPerpendicular(a);
    const glm::vec3 e2 = glm::cross(a, e1);
    mesh.addSurface(sides, rows,
                    [=](float s, float t) {
                        const glm::vec2 rh = profile(s, t);
                        const float ang = 2.0f * kPi * s;
                        return center + rh.x * (std::cos(ang) * e1 + std::sin(ang) * e2) + rh.y * a;
                    },
                    uv, SurfaceOptions{true, false, poleBottom, poleTop});
}

// A thin two-sided blade (leaf, petal, grass blade, filament) along a quadratic Bezier spine.
// `side` spans the width; width(t) is the half-width; `cup` raises the edges, `wave` twists
// them in opposite directions with `waveFrequency` half-waves along the blade.
struct Blade {
    glm::vec3 p0, p1, p2;
    glm::vec3 side;
    std::function<float(float)> width;
    float cup = 0.0f;
    float wave = 0.0f;
    float waveFrequency = 0.0f;
};

void addBlade(LevelMesh& mesh, const Blade& b, const UvRect& uv, int across, int along, bool poleBase) {
    mesh.addSurface(across, along,
                    [b](float s, float t) {
                        const glm::vec3 c = bezier(b.p0, b.p1, b.p2, t);
                        const glm::vec3 tangent = bezierTangent(b.p0, b.p1, b.p2, t);
                        glm::vec3 side = b.side - tangent * glm::dot(b.side, tangent);
                        side = glm::length(side) > 1e-6f ? glm::normalize(side) : anyPerpendicular(tangent);
                        const glm::vec3 up = glm::cross(tangent, side);
                        const float x = 2.0f * s - 1.0f;
                        const float w = b.width(t);
                        const float lift = b.cup * std::pow(std::fabs(x), 1.5f) * w +
                                           b.wave * w * x * std::sin(kPi * b.waveFrequency * t);
                        return c + side * (x * w) + up * lift;
                    },
                    uv, SurfaceOptions{false, true, poleBase, true});
}

// The thistle's flower head at `c` facing `axis`: a spiny green bulb and the purple tuft above it.
void addThistleHead(LevelMesh& mesh, const glm::vec3& c, const glm::vec3& axis, float size, int sides) {
    const float rb = 0.036f * size, hb = 0.04f * size;
    addRevolution(mesh, c, axis, sides, 7,
                  [=](float s, float t) {
                      const float lat = -0.5f * kPi + t * 0.8f * kPi;   // bottom pole up to 54 degrees
                      const float a = 0.5f + 0.5f * std::cos(2.0f * kPi * (8.0f * s + 3.0f * t));
                      const float b = 0.5f + 0.5f * std::cos(2.0f * kPi * (8.0f * s - 3.0f * t));
                      const float bract = 1.0f + 0.16f * std::pow(a * b, 2.0f) * t;
                      return glm::vec2(rb * std::cos(lat) * bract, hb * std::sin(lat));
                  },
                  sheet::kThistleBulb, true, false);
    const float r0 = rb * std::cos(0.3f * kPi), y0 = hb * std::sin(0.3f * kPi);
    addRevolution(mesh, c, axis, sides, 4,
                  [=](float s, float t) {
                      const float flare = r0 * (1.0f + 0.6f * std::sin(t * 0.5f * kPi)) * std::cos(std::pow(t, 2.5f) * 0.5f * kPi);
                      const float fluting = 1.0f + 0.12f * std::sin(2.0f * kPi * 13.0f * s);
                      return glm::vec2(flare * fluting, y0 + 0.05f * size * std::sin(t * 0.5f * kPi));
                  },
                  sheet::kThistleTuft, false, true);
}

// Spiny thistle leaf: lobes end in spines that fall on grid rows, edges wave up and down.
void addThistleLeaf(LevelMesh& mesh, const glm::vec3& base, const glm::vec3& dir, float length, float width,
                    float droop, int lobes) {
    Blade b;
    b.p0 = base;
    b.p1 = base + dir * (length * 0.45f) + kUp * (length * 0.22f);
    b.p2 = base + dir * length + kUp * (length * 0.12f - droop);
    b.side = glm::cross(kUp, dir);
    b.width = [=](float t) {
        const float envelope = std::pow(std::max(0.0f, std::sin(kPi * t)), 0.8f) * (1.0f - 0.25f * t);
        const float lobe = std::pow(std::fabs(std::cos(kPi * lobes * t)), 3.0f);
        return width * envelope * (0.42f + 0.7f * lobe);
    };
    b.cup = 0.35f;
    b.wave = 0.45f;
    b.waveFrequency = 2.0f * lobes;
    addBlade(mesh, b, sheet::kThistleLeaf, 4, lobes * 4, true);
}

float stemRadiusNoise(float s, float t, std::uint32_t seed) {
    return 1.0f + 0.05f * noise::gradient(s * 6.0f, t * 12.0f, 6, 0, seed);
}

}  // namespace

float LevelProps::groundHeight(float x, float z) {
    // Gentle relief in the clearing (a few centimetres to a decimetre) and hills rising from 12 m.
    const float relief = 0.07f * std::sin(0.55f * x + 0.4f) * std::cos(0.47f * z - 0.3f) +
                         0.05f * std::sin(0.23f * x - 0.61f * z + 1.3f) + 0.025f * std::sin(1.3f * x + 0.9f * z);
    const float r = std::sqrt(x * x + z * z);
    const float angle = std::atan2(z, x);
    const float hills = (4.0f + 1.4f * std::sin(3.0f * angle + 0.5f) + 0.8f * std::sin(5.0f * angle + 2.0f)) *
                        std::pow(smoothStep(12.0f, 32.0f, r), 1.3f);
    return relief + hills;
}

LevelMesh LevelProps::ground(float coreHalf, int coreCells, float halfExtent, int outerCells) {
    // A rotation by about 23 degrees (a proper rotation, so the tangent frame keeps its handedness).
    const glm::mat2 uvTurn(std::cos(0.41f), std::sin(0.41f), -std::sin(0.41f), std::cos(0.41f));
    // Axis coordinates: even spacing over the clearing, then cells growing geometrically to the rim.
    std::vector<float> axis;
    const float core = 2.0f * coreHalf / coreCells;
    float growth = 1.0f;
    for (int iter = 0; iter < 60; ++iter) {   // find the growth ratio that reaches halfExtent
        float sum = 0.0f, cell = core;
        for (int k = 0; k < outerCells; ++k) sum += (cell *= growth);
        growth *= sum < halfExtent - coreHalf ? 1.01f : 0.995f;
    }
    std::vector<float> outer;
    float x = coreHalf, cell = core;
    for (int k = 0; k < outerCells; ++k) outer.push_back(x += (cell *= growth));
    outer.back() = halfExtent;
    for (int k = outerCells - 1; k >= 0; --k) axis.push_back(-outer[k]);
    for (int k = 0; k <= coreCells; ++k) axis.push_back(-coreHalf + core * k);
    for (float o : outer) axis.push_back(o);

    LevelMesh mesh;
    const int n = static_cast<int>(axis.size());
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const float px = axis[i], pz = axis[j];
            const float e = 0.05f;
            const float dx = (groundHeight(px + e, pz) - groundHeight(px - e, pz)) / (2 * e);
            const float dz = (groundHeight(px, pz + e) - groundHeight(px, pz - e)) / (2 * e);
            mesh.positions.push_back(glm::vec3(px, groundHeight(px, pz), pz));
            mesh.normals.push_back(glm::normalize(glm::vec3(-dx, 1.0f, -dz)));
            // u along +x and v along -z keep the tangent frame right-handed seen from above; the
            // texture grid is turned off the axes so its repeat never lines up with the clearing's
            // rows of plants or the flight's straight stretches.
            mesh.uvs.push_back(uvTurn * glm::vec2(px, -pz) / sheet::kGroundTileMetres);
        }
    }
    for (int j = 0; j + 1 < n; ++j) {
        for (int i = 0; i + 1 < n; ++i) {
            const std::uint32_t a = j * n + i, b = a + 1, c = a + n, d = c + 1;
            // Counter-clockwise seen from above: (x, z) -> (x, z+1) -> (x+1, z+1) winds around +Y.
            mesh.indices.insert(mesh.indices.end(), {a, c, d, a, d, b});
        }
    }
    return mesh;
}

LevelMesh LevelProps::thistle(std::uint64_t seed, float height, int detail) {
    BakeRandom rng(seed);
    LevelMesh mesh;
    const float lean = rng.range(0.0f, 2.0f * kPi);
    const glm::vec3 p0(0.0f, -0.04f, 0.0f);
    const glm::vec3 p1 = glm::vec3(0.0f, height * 0.5f, 0.0f) + horizontal(lean) * (0.03f * height);
    const glm::vec3 p2 = glm::vec3(0.0f, height, 0.0f) + horizontal(lean + 0.4f) * (0.08f * height);
    const std::uint32_t nseed = static_cast<std::uint32_t>(seed);
    {
        glm::vec3 n1 = glm::normalize(glm::cross(p1 - p0, p2 - p0));
        mesh.addSurface(8, 12,
                        [=](float s, float t) {
                            const glm::vec3 c = bezier(p0, p1, p2, t);
                            const glm::vec3 n2 = glm::normalize(glm::cross(bezierTangent(p0, p1, p2, t), n1));
                            // Ridged stem: eight shallow ribs.
                            const float r = lerpf(0.021f, 0.011f, t) * (1.0f + 0.08f * std::cos(2.0f * kPi * 8.0f * s)) *
                                            stemRadiusNoise(s, t, nseed);
                            const float a = 2.0f * kPi * s;
                            return c + r * (std::cos(a) * n1 + std::sin(a) * n2);
                        },
                        sheet::kThistleStem, SurfaceOptions{true, false, false, false});
    }
    const int sides = detail > 0 ? 18 : 10;
    addThistleHead(mesh, p2, bezierTangent(p0, p1, p2, 1.0f), 1.5f, sides);

    const int branches = detail > 0 ? 3 : 1;
    for (int k = 0; k < branches; ++k) {
        const float t = 0.52f + 0.12f * k;
        const glm::vec3 start = bezier(p0, p1, p2, t);
        const float angle = lean + kPi * (0.8f + 0.75f * k) + rng.range(-0.3f, 0.3f);
        const float len = height * rng.range(0.2f, 0.26f);
        const glm::vec3 end = start + horizontal(angle) * (len * 0.55f) + kUp * (len * 0.9f);
        const glm::vec3 ctrl = start + horizontal(angle) * (len * 0.45f) + kUp * (len * 0.25f);
        addTube(mesh, start, ctrl, end, 0.01f, 0.008f, 6, 6, sheet::kThistleStem, false);
        addThistleHead(mesh, end, bezierTangent(start, ctrl, end, 1.0f), rng.range(1.1f, 1.3f), sides);
    }

    const int leaves = detail > 0 ? 10 : 3;
    for (int k = 0; k < leaves; ++k) {
        const float f = static_cast<float>(k) / std::max(1, leaves - 1);
        const float t = 0.03f + 0.62f * f;
        const glm::vec3 base = bezier(p0, p1, p2, t);
        const float angle = lean + 2.39996f * k + rng.range(-0.25f, 0.25f);   // golden-angle phyllotaxis
        const float length = height * lerpf(0.42f, 0.17f, f) * rng.range(0.9f, 1.1f);
        addThistleLeaf(mesh, base, horizontal(angle), length, length * 0.25f, length * lerpf(0.35f, 0.15f, f),
                       detail > 0 ? 4 : 3);
    }
    return mesh;
}

LevelMesh LevelProps::flower(FlowerKind kind, std::uint64_t seed, glm::vec3* stemBase) {
    BakeRandom rng(seed);
    LevelMesh mesh;
    struct Shape {
        float height, tilt;
        int petals;
        float petalLength, petalWidth, rise0, rise1, cup, crinkle, center;
        int leaves;
    };
    Shape sh{};
    switch (kind) {
        case FlowerKind::Alive: sh = {rng.range(0.55f, 0.7f), 0.45f, 12, 0.08f, 0.025f, 0.3f, -0.2f, 0.4f, 0.0f, 0.025f, 2}; break;
        case FlowerKind::Hero:  sh = {0.8f, 0.38f, 16, 0.105f, 0.031f, 0.32f, -0.15f, 0.45f, 0.0f, 0.033f, 3}; break;
        case FlowerKind::Dead:  sh = {rng.range(0.5f, 0.6f), 2.2f, 8, 0.065f, 0.015f, -0.9f, -1.4f, 0.8f, 0.35f, 0.021f, 2}; break;
        case FlowerKind::Hope:  sh = {0.6f, 0.15f, 8, 0.085f, 0.034f, 1.05f, 1.3f, 0.55f, 0.0f, 0.02f, 3}; break;
    }
    const float heading = rng.range(0.0f, 2.0f * kPi);
    const glm::vec3 h = horizontal(heading);
    // Facing: tilted from straight up by `tilt` radians towards the heading (the dead ones hang).
    const glm::vec3 facing = glm::normalize(h * std::sin(sh.tilt) + kUp * std::cos(sh.tilt));
    const glm::vec3 base = glm::vec3(0.0f, -sh.height, 0.0f) - h * (kind == FlowerKind::Dead ? 0.14f : 0.06f * sh.height);
    *stemBase = base;

    // Stem: rises from the base and arrives at the head from behind its face.
    {
        const glm::vec3 end = -facing * 0.018f;
        const glm::vec3 ctrl = kind == FlowerKind::Dead ? base + kUp * (sh.height * 1.25f) + h * 0.04f
                                                        : base + kUp * (sh.height * 0.65f);
        addTube(mesh, base + glm::vec3(0, -0.03f, 0), ctrl, end, 0.0085f, 0.0062f, 6, 10, sheet::kFlowerStem, false);
    }
    // Calyx cup holding the blossom.
    addRevolution(mesh, glm::vec3(0.0f), facing, 10, 3,
                  [=](float, float t) {
                      return glm::vec2(sh.center * 0.75f * std::sin(t * 0.5f * kPi) + 0.006f * std::sin(t * kPi),
                                       -0.024f + 0.023f * t);
                  },
                  sheet::kFlowerCalyx, true, false);
    // Central disc of florets, a low dome painted in polar coordinates.
    addRevolution(mesh, glm::vec3(0.0f), facing, 14, 4,
                  [=](float s, float t) {
                      const float bump = 1.0f + 0.04f * std::sin(2.0f * kPi * 7.0f * s);
                      return glm::vec2(sh.center * std::cos(t * 0.5f * kPi) * bump,
                                       0.002f + sh.center * 0.55f * std::sin(t * 0.5f * kPi));
                  },
                  sheet::kFlowerCenter, false, true);
    // Petals radiate from under the disc; rise0/rise1 are the spine's angles above the disc plane.
    const glm::vec3 e1 = anyPerpendicular(facing);
    const glm::vec3 e2 = glm::cross(facing, e1);
    for (int k = 0; k < sh.petals; ++k) {
        const float phi = 2.0f * kPi * k / sh.petals + rng.range(-0.12f, 0.12f);
        const glm::vec3 e = std::cos(phi) * e1 + std::sin(phi) * e2;
        const float len = sh.petalLength * rng.range(0.88f, 1.1f);
        const float r0 = sh.center * 0.55f;
        const float a0 = sh.rise0 + rng.range(-0.1f, 0.1f), a1 = sh.rise1 + rng.range(-0.15f, 0.15f);
        Blade b;
        b.p0 = e * r0 + facing * 0.001f;
        b.p1 = b.p0 + (e * std::cos(a0) + facing * std::sin(a0)) * (len * 0.5f);
        b.p2 = b.p1 + (e * std::cos(a1) + facing * std::sin(a1)) * (len * 0.5f);
        b.side = glm::cross(facing, e);
        const float w = sh.petalWidth * rng.range(0.9f, 1.1f);
        b.width = [=](float t) { return w * std::pow(std::max(0.0f, std::sin(kPi * (0.1f + 0.9f * t))), 0.6f) * (0.55f + 0.45f * t); };
        b.cup = sh.cup;
        b.wave = sh.crinkle;
        b.waveFrequency = 7.0f;
        addBlade(mesh, b, sheet::kFlowerPetal, 2, 6, false);
    }
    // Leaves from the foot of the stem.
    for (int k = 0; k < sh.leaves; ++k) {
        const float angle = heading + kPi * 0.6f + 2.3f * k + rng.range(-0.3f, 0.3f);
        const glm::vec3 d = horizontal(angle);
        const float len = rng.range(0.2f, 0.28f) * (kind == FlowerKind::Hope ? 1.15f : 1.0f);
        const glm::vec3 start = base + kUp * (0.02f + 0.05f * k);
        const float droop = kind == FlowerKind::Dead ? len * 0.9f : len * 0.3f;
        Blade b;
        b.p0 = start;
        b.p1 = start + d * (len * 0.35f) + kUp * (len * 0.45f);
        b.p2 = start + d * len + kUp * (len * 0.3f - droop);
        b.side = glm::cross(kUp, d);
        const float w = len * 0.14f;
        b.width = [=](float t) { return w * std::pow(std::max(0.0f, std::sin(kPi * t)), 0.7f); };
        b.cup = 0.3f;
        b.wave = kind == FlowerKind::Dead ? 0.5f : 0.1f;
        b.waveFrequency = kind == FlowerKind::Dead ? 6.0f : 2.0f;
        addBlade(mesh, b, sheet::kFlowerLeaf, 2, 8, true);
    }
    return mesh;
}

LevelMesh LevelProps::grassTuft(std::uint64_t seed, int blades, float size) {
    BakeRandom rng(seed);
    LevelMesh mesh;
    for (int k = 0; k < blades; ++k) {
        const float angle = rng.range(0.0f, 2.0f * kPi);
        const glm::vec3 out = horizontal(angle);
        const float r = 0.08f * size * std::sqrt(rng.unit());
        const float height = rng.range(0.2f, 0.55f) * size;
        const float bend = rng.range(0.15f, 0.6f);
        const glm::vec3 base = out * r + glm::vec3(0.0f, -0.02f, 0.0f);
        Blade b;
        b.p0 = base;
        b.p1 = base + kUp * (height * 0.6f) + out * (height * bend * 0.2f);
        b.p2 = base + kUp * (height * (1.0f - 0.35f * bend)) + out * (height * bend * 0.75f);
        b.side = glm::cross(kUp, out) + kUp * 0.0f;
        b.side = glm::normalize(b.side + out * rng.range(-0.4f, 0.4f));
        const float w = rng.range(0.004f, 0.0065f);
        b.width = [=](float t) { return w * (1.0f - t * t); };
        b.cup = 0.4f;
        addBlade(mesh, b, sheet::grassBlade(rng.below(sheet::kGrassVariants)), 1, 4, false);
    }
    return mesh;
}

LevelMesh LevelProps::rock(std::uint64_t seed, const glm::vec3& size, int detail) {
    BakeRandom rng(seed);
    const glm::vec3 offset(rng.range(0.0f, 50.0f), rng.range(0.0f, 50.0f), rng.range(0.0f, 50.0f));
    const std::uint32_t nseed = static_cast<std::uint32_t>(seed);
    LevelMesh mesh;
    mesh.addSurface(detail > 0 ? 20 : 10, detail > 0 ? 12 : 6,
                    [=](float s, float t) {
                        const float lat = -0.5f * kPi + kPi * t, lon = 2.0f * kPi * s;
                        // Around +Y with the angle turning from +X towards -Z: outward faces out.
                        const glm::vec3 dir(std::cos(lat) * std::cos(lon), std::sin(lat), -std::cos(lat) * std::sin(lon));
                        const glm::vec3 q = dir * 1.6f + offset;
                        const float r = 1.0f + 0.2f * noise::fbm3(q.x, q.y, q.z, 4, nseed) +
                                        0.1f * std::fabs(noise::fbm3(q.x * 2.5f, q.y * 2.5f, q.z * 2.5f, 2, nseed + 7u));
                        glm::vec3 p = dir * r * size;
                        p.y = std::max(p.y, -0.45f * size.y);   // flat underside, sunk into the soil
                        return p;
                    },
                    sheet::kRock, SurfaceOptions{true, false, true, true});
    return mesh;
}

LevelMesh LevelProps::stump(std::uint64_t seed) {
    BakeRandom rng(seed);
    const float radius = 0.21f, top = 0.42f, bottom = -0.14f;
    const float phase = rng.range(0.0f, 6.0f);
    const std::uint32_t nseed = static_cast<std::uint32_t>(seed);
    auto cutHeight = [=](float s) {
        return top + 0.03f * std::sin(2.0f * kPi * s * 2.0f + phase) + 0.012f * std::sin(2.0f * kPi * s * 7.0f);
    };
    auto surface = [=](float s, float t) {
        const float y = lerpf(bottom, cutHeight(s), t);
        const float lobes = std::pow(std::max(0.0f, std::cos(2.0f * kPi * 5.0f * s + phase)), 3.0f);
        const float flare = 1.0f + 0.5f * lobes * std::exp(-(y - bottom) / 0.13f) + 0.12f * std::exp(-(y - bottom) / 0.25f);
        const float ridges = 1.0f + 0.025f * std::sin(2.0f * kPi * 23.0f * s + 3.0f * noise::gradient(s * 8.0f, t * 3.0f, 8, 0, nseed));
        const float r = radius * flare * ridges;
        const float a = 2.0f * kPi * s;
        return glm::vec3(r * std::cos(a), y, -r * std::sin(a));
    };
    LevelMesh mesh;
    const int sides = 32;
    mesh.addSurface(sides, 9, surface, sheet::kBark, SurfaceOptions{true, false, false, false});
    // The saw cut, slightly inset so its rim reads as bark thickness.
    std::vector<glm::vec3> ring;
    for (int i = 0; i < sides; ++i) {
        const float s = static_cast<float>(i) / sides;
        glm::vec3 p = surface(s, 1.0f);
        p.x *= 0.995f;
        p.z *= 0.995f;
        ring.push_back(p);
    }
    mesh.addDisc(glm::vec3(0.0f, top, 0.0f), ring, glm::vec3(0, 1, 0), glm::vec3(1, 0, 0), sheet::kRings);
    return mesh;
}

LevelMesh LevelProps::log(std::uint64_t seed) {
    BakeRandom rng(seed);
    const float length = 1.9f, radius = 0.15f;
    const std::uint32_t nseed = static_cast<std::uint32_t>(seed);
    const glm::vec3 offset(rng.range(0.0f, 40.0f), rng.range(0.0f, 40.0f), 0.0f);
    // Along +X; the angle turns from +Y towards +Z, which winds outwards around +X.
    auto surface = [=](float s, float t) {
        const float x = lerpf(-0.5f * length, 0.5f * length, t);
        const float a = 2.0f * kPi * s;
        const float taper = lerpf(1.08f, 0.86f, t);
        const float knots = 0.06f * noise::fbm3(x * 3.0f + offset.x, std::cos(a) * 1.5f, std::sin(a) * 1.5f + offset.y, 3, nseed);
        const float ridges = 0.02f * std::sin(2.0f * kPi * 17.0f * s + 2.0f * std::sin(x * 4.0f));
        const float r = radius * taper * (1.0f + knots + ridges);
        return glm::vec3(x, 0.035f * std::sin(x * 1.7f) + r * std::cos(a), r * std::sin(a));
    };
    LevelMesh mesh;
    const int sides = 22, rows = 14;
    mesh.addSurface(sides, rows, surface, sheet::kBark, SurfaceOptions{true, false, false, false});
    for (int end = 0; end < 2; ++end) {
        const float t = static_cast<float>(end);
        std::vector<glm::vec3> ring;
        glm::vec3 center(0.0f);
        for (int i = 0; i < sides; ++i) {
            // The +X end winds around +X as the surface does; the -X end runs the other way.
            const float s = end == 1 ? static_cast<float>(i) / sides : 1.0f - static_cast<float>(i) / sides;
            ring.push_back(surface(s, t));
            center += ring.back();
        }
        center /= static_cast<float>(sides);
        const glm::vec3 n = end == 1 ? glm::vec3(1, 0, 0) : glm::vec3(-1, 0, 0);
        mesh.addDisc(center, ring, n, glm::vec3(0, 1, 0), sheet::kRings);
    }
    // A broken-off branch stub with its own cut end.
    const glm::vec3 root(0.25f, radius * 0.75f, radius * 0.45f);
    const glm::vec3 stubBase = root - glm::vec3(0.0f, 0.04f, 0.02f);
    const glm::vec3 stubCtrl = root + glm::vec3(0.04f, 0.08f, 0.04f);
    const glm::vec3 tip = root + glm::vec3(0.1f, 0.16f, 0.09f);
    addTube(mesh, stubBase, stubCtrl, tip, 0.045f, 0.03f, 8, 4, sheet::kBark, false);
    {
        // The same frame as the tube's end ring, so the cap closes it exactly.
        const glm::vec3 n1 = glm::normalize(glm::cross(stubCtrl - stubBase, tip - stubBase));
        const glm::vec3 axis = bezierTangent(stubBase, stubCtrl, tip, 1.0f);
        const glm::vec3 n2 = glm::normalize(glm::cross(axis, n1));
        std::vector<glm::vec3> ring;
        for (int i = 0; i < 8; ++i) {
            const float a = 2.0f * kPi * i / 8.0f;
            ring.push_back(tip + 0.03f * (std::cos(a) * n1 + std::sin(a) * n2));
        }
        mesh.addDisc(tip, ring, axis, n1, sheet::kRings);
    }
    return mesh;
}

LevelMesh LevelProps::thistleSeed(std::uint64_t seed) {
    BakeRandom rng(seed);
    LevelMesh mesh;
    addRevolution(mesh, glm::vec3(0.0f, -0.014f, 0.0f), kUp, 6, 4,
                  [](float, float t) { return glm::vec2(0.0035f * std::sin(kPi * t), -0.006f * std::cos(kPi * t)); },
                  sheet::kSeedBody, true, true);
    const int filaments = 16;
    for (int k = 0; k < filaments; ++k) {
        const float angle = 2.0f * kPi * k / filaments + rng.range(-0.15f, 0.15f);
        const glm::vec3 out = horizontal(angle);
        const float elevation = rng.range(0.35f, 0.8f), len = rng.range(0.06f, 0.085f);
        const glm::vec3 dir = out * std::cos(elevation) + kUp * std::sin(elevation);
        Blade b;
        b.p0 = glm::vec3(0.0f, -0.008f, 0.0f);
        b.p1 = b.p0 + (dir + kUp * 0.4f) * (len * 0.45f);
        b.p2 = b.p0 + dir * len;
        b.side = glm::cross(kUp, out);
        b.width = [](float t) { return 0.0035f * std::sqrt(1.0f - t) * (0.4f + 0.6f * t); };
        addBlade(mesh, b, sheet::kSeedFilament, 1, 3, false);
    }
    return mesh;
}

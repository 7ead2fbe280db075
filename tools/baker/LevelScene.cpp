#include "tools/baker/LevelScene.h"

#include "tools/baker/BakeMath.h"
#include "tools/baker/LevelProps.h"
#include "tools/baker/MaterialsNoise.h"
#include "tools/baker/Sky.h"

#include <glm/gtc/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <set>

namespace {

constexpr float kPropKeyStep = 0.5f;    // seconds between keys of swaying props
constexpr float kCameraKeyStep = 0.5f;

std::string numbered(const std::string& base, int index) {
    if (index == 0) return base;
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, ".%03d", index);
    return base + buffer;
}

glm::vec3 onGround(float x, float z, float sink = 0.0f) {
    return glm::vec3(x, LevelProps::groundHeight(x, z) - sink, z);
}

glm::quat yaw(float angle) { return glm::angleAxis(angle, glm::vec3(0, 1, 0)); }

struct Sway {
    float amplitude;   // radians
    float period;      // seconds
    float phase;
};

// Wind sway around the foot of a plant. The mesh's origin may sit above the foot (a flower's head):
// `footToOrigin` is that offset in the unrotated mesh frame, and the translation track moves the
// origin so that the foot stays planted while the plant bends.
NodeTrack swayTrack(const glm::vec3& foot, const glm::vec3& footToOrigin, const glm::quat& rest, const Sway& sway,
                    const std::function<float(float)>& scaleAt, float step) {
    NodeTrack track;
    const int keys = static_cast<int>(std::lround(kPlaySeconds / step));
    for (int k = 0; k <= keys; ++k) {
        const float t = k == keys ? kPlaySeconds : static_cast<float>(k) * step;
        const float gust = 0.65f + 0.35f * std::sin(2.0f * kPi * t / 23.0f + sway.phase * 0.3f);
        const float ax = sway.amplitude * gust *
                         (0.75f * std::sin(2.0f * kPi * t / sway.period + sway.phase) +
                          0.25f * std::sin(2.0f * kPi * t / (sway.period * 0.37f) + 1.7f * sway.phase));
        const float az = 0.6f * sway.amplitude * gust * std::sin(2.0f * kPi * t / (sway.period * 1.31f) + 0.5f * sway.phase);
        const glm::quat r = glm::normalize(glm::angleAxis(ax, glm::vec3(1, 0, 0)) *
                                           glm::angleAxis(az, glm::vec3(0, 0, 1)) * rest);
        const float s = scaleAt(t);
        track.times.push_back(t);
        track.rotations.push_back(r);
        track.scales.push_back(glm::vec3(s));
        track.translations.push_back(foot + r * (s * footToOrigin));
    }
    LevelAnimation::keepShortArc(track.rotations);
    return track;
}

float constantScale(float) { return 1.0f; }

// flower_hope stays a small sprout until the light change, then grows to full size.
float hopeScale(float t) { return 0.4f + 0.6f * smoothStep(kLightChangeSeconds, kLightChangeSeconds + 22.0f, t); }

// A thistle-down seed carried by the breeze along a slow loop, turning as it goes.
NodeTrack driftTrack(const glm::vec3& start, const glm::vec3& wind, float wobble, float phase, float step) {
    NodeTrack track;
    const int keys = static_cast<int>(std::lround(kPlaySeconds / step));
    for (int k = 0; k <= keys; ++k) {
        const float t = k == keys ? kPlaySeconds : static_cast<float>(k) * step;
        const glm::vec3 p = start + wind * t +
                            glm::vec3(wobble * std::sin(0.11f * t + phase), 0.25f * std::sin(0.23f * t + 2.0f * phase),
                                      wobble * std::cos(0.083f * t + phase));
        const glm::quat r = glm::normalize(yaw(0.35f * t + phase) *
                                           glm::angleAxis(0.25f * std::sin(0.4f * t + phase), glm::vec3(1, 0, 0)));
        track.times.push_back(t);
        track.translations.push_back(p);
        track.rotations.push_back(r);
        track.scales.push_back(glm::vec3(1.0f));
    }
    LevelAnimation::keepShortArc(track.rotations);
    return track;
}

void setRestPose(LevelObject& o) {
    o.translation = o.track.translations.front();
    o.rotation = o.track.rotations.front();
    o.scale = o.track.scales.front();
}

struct FlowerSpot {
    float x, z;
};

struct ThistleSpot {
    float x, z, height;
};

struct RockSpot {
    float x, z;
    glm::vec3 size;
};

// Hand-placed layout of the clearing (metres; the flight starts on +Z looking towards -Z).
const ThistleSpot kThistles[] = {{-1.2f, -0.5f, 1.65f},  {-0.45f, -1.25f, 1.4f}, {-1.95f, -1.35f, 1.5f},
                                 {-0.8f, 0.35f, 1.2f}, {-2.15f, -0.15f, 1.3f},  {4.7f, 2.6f, 1.45f}};
const FlowerSpot kAlive[] = {{1.25f, 2.1f}, {2.05f, 1.35f}, {0.35f, 1.0f}, {2.7f, 2.5f}, {1.6f, 0.45f}};
const FlowerSpot kDead[] = {{2.6f, -3.7f}, {3.3f, -4.15f}, {2.25f, -4.5f}};
const FlowerSpot kHope{-2.6f, -5.6f};
const FlowerSpot kStump{-3.35f, -6.25f};
const FlowerSpot kLog{3.4f, -6.3f};
const RockSpot kRocks[] = {{5.6f, -0.6f, {0.45f, 0.32f, 0.38f}},  {-5.7f, 1.6f, {0.6f, 0.4f, 0.5f}},
                           {-0.2f, -3.4f, {0.28f, 0.2f, 0.25f}},  {-3.0f, 3.8f, {0.35f, 0.25f, 0.3f}},
                           {6.4f, -5.4f, {0.7f, 0.5f, 0.6f}},    {-7.2f, -3.2f, {0.5f, 0.35f, 0.45f}}};

// The flight: approach, a circle around the thistles, past the dead flowers, to flower_hope at
// the light change, a slow turn around it while it grows, past the hero flower, then up.
std::vector<CameraWaypoint> flightWaypoints() {
    const glm::vec3 thistles(-1.2f, 0.95f, -0.6f);
    const glm::vec3 hope(kHope.x, 0.0f, kHope.z);
    auto around = [](const glm::vec3& c, float radius, float degrees, float height) {
        const float a = degrees * kPi / 180.0f;
        return glm::vec3(c.x + radius * std::cos(a), height, c.z + radius * std::sin(a));
    };
    return {
        {0.0f, {1.8f, 2.3f, 13.0f}, thistles},
        {10.0f, {1.6f, 2.0f, 10.0f}, thistles},
        {20.0f, {1.3f, 1.65f, 6.6f}, thistles},
        {28.0f, around(thistles, 4.3f, 70.0f, 1.5f), thistles},
        {36.0f, around(thistles, 3.7f, 45.0f, 1.45f), thistles + glm::vec3(0.0f, 0.05f, 0.0f)},
        {44.0f, around(thistles, 3.4f, 10.0f, 1.35f), thistles},
        {52.0f, around(thistles, 3.3f, -25.0f, 1.45f), thistles + glm::vec3(0.0f, 0.1f, 0.0f)},
        {56.0f, around(thistles, 3.4f, -40.0f, 1.4f), glm::vec3(0.6f, 0.6f, -5.2f)},
        {59.0f, around(thistles, 3.5f, -55.0f, 1.3f), glm::vec3(3.4f, 0.35f, -4.4f)},
        {66.0f, {2.1f, 0.95f, -2.55f}, {2.75f, 0.25f, -4.1f}},
        {72.0f, {0.9f, 0.9f, -3.7f}, {2.75f, 0.25f, -4.2f}},
        {79.0f, {-0.7f, 0.85f, -4.2f}, hope + glm::vec3(0.0f, 0.2f, 0.0f)},
        {85.0f, {-1.8f, 0.62f, -4.85f}, hope + glm::vec3(0.0f, 0.22f, 0.0f)},
        {93.0f, around(hope, 1.25f, 75.0f, 0.7f), hope + glm::vec3(0.0f, 0.28f, 0.0f)},
        {101.0f, around(hope, 1.4f, 105.0f, 0.8f), hope + glm::vec3(0.0f, 0.4f, 0.0f)},
        {109.0f, around(hope, 1.7f, 140.0f, 1.0f), hope + glm::vec3(0.0f, 0.5f, 0.0f)},
        {117.0f, {-4.6f, 1.3f, -2.6f}, {-1.8f, 0.8f, -0.6f}},
        {125.0f, {-4.0f, 1.3f, 1.3f}, {-1.2f, 0.8f, 0.2f}},
        {132.0f, {-1.6f, 1.1f, 3.1f}, {0.35f, 0.5f, 1.0f}},
        {139.0f, {0.5f, 0.95f, 2.75f}, {0.35f, 0.45f, 1.0f}},
        {147.0f, {1.5f, 2.0f, 4.4f}, {0.0f, 0.5f, 0.0f}},
        {156.0f, {2.0f, 4.1f, 6.3f}, {-0.5f, 0.3f, -1.5f}},
        {165.0f, {2.4f, 6.3f, 7.6f}, {-0.8f, 0.0f, -2.4f}},
    };
}

// Grass tufts: scattered by rejection sampling over a ring, away from the other props and from
// wherever the flight passes low.
std::vector<glm::vec2> grassSpots(int count, float innerRadius, float outerRadius, std::uint64_t seed,
                                  const std::vector<glm::vec2>& occupied, const NodeTrack& flight) {
    std::vector<glm::vec2> lowFlight;
    for (std::size_t k = 0; k < flight.times.size(); ++k) {
        const glm::vec3& eye = flight.translations[k];
        if (eye.y - LevelProps::groundHeight(eye.x, eye.z) < 1.6f) lowFlight.push_back({eye.x, eye.z});
    }
    BakeRandom rng(seed);
    std::vector<glm::vec2> spots;
    for (int attempt = 0; attempt < 8000 && static_cast<int>(spots.size()) < count; ++attempt) {
        const float a = rng.range(0.0f, 2.0f * kPi);
        const float r = std::sqrt(lerpf(innerRadius * innerRadius, outerRadius * outerRadius, rng.unit()));
        const glm::vec2 p(r * std::cos(a), r * std::sin(a));
        bool free = true;
        for (const glm::vec2& o : occupied) free = free && glm::distance(p, o) > 0.6f;
        for (const glm::vec2& o : spots) free = free && glm::distance(p, o) > 0.9f;
        for (const glm::vec2& o : lowFlight) free = free && glm::distance(p, o) > 1.0f;
        if (free) spots.push_back(p);
    }
    return spots;
}

}  // namespace

glm::vec3 sunDirection() { return -kSunDirection; }

void sampleTrack(const NodeTrack& track, float t, glm::vec3* translation, glm::quat* rotation, glm::vec3* scale) {
    const std::size_t n = track.times.size();
    std::size_t i = 0;
    while (i + 2 < n && track.times[i + 1] <= t) ++i;
    float f = n < 2 ? 0.0f : (t - track.times[i]) / (track.times[i + 1] - track.times[i]);
    f = clamp01(f);
    const std::size_t j = std::min(i + 1, n - 1);
    *translation = glm::mix(track.translations[i], track.translations[j], f);
    *rotation = glm::slerp(track.rotations[i], track.rotations[j], f);
    *scale = glm::mix(track.scales[i], track.scales[j], f);
}

std::string LevelScene::materialName(const std::string& nodeName) {
    std::string out;
    for (char c : nodeName)
        if (c != '.' && (c < '0' || c > '9')) out += c;
    return out;
}

std::vector<std::string> LevelScene::materialNames() const {
    std::set<std::string> names;
    for (const LevelObject& o : objects) names.insert(materialName(o.name));
    return std::vector<std::string>(names.begin(), names.end());
}

std::size_t LevelScene::triangleCount() const {
    std::size_t n = 0;
    for (const LevelObject& o : objects) n += o.mesh.triangleCount();
    return n;
}

LevelScene LevelScene::build(bool reduced) {
    LevelScene scene;
    const int detail = reduced ? 0 : 1;
    const float step = reduced ? 5.0f : kPropKeyStep;

    {
        LevelObject ground;
        ground.name = "ground";
        ground.mesh = reduced ? LevelProps::ground(12.0f, 12, 45.0f, 3) : LevelProps::ground(12.0f, 40, 45.0f, 10);
        scene.objects.push_back(std::move(ground));
    }

    const int thistleCount = reduced ? 1 : static_cast<int>(std::size(kThistles));
    for (int i = 0; i < thistleCount; ++i) {
        const ThistleSpot& spot = kThistles[i];
        LevelObject o;
        o.name = numbered("thistle", i);
        o.mesh = LevelProps::thistle(0x7415u + 31u * i, spot.height, detail);
        o.animated = true;
        o.track = swayTrack(onGround(spot.x, spot.z), glm::vec3(0.0f), yaw(1.3f * i),
                            Sway{0.025f, 5.5f + 0.7f * i, 1.9f * i}, constantScale, step);
        setRestPose(o);
        scene.objects.push_back(std::move(o));
    }

    auto addFlower = [&](const std::string& name, FlowerKind kind, std::uint64_t seed, const FlowerSpot& spot,
                         const Sway& sway, const std::function<float(float)>& scaleAt) {
        LevelObject o;
        o.name = name;
        glm::vec3 stemBase;
        o.mesh = LevelProps::flower(kind, seed, &stemBase);
        o.animated = true;
        o.track = swayTrack(onGround(spot.x, spot.z), -stemBase, glm::quat(1, 0, 0, 0), sway, scaleAt, step);
        setRestPose(o);
        scene.objects.push_back(std::move(o));
    };
    const int aliveCount = reduced ? 3 : static_cast<int>(std::size(kAlive));
    for (int i = 0; i < aliveCount; ++i)
        addFlower(numbered("flower_alive", i), i == 2 ? FlowerKind::Hero : FlowerKind::Alive, 0xF10Au + 17u * i,
                  kAlive[i], Sway{0.06f, 3.6f + 0.45f * i, 2.3f * i}, constantScale);
    const int deadCount = reduced ? 1 : static_cast<int>(std::size(kDead));
    for (int i = 0; i < deadCount; ++i)
        addFlower(numbered("flower_dead", i), FlowerKind::Dead, 0xDEADu + 13u * i, kDead[i],
                  Sway{0.03f, 6.5f + 0.8f * i, 1.1f + i}, constantScale);
    addFlower("flower_hope", FlowerKind::Hope, 0x40BEu, kHope, Sway{0.05f, 4.2f, 0.7f}, hopeScale);

    const int rockCount = reduced ? 1 : static_cast<int>(std::size(kRocks));
    for (int i = 0; i < rockCount; ++i) {
        LevelObject o;
        o.name = numbered("rock", i);
        o.mesh = LevelProps::rock(0x20C4u + 7u * i, kRocks[i].size, detail);
        o.translation = onGround(kRocks[i].x, kRocks[i].z, 0.3f * kRocks[i].size.y);
        o.rotation = yaw(0.9f * i + 0.3f);
        scene.objects.push_back(std::move(o));
    }

    if (!reduced) {
        {
            LevelObject o;
            o.name = "stump";
            o.mesh = LevelProps::stump(0x5707u);
            o.translation = onGround(kStump.x, kStump.z);
            o.rotation = yaw(0.4f);
            scene.objects.push_back(std::move(o));
        }
        {
            LevelObject o;
            o.name = "log";
            o.mesh = LevelProps::log(0x1066u);
            o.translation = onGround(kLog.x, kLog.z, 0.04f) + glm::vec3(0.0f, 0.15f * 0.75f, 0.0f);
            o.rotation = yaw(0.55f);
            scene.objects.push_back(std::move(o));
        }
        std::vector<glm::vec2> occupied;
        for (const ThistleSpot& s : kThistles) occupied.push_back({s.x, s.z});
        for (const FlowerSpot& s : kAlive) occupied.push_back({s.x, s.z});
        for (const FlowerSpot& s : kDead) occupied.push_back({s.x, s.z});
        for (const RockSpot& s : kRocks) occupied.push_back({s.x, s.z});
        occupied.push_back({kHope.x, kHope.z});
        occupied.push_back({kStump.x, kStump.z});
        for (int k = -1; k <= 1; ++k) occupied.push_back({kLog.x + 0.8f * k, kLog.z - 0.5f * k});
        // Short tufts in the clearing, taller meadow grass towards its rim.
        const NodeTrack flight = LevelAnimation::cameraTrack(flightWaypoints(), kCameraKeyStep);
        std::vector<glm::vec2> tufts = grassSpots(28, 0.0f, 9.5f, 0x6A55u, occupied, flight);
        const std::size_t inner = tufts.size();
        const std::vector<glm::vec2> rim = grassSpots(16, 9.5f, 13.0f, 0x6A56u, occupied, flight);
        tufts.insert(tufts.end(), rim.begin(), rim.end());
        for (std::size_t i = 0; i < tufts.size(); ++i) {
            LevelObject o;
            o.name = numbered("grass", static_cast<int>(i));
            o.mesh = LevelProps::grassTuft(0x6A5u + 11u * i, 18 + static_cast<int>(i % 3) * 5, i < inner ? 1.0f : 1.6f);
            o.translation = onGround(tufts[i].x, tufts[i].y);
            o.rotation = yaw(1.7f * static_cast<float>(i));
            scene.objects.push_back(std::move(o));
        }
        const glm::vec3 seedStarts[] = {{-6.5f, 1.2f, 3.5f}, {6.0f, 1.6f, 3.0f}, {-1.0f, 2.4f, -7.0f}};
        const glm::vec3 seedWinds[] = {{0.07f, 0.004f, -0.035f}, {-0.06f, 0.003f, -0.045f}, {0.02f, -0.004f, 0.06f}};
        for (int i = 0; i < 3; ++i) {
            LevelObject o;
            o.name = numbered("thistle_seed", i);
            o.mesh = LevelProps::thistleSeed(0x5EEDu + 5u * i);
            o.animated = true;
            o.track = driftTrack(seedStarts[i], seedWinds[i], 0.8f, 1.3f * i, 1.0f);
            setRestPose(o);
            scene.objects.push_back(std::move(o));
        }
    }
    for (LevelObject& o : scene.objects) o.mesh.computeTangents();

    // Lights. The sun node sits up-light of the clearing so its 14 x 14 m shadow box, looking
    // along the light, is centred on the plants and the whole clearing lies within 25 m of it.
    const glm::vec3 sun = sunDirection();
    const glm::vec3 hopeFoot = onGround(kHope.x, kHope.z);
    const glm::vec3 spotPosition = hopeFoot + glm::vec3(1.1f, 2.7f, 1.4f);
    const glm::vec3 spotTarget = hopeFoot + glm::vec3(0.0f, 0.3f, 0.0f);
    scene.lights = {
        {"Sun", "directional", {1.0f, 0.6f, 0.34f}, 2.5f, glm::vec3(0.0f, 0.0f, -2.0f) - sun * 11.0f,
         LevelAnimation::lookRotation(sun)},
        {"Point.001", "point", {1.0f, 0.7f, 0.4f}, 3.0f, {-0.6f, 2.4f, 0.9f}},
        {"Point.002", "point", {0.7f, 1.0f, 0.5f}, 3.0f, {-2.1f, 2.0f, -4.7f}},
        {"Point.003", "point", {0.62f, 0.48f, 0.95f}, 3.0f, {2.6f, 2.1f, -3.1f}},
        {"Spot.001", "spot", {1.0f, 0.95f, 0.75f}, 6.0f, spotPosition,
         LevelAnimation::lookRotation(spotTarget - spotPosition), 0.22f, 0.42f},
    };

    scene.camera.track = LevelAnimation::cameraTrack(flightWaypoints(), reduced ? 5.0f : kCameraKeyStep);
    return scene;
}

#include "app/FramePasses.h"
#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "render/Level.h"
#include "render/LightBuffers.h"
#include "render/SimpleDepthMap.h"
#include "scene/Camera.h"
#include "scene/Object.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"
#include "tests/support/TwoOutputTarget.h"
#include "tests/unit/GltfFixture.h"

#include <gtest/gtest.h>
#include <glm/gtc/quaternion.hpp>

#include <cstring>
#include <functional>

namespace {

using nlohmann::json;

constexpr int kSize = 160;

// Adds an indexed mesh with positions, normals, tangents and UVs; returns the mesh index.
int addMesh(fixture::Gltf& gltf, const std::string& name, const std::vector<glm::vec3>& positions,
            const std::vector<glm::vec3>& normals, const std::vector<std::uint16_t>& indices) {
    std::vector<float> p, n, t, uv;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        p.insert(p.end(), {positions[i].x, positions[i].y, positions[i].z});
        n.insert(n.end(), {normals[i].x, normals[i].y, normals[i].z});
        // Any tangent perpendicular to the normal will do for flat faces.
        const glm::vec3 tangent = glm::normalize(glm::cross(normals[i], glm::vec3(0.3f, 0.5f, 0.8f)));
        t.insert(t.end(), {tangent.x, tangent.y, tangent.z, 1.0f});
        uv.insert(uv.end(), {positions[i].x * 0.5f, positions[i].z * 0.5f});
    }
    json attributes = {{"POSITION", gltf.addFloats(p, "VEC3")}, {"NORMAL", gltf.addFloats(n, "VEC3")},
                       {"TANGENT", gltf.addFloats(t, "VEC4")}, {"TEXCOORD_0", gltf.addFloats(uv, "VEC2")}};
    return gltf.addMesh(name, json::array({{{"attributes", attributes}, {"indices", gltf.addIndices16(indices)}}}));
}

// A closed axis-aligned box, counter-clockwise faces seen from outside.
void boxMesh(glm::vec3 lo, glm::vec3 hi, std::vector<glm::vec3>& p, std::vector<glm::vec3>& n,
             std::vector<std::uint16_t>& indices) {
    const glm::vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis) {
        for (const float side : {-1.0f, 1.0f}) {
            const glm::vec3 normal = axes[axis] * side;
            const glm::vec3 u = axes[(axis + 1) % 3] * side;
            const glm::vec3 v = axes[(axis + 2) % 3];
            const glm::vec3 centre = (lo + hi) * 0.5f + normal * (hi - lo) * 0.5f;
            const glm::vec3 half = (hi - lo) * 0.5f;
            const auto base = static_cast<std::uint16_t>(p.size());
            for (const glm::vec2& c : {glm::vec2(-1, -1), glm::vec2(1, -1), glm::vec2(1, 1), glm::vec2(-1, 1)}) {
                p.push_back(centre + u * half * c.x + v * half * c.y);
                n.push_back(normal);
            }
            indices.insert(indices.end(), {base, std::uint16_t(base + 1), std::uint16_t(base + 2), base,
                                           std::uint16_t(base + 2), std::uint16_t(base + 3)});
        }
    }
}

json rotationLookingAlong(glm::vec3 direction) {
    // The node's -Z axis is where a glTF camera or light points.
    const glm::quat q = glm::quatLookAtRH(glm::normalize(direction), glm::vec3(0, 1, 0));
    return {q.x, q.y, q.z, q.w};
}

// A 20 m ground, a 1 m box floating 1 m above it at the origin, a camera at `eye` looking along
// `look` with a vertical field of view of `yfov` radians, one light, and `moreLights` (light, node).
std::string writeSceneSeenFrom(const fixture::TempDir& dir, const json& light, const json& lightNode, glm::vec3 eye,
                               glm::vec3 look, double yfov,
                               const std::vector<std::pair<json, json>>& moreLights = {}) {
    fixture::Gltf gltf;
    const int ground = addMesh(gltf, "shadowTestGround", {{-10, 0, -10}, {-10, 0, 10}, {10, 0, 10}, {10, 0, -10}},
                               {{0, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 1, 0}}, {0, 1, 2, 0, 2, 3});
    std::vector<glm::vec3> p, n;
    std::vector<std::uint16_t> indices;
    boxMesh({-0.5f, 1.0f, -0.5f}, {0.5f, 2.0f, 0.5f}, p, n, indices);
    const int box = addMesh(gltf, "shadowTestBox", p, n, indices);
    gltf.addRootNode({{"name", "ground"}, {"mesh", ground}});
    gltf.addRootNode({{"name", "rock"}, {"mesh", box}});
    const int camera = gltf.addCamera(yfov, 1.0, 0.1);
    gltf.addRootNode({{"name", "Camera"}, {"camera", camera}, {"translation", {eye.x, eye.y, eye.z}},
                      {"rotation", rotationLookingAlong(look)}});
    std::vector<std::pair<json, json>> lights = {{light, lightNode}};
    lights.insert(lights.end(), moreLights.begin(), moreLights.end());
    for (const auto& [each, eachNode] : lights) {
        json node = eachNode;
        node["extensions"] = {{"KHR_lights_punctual", {{"light", gltf.addLight(each)}}}};
        gltf.addRootNode(node);
    }
    return gltf.write(dir);
}

// The same, with the camera looking down at both from the south (or, when not `cameraSeesGround`,
// up at the sky: no ground in view).
std::string writeScene(const fixture::TempDir& dir, const json& light, const json& lightNode, bool cameraSeesGround) {
    const glm::vec3 eye(0, 6, 7);
    return writeSceneSeenFrom(dir, light, lightNode, eye, cameraSeesGround ? -eye : glm::vec3(0, 1, 1), 1.0);
}

struct LightCase {
    const char* name;
    LightKind kind;
    json light;
    json node;
    glm::vec3 shadowed;  // a ground point in the box's shadow
};

// Light from above, slightly tilted: a straight-down light has no "up" for its shadow view.
const glm::vec3 kDown = glm::normalize(glm::vec3(0.0f, -1.0f, -0.15f));

std::vector<LightCase> lightCases() {
    return {
        {"directional", LightKind::DIRECTIONAL_LIGHT, {{"type", "directional"}, {"intensity", 3.0}},
         {{"name", "Sun"}, {"translation", {0, 6, 1}}, {"rotation", rotationLookingAlong(kDown)}}, {0, 0, -0.22f}},
        {"point", LightKind::POINT_LIGHT, {{"type", "point"}, {"color", {1, 1, 1}}},
         {{"name", "Lamp"}, {"translation", {0, 3.5f, 0}}}, {0, 0, 0}},
        {"spot", LightKind::SPOT_LIGHT,
         {{"type", "spot"}, {"spot", {{"innerConeAngle", 0.5}, {"outerConeAngle", 0.7}}}},
         {{"name", "Spot"}, {"translation", {0, 5, 0.75f}}, {"rotation", rotationLookingAlong(kDown)}}, {0, 0, 0}},
    };
}

class ShadowPassesTest : public testing::Test {
protected:
    void SetUp() override {
        GlobalState& state = GlobalState::instance();
        state.width = kSize;
        state.height = kSize;
        state.nearPlane = 0.1f;
        state.farPlane = 300.0f;
        state.brightness = 0.0f;

        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);
    }

    // The level's passes of the frame's pass list (shadows, camera depth, scene), the scene into the
    // test's own float target instead of the multisampled scene target.
    void renderFrame(Level& level) {
        glClearColor(0, 0, 0, 1);
        FramePasses(noTargets, noPostProcessing, level, nullptr).levelPasses(target.framebuffer(), 0);
        pixels = gltest::readPixelsRgbaFloat(0, 0, kSize, kSize);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    // Luminance of the rendered ground at a world point, averaged over 3 x 3 pixels.
    float luminanceAt(Level& level, glm::vec3 world) const {
        return gltest::luminanceAround(pixels, kSize, level.camera->getViewProjectionMatrix(), world);
    }

    // Every face of the first point light's cube, +X to -Z.
    static std::vector<float> readCube(Level& level) {
        const int size = GlobalState::instance().shadowMapSize;
        std::vector<float> texels(static_cast<std::size_t>(size) * size * 6);
        glBindTexture(GL_TEXTURE_CUBE_MAP, level.pointLights[0]->depthTexture);
        for (int face = 0; face < 6; ++face)
            glGetTexImage(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT, GL_FLOAT,
                          texels.data() + static_cast<std::size_t>(face) * size * size);
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        return texels;
    }

    void savePicture(const std::string& name) const {
        std::vector<std::uint8_t> bytes(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(255.0f * std::min(1.0f, i % 4 == 3 ? 1.0f : pixels[i] / (1.0f + pixels[i])));
        gltest::savePng(name, kSize, kSize, bytes);
    }

    gltest::ScopedWorkingDirectory cwd{VERDANCE_SOURCE_DIR};
    testsupport::GlobalStateGuard restore;
    // The frame's resolve target: two half-float outputs and depth.
    const gltest::TwoOutputTarget target{kSize, kSize, true, "shadow test"};
    // The level's passes read neither.
    const RenderTargets noTargets;
    PostProcessing noPostProcessing;
    std::vector<float> pixels;
};

// Compared as direct light only (with the light on minus off), since the sky's ambient light is the
// same in both places.
TEST_F(ShadowPassesTest, EachKindOfLightCastsTheBoxShadowAndNoLightWhenOff) {
    for (const LightCase& c : lightCases()) {
        SCOPED_TRACE(c.name);
        fixture::TempDir dir;
        Level level;
        testing::internal::CaptureStdout();
        level.load(writeScene(dir, c.light, c.node, true));
        const std::string log = testing::internal::GetCapturedStdout();
        EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;

        const glm::vec3 lit(1.5f, 0.0f, 1.0f);
        renderFrame(level);
        savePicture(std::string("shadow_") + c.name + ".png");
        const float litOn = luminanceAt(level, lit);
        const float shadowOn = luminanceAt(level, c.shadowed);

        const std::string name = c.node["name"];
        level.setLightEnabled(c.kind, name, false);
        level.rebuildLightBuffers();
        renderFrame(level);
        const float litDirect = litOn - luminanceAt(level, lit);
        const float shadowDirect = shadowOn - luminanceAt(level, c.shadowed);
        EXPECT_GT(litDirect, 0.01f) << "the light does not reach the open ground";
        EXPECT_LT(shadowDirect, 0.25f * litDirect) << "lit " << litDirect << ", in the shadow " << shadowDirect;
    }
}

// The ground is drawn into the maps even when the camera looks away from it (it is never culled), and
// a light that is off keeps the map it had. The point light's cube looks down at the ground on its
// -Y face; the 2D maps cull front faces, so a one-sided ground is no caster there.
TEST_F(ShadowPassesTest, GroundIsDrawnIntoTheMapsAndAnOffLightKeepsItsMap) {
    const LightCase c = lightCases()[1];
    fixture::TempDir dir;
    Level level;
    testing::internal::CaptureStdout();
    level.load(writeScene(dir, c.light, c.node, false));
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(level.pointLights.size(), 1u);

    const int size = GlobalState::instance().shadowMapSize;
    auto readDownFace = [&] {
        std::vector<float> texels(static_cast<std::size_t>(size) * size);
        glBindTexture(GL_TEXTURE_CUBE_MAP, level.pointLights[0]->depthTexture);
        glGetTexImage(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, 0, GL_DEPTH_COMPONENT, GL_FLOAT, texels.data());
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        return texels;
    };
    renderFrame(level);
    const std::vector<float> before = readDownFace();
    // A corner of the face sees the ground beside the box (the box covers the middle).
    EXPECT_LT(before[static_cast<std::size_t>(size / 8) * size + size / 8], 1.0f)
        << "the ground was not drawn into the light's map";

    level.setLightEnabled(LightKind::POINT_LIGHT, "Lamp", false);
    level.rebuildLightBuffers();
    level.objects.clear();  // were the map redrawn, it would now be empty
    renderFrame(level);
    EXPECT_TRUE(readDownFace() == before);
}

// A point light's cube starts each frame from the kept depth of the casters that never move. It must
// hold what a whole redraw holds: the same on the next frame, and, once a caster said to be still
// moves after all, the caster where it now stands and not where it stood (against a level whose box
// stood there from the start); again when the moving caster goes from the faces below the light to
// one beside it, which the kept depth must be restored in.
TEST_F(ShadowPassesTest, ACubeStartedFromItsStillCastersHoldsWhatAWholeRedrawHolds) {
    const LightCase c = lightCases()[1];
    fixture::TempDir dir;
    const std::string path = writeScene(dir, c.light, c.node, true);
    const auto placeBox = [](Level& level, glm::vec3 translation) {
        for (const auto& object : level.objects)
            if (object->getName() == "rock") object->getTransform()->setTranslation(translation);
    };
    const auto liftBox = [&](Level& level) { placeBox(level, glm::vec3(0.3f, 0.5f, 0.0f)); };
    const glm::vec3 besideTheLight(2.5f, 1.5f, 0.0f);  // box 2 to 3 m along +x, light height to 1 m below
    Level level;
    testing::internal::CaptureStdout();
    level.load(path);
    testing::internal::GetCapturedStdout();
    renderFrame(level);
    const std::vector<float> first = readCube(level);
    renderFrame(level);
    EXPECT_TRUE(readCube(level) == first) << "the second frame's cube differs from the first";

    liftBox(level);
    renderFrame(level);
    const std::vector<float> moved = readCube(level);
    EXPECT_FALSE(moved == first) << "the moved box left the cube as it was";

    Level reference;
    testing::internal::CaptureStdout();
    reference.load(path);
    testing::internal::GetCapturedStdout();
    liftBox(reference);
    renderFrame(reference);
    EXPECT_TRUE(moved == readCube(reference)) << "the cube after the box moved is not that of a level where it stood";

    placeBox(level, besideTheLight);
    renderFrame(level);
    placeBox(reference, besideTheLight);
    renderFrame(reference);
    const std::vector<float> beside = readCube(level);
    EXPECT_FALSE(beside == moved) << "the box beside the light left the cube as it was";
    EXPECT_TRUE(beside == readCube(reference)) << "the cube still holds the box where it stood the frame before";
}

// A light that comes on takes the cube of one that went off, cleared; with frames skipped between
// the changes, a light can get back its own cube after another held it. Its next pass must restore
// every face of the kept depth, not only those its moving casters reached the frame before.
TEST_F(ShadowPassesTest, ACubeTakenByAnotherLightAndGivenBackHoldsWhatAWholeRedrawHolds) {
    const LightCase c = lightCases()[1];
    fixture::TempDir dir;
    // "Point.002" starts off, so it has no cube of its own.
    const json second = {{"name", "Point.002"}, {"translation", {3, 3.5f, 0}}};
    const glm::vec3 eye(0, 6, 7);
    const std::string path = writeSceneSeenFrom(dir, c.light, c.node, eye, -eye, 1.0, {{c.light, second}});
    const auto placeBox = [](Level& level, glm::vec3 translation) {
        for (const auto& object : level.objects)
            if (object->getName() == "rock") object->getTransform()->setTranslation(translation);
    };
    const glm::vec3 moved(-0.3f, 0.5f, 0.0f);
    const auto load = [&](Level& level) {
        testing::internal::CaptureStdout();
        level.load(path);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(level.pointLights.size(), 2u);
    };
    const auto swapLights = [](Level& level, bool lampOn) {
        level.setLightEnabled(LightKind::POINT_LIGHT, "Lamp", lampOn);
        level.setLightEnabled(LightKind::POINT_LIGHT, "Point.002", !lampOn);
        level.rebuildLightBuffers();
    };

    Level level;
    load(level);
    renderFrame(level);  // the box stands still: kept with the ground
    placeBox(level, moved);
    renderFrame(level);  // the box moved: kept without it, drawn as a moving caster
    swapLights(level, false);  // the second light takes the lamp's cube
    swapLights(level, true);   // and the lamp takes it back, cleared
    renderFrame(level);

    Level reference;
    load(reference);
    placeBox(reference, moved);
    renderFrame(reference);
    EXPECT_TRUE(readCube(level) == readCube(reference)) << "faces of the cube lost the kept depth";
}

// Casters are chosen by what each map sees, not by what the camera sees: a low camera with a narrow
// view (0.3 rad) sees the ground under the box, where its shadow falls, but not the box above it; the
// box must still be in every light's map. Culled by the camera, the 2D maps would stay at their clear
// depth 1 there (they cull front faces, so the ground is no caster) and the cube would hold only the
// ground below the box.
TEST_F(ShadowPassesTest, CastersOutsideTheViewThatShadowItAreDrawnIntoTheLightsMaps) {
    for (const LightCase& c : lightCases()) {
        SCOPED_TRACE(c.name);
        fixture::TempDir dir;
        Level level;
        testing::internal::CaptureStdout();
        const glm::vec3 eye(0.0f, 0.6f, 4.0f);
        level.load(writeSceneSeenFrom(dir, c.light, c.node, eye, -eye, 0.3));
        testing::internal::GetCapturedStdout();
        for (const auto& object : level.objects) {
            if (object->getName() == "rock") {
                ASSERT_FALSE(level.frustum->shouldDraw(*object, level.camera->getCullingViewProjectionMatrix()))
                    << "the camera sees the box";
            }
        }
        renderFrame(level);

        const int size = GlobalState::instance().shadowMapSize;
        std::vector<float> texels(static_cast<std::size_t>(size) * size);
        const auto texel = [&](int x, int y) { return texels[static_cast<std::size_t>(y) * size + x]; };
        if (c.kind == LightKind::POINT_LIGHT) {
            // The -Y face looks down from 3.5 m: the box's top (1.5 m away) in the middle, the ground
            // (3.5 m) at a corner.
            glBindTexture(GL_TEXTURE_CUBE_MAP, level.pointLights[0]->depthTexture);
            glGetTexImage(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, 0, GL_DEPTH_COMPONENT, GL_FLOAT, texels.data());
            glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
            EXPECT_LT(texel(size / 2, size / 2), texel(size / 8, size / 8)) << "the box is not in the cube";
            continue;
        }
        const bool directional = c.kind == LightKind::DIRECTIONAL_LIGHT;
        const glm::mat4 lightSpace = directional ? level.stages.directionalDepthMaps[0]->getLightSpaceMatrix()
                                                 : level.stages.spotDepthMaps[0]->getLightSpaceMatrix();
        glBindTexture(GL_TEXTURE_2D, directional ? level.directionalLights[0]->depthTexture
                                                 : level.spotLights[0]->depthTexture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, texels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        const glm::vec4 clip = lightSpace * glm::vec4(0.0f, 1.5f, 0.0f, 1.0f);  // the box's centre
        const int x = static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * static_cast<float>(size));
        const int y = static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * static_cast<float>(size));
        EXPECT_LT(texel(x, y), 1.0f) << "the box is not in the map";
    }
}

TEST_F(ShadowPassesTest, LightBuffersHoldTheRecordsByteForByteUntilRebuilt) {
    Level level;
    for (int i = 0; i < 3; ++i) {
        auto light = std::make_shared<PointLight>();
        light->color = glm::vec3(0.1f * i, 0.2f, 0.3f);
        light->position = glm::vec3(i, 2.0f, -i);
        light->depthTexture = 40u + i;
        level.pointLights.push_back(light);
        level.pointLightNames.push_back("Point.00" + std::to_string(i));
    }
    for (int i = 0; i < 2; ++i) {
        auto light = std::make_shared<SpotLight>();
        light->cosInnerCone = 0.9f;
        light->cosOuterCone = 0.8f - 0.1f * i;
        level.spotLights.push_back(light);
        level.spotLightNames.push_back("Spot.00" + std::to_string(i));
    }
    auto readBuffer = [](GLuint buffer) {
        GLint size = 0;
        glBindBuffer(GL_UNIFORM_BUFFER, buffer);
        glGetBufferParameteriv(GL_UNIFORM_BUFFER, GL_BUFFER_SIZE, &size);
        std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
        if (size > 0) glGetBufferSubData(GL_UNIFORM_BUFFER, 0, size, bytes.data());
        glBindBuffer(GL_UNIFORM_BUFFER, 0);
        return bytes;
    };
    auto recordBytes = [](const auto& lights, std::size_t size) {
        std::vector<unsigned char> bytes(lights.size() * size);
        for (std::size_t i = 0; i < lights.size(); ++i) std::memcpy(&bytes[i * size], lights[i].get(), size);
        return bytes;
    };

    level.stages.lightBuffers = createLightBuffers(level.pointLights, level.directionalLights, level.spotLights);
    ASSERT_EQ(level.stages.lightBuffers.size(), 3u);
    EXPECT_EQ(readBuffer(level.stages.lightBuffers[0]).size(), 192u);
    EXPECT_EQ(readBuffer(level.stages.lightBuffers[0]), recordBytes(level.pointLights, 64));
    EXPECT_EQ(readBuffer(level.stages.lightBuffers[1]).size(), 0u);
    EXPECT_EQ(readBuffer(level.stages.lightBuffers[2]).size(), 160u);
    EXPECT_EQ(readBuffer(level.stages.lightBuffers[2]), recordBytes(level.spotLights, 80));

    level.setLightEnabled(LightKind::POINT_LIGHT, "Point.001", false);
    const auto stale = readBuffer(level.stages.lightBuffers[0]);
    std::int32_t flag = -1;
    std::memcpy(&flag, &stale[64 + 56], 4);
    EXPECT_EQ(flag, 1) << "the GPU sees nothing before the rebuild";

    const std::vector<GLuint> old = level.stages.lightBuffers;
    level.rebuildLightBuffers();
    std::memcpy(&flag, &readBuffer(level.stages.lightBuffers[0])[64 + 56], 4);
    EXPECT_EQ(flag, 0);
    for (GLuint buffer : old) EXPECT_FALSE(glIsBuffer(buffer)) << "replaced buffer " << buffer << " not deleted";
}

}  // namespace

#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "models/BoundingBox.h"
#include "models/Geometry.h"
#include "models/GeometryRegistry.h"
#include "render/Level.h"
#include "scene/AnimatedCamera.h"
#include "scene/DebugCamera.h"
#include "scene/Object.h"
#include "scene/SceneImport.h"
#include "scene/Transform.h"
#include "shaders/CheckProgram.h"
#include "shaders/Shader.h"
#include "shaders/Surface.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"
#include "tests/support/TwoOutputTarget.h"
#include "tests/unit/GltfFixture.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

namespace {

using nlohmann::json;

std::string captured(const std::function<void()>& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<std::uint32_t> readIndices(const Geometry& geometry) {
    std::vector<std::uint32_t> indices(geometry.getIndexCount());
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_COPY_READ_BUFFER, geometry.getIndexBuffer());
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                       indices.data());
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return indices;
}

// The box's extent, from its corners.
std::pair<glm::vec3, glm::vec3> extent(const BoundingBox& box) {
    glm::vec3 lo(1e30f);
    glm::vec3 hi(-1e30f);
    for (const glm::vec3& c : box.getCorners()) lo = glm::min(lo, c), hi = glm::max(hi, c);
    return {lo, hi};
}

// The level the import table runs on (node order = root order):
// 0 "Camera" with mesh 0 (two primitives), 1 and 2 "RockA", "RockB" sharing mesh 1, 3 "camera" (lower
// case, no mesh), 4 "ground" and 5 "stone", both mesh 1 at z = +10 (behind a camera looking down -z).
struct ImportFixture {
    // The shared mesh is registered by its name; a second run of the test must register it afresh.
    const testsupport::RegistryGuard dropAfterwards;
    fixture::TempDir dir;
    std::string path;
    std::string sharedMeshName = "SharedRock-" + std::to_string(::getpid());

    ImportFixture() {
        fixture::Gltf gltf;
        const int a = gltf.addFloats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
        const int aIndices = gltf.addIndices16({0, 1, 2});
        const int b = gltf.addFloats({5, 5, 5, 6, 5, 5, 5, 7, -2}, "VEC3");
        const int bIndices = gltf.addIndices32({2, 1, 0});
        gltf.addMesh("TwoParts", json::array({{{"attributes", {{"POSITION", a}}}, {"indices", aIndices}},
                                              {{"attributes", {{"POSITION", b}}}, {"indices", bIndices}}}));
        const int rock = gltf.addFloats({-1, -1, -1, 1, -1, -1, 0, 1, 1}, "VEC3");
        const int rockIndices = gltf.addIndices16({0, 1, 2});
        gltf.addMesh(sharedMeshName, json::array({{{"attributes", {{"POSITION", rock}}}, {"indices", rockIndices}}}));
        const int camera = gltf.addCamera(0.7, 1.0, 0.1);
        gltf.addRootNode({{"name", "Camera"}, {"mesh", 0}, {"camera", camera}});
        gltf.addRootNode({{"name", "RockA"}, {"mesh", 1}, {"translation", {1, 2, 3}}});
        gltf.addRootNode({{"name", "RockB"}, {"mesh", 1}});
        gltf.addRootNode({{"name", "camera"}, {"camera", camera}});
        gltf.addRootNode({{"name", "ground"}, {"mesh", 1}, {"translation", {0, 0, 10}}});
        gltf.addRootNode({{"name", "stone"}, {"mesh", 1}, {"translation", {0, 0, 10}}});
        path = gltf.write(dir);
    }
};

// Settings as the demo would have them, restored afterwards; the working directory is the repository
// root, where the shader files and the baked assets are.
class LevelLoadTest : public testing::Test {
protected:
    void SetUp() override {
        GlobalState& state = GlobalState::instance();
        state.width = 400;
        state.height = 300;
        state.fov = 45.0f;
        state.nearPlane = 0.1f;
        state.farPlane = 100.0f;
    }
    gltest::ScopedWorkingDirectory cwd{VERDANCE_SOURCE_DIR};
    testsupport::GlobalStateGuard restore;
};

}  // namespace

TEST_F(LevelLoadTest, ImportTable) {
    ImportFixture fixture;
    Level level;
    const std::string log = captured([&] { level.load(fixture.path); });

    ASSERT_EQ(level.nodes.size(), 6u);
    ASSERT_EQ(level.objects.size(), 5u);
    ASSERT_EQ(level.programs.size(), 1u);
    EXPECT_EQ(level.programs[0]->getType(), PBR);

    {
        SCOPED_TRACE("a root \"Camera\" with a mesh becomes an object, not the camera");
        EXPECT_EQ(level.objects[0]->getName(), "Camera");
        EXPECT_FALSE(level.nodes[0].camera);
        EXPECT_EQ(level.nodes[0].object, level.objects[0]);
        EXPECT_FALSE(contains(log, "Loading camera..."));
    }
    {
        SCOPED_TRACE("two primitives become one geometry with offset indices and one box");
        const Geometry& geometry = *level.objects[0]->getGeometry();
        EXPECT_EQ(readIndices(geometry), (std::vector<std::uint32_t>{0, 1, 2, 5, 4, 3}));
        ASSERT_TRUE(geometry.getBoundingBox());
        const auto [lo, hi] = extent(*geometry.getBoundingBox());
        EXPECT_EQ(lo, glm::vec3(0, 0, -2));
        EXPECT_EQ(hi, glm::vec3(6, 7, 5));
    }
    {
        SCOPED_TRACE("a mesh used twice: the registry keeps the first, each node gets its own");
        const auto& first = level.objects[1]->getGeometry();
        const auto& second = level.objects[2]->getGeometry();
        EXPECT_NE(first, second);
        EXPECT_EQ(loadObjGeometry(fixture.sharedMeshName), first);
        EXPECT_EQ(level.objects[1]->getTransform()->getModelMatrix(),
                  glm::translate(glm::mat4(1.0f), glm::vec3(1, 2, 3)));
    }
    {
        SCOPED_TRACE("\"camera\" in lower case goes to the light import");
        EXPECT_TRUE(contains(log, "Loading light camera\n")) << log;
        EXPECT_FALSE(level.nodes[3].camera || level.nodes[3].pointLight || level.nodes[3].directionalLight ||
                     level.nodes[3].spotLight);
    }
    {
        SCOPED_TRACE("without a node named \"Camera\" the level gets a perspective debug camera");
        EXPECT_TRUE(contains(log, "ERROR: No usable node named 'Camera' in '" + fixture.path +
                                      "': using a perspective debug camera"))
            << log;
        ASSERT_TRUE(std::dynamic_pointer_cast<DebugCamera>(level.camera));
        // Perspective: a point in front of the orbit is projected with w > 0 and depth inside [-1, 1].
        const glm::vec4 clip = level.camera->getViewProjectionMatrix() * glm::vec4(0, 0, 0, 1);
        EXPECT_GT(clip.w, 0.0f);
        EXPECT_LE(std::abs(clip.z), clip.w);
    }
    {
        SCOPED_TRACE("culling: \"ground\" is always drawn, other objects only when their box can be seen");
        const glm::mat4 lookDownMinusZ = glm::perspective(0.7f, 1.0f, 0.1f, 100.0f);
        ASSERT_EQ(level.objects[3]->getName(), "ground");
        ASSERT_TRUE(level.frustum);
        const Frustum& frustum = *level.frustum;
        EXPECT_TRUE(frustum.shouldDraw(*level.objects[3], lookDownMinusZ));
        EXPECT_FALSE(frustum.shouldDraw(*level.objects[4], lookDownMinusZ));
        EXPECT_TRUE(frustum.shouldDraw(*level.objects[2], glm::translate(lookDownMinusZ, glm::vec3(0, 0, -5))));
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LevelLoadTest, AFileThatDoesNotParseGivesAnEmptyLevelWithACamera) {
    fixture::TempDir dir;
    fixture::writeText(dir.file("broken.gltf"), "{\"asset\": {\"version\": \"2.0\"}, \"scene\": ");
    Level level;
    const std::string log = captured([&] { level.load(dir.file("broken.gltf")); });
    EXPECT_TRUE(contains(log, "Failed to load glTF: " + dir.file("broken.gltf"))) << log;
    EXPECT_TRUE(level.nodes.empty() && level.objects.empty() && level.animations.empty());
    EXPECT_TRUE(level.pointLights.empty() && level.directionalLights.empty() && level.spotLights.empty());
    EXPECT_TRUE(std::dynamic_pointer_cast<DebugCamera>(level.camera));
    level.update();  // runs on an empty level
}

namespace {

// Draws every object the culling lets through with the level camera into a 320 x 240 float target and
// returns the linear colour (RGBA float rows, bottom row first).
std::vector<float> renderLevel(Level& level, int width, int height) {
    // Both outputs of the lit program, as the frame's resolve target holds them, with depth.
    const gltest::TwoOutputTarget target(width, height, true, "level test");
    target.bind();

    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Shader& pbr = *level.programs.at(0);
    pbr.use();
    pbr.setMat4("viewProjectionMat", level.camera->getViewProjectionMatrix());
    pbr.setVec3("cameraWorld", level.camera->getWorldPosition());
    pbr.setFloat("brightness", 0.0f);
    const glm::mat4 culling = level.camera->getCullingViewProjectionMatrix();
    for (const auto& object : level.objects)
        if (level.frustum->shouldDraw(*object, culling)) object->draw();

    std::vector<float> pixels = target.read(0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return pixels;
}

}  // namespace

// Needs the baked level at the repository root, which the build bakes (target bake_assets).
TEST_F(LevelLoadTest, TheRealLevelLoadsWithItsCameraLightsAndTexturedObjects) {
    ASSERT_TRUE(std::filesystem::exists(kLevelPath))
        << "'" << kLevelPath << "' is missing: build the bake_assets target first";
    loadSettings();
    Level level;
    const std::string log = captured([&] { level.load(); });
    EXPECT_FALSE(contains(log, "ERROR:")) << log;
    EXPECT_FALSE(contains(log, "ERR:")) << log;
    EXPECT_FALSE(contains(log, "WARN:")) << log;
    EXPECT_TRUE(contains(log, std::string("Loaded glTF: ") + kLevelPath)) << log;

    const auto camera = std::dynamic_pointer_cast<AnimatedCamera>(level.camera);
    ASSERT_TRUE(camera);
    EXPECT_FLOAT_EQ(GlobalState::instance().farPlane, 25.0f);
    ASSERT_TRUE(level.frustum);
    ASSERT_TRUE(level.stages.skybox);

    // The lights the game flow switches at 85 s.
    const auto has = [](const std::vector<std::string>& names, const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (const char* name : {"Point.001", "Point.002", "Point.003"})
        EXPECT_TRUE(has(level.pointLightNames, name)) << name;
    EXPECT_TRUE(has(level.spotLightNames, "Spot.001"));
    EXPECT_EQ(level.pointLights.size(), level.pointLightNames.size());
    EXPECT_EQ(level.directionalLights.size(), level.directionalLightNames.size());
    EXPECT_EQ(level.spotLights.size(), level.spotLightNames.size());

    ASSERT_FALSE(level.objects.empty());
    bool hasGround = false;
    for (const auto& object : level.objects) {
        SCOPED_TRACE(object->getName());
        hasGround = hasGround || object->getName() == "ground";
        const auto& surface = object->getSurface();
        ASSERT_TRUE(surface);
        EXPECT_EQ(surface->shader->getType(), PBR);
        EXPECT_TRUE(surface->textures[0] && surface->textures[2] && surface->textures[3]);
        ASSERT_TRUE(object->getGeometry() && object->getGeometry()->getBoundingBox());
        EXPECT_GT(object->getGeometry()->getIndexCount(), 0u);
    }
    EXPECT_TRUE(hasGround);

    // The camera follows its animation: the fixed step moves it along the path.
    GlobalState& state = GlobalState::instance();
    state.time = 0.0f;
    level.update();
    const glm::vec3 start = camera->getPosition();
    state.time = 20.0f;
    level.update();
    const glm::vec3 later = camera->getPosition();
    EXPECT_GT(glm::distance(start, later), 0.1f) << "the camera did not move between 0 s and 20 s";

    // A picture from the start of the path, for people to look at; most of it must be lit level.
    state.time = 0.0f;
    level.update();
    constexpr int kWidth = 320;
    constexpr int kHeight = 240;
    const std::vector<float> pixels = renderLevel(level, kWidth, kHeight);
    std::vector<std::uint8_t> rgba(pixels.size());
    int lit = 0;
    int finite = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const glm::vec3 c(pixels[i], pixels[i + 1], pixels[i + 2]);
        finite += std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b);
        lit += c.r + c.g + c.b > 0.0f;
        for (int k = 0; k < 3; ++k)  // the composite's tone curve and gamma, to make the picture viewable
            rgba[i + k] = static_cast<std::uint8_t>(255.0f * std::pow(1.0f - std::exp(-c[k]), 1.0f / 2.2f));
        rgba[i + 3] = 255;
    }
    const std::string png = gltest::savePng("level_start.png", kWidth, kHeight, rgba);
    EXPECT_EQ(finite, kWidth * kHeight) << png;
    EXPECT_GT(lit, kWidth * kHeight / 4) << png;
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LevelLoadTest, PrimitivesWithDifferentAttributesDrawFromAlignedBuffers) {
    // Primitive 0 has normals, UVs and tangents; primitive 1 has positions only.
    fixture::TempDir dir;
    fixture::Gltf gltf;
    const int a = gltf.addFloats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    const int aNormals = gltf.addFloats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
    const int aUvs = gltf.addFloats({0, 0, 1, 0, 0, 1}, "VEC2");
    const int aTangents = gltf.addFloats({1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1}, "VEC4");
    const int b = gltf.addFloats({0, 0, 0, 1, 0, 0, 0, 0, -1, 1, 0, -1}, "VEC3");
    const int bIndices = gltf.addIndices16({0, 1, 2, 2, 1, 3});
    gltf.addMesh("MixedParts-" + std::to_string(::getpid()),
                 json::array({{{"attributes",
                                {{"POSITION", a}, {"NORMAL", aNormals}, {"TEXCOORD_0", aUvs}, {"TANGENT", aTangents}}}},
                              {{"attributes", {{"POSITION", b}}}, {"indices", bIndices}}}));
    gltf.addRootNode({{"name", "mixed"}, {"mesh", 0}});
    tinygltf::Model model;
    captured([&] { ASSERT_TRUE(parseGltfFile(gltf.write(dir), model)); });

    std::shared_ptr<Geometry> geometry;
    const std::string log = captured([&] { geometry = loadMesh(model, model.meshes[0], model.nodes[0]).first; });
    EXPECT_EQ(log, "");
    ASSERT_TRUE(geometry);

    const auto bufferBytes = [](GLuint buffer) {
        glBindBuffer(GL_COPY_READ_BUFFER, buffer);
        GLint size = -1;
        glGetBufferParameteriv(GL_COPY_READ_BUFFER, GL_BUFFER_SIZE, &size);
        glBindBuffer(GL_COPY_READ_BUFFER, 0);
        return size;
    };
    const GLint vertices = 7;
    EXPECT_EQ(bufferBytes(geometry->getPositionBuffer()), vertices * 12);
    EXPECT_EQ(bufferBytes(geometry->getNormalBuffer()), vertices * 12);
    EXPECT_EQ(bufferBytes(geometry->getUvBuffer()), vertices * 8);
    EXPECT_EQ(bufferBytes(geometry->getTangentBuffer()), vertices * 12);
    EXPECT_EQ(bufferBytes(geometry->getBitangentBuffer()), vertices * 12);
    EXPECT_EQ(geometry->getIndexCount(), 6u);  // primitive 0 has no indices: it is not drawn indexed

    // Drawn with a program that reads all five attributes at the lit objects' locations.
    CheckProgram program(
        "#version 430 core\n"
        "layout(location = 0) in vec3 position;\nlayout(location = 1) in vec3 normal;\n"
        "layout(location = 2) in vec2 uv;\nlayout(location = 3) in vec3 tangent;\n"
        "layout(location = 4) in vec3 bitangent;\nout vec3 sum;\n"
        "void main() {\n  sum = normal + vec3(uv, 0.0) + tangent + bitangent;\n"
        "  gl_Position = vec4(position * 0.1, 1.0);\n}\n",
        "#version 430 core\nin vec3 sum;\nout vec4 colour;\nvoid main() { colour = vec4(sum, 1.0); }\n", true);
    glUseProgram(program.link());
    geometry->draw();
    glUseProgram(0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

#include "scene/SceneImport.h"

#include "app/GlobalState.h"
#include "render/Level.h"
#include "scene/AnimatedCamera.h"
#include "tests/support/GlobalStateGuard.h"
#include "tests/unit/GltfFixture.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <functional>

namespace {

using nlohmann::json;

using fixture::captured;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(NodeMatrix, ComposesTranslationRotationScaleAndIgnoresMatrix) {
    const float h = std::sqrt(0.5f);
    tinygltf::Node matrixOnly;
    matrixOnly.matrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1};
    EXPECT_EQ(nodeMatrix(matrixOnly), glm::mat4(1.0f));

    // 90 degrees about +z, scale 2, then moved to (1, 2, 3): +x of length 1 ends at (1, 4, 3).
    tinygltf::Node trs;
    trs.translation = {1, 2, 3};
    trs.rotation = {0, 0, h, h};
    trs.scale = {2, 2, 2};
    const glm::vec4 p = nodeMatrix(trs) * glm::vec4(1, 0, 0, 1);
    EXPECT_NEAR(p.x, 1.0f, 1e-5f);
    EXPECT_NEAR(p.y, 4.0f, 1e-5f);
    EXPECT_NEAR(p.z, 3.0f, 1e-5f);
}

namespace {

// Mesh "Rock" with two triangles as two primitives: the first at the origin with 16-bit indices,
// the second around (5, 5, 5) with 32-bit indices and normals.
struct TwoPrimitives {
    fixture::TempDir dir;
    tinygltf::Model model;

    TwoPrimitives() {
        fixture::Gltf gltf;
        const int a = gltf.addFloats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
        const int aIndices = gltf.addIndices16({0, 1, 2});
        const int b = gltf.addFloats({5, 5, 5, 6, 5, 5, 5, 7, -2}, "VEC3");
        const int bNormals = gltf.addFloats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
        const int bIndices = gltf.addIndices32({2, 1, 0});
        gltf.addMesh("Rock", json::array({{{"attributes", {{"POSITION", a}}}, {"indices", aIndices}},
                                          {{"attributes", {{"POSITION", b}, {"NORMAL", bNormals}}},
                                           {"indices", bIndices}}}));
        gltf.addRootNode({{"name", "rock"}, {"mesh", 0}});
        const std::string path = gltf.write(dir);
        captured([&] { EXPECT_TRUE(parseGltfFile(path, model)); });
    }
};

}  // namespace

TEST(GatherMesh, TwoPrimitivesBecomeOneMeshWithOffsetIndicesAndOneBox) {
    TwoPrimitives fixture;
    GatheredMesh mesh;
    const std::string log = captured([&] { mesh = gatherMesh(fixture.model, fixture.model.meshes[0]); });
    EXPECT_EQ(log, "");
    ASSERT_EQ(mesh.data.positions.size(), 6u);
    EXPECT_EQ(mesh.data.indices, (std::vector<std::uint32_t>{0, 1, 2, 5, 4, 3}));
    EXPECT_EQ(mesh.data.positions[5], glm::vec3(5, 7, -2));
    EXPECT_EQ(mesh.min, glm::vec3(0, 0, -2));
    EXPECT_EQ(mesh.max, glm::vec3(6, 7, 5));
}

namespace {

struct BadPrimitive {
    const char* name;
    std::function<void(tinygltf::Model&)> spoil;  // applied to the second primitive's data
    const char* reason;
};

// Accessors of the fixture: 0 positions A, 1 indices A, 2 positions B, 3 normals B, 4 indices B.
const BadPrimitive kBadPrimitives[] = {
    {"positions run past the buffer", [](tinygltf::Model& m) { m.accessors[2].count = 1000; },
     "accessor 2 needs 1000 x 12 bytes from offset"},
    {"accessor offset past the buffer", [](tinygltf::Model& m) { m.accessors[3].byteOffset = 1u << 30; },
     "accessor 3 needs 3 x 12 bytes from offset"},
    {"view offset past the buffer", [](tinygltf::Model& m) { m.bufferViews[4].byteOffset = ~std::size_t{0} - 4; },
     "accessor 4 needs 3 x 4 bytes from offset"},
    {"a count that would wrap around", [](tinygltf::Model& m) { m.accessors[4].count = ~std::size_t{0} / 2; },
     "accessor 4 needs"},
    {"accessor without a view", [](tinygltf::Model& m) { m.accessors[3].bufferView = -1; },
     "accessor 3 has no buffer view"},
    {"view without a buffer", [](tinygltf::Model& m) { m.bufferViews[2].buffer = 7; }, "buffer view 2 has no buffer"},
    {"missing index accessor", [](tinygltf::Model& m) { m.meshes[0].primitives[1].indices = 99; },
     "index accessor 99 does not exist"},
    {"missing attribute accessor", [](tinygltf::Model& m) { m.meshes[0].primitives[1].attributes["NORMAL"] = 42; },
     "accessor 42 does not exist"},
    {"fewer normals than positions", [](tinygltf::Model& m) { m.accessors[3].count = 2; },
     "NORMAL has 2 elements for 3 positions"},
};

}  // namespace

TEST(GatherMesh, RefusesAPrimitiveThatCannotBeReadWholeAndKeepsTheOthers) {
    for (const BadPrimitive& c : kBadPrimitives) {
        SCOPED_TRACE(c.name);
        TwoPrimitives fixture;
        c.spoil(fixture.model);
        GatheredMesh mesh;
        const std::string log = captured([&] { mesh = gatherMesh(fixture.model, fixture.model.meshes[0]); });
        EXPECT_TRUE(contains(log, std::string("ERROR: Skipped primitive 1 of mesh 'Rock': ") + c.reason)) << log;
        // Nothing of the refused primitive reaches the arrays or the box.
        EXPECT_EQ(mesh.data.positions.size(), 3u);
        EXPECT_TRUE(mesh.data.normals.empty());
        EXPECT_EQ(mesh.data.indices, (std::vector<std::uint32_t>{0, 1, 2}));
        EXPECT_EQ(mesh.max, glm::vec3(1, 1, 0));
    }
}

TEST(GatherMesh, RefusesIndicesPastThePrimitivesVertices) {
    TwoPrimitives fixture;
    // Index 1 of primitive 1 is 4: its own vertices are 0 to 2 (the offset is added afterwards).
    const auto& view = fixture.model.bufferViews[fixture.model.accessors[4].bufferView];
    auto* indices = reinterpret_cast<std::uint32_t*>(fixture.model.buffers[0].data.data() + view.byteOffset);
    indices[1] = 4;
    GatheredMesh mesh;
    const std::string log = captured([&] { mesh = gatherMesh(fixture.model, fixture.model.meshes[0]); });
    EXPECT_TRUE(contains(log, "ERROR: Skipped primitive 1 of mesh 'Rock': index 1 is 4, past the 3 vertices")) << log;
    EXPECT_EQ(mesh.data.indices.size(), 3u);
}

TEST(GatherMesh, WidensByteIndicesAndAddsNoIndicesForOtherTypes) {
    fixture::TempDir dir;
    fixture::Gltf gltf;
    const int positions = gltf.addFloats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    const std::uint8_t bytes[] = {2, 0, 1, 0};
    const int byteIndices = gltf.addAccessor(gltf.addView(bytes, 3), 3, 5121, "SCALAR");
    const int floatIndices = gltf.addFloats({0, 1, 2}, "SCALAR");
    gltf.addMesh("Leaf", json::array({{{"attributes", {{"POSITION", positions}}}, {"indices", byteIndices}},
                                      {{"attributes", {{"POSITION", positions}}}, {"indices", floatIndices}}}));
    tinygltf::Model model;
    const std::string path = gltf.write(dir);
    captured([&] { ASSERT_TRUE(parseGltfFile(path, model)); });
    const GatheredMesh mesh = gatherMesh(model, model.meshes[0]);
    EXPECT_EQ(mesh.data.indices, (std::vector<std::uint32_t>{2, 0, 1}));
    EXPECT_EQ(mesh.data.positions.size(), 6u);
}

TEST(RefuseUri, AllowsOnlyFilesInsideTheLevelsFolder) {
    struct Case {
        const char* uri;
        const char* why;  // nullptr: allowed
    };
    const Case cases[] = {
        {"level.bin", nullptr},
        {"data/level.bin", nullptr},
        {"data/../level.bin", nullptr},
        {"./level.bin", nullptr},
        {"/etc/passwd", "absolute path"},
        {"\\\\server\\share\\x.bin", "absolute path"},
        {"C:/levels/x.bin", "absolute path"},
        {"../outside.bin", "climbs out of the level's folder"},
        {"data/../../outside.bin", "climbs out of the level's folder"},
        {"..\\outside.bin", "climbs out of the level's folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        const std::optional<std::string> why = refuseUri(c.uri);
        if (c.why)
            EXPECT_EQ(why.value_or("allowed"), c.why);
        else
            EXPECT_FALSE(why) << *why;
    }
}

TEST(ParseGltfFile, NeverOpensFilesOutsideTheLevelsFolder) {
    fixture::TempDir dir;
    const std::filesystem::path levelDir = dir.path() / "level";
    std::filesystem::create_directories(levelDir / "data");
    fixture::Gltf gltf;
    gltf.addFloats({1, 2, 3}, "VEC3");
    // The same bytes outside the level's folder, where a URI must not reach them.
    gltf.writeTo(dir.path(), "outside");
    std::filesystem::create_symlink(dir.path() / "outside.bin", levelDir / "link.bin");
    const std::string outside = (dir.path() / "outside.bin").string();

    struct Case {
        const char* name;
        std::string uri;
        const char* refusal;  // nullptr: loads
    };
    const Case cases[] = {
        {"beside the level", "level.bin", nullptr},
        {"in a subfolder", "data/../level.bin", nullptr},
        {"parent folder", "../outside.bin", "'../outside.bin' in '{}': climbs out of the level's folder"},
        {"percent-encoded parent folder", "..%2Foutside.bin",
         "'../outside.bin' in '{}': climbs out of the level's folder"},
        {"absolute path", outside, "'{uri}' in '{}': absolute path"},
        {"link out of the folder", "link.bin", "'link.bin' in '{}': resolves outside the level's folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = gltf.writeTo(levelDir, "level", c.uri);
        tinygltf::Model model;
        bool parsed = false;
        const std::string log = captured([&] { parsed = parseGltfFile(path, model); });
        if (!c.refusal) {
            EXPECT_TRUE(parsed) << log;
            EXPECT_TRUE(contains(log, "Loaded glTF: " + path)) << log;
            continue;
        }
        std::string expected = std::string("ERROR: Refused file reference ") + c.refusal;
        expected.replace(expected.find("{}"), 2, path);
        if (const auto at = expected.find("{uri}"); at != std::string::npos) expected.replace(at, 5, c.uri);
        EXPECT_FALSE(parsed);
        EXPECT_TRUE(contains(log, expected)) << log;
        EXPECT_TRUE(contains(log, "Failed to load glTF: " + path)) << log;
        EXPECT_TRUE(model.buffers.empty());
    }
}

TEST(LevelLoadScene, UnreadableFilesGiveTheirLogLineAndAnEmptyLevel) {
    fixture::TempDir dir;
    fixture::writeText(dir.file("garbage.gltf"), "{ this is not json");
    fixture::Gltf noScene;
    noScene.doc.erase("scene");
    noScene.addRootNode({{"name", "Lamp"}});
    const std::string noScenePath = noScene.write(dir, "noscene");
    fixture::Gltf badRoot;
    badRoot.addRootNode({{"name", "Lamp"}});
    badRoot.doc["scenes"][0]["nodes"].push_back(7);
    const std::string badRootPath = badRoot.write(dir, "badroot");

    struct Case {
        const char* name;
        std::string path;
        std::vector<std::string> lines;
        std::size_t nodes;
    };
    const Case cases[] = {
        {"not JSON", dir.file("garbage.gltf"), {"ERR: ", "Failed to load glTF: " + dir.file("garbage.gltf")}, 0},
        {"missing file", dir.file("missing.gltf"), {"Failed to load glTF: " + dir.file("missing.gltf")}, 0},
        {"no default scene", noScenePath,
         {"Loaded glTF: " + noScenePath,
          "ERROR: Failed to load level '" + noScenePath + "': no default scene (scene -1 of 1)"},
         0},
        {"root index past the nodes", badRootPath,
         {"ERROR: Skipped root node 7 of '" + badRootPath + "': there are 1 nodes", "Loading light Lamp"},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Level level;
        const std::string log = captured([&] { level.loadScene(c.path); });
        for (const std::string& line : c.lines) EXPECT_TRUE(contains(log, line)) << line << "\n" << log;
        EXPECT_EQ(level.nodes.size(), c.nodes);
        EXPECT_TRUE(level.animations.empty());
    }
}

TEST(LevelLoadScene, CameraNodeBecomesTheLevelCameraAndLowerCaseGoesToTheLights) {
    fixture::TempDir dir;
    fixture::Gltf gltf;
    const int camera = gltf.addCamera(0.7, 1.5, 0.1);
    gltf.addRootNode({{"name", "Camera"}, {"camera", camera}, {"translation", {0, 1, 5}}});
    gltf.addRootNode({{"name", "camera"}, {"camera", camera}});
    gltf.addRootNode({{"name", "Camera"}});  // the name alone is no camera
    const std::string path = gltf.write(dir);

    const testsupport::GlobalStateGuard restore;
    GlobalState& state = GlobalState::instance();
    state.debugCameraActive = true;
    Level level;
    const std::string log = captured([&] { level.loadScene(path); });
    ASSERT_EQ(level.nodes.size(), 3u);

    ASSERT_TRUE(level.nodes[0].camera);
    EXPECT_EQ(level.nodes[0].camera->getPosition(), glm::vec3(0, 1, 5));
    EXPECT_FLOAT_EQ(level.nodes[0].camera->getAspect(), 1.5f);
    EXPECT_FLOAT_EQ(state.fov, 0.7f / kDegreesToRadians);  // 40.1 degrees
    EXPECT_FLOAT_EQ(state.nearPlane, 0.1f);
    EXPECT_FLOAT_EQ(state.farPlane, 25.0f);
    EXPECT_FALSE(state.debugCameraActive);

    EXPECT_FALSE(level.nodes[1].camera);
    EXPECT_TRUE(contains(log, "Loading light camera\n")) << log;

    EXPECT_FALSE(level.nodes[2].camera);
    EXPECT_TRUE(contains(log, "ERROR: Failed to load camera 'Camera': the node has no camera")) << log;
}

TEST(LoadCamera, WithoutAnAspectRatioTakesTheWindows) {
    tinygltf::Model model;
    model.cameras.resize(1);
    model.cameras[0].type = "perspective";
    model.cameras[0].perspective.yfov = 0.8;
    model.cameras[0].perspective.znear = 0.05;
    tinygltf::Node node;
    node.name = "Camera";
    node.camera = 0;
    const testsupport::GlobalStateGuard restore;
    GlobalState& state = GlobalState::instance();
    state.width = 800;
    state.height = 400;
    std::shared_ptr<AnimatedCamera> camera;
    captured([&] { camera = loadCamera(model, node); });
    ASSERT_TRUE(camera);
    EXPECT_FLOAT_EQ(camera->getAspect(), 2.0f);

    model.cameras[0].type = "orthographic";
    const std::string log = captured([&] { camera = loadCamera(model, node); });
    EXPECT_FALSE(camera);
    EXPECT_TRUE(contains(log, "ERROR: Failed to load camera 'Camera': not a usable perspective camera")) << log;
}

namespace {

// Mesh "Mixed": primitive 0 has positions, normals, UVs and tangents; primitive 1, without indices,
// has positions only and lies in the xz plane, so its face normal is +y.
struct MixedAttributes {
    fixture::TempDir dir;
    tinygltf::Model model;

    MixedAttributes() {
        fixture::Gltf gltf;
        const int a = gltf.addFloats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
        const int aNormals = gltf.addFloats({0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
        const int aUvs = gltf.addFloats({0, 0, 1, 0, 0, 1}, "VEC2");
        const int aTangents = gltf.addFloats({1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1}, "VEC4");
        const int aIndices = gltf.addIndices16({0, 1, 2});
        const int b = gltf.addFloats({0, 0, 0, 1, 0, 0, 0, 0, -1}, "VEC3");
        gltf.addMesh("Mixed", json::array({{{"attributes",
                                             {{"POSITION", a}, {"NORMAL", aNormals}, {"TEXCOORD_0", aUvs},
                                              {"TANGENT", aTangents}}},
                                            {"indices", aIndices}},
                                           {{"attributes", {{"POSITION", b}}}}}));
        gltf.addRootNode({{"name", "mixed"}, {"mesh", 0}});
        const std::string path = gltf.write(dir);
        captured([&] { EXPECT_TRUE(parseGltfFile(path, model)); });
    }
};

}  // namespace

TEST(GatherMesh, PrimitivesWithDifferentAttributesKeepEveryArrayAlignedWithThePositions) {
    {
        SCOPED_TRACE("normals only on the second primitive");
        TwoPrimitives fixture;
        const GatheredMesh mesh = gatherMesh(fixture.model, fixture.model.meshes[0]);
        ASSERT_EQ(mesh.data.normals.size(), 6u);
        // The first triangle (0,0,0), (1,0,0), (0,1,0) faces +z; the second keeps its own normals.
        for (int i = 0; i < 3; ++i) EXPECT_EQ(mesh.data.normals[i], glm::vec3(0, 0, 1));
        for (int i = 3; i < 6; ++i) EXPECT_EQ(mesh.data.normals[i], glm::vec3(0, 0, 1));
        EXPECT_TRUE(mesh.data.uvs.empty());
        EXPECT_TRUE(mesh.data.tangents.empty());
    }
    {
        SCOPED_TRACE("everything on the first primitive, positions only on the second");
        MixedAttributes fixture;
        GatheredMesh mesh;
        const std::string log = captured([&] { mesh = gatherMesh(fixture.model, fixture.model.meshes[0]); });
        EXPECT_EQ(log, "");
        MeshData& data = mesh.data;
        ASSERT_EQ(data.positions.size(), 6u);
        ASSERT_EQ(data.normals.size(), 6u);
        ASSERT_EQ(data.uvs.size(), 6u);
        ASSERT_EQ(data.tangents.size(), 6u);
        EXPECT_EQ(data.tangents[1], glm::vec3(1, 0, 0)) << "the first primitive keeps its own";
        for (int i = 3; i < 6; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(data.normals[i], glm::vec3(0, 1, 0));
            EXPECT_EQ(data.uvs[i], glm::vec2(0, 0));
            EXPECT_NEAR(glm::length(data.tangents[i]), 1.0f, 1e-6f);
            EXPECT_NEAR(glm::dot(data.tangents[i], data.normals[i]), 0.0f, 1e-6f);
        }
        ASSERT_TRUE(data.computeBitangents());
        EXPECT_EQ(data.bitangents.size(), 6u);
    }
}

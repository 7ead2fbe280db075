// The baked level: the same bytes on every bake, every mesh node's three material textures on disk
// in a form the engine's DDS reader accepts, a glTF file shaped the way the importer reads it
// (root nodes only, one animation per node carrying its whole pose, the named lights), meshes whose
// winding matches their normals, and a camera flight that stays clear of the ground and the props.
#include "tests/unit/FileFixture.h"
#include "textures/DdsReader.h"
#include "tools/baker/Bake.h"
#include "tools/baker/LevelScene.h"
#include "tools/baker/LevelProps.h"
#include "tools/baker/MaterialsSheet.h"

#include <glm/gtc/matrix_transform.hpp>
#include <gtest/gtest.h>
#include <tiny_gltf.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

using fixture::filesUnder;
using fixture::readBytes;

bool isPowerOfTwo(std::uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

glm::mat4 poseMatrix(const glm::vec3& t, const glm::quat& r, const glm::vec3& s) {
    return glm::translate(glm::mat4(1.0f), t) * glm::mat4_cast(r) * glm::scale(glm::mat4(1.0f), s);
}

// World-space box of an object's mesh at play time t.
void worldBox(const LevelObject& o, float t, glm::vec3* lo, glm::vec3* hi) {
    glm::vec3 translation = o.translation, scale = o.scale;
    glm::quat rotation = o.rotation;
    if (o.animated) sampleTrack(o.track, t, &translation, &rotation, &scale);
    const glm::mat4 m = poseMatrix(translation, rotation, scale);
    const glm::vec3 a = o.mesh.boundsMin(), b = o.mesh.boundsMax();
    *lo = glm::vec3(1e30f);
    *hi = glm::vec3(-1e30f);
    for (int i = 0; i < 8; ++i) {
        const glm::vec3 corner(i & 1 ? b.x : a.x, i & 2 ? b.y : a.y, i & 4 ? b.z : a.z);
        const glm::vec3 w(m * glm::vec4(corner, 1.0f));
        *lo = glm::min(*lo, w);
        *hi = glm::max(*hi, w);
    }
}

const LevelObject* findObject(const LevelScene& scene, const std::string& name) {
    for (const LevelObject& o : scene.objects)
        if (o.name == name) return &o;
    return nullptr;
}

const LevelLight* findLight(const LevelScene& scene, const std::string& name) {
    for (const LevelLight& l : scene.lights)
        if (l.name == name) return &l;
    return nullptr;
}

// Two reduced bakes into fresh folders and the full scene in memory, shared by the tests below.
class BakerLevel : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root_ = fs::temp_directory_path() / ("verdance-baker-level-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        for (const char* folder : {"first", "second"}) {
            BakeOptions options;
            options.assetsDir = (root_ / folder).string();
            options.reduced = true;
            bakeLevel(options);
        }
        full_ = new LevelScene(LevelScene::build(false));
    }
    static void TearDownTestSuite() {
        fs::remove_all(root_);
        delete full_;
        full_ = nullptr;
    }
    static fs::path first() { return root_ / "first"; }
    static fs::path second() { return root_ / "second"; }
    static const LevelScene& full() { return *full_; }

    static tinygltf::Model loadReduced() {
        tinygltf::Model model;
        tinygltf::TinyGLTF loader;
        std::string err, warn;
        const std::string path = (first() / "scene" / "thistle_exploration_scene3.gltf").string();
        EXPECT_TRUE(loader.LoadASCIIFromFile(&model, &err, &warn, path)) << err;
        EXPECT_EQ(err, "");
        return model;
    }

private:
    static fs::path root_;
    static LevelScene* full_;
};
fs::path BakerLevel::root_;
LevelScene* BakerLevel::full_ = nullptr;

TEST_F(BakerLevel, TwoBakesWriteTheSameFilesByteForByte) {
    const auto a = filesUnder(first());
    const auto b = filesUnder(second());
    ASSERT_TRUE(a.count("scene/thistle_exploration_scene3.gltf"));
    ASSERT_TRUE(a.count("scene/thistle_exploration_scene3.bin"));
    ASSERT_TRUE(a.count("textures/ground_Albedo.dds"));
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, bytes] : a) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(b.count(name));
        EXPECT_TRUE(bytes == b.at(name)) << "bytes differ between two bakes";
    }
}

TEST_F(BakerLevel, EveryMeshNodeHasItsThreeTexturesAsReadableDxt) {
    const tinygltf::Model model = loadReduced();
    int meshNodes = 0;
    for (const tinygltf::Node& node : model.nodes) {
        if (node.mesh < 0) continue;
        ++meshNodes;
        const std::string base = LevelScene::materialName(node.name);
        for (const char* suffix : {"_Albedo.dds", "_Normal.dds", "_AoRoughMetal.dds"}) {
            SCOPED_TRACE(base + suffix);
            const std::vector<std::uint8_t> bytes = readBytes(first() / "textures" / (base + suffix));
            ASSERT_FALSE(bytes.empty()) << "missing texture for node " << node.name;
            std::string why;
            const std::optional<DDSImage> image = parseDDS(bytes, kNoDdsSizeLimit, &why);
            ASSERT_TRUE(image.has_value()) << why;
            EXPECT_TRUE(image->format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
                        image->format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT);
            EXPECT_TRUE(isPowerOfTwo(image->width) && isPowerOfTwo(image->height));
            // The header's linear size is the top level's byte count; the whole mip chain follows.
            EXPECT_EQ(image->size, (image->width / 4) * (image->height / 4) *
                                       (image->format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ? 8u : 16u));
            EXPECT_TRUE(image->hasMipChain());
            EXPECT_EQ(bytes.size(), kDdsHeaderBytes + image->data.size());
        }
    }
    EXPECT_GE(meshNodes, 5);
}

TEST_F(BakerLevel, FileIsShapedTheWayTheImporterReadsIt) {
    const tinygltf::Model model = loadReduced();
    ASSERT_EQ(model.defaultScene, 0);
    // Every node is a root of the default scene; children would never be visited.
    EXPECT_EQ(model.scenes[0].nodes.size(), model.nodes.size());
    std::map<std::string, int> byName;
    for (std::size_t i = 0; i < model.nodes.size(); ++i) {
        EXPECT_TRUE(model.nodes[i].children.empty()) << model.nodes[i].name;
        byName[model.nodes[i].name] = static_cast<int>(i);
    }
    for (const char* name : {"ground", "Camera", "Sun", "Point.001", "Point.002", "Point.003", "Spot.001",
                             "flower_alive.002", "flower_hope", "flower_dead"})
        EXPECT_TRUE(byName.count(name)) << name;

    // The geometry registry keys by mesh name, so distinct meshes need distinct names.
    std::set<std::string> meshNames;
    for (const tinygltf::Mesh& mesh : model.meshes) EXPECT_TRUE(meshNames.insert(mesh.name).second) << mesh.name;
    // The importer reads each accessor tightly packed from its own buffer view.
    std::set<int> views;
    for (const tinygltf::Accessor& accessor : model.accessors) {
        EXPECT_TRUE(views.insert(accessor.bufferView).second);
        EXPECT_EQ(model.bufferViews[accessor.bufferView].byteStride, 0u);
    }

    // One animation per animated node, holding its whole pose: the importer keys an animation by
    // its first channel's node and builds that node's matrix from the animated parts alone.
    std::set<int> animatedNodes;
    for (const tinygltf::Animation& animation : model.animations) {
        SCOPED_TRACE(animation.name);
        ASSERT_FALSE(animation.channels.empty());
        const int node = animation.channels[0].target_node;
        EXPECT_TRUE(animatedNodes.insert(node).second) << "two animations for one node";
        std::set<std::string> paths;
        for (const tinygltf::AnimationChannel& channel : animation.channels) {
            EXPECT_EQ(channel.target_node, node);
            paths.insert(channel.target_path);
            const tinygltf::AnimationSampler& sampler = animation.samplers[channel.sampler];
            EXPECT_EQ(sampler.interpolation, "LINEAR");
            const tinygltf::Accessor& input = model.accessors[sampler.input];
            ASSERT_EQ(input.minValues.size(), 1u);
            ASSERT_EQ(input.maxValues.size(), 1u);
            EXPECT_EQ(input.minValues[0], 0.0);
            EXPECT_EQ(input.maxValues[0], 165.0);
            if (channel.target_path == "rotation") {
                const tinygltf::Accessor& output = model.accessors[sampler.output];
                const tinygltf::BufferView& view = model.bufferViews[output.bufferView];
                const float* q = reinterpret_cast<const float*>(model.buffers[view.buffer].data.data() + view.byteOffset +
                                                                output.byteOffset);
                for (std::size_t k = 0; k < output.count; ++k) {
                    const float* a = q + 4 * k;
                    EXPECT_NEAR(a[0] * a[0] + a[1] * a[1] + a[2] * a[2] + a[3] * a[3], 1.0f, 1e-4f);
                    if (k > 0) {
                        const float* b = a - 4;
                        EXPECT_GE(a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3], 0.0f) << "long arc at key " << k;
                    }
                }
            }
        }
        EXPECT_TRUE(paths.count("translation") && paths.count("rotation"));
        if (model.nodes[node].mesh >= 0) {
            EXPECT_TRUE(paths.count("scale")) << model.nodes[node].name;
        }
    }
    EXPECT_TRUE(animatedNodes.count(byName["Camera"]));
    EXPECT_TRUE(animatedNodes.count(byName["flower_hope"]));

    // Lights: the switched ones by name, a spot cone inside the 60-degree shadow frustum.
    const std::map<std::string, std::string> types = {
        {"Sun", "directional"}, {"Point.001", "point"}, {"Point.002", "point"}, {"Point.003", "point"}, {"Spot.001", "spot"}};
    for (const auto& [name, type] : types) {
        SCOPED_TRACE(name);
        const tinygltf::Node& node = model.nodes[byName[name]];
        ASSERT_TRUE(node.extensions.count("KHR_lights_punctual"));
        const int index = node.extensions.at("KHR_lights_punctual").Get("light").GetNumberAsInt();
        ASSERT_LT(index, static_cast<int>(model.lights.size()));
        const tinygltf::Light& light = model.lights[index];
        EXPECT_EQ(light.type, type);
        ASSERT_EQ(light.color.size(), 3u);
        for (double c : light.color) EXPECT_TRUE(c >= 0.0 && c <= 1.0);
        if (type != "point") {
            EXPECT_EQ(node.rotation.size(), 4u) << "direction comes from the rotation";
        }
        if (type == "spot") {
            EXPECT_GT(light.spot.innerConeAngle, 0.0);
            EXPECT_LT(light.spot.innerConeAngle, light.spot.outerConeAngle);
            EXPECT_LE(light.spot.outerConeAngle, 30.0 * 3.14159265 / 180.0);
        }
    }
}

TEST_F(BakerLevel, MeshesAreSoundAndWindTowardsTheirNormals) {
    std::size_t triangles = 0;
    for (const LevelObject& o : full().objects) {
        SCOPED_TRACE(o.name);
        const LevelMesh& m = o.mesh;
        ASSERT_EQ(m.normals.size(), m.positions.size());
        ASSERT_EQ(m.tangents.size(), m.positions.size());
        ASSERT_EQ(m.uvs.size(), m.positions.size());
        int bad = 0;
        for (std::size_t i = 0; i < m.positions.size(); ++i) {
            const glm::vec3& n = m.normals[i];
            const glm::vec4& t = m.tangents[i];
            const bool finite = std::isfinite(m.positions[i].x + m.positions[i].y + m.positions[i].z) &&
                                std::isfinite(m.uvs[i].x + m.uvs[i].y);
            const bool frame = std::fabs(glm::length(n) - 1.0f) < 1e-3f &&
                               std::fabs(glm::length(glm::vec3(t)) - 1.0f) < 1e-3f &&
                               std::fabs(glm::dot(n, glm::vec3(t))) < 1e-3f && std::fabs(t.w) == 1.0f;
            bad += !(finite && frame);
        }
        EXPECT_EQ(bad, 0) << "vertices with a broken position or tangent frame";
        // Back faces are culled: each triangle's counter-clockwise side must be the side its
        // normals point to, or the visible side of a leaf or stone disappears.
        int inverted = 0;
        for (std::size_t k = 0; k + 2 < m.indices.size(); k += 3) {
            const std::uint32_t a = m.indices[k], b = m.indices[k + 1], c = m.indices[k + 2];
            ASSERT_LT(std::max({a, b, c}), m.positions.size());
            const glm::vec3 face = glm::cross(m.positions[b] - m.positions[a], m.positions[c] - m.positions[a]);
            if (glm::dot(face, m.normals[a] + m.normals[b] + m.normals[c]) <= 0.0f) ++inverted;
        }
        EXPECT_LE(inverted, static_cast<int>(m.triangleCount() / 50)) << "triangles wound against their normals";
        triangles += m.triangleCount();
    }
    // Every triangle costs about 3 us a frame on the software renderer.
    EXPECT_GE(triangles, 40000u);
    EXPECT_LE(triangles, 80000u);
}

TEST_F(BakerLevel, FlightStaysAboveTheGroundAndClearOfEveryProp) {
    const LevelScene& scene = full();
    ASSERT_FALSE(scene.camera.track.times.empty());
    EXPECT_EQ(scene.camera.track.times.back(), kPlaySeconds);
    for (float t = 0.0f; t <= kPlaySeconds; t += 0.1f) {
        glm::vec3 eye, scale;
        glm::quat rotation;
        sampleTrack(scene.camera.track, t, &eye, &rotation, &scale);
        SCOPED_TRACE("t = " + std::to_string(t));
        ASSERT_GE(eye.y - LevelProps::groundHeight(eye.x, eye.z), 0.4f);
        // The terrain reaches 45 m out; with a 25 m far plane its edge is never in view.
        ASSERT_LT(std::sqrt(eye.x * eye.x + eye.z * eye.z) + 25.0f, 45.0f);
        const glm::vec3 look = rotation * glm::vec3(0.0f, 0.0f, -1.0f);
        ASSERT_GT(look.y, -0.85f) << "looking straight down";
        for (const LevelObject& o : scene.objects) {
            if (o.name == "ground") continue;
            glm::vec3 lo, hi;
            worldBox(o, t, &lo, &hi);
            ASSERT_GT(glm::length(eye - glm::clamp(eye, lo, hi)), 0.25f) << "camera inside or grazing " << o.name;
        }
    }
    // At the light change the camera is near flower_hope and has it in view.
    glm::vec3 eye, scale, hope, hopeScale;
    glm::quat rotation, hopeRotation;
    sampleTrack(scene.camera.track, kLightChangeSeconds, &eye, &rotation, &scale);
    const LevelObject* flower = findObject(scene, "flower_hope");
    ASSERT_NE(flower, nullptr);
    sampleTrack(flower->track, kLightChangeSeconds, &hope, &hopeRotation, &hopeScale);
    const glm::vec3 toHope = hope - eye;
    EXPECT_LT(glm::length(toHope), 2.5f);
    EXPECT_GT(glm::dot(glm::normalize(toHope), rotation * glm::vec3(0.0f, 0.0f, -1.0f)), std::cos(0.3f));
}

TEST_F(BakerLevel, LightsSitOverTheClearingAndTheSpotFindsFlowerHope) {
    const LevelScene& scene = full();
    for (const LevelLight& l : scene.lights) {
        SCOPED_TRACE(l.name);
        const glm::vec3 d = l.rotation * glm::vec3(0.0f, 0.0f, -1.0f);
        // Shadow views look along the light with +Y up: a vertical light would have no view.
        if (l.type != "point") {
            EXPECT_LT(std::fabs(d.y), 0.95f);
        }
        if (l.type == "point" || l.type == "spot") {
            EXPECT_LT(std::sqrt(l.position.x * l.position.x + l.position.z * l.position.z), 10.0f);
            EXPECT_GT(l.position.y - LevelProps::groundHeight(l.position.x, l.position.z), 1.5f);
        }
    }
    // The sun's orthographic shadow box (+-7 m across, 25 m deep) holds the middle of the clearing.
    const LevelLight* sun = findLight(scene, "Sun");
    ASSERT_NE(sun, nullptr);
    const glm::vec3 sunDir = sun->rotation * glm::vec3(0.0f, 0.0f, -1.0f);
    EXPECT_NEAR(glm::dot(sunDir, sunDirection()), 1.0f, 1e-4f);
    const glm::vec3 toCentre = glm::vec3(0.0f, 0.0f, -1.0f) - sun->position;
    const float along = glm::dot(toCentre, sunDir);
    EXPECT_GT(along, 3.0f);
    EXPECT_LT(along, 20.0f);
    EXPECT_LT(glm::length(toCentre - along * sunDir), 3.0f);

    // The spot's axis passes through flower_hope's blossom once it has grown.
    const LevelLight* spot = findLight(scene, "Spot.001");
    const LevelObject* flower = findObject(scene, "flower_hope");
    ASSERT_TRUE(spot && flower);
    glm::vec3 blossom, scale;
    glm::quat rotation;
    sampleTrack(flower->track, 120.0f, &blossom, &rotation, &scale);
    const glm::vec3 axis = spot->rotation * glm::vec3(0.0f, 0.0f, -1.0f);
    const glm::vec3 toBlossom = blossom - spot->position;
    EXPECT_LT(glm::length(toBlossom - glm::dot(toBlossom, axis) * axis), 0.3f);
}

// The lighting shader reads red along the tangent (+u) and green along the bitangent (+v, the
// image's row direction as the engine uploads it): relief rising along u tilts normals towards -u.
TEST(MaterialSheet, NormalMapTiltsAwayFromRisingRelief) {
    struct Case {
        const char* name;
        float du, dv;      // height slope along s and t
        int red, green;    // expected tilt of the channel: -1 below 128, 0 about 128, +1 above
    };
    const Case cases[] = {{"rises along u", 1.0f, 0.0f, -1, 0}, {"rises along v", 0.0f, 1.0f, 0, -1},
                          {"falls along u", -1.0f, 0.0f, +1, 0}, {"falls along v", 0.0f, -1.0f, 0, +1}};
    auto tilt = [](std::uint8_t v) { return v < 120 ? -1 : (v > 136 ? 1 : 0); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MaterialSheet sheet(8);
        sheet.paint(UvRect{}, false, false, [&](float s, float t) {
            Texel x;
            x.height = c.du * s + c.dv * t;
            return x;
        });
        const std::vector<std::uint8_t> rgba = sheet.normalRgba(0.5f);
        const std::uint8_t* centre = &rgba[(4 * 8 + 4) * 4];
        EXPECT_EQ(tilt(centre[0]), c.red) << int(centre[0]);
        EXPECT_EQ(tilt(centre[1]), c.green) << int(centre[1]);
        EXPECT_GT(centre[2], 128) << "normals point out of the surface";
    }
}

}  // namespace

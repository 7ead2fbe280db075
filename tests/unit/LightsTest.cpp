#include "scene/Lights.h"

#include "scene/SceneNode.h"
#include "tests/unit/GltfFixture.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <optional>

namespace {

using nlohmann::json;

enum class Kind { None, Point, Directional, Spot };

struct LightCase {
    const char* name;
    std::string nodeName;
    json light;     // the model-level light object; null when the model has no light list
    json nodeLink;  // the node's extension object; null when the node has none
    std::vector<double> rotation;
    std::vector<double> translation;
    Kind kind;
    glm::vec3 color{1.0f};
    float intensity = 1.0f;           // directional only
    glm::vec3 direction{0.0f};        // directional and spot
    glm::vec3 position{0.0f};
    glm::vec3 factors{0.5f};          // point and spot
    int enabled = 1;
    float cosInner = 1.0f;            // spot only
    float cosOuter = 1.0f;
};

const double kHalf = std::sqrt(0.5);

const LightCase kLightCases[] = {
    {"point outside the name table", "Lamp", {{"type", "point"}, {"color", {0.2, 0.4, 0.6}}}, {{"light", 0}}, {},
     {1.0, 2.0, 3.0}, Kind::Point, {0.2f, 0.4f, 0.6f}, 1.0f, {}, {1.0f, 2.0f, 3.0f}, {0.5f, 0.5f, 0.5f}, 1},
    {"Point.001", "Point.001", {{"type", "point"}}, {{"light", 0}}, {}, {}, Kind::Point, {1, 1, 1}, 1.0f, {}, {},
     {0.4f, 0.3f, 0.5f}, 1},
    {"Point.002 starts off", "Point.002", {{"type", "point"}}, {{"light", 0}}, {}, {}, Kind::Point, {1, 1, 1}, 1.0f, {},
     {}, {0.4f, 0.4f, 0.4f}, 0},
    {"Point.003", "Point.003", {{"type", "point"}}, {{"light", 0}}, {}, {}, Kind::Point, {1, 1, 1}, 1.0f, {}, {},
     {0.4f, 0.3f, 0.5f}, 1},
    {"Spot.001 starts off", "Spot.001", {{"type", "spot"}, {"spot", {{"innerConeAngle", 0.0}, {"outerConeAngle", 0.5}}}},
     {{"light", 0}}, {}, {}, Kind::Spot, {1, 1, 1}, 1.0f, {}, {}, {0.08f, 0.08f, 0.08f}, 0, 1.0f,
     static_cast<float>(std::cos(0.5))},
    {"spot without spot member has both cosines 1", "Beam", {{"type", "spot"}}, {{"light", 0}}, {}, {}, Kind::Spot,
     {1, 1, 1}, 1.0f, {}, {}, {0.5f, 0.5f, 0.5f}, 1, 1.0f, 1.0f},
    {"spot without outerConeAngle takes glTF's pi/4", "Beam", {{"type", "spot"}, {"spot", {{"innerConeAngle", 0.25}}}},
     {{"light", 0}}, {}, {}, Kind::Spot, {1, 1, 1}, 1.0f, {}, {}, {0.5f, 0.5f, 0.5f}, 1,
     static_cast<float>(std::cos(0.25)), static_cast<float>(std::cos(0.7853981633974483))},
    // Quaternion (sin 45, 0, 0, cos 45): 90 degrees about +x turns -z into +y.
    {"spot shines down its node's rotated -z", "Beam", {{"type", "spot"}, {"spot", {{"outerConeAngle", 1.0}}}},
     {{"light", 0}}, {kHalf, 0.0, 0.0, kHalf}, {0.0, 4.0, 0.0}, Kind::Spot, {1, 1, 1}, 1.0f, {0.0f, 1.0f, 0.0f},
     {0.0f, 4.0f, 0.0f}, {0.5f, 0.5f, 0.5f}, 1, 1.0f, static_cast<float>(std::cos(1.0))},
    {"directional without rotation has no direction", "Sun", {{"type", "directional"}, {"intensity", 2.5}},
     {{"light", 0}}, {}, {}, Kind::Directional, {1, 1, 1}, 2.5f, {0.0f, 0.0f, 0.0f}},
    {"integer intensity reads as a float", "Sun", {{"type", "directional"}, {"intensity", 5}}, {{"light", 0}}, {}, {},
     Kind::Directional, {1, 1, 1}, 5.0f},
    {"missing colour and intensity take white and 1", "Sun", {{"type", "directional"}}, {{"light", 0}}, {}, {},
     Kind::Directional, {1, 1, 1}, 1.0f},
    {"members of the wrong type are skipped", "Sun",
     {{"type", "directional"}, {"color", "red"}, {"intensity", "bright"}}, {{"light", 0}}, {}, {}, Kind::Directional,
     {1, 1, 1}, 1.0f},
    {"integer colour components", "Sun", {{"type", "directional"}, {"color", {1, 0, 0}}}, {{"light", 0}}, {}, {},
     Kind::Directional, {1, 0, 0}, 1.0f},
    {"a real light index is truncated", "Lamp", {{"type", "point"}}, {{"light", 0.9}}, {}, {}, Kind::Point},
    {"type Point with a capital P makes no light", "Lamp", {{"type", "Point"}}, {{"light", 0}}, {}, {}, Kind::None},
    {"index past the end makes no light", "Lamp", {{"type", "point"}}, {{"light", 1}}, {}, {}, Kind::None},
    {"negative index makes no light", "Lamp", {{"type", "point"}}, {{"light", -1}}, {}, {}, Kind::None},
    {"node without the extension makes no light", "camera", {{"type", "point"}}, nullptr, {}, {}, Kind::None},
    {"model without a light list makes no light", "Lamp", nullptr, {{"light", 0}}, {}, {}, Kind::None},
};

void expectVec3(const glm::vec3& actual, const glm::vec3& expected, const char* what) {
    SCOPED_TRACE(what);
    EXPECT_NEAR(actual.x, expected.x, 1e-6f);
    EXPECT_NEAR(actual.y, expected.y, 1e-6f);
    EXPECT_NEAR(actual.z, expected.z, 1e-6f);
}

}  // namespace

TEST(ParseLight, ReadsTheNodesLightWithNameFactorsAndDefaults) {
    for (const LightCase& c : kLightCases) {
        SCOPED_TRACE(c.name);
        tinygltf::Model model;
        if (!c.light.is_null())
            model.extensions["KHR_lights_punctual"] = fixture::toValue(json{{"lights", json::array({c.light})}});
        tinygltf::Node node;
        node.name = c.nodeName;
        node.rotation = c.rotation;
        node.translation = c.translation;
        if (!c.nodeLink.is_null()) node.extensions["KHR_lights_punctual"] = fixture::toValue(c.nodeLink);

        const ImportedLight light = parseLight(model, node);
        const int made = (light.pointLight ? 1 : 0) + (light.directionalLight ? 1 : 0) + (light.spotLight ? 1 : 0);
        ASSERT_EQ(made, c.kind == Kind::None ? 0 : 1);

        if (c.kind == Kind::Point) {
            ASSERT_TRUE(light.pointLight);
            const PointLight& p = *light.pointLight;
            expectVec3(p.color, c.color, "color");
            expectVec3(p.position, c.position, "position");
            expectVec3(p.lightFactors, c.factors, "factors");
            EXPECT_EQ(p.enabled, c.enabled);
            EXPECT_FLOAT_EQ(p.lightFactorsW, 0.3f);
            EXPECT_EQ(p.flag, 1);
            EXPECT_EQ(p.depthFramebuffer, 0u);
            EXPECT_EQ(p.depthTexture, 0u);
        } else if (c.kind == Kind::Directional) {
            ASSERT_TRUE(light.directionalLight);
            const DirectionalLight& d = *light.directionalLight;
            expectVec3(d.color, c.color, "color");
            EXPECT_FLOAT_EQ(d.intensity, c.intensity);
            expectVec3(d.direction, c.direction, "direction");
            expectVec3(d.position, c.position, "position");
            EXPECT_EQ(d.enabled, c.enabled);
            EXPECT_EQ(d.flag, 0);
        } else if (c.kind == Kind::Spot) {
            ASSERT_TRUE(light.spotLight);
            const SpotLight& s = *light.spotLight;
            expectVec3(s.color, c.color, "color");
            expectVec3(s.direction, c.direction, "direction");
            expectVec3(s.position, c.position, "position");
            expectVec3(s.lightFactors, c.factors, "factors");
            EXPECT_NEAR(s.cosInnerCone, c.cosInner, 1e-6f);
            EXPECT_NEAR(s.cosOuterCone, c.cosOuter, 1e-6f);
            EXPECT_EQ(s.enabled, c.enabled);
            EXPECT_EQ(s.flag, 1);
        }
    }
}

TEST(LoadLight, LogsTheNodeEvenWhenItMakesNoLight) {
    tinygltf::Model model;
    tinygltf::Node node;
    node.name = "camera";
    SceneNode record;
    testing::internal::CaptureStdout();
    loadLight(model, node, record);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loading light camera\n");
    EXPECT_FALSE(record.pointLight || record.directionalLight || record.spotLight);
}

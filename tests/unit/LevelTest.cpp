#include "render/Level.h"

#include "tests/unit/GltfFixture.h"

#include <gtest/gtest.h>

namespace {

using nlohmann::json;

using fixture::captured;

// Twelve point lights "P1" to "P12", two directional lights and one spot light, all root nodes.
std::string writeManyLights(const fixture::TempDir& dir) {
    fixture::Gltf gltf;
    const int point = gltf.addLight({{"type", "point"}});
    const int sun = gltf.addLight({{"type", "directional"}});
    const int spot = gltf.addLight({{"type", "spot"}, {"spot", json::object()}});
    for (int i = 1; i <= 12; ++i)
        gltf.addRootNode({{"name", "P" + std::to_string(i)},
                          {"extensions", {{"KHR_lights_punctual", {{"light", point}}}}}});
    gltf.addRootNode({{"name", "SunA"}, {"extensions", {{"KHR_lights_punctual", {{"light", sun}}}}}});
    gltf.addRootNode({{"name", "SunB"}, {"extensions", {{"KHR_lights_punctual", {{"light", sun}}}}}});
    gltf.addRootNode({{"name", "Spot.001"}, {"extensions", {{"KHR_lights_punctual", {{"light", spot}}}}}});
    return gltf.write(dir);
}

}  // namespace

// Every light of a kind needs a shadow sampler in the programs; the ones past the limit are left out
// and each is reported once, by name, as the level loads.
TEST(Level, KeepsTheLimitOfLightsOfAKindAndWarnsOfTheRest) {
    static_assert(kMaxLightsPerKind < 12, "the fixture must have more point lights than the limit");
    const std::size_t kept = kMaxLightsPerKind;
    fixture::TempDir dir;
    Level level;
    const std::string log = captured([&] {
        level.loadScene(writeManyLights(dir));
        level.sortNodes();
    });
    ASSERT_EQ(log.find("ERR"), std::string::npos) << log;
    EXPECT_EQ(level.nodes.size(), 15u);
    ASSERT_EQ(level.pointLights.size(), kept);
    ASSERT_EQ(level.pointLightNames.size(), kept);
    EXPECT_EQ(level.pointLightNames.front(), "P1");
    EXPECT_EQ(level.pointLightNames.back(), "P" + std::to_string(kept));
    EXPECT_EQ(level.pointLights[kept - 1], level.nodes[kept - 1].pointLight);
    std::string warnings;
    for (std::size_t i = kept + 1; i <= 12; ++i)
        warnings += "WARN: Light 'P" + std::to_string(i) + "' left out: at most " + std::to_string(kept) +
                    " point lights are shaded\n";
    std::string logged;
    for (std::size_t at = log.find("WARN: "); at != std::string::npos; at = log.find("WARN: ", at + 1))
        logged += log.substr(at, log.find('\n', at) + 1 - at);
    EXPECT_EQ(logged, warnings) << log;
    EXPECT_EQ(level.directionalLightNames, (std::vector<std::string>{"SunA", "SunB"}));
    EXPECT_EQ(level.spotLightNames, (std::vector<std::string>{"Spot.001"}));
    EXPECT_TRUE(level.objects.empty());
    EXPECT_FALSE(level.camera);
}

TEST(Level, SetLightEnabledSwitchesTheNamedLightOfTheKind) {
    Level level;
    for (const char* name : {"Point.001", "Point.002", "Point.001"}) {
        level.pointLights.push_back(std::make_shared<PointLight>());
        level.pointLightNames.push_back(name);
    }
    level.directionalLights.push_back(std::make_shared<DirectionalLight>());
    level.directionalLightNames.push_back("Point.002");
    level.spotLights.push_back(std::make_shared<SpotLight>());
    level.spotLightNames.push_back("Spot.001");
    level.spotLights[0]->enabled = 0;

    struct Step {
        LightKind kind;
        const char* name;
        bool on;
        const char* log;
    };
    const Step steps[] = {
        {LightKind::POINT_LIGHT, "Point.002", false, ""},
        {LightKind::POINT_LIGHT, "Point.001", false, ""},          // the first of two equal names
        {LightKind::POINT_LIGHT, "Spot.001", true, ""},            // not a point light: nothing
        {LightKind::SPOT_LIGHT, "Spot.001", true, ""},
        {LightKind::DIRECTIONAL_LIGHT, "point.002", false, ""},    // names are case-sensitive
        {static_cast<LightKind>(3), "Point.002", true, "Error: invalid light type!\n"},
        {static_cast<LightKind>(-1), "Point.002", true, "Error: invalid light type!\n"},
    };
    for (const Step& s : steps) EXPECT_EQ(captured([&] { level.setLightEnabled(s.kind, s.name, s.on); }), s.log);

    EXPECT_EQ(level.pointLights[0]->enabled, 0);
    EXPECT_EQ(level.pointLights[1]->enabled, 0);
    EXPECT_EQ(level.pointLights[2]->enabled, 1);
    EXPECT_EQ(level.spotLights[0]->enabled, 1);
    EXPECT_EQ(level.directionalLights[0]->enabled, 1);
}

#include "render/LightBuffers.h"

#include <gtest/gtest.h>

namespace {

struct Expected { const char* uniform; int unit; };

TEST(ShadowBindings, UnitsFollowPointThenDirectionalThenSpot) {
    struct Case {
        const char* name;
        ShaderType type;
        std::size_t points, directionals, spots;
        std::vector<Expected> bindings;
    };
    const Case cases[] = {
        {"lit program", PBR, 2, 1, 1,
         {{"omniShadowMap[0]", 7}, {"omniShadowMap[1]", 8}, {"directionalShadowMap[0]", 9}, {"spotShadowMap[0]", 10}}},
        {"volumetric march skips directional maps", VOLUMETRIC_LIGHTING, 2, 1, 1,
         {{"omniShadowMap[0]", 2}, {"omniShadowMap[1]", 3}, {"spotShadowMap[0]", 4}}},
        {"no directional lights", PBR, 0, 0, 2, {{"spotShadowMap[0]", 7}, {"spotShadowMap[1]", 8}}},
        {"other programs take none", SKYBOX, 2, 1, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto bindings = shadowBindings(c.type, c.points, c.directionals, c.spots);
        ASSERT_EQ(bindings.size(), c.bindings.size());
        for (std::size_t i = 0; i < bindings.size(); ++i) {
            EXPECT_EQ(bindings[i].uniform, c.bindings[i].uniform);
            EXPECT_EQ(bindings[i].unit, c.bindings[i].unit);
        }
    }
}

// A full level: the limit of each kind takes consecutive units from the first shadow unit, and the
// last stays below the units where unused samplers are parked.
TEST(ShadowBindings, TheLimitOfEachKindUsesConsecutiveUnitsBelowTheParkedOnes) {
    constexpr std::size_t n = kMaxLightsPerKind;
    const auto bindings = shadowBindings(PBR, n, n, n);
    ASSERT_EQ(bindings.size(), 3 * n);
    for (std::size_t i = 0; i < bindings.size(); ++i)
        EXPECT_EQ(bindings[i].unit, kPbrFirstShadowUnit + static_cast<int>(i));
    EXPECT_LT(bindings.back().unit, kParkedCubeShadowUnit);
    EXPECT_EQ(bindings[n - 1].uniform, "omniShadowMap[" + std::to_string(n - 1) + "]");
    EXPECT_EQ(bindings[n].uniform, "directionalShadowMap[0]");
    EXPECT_EQ(bindings.back().uniform, "spotShadowMap[" + std::to_string(n - 1) + "]");
    EXPECT_EQ(bindings.back().kind, LightKind::SPOT_LIGHT);
    EXPECT_EQ(bindings.back().index, n - 1);
}

// The lit and volumetric loops visit these indices only, so they must name exactly the lights that
// are on, in list order, and only those with a shadow sampler (the first kMaxLightsPerKind of a kind).
TEST(OnLightList, NamesTheLightsThatAreOnInOrder) {
    struct Case {
        const char* name;
        std::vector<int> enabled;  // one entry per light
        std::vector<GLint> on;
    };
    // Two lights more than the limit, all on but the first and the third.
    Case pastTheLimit{"", std::vector<int>(kMaxLightsPerKind + 2, 1), {1}};
    pastTheLimit.enabled[0] = pastTheLimit.enabled[2] = 0;
    for (GLint i = 3; i < static_cast<GLint>(kMaxLightsPerKind); ++i) pastTheLimit.on.push_back(i);
    const Case cases[] = {
        {"none", {}, {}},
        {"all off", {0, 0, 0}, {}},
        {"the level before the change of light", {1, 0, 1}, {0, 2}},
        {"the level after it", {0, 1, 0}, {1}},
        {"any non-zero flag is on", {0, 7}, {1}},
        {"four with samplers", {1, 1, 1, 1}, {0, 1, 2, 3}},
        {"lights past the limit have no sampler", pastTheLimit.enabled, pastTheLimit.on},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::shared_ptr<PointLight>> lights;
        for (int flag : c.enabled) {
            lights.push_back(std::make_shared<PointLight>());
            lights.back()->enabled = flag;
        }
        const OnLightList list = onLightList(lights);
        ASSERT_EQ(list.count, static_cast<GLint>(c.on.size()));
        for (std::size_t i = 0; i < list.indices.size(); ++i)
            EXPECT_EQ(list.indices[i], i < c.on.size() ? c.on[i] : 0) << "element " << i;
    }
}

}  // namespace

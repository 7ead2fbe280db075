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

TEST(ShadowBindings, TenOfEachKindUseUnitsSevenToThirtySix) {
    const auto bindings = shadowBindings(PBR, 10, 10, 10);
    ASSERT_EQ(bindings.size(), 30u);
    for (std::size_t i = 0; i < bindings.size(); ++i) EXPECT_EQ(bindings[i].unit, 7 + static_cast<int>(i));
    EXPECT_EQ(bindings[9].uniform, "omniShadowMap[9]");
    EXPECT_EQ(bindings[10].uniform, "directionalShadowMap[0]");
    EXPECT_EQ(bindings[29].uniform, "spotShadowMap[9]");
    EXPECT_EQ(bindings[29].kind, SPOT_LIGHT);
    EXPECT_EQ(bindings[29].index, 9u);
}

}  // namespace

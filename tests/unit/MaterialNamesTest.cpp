#include "textures/MaterialNames.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char* objectName;
    const char* baseName;
};

const NameCase kNameCases[] = {
    {"flower_alive.002", "flower_alive"},
    {"flower_alive", "flower_alive"},
    {"tree2x", "treex"},          // digits go wherever they stand
    {"rock.1.v2", "rockv"},
    {"9.8", ""},
    {"", ""},
    {"ground", "ground"},
};

TEST(MaterialBaseName, DropsDotsAndDigitsAnywhere) {
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.objectName);
        EXPECT_EQ(materialBaseName(c.objectName), c.baseName);
    }
}

TEST(MaterialTextureNames, AppendTheThreeSuffixesToTheBaseName) {
    const MaterialTextureNames names = materialTextureNames("flower_alive.002");
    EXPECT_EQ(names.albedo, "flower_alive_Albedo.dds");
    EXPECT_EQ(names.normal, "flower_alive_Normal.dds");
    EXPECT_EQ(names.aoRoughMetal, "flower_alive_AoRoughMetal.dds");
}

}  // namespace

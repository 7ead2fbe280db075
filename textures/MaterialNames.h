// The rule that finds an object's material textures from its name: every '.' and digit is
// dropped wherever it stands, so "flower_alive.002" and "flower_alive" share flower_alive_*.dds.
#pragma once

#include <string>

// `objectName` without any of the characters ".0123456789".
std::string materialBaseName(const std::string& objectName);

struct MaterialTextureNames {
    std::string albedo;        // <base>_Albedo.dds
    std::string normal;        // <base>_Normal.dds
    std::string aoRoughMetal;  // <base>_AoRoughMetal.dds
};

MaterialTextureNames materialTextureNames(const std::string& objectName);

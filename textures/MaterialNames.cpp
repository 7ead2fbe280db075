#include "textures/MaterialNames.h"

#include <algorithm>

std::string materialBaseName(const std::string& objectName) {
    std::string base = objectName;
    std::erase_if(base, [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
    return base;
}

MaterialTextureNames materialTextureNames(const std::string& objectName) {
    const std::string base = materialBaseName(objectName);
    return {base + "_Albedo.dds", base + "_Normal.dds", base + "_AoRoughMetal.dds"};
}

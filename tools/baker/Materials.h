// Procedural material painting for the level: for each material base name (a node name without
// "." and digits) the albedo, tangent-space normal and AO/roughness/metalness textures, written
// as DXT1 DDS files "<base>_Albedo.dds", "<base>_Normal.dds", "<base>_AoRoughMetal.dds".
// Refuses base names it has no painter for.
#pragma once

#include "tools/baker/MaterialsSheet.h"

#include <string>
#include <vector>

class Materials {
public:
    // Texture size for a material: 64 in the reduced bake, 1024 for the ground, 512 otherwise.
    static int sheetSize(const std::string& baseName, bool reduced);
    static bool hasPainter(const std::string& baseName);
    // Paints the material; an unknown base name yields an empty (0-sized) sheet.
    static MaterialSheet paint(const std::string& baseName, int size);
    // Strength of the material's relief in its normal map.
    static float bumpScale(const std::string& baseName);
    // Paints and writes the three DDS files into `texturesDir`. Prints an ERROR line and returns
    // false for an unknown name or a file that cannot be written.
    static bool bake(const std::string& baseName, int size, const std::string& texturesDir);
};

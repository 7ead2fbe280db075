// Procedural plant, rock and wood meshes of the meadow clearing, each in its node's own space
// (+Y up, metres, as glTF). Thin parts (leaves, petals, blades) are two-sided because the scene
// pass culls back faces. Texture coordinates land in the regions that the matching material
// sheet paints (see MaterialsLayout.h). Flowers are built around their head: the node's origin
// is the blossom, where the engine emits the flower's particles.
#pragma once

#include "tools/baker/LevelMesh.h"

#include <cstdint>

enum class FlowerKind { Alive, Hero, Dead, Hope };

class LevelProps {
public:
    // The returned vector is where the stem meets the ground, relative to the head.
    static LevelMesh flower(FlowerKind kind, std::uint64_t seed, glm::vec3* stemBase);
    static LevelMesh thistle(std::uint64_t seed, float height, int detail);
    static LevelMesh grassTuft(std::uint64_t seed, int blades, float size);
    static LevelMesh rock(std::uint64_t seed, const glm::vec3& size, int detail);
    static LevelMesh stump(std::uint64_t seed);
    static LevelMesh log(std::uint64_t seed);
    static LevelMesh thistleSeed(std::uint64_t seed);
    // A terrain grid over [-halfExtent, halfExtent]^2: `coreCells` even cells across the clearing,
    // then `outerCells` cells per side growing towards the rim.
    static LevelMesh ground(float coreHalf, int coreCells, float halfExtent, int outerCells);
    static float groundHeight(float x, float z);
};

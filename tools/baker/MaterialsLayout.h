// Where each part of a prop lives on its material's texture sheet. The meshes map their texture
// coordinates into these rectangles and the painters fill them, so both sides agree by name.
// v grows with the image row (the first row of the file is v = 0, as the engine uploads it).
#pragma once

#include "tools/baker/LevelMesh.h"

namespace sheet {

// thistle: stem bark, leaf, the spiny bulb of the head, the purple tuft.
constexpr UvRect kThistleStem{0.0f, 0.0f, 0.25f, 1.0f};
constexpr UvRect kThistleLeaf{0.25f, 0.0f, 0.625f, 1.0f};
constexpr UvRect kThistleBulb{0.625f, 0.0f, 1.0f, 0.5f};
constexpr UvRect kThistleTuft{0.625f, 0.5f, 1.0f, 1.0f};

// flower_alive, flower_dead, flower_hope share one layout with different paint.
constexpr UvRect kFlowerStem{0.0f, 0.0f, 0.125f, 1.0f};
constexpr UvRect kFlowerLeaf{0.125f, 0.0f, 0.5f, 1.0f};
constexpr UvRect kFlowerPetal{0.5f, 0.0f, 1.0f, 0.5f};
constexpr UvRect kFlowerCenter{0.5f, 0.5f, 0.75f, 0.75f};   // square: a disc is mapped into it
constexpr UvRect kFlowerCalyx{0.75f, 0.5f, 1.0f, 1.0f};

// grass: four blade variants side by side, each u across the blade, v from base to tip.
constexpr int kGrassVariants = 4;
inline UvRect grassBlade(int variant) {
    const float w = 1.0f / kGrassVariants;
    return UvRect{variant * w, 0.0f, (variant + 1) * w, 1.0f};
}

// rock: the whole sheet, u around (it wraps), v from the bottom to the top.
constexpr UvRect kRock{0.0f, 0.0f, 1.0f, 1.0f};

// stump and log: bark wraps around in u; the cut end with its rings sits in a square below.
constexpr UvRect kBark{0.0f, 0.0f, 1.0f, 0.75f};
constexpr UvRect kRings{0.0f, 0.75f, 0.25f, 1.0f};

// thistle_seed: the seed body and the silky filaments.
constexpr UvRect kSeedBody{0.0f, 0.0f, 0.25f, 1.0f};
constexpr UvRect kSeedFilament{0.25f, 0.0f, 1.0f, 1.0f};

// ground: tiles every kGroundTileMetres in both directions.
constexpr float kGroundTileMetres = 2.5f;

}  // namespace sheet

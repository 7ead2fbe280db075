// The asset baker's entry points. Each writes its files under the given assets folder
// (the repository's assets/), deterministically: fixed seeds, the same bytes on every run.
#pragma once

#include <cstdint>
#include <string>

struct BakeOptions {
    std::string assetsDir;   // e.g. "<repo>/assets"; sub-folders scene/, textures/, media/ are created
    bool reduced = false;    // small sizes and short audio, for the determinism test
};

// Level: scene/thistle_exploration_scene3.gltf + .bin and every material texture it names.
void bakeLevel(const BakeOptions& options);
// textures/skybox2.hdr: the equirectangular dusk sky.
void bakeSky(const BakeOptions& options);
// textures/intro.dds, textures/credits.dds: title and credits drawn with a real font.
void bakeTitles(const BakeOptions& options);
// textures/goodParticle.dds, hopeParticle.dds, badParticles3.dds.
void bakeSprites(const BakeOptions& options);
// media/music.mp3.
void bakeMusic(const BakeOptions& options);

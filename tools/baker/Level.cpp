// The level bake: builds the meadow clearing, writes it as glTF with its .bin, then paints every
// material its mesh nodes name. Deterministic: fixed seeds, no clocks, no threads racing on output.
#include "tools/baker/Bake.h"
#include "tools/baker/LevelGltf.h"
#include "tools/baker/LevelScene.h"
#include "tools/baker/Materials.h"

#include <cstdio>
#include <filesystem>

void bakeLevel(const BakeOptions& options) {
    const std::filesystem::path root(options.assetsDir);
    std::error_code ec;
    std::filesystem::create_directories(root / "scene", ec);
    std::filesystem::create_directories(root / "textures", ec);
    if (ec) {
        std::printf("ERROR: Failed to create '%s': %s\n", (root / "textures").string().c_str(), ec.message().c_str());
        std::fflush(stdout);
        return;
    }
    const LevelScene scene = LevelScene::build(options.reduced);
    writeLevelGltf(scene, (root / "scene" / "thistle_exploration_scene3.gltf").string());
    for (const std::string& name : scene.materialNames())
        Materials::bake(name, Materials::sheetSize(name, options.reduced), (root / "textures").string());
}

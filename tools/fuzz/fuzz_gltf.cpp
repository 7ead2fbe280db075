// glTF JSON text through tinygltf and the level walk, without a GL context: every root node's
// matrix, mesh arrays, camera or light, and every animation sampled across its keys. Files beside
// the level are never opened; buffers come from data URIs inside the text.
#include "scene/Animation.h"
#include "scene/SceneImport.h"
#include "scene/SceneNode.h"
#include "scene/Lights.h"

#include <tiny_gltf.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>

namespace {

bool noFile(const std::string&, void*) { return false; }
std::string samePath(const std::string& path, void*) { return path; }
bool noRead(std::vector<unsigned char>*, std::string* err, const std::string&, void*) {
    if (err) *err = "no files while fuzzing";
    return false;
}
bool noWrite(std::string*, const std::string&, const std::vector<unsigned char>&, void*) { return false; }
bool skipImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
    return true;
}

// What the upload relies on: attribute arrays empty or one entry per position, indices inside.
void checkMesh(const GatheredMesh& mesh) {
    const std::size_t n = mesh.data.positions.size();
    const auto aligned = [n](std::size_t size) { return size == 0 || size == n; };
    if (!aligned(mesh.data.normals.size()) || !aligned(mesh.data.uvs.size()) || !aligned(mesh.data.tangents.size()) ||
        !aligned(mesh.data.bitangents.size()))
        std::abort();
    for (std::uint32_t index : mesh.data.indices)
        if (index >= n) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cout.setstate(std::ios::badbit);  // the walk's log lines would only slow the run
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({&noFile, &samePath, &noRead, &noWrite, nullptr});
    loader.SetImageLoader(&skipImage, nullptr);
    tinygltf::Model model;
    std::string err, warn;
    bool parsed = false;
    try {
        parsed = loader.LoadASCIIFromString(&model, &err, &warn, reinterpret_cast<const char*>(data),
                                            static_cast<unsigned int>(size), "", tinygltf::REQUIRE_VERSION);
    } catch (const std::exception&) {
        return 0;
    }
    if (!parsed) return 0;
    if (model.defaultScene < 0 || static_cast<std::size_t>(model.defaultScene) >= model.scenes.size()) return 0;

    for (int index : model.scenes[model.defaultScene].nodes) {
        if (index < 0 || static_cast<std::size_t>(index) >= model.nodes.size()) continue;
        const tinygltf::Node& node = model.nodes[index];
        nodeMatrix(node);
        if (node.mesh >= 0) {
            if (static_cast<std::size_t>(node.mesh) >= model.meshes.size()) continue;
            GatheredMesh mesh = gatherMesh(model, model.meshes[node.mesh]);
            mesh.data.computeBitangents();
            checkMesh(mesh);
        } else if (node.name == "Camera") {
            loadCamera(model, node);
        } else {
            SceneNode record;
            loadLight(model, node, record);
        }
    }
    for (const tinygltf::Animation& gltfAnimation : model.animations) {
        Animation animation(model, gltfAnimation);
        for (const auto& channel : animation.channels)
            for (float time : {-1.0f, 0.0f, 0.5f, 1.0f, 100.0f}) animation.evaluate(time, channel);
    }
    return 0;
}

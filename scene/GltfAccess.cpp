#include "scene/GltfAccess.h"

#include <glm/gtc/matrix_transform.hpp>
#include <tiny_gltf.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>

namespace {

// What the parser may open while it reads one level file: the file itself and files whose URIs stay
// inside its folder. tinygltf joins the folder and the decoded URI, then also tries "./<uri>"; only the
// first form is considered, so nothing is ever looked up relative to the working directory.
struct Sandbox {
    std::string levelFile;
    std::string uriPrefix;  // the level's folder as tinygltf joins it, with its separator
    std::filesystem::path root;
    std::set<std::string> approved;
    std::set<std::string> reported;
};

bool insideRoot(const Sandbox& box, const std::string& path) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    if (error || box.root.empty()) return false;
    return std::mismatch(box.root.begin(), box.root.end(), resolved.begin(), resolved.end()).first == box.root.end();
}

bool sandboxFileExists(const std::string& path, void* userData) {
    Sandbox& box = *static_cast<Sandbox*>(userData);
    // With a folder prefix, a path without it is the retry relative to the working directory.
    if (path.compare(0, box.uriPrefix.size(), box.uriPrefix) != 0) return false;
    const std::string uri = path.substr(box.uriPrefix.size());

    std::optional<std::string> why = refuseUri(uri);
    if (!why) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) return false;
        // Catches links inside the folder that point out of it.
        if (!insideRoot(box, path)) why = "resolves outside the level's folder";
    }
    if (why) {
        if (box.reported.insert(uri).second)
            std::cout << "ERROR: Refused file reference '" << uri << "' in '" << box.levelFile << "': " << *why
                      << std::endl;
        return false;
    }
    box.approved.insert(path);
    return true;
}

std::string unchangedPath(const std::string& path, void*) { return path; }

bool sandboxReadWholeFile(std::vector<unsigned char>* out, std::string* err, const std::string& path,
                          void* userData) {
    const Sandbox& box = *static_cast<const Sandbox*>(userData);
    if (path != box.levelFile && box.approved.count(path) == 0) {
        if (err) *err = "not inside the level's folder";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        if (err) *err = "cannot open the file";
        return false;
    }
    out->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (file.bad()) {
        if (err) *err = "read error";
        return false;
    }
    return true;
}

bool refuseWrites(std::string* err, const std::string&, const std::vector<unsigned char>&, void*) {
    if (err) *err = "the level loader writes no files";
    return false;
}

// Materials are found by object name, so images inside the level are never decoded.
bool skipImage(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
    return true;
}

std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::optional<std::string> refuseUri(const std::string& uri) {
    if (!uri.empty() && (uri[0] == '/' || uri[0] == '\\')) return "absolute path";
    if (uri.size() >= 2 && uri[1] == ':' && std::isalpha(static_cast<unsigned char>(uri[0])))
        return "absolute path";
    // Walk the components: ".." above the starting folder leaves it.
    int depth = 0;
    std::size_t start = 0;
    while (start <= uri.size()) {
        std::size_t end = uri.find_first_of("/\\", start);
        if (end == std::string::npos) end = uri.size();
        const std::string part = uri.substr(start, end - start);
        if (part == "..") {
            if (--depth < 0) return "climbs out of the level's folder";
        } else if (!part.empty() && part != ".") {
            ++depth;
        }
        start = end + 1;
    }
    return std::nullopt;
}

bool parseGltfFile(const std::string& path, tinygltf::Model& model) {
    Sandbox box;
    box.levelFile = path;
    // The folder exactly as tinygltf derives and joins it.
    const std::size_t slash = path.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    if (!folder.empty()) box.uriPrefix = folder.back() == '/' ? folder : folder + "/";
    std::error_code error;
    box.root = std::filesystem::weakly_canonical(folder.empty() ? "." : folder, error);

    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({&sandboxFileExists, &unchangedPath, &sandboxReadWholeFile, &refuseWrites, &box});
    loader.SetImageLoader(&skipImage, nullptr);

    std::string err;
    std::string warn;
    bool parsed = false;
    try {
        parsed = loader.LoadASCIIFromFile(&model, &err, &warn, path, tinygltf::REQUIRE_VERSION);
    } catch (const std::exception& e) {
        err += e.what();
        parsed = false;
    }
    if (!warn.empty()) std::cout << "WARN: " << trimmed(warn) << std::endl;
    if (!err.empty()) std::cout << "ERR: " << trimmed(err) << std::endl;
    std::cout << (parsed ? "Loaded glTF: " : "Failed to load glTF: ") << path << std::endl;
    if (!parsed) model = tinygltf::Model();
    return parsed;
}

glm::quat nodeRotation(const tinygltf::Node& node) {
    if (node.rotation.size() != 4) return glm::quat(1.0f, 0.0f, 0.0f, 0.0f);
    // glTF stores (x, y, z, w); glm's constructor takes w first.
    return glm::quat(static_cast<float>(node.rotation[3]), static_cast<float>(node.rotation[0]),
                     static_cast<float>(node.rotation[1]), static_cast<float>(node.rotation[2]));
}

Transformation nodeTransformation(const tinygltf::Node& node) {
    glm::vec3 t(0.0f);
    glm::quat q(1.0f, 0.0f, 0.0f, 0.0f);
    glm::vec3 s(1.0f);
    if (node.translation.size() == 3)
        t = glm::vec3(static_cast<float>(node.translation[0]), static_cast<float>(node.translation[1]),
                      static_cast<float>(node.translation[2]));
    if (node.rotation.size() == 4) q = nodeRotation(node);
    if (node.scale.size() == 3)
        s = glm::vec3(static_cast<float>(node.scale[0]), static_cast<float>(node.scale[1]),
                      static_cast<float>(node.scale[2]));
    Transformation parts;
    parts.translationMatrix = glm::translate(glm::mat4(1.0f), t);
    parts.rotationMatrix = glm::mat4_cast(q);
    parts.scaleMatrix = glm::scale(glm::mat4(1.0f), s);
    return parts;
}

glm::mat4 nodeMatrix(const tinygltf::Node& node) {
    const Transformation parts = nodeTransformation(node);
    return parts.translationMatrix * parts.rotationMatrix * parts.scaleMatrix;
}

const unsigned char* accessorBytes(const tinygltf::Model& model, int accessorIndex, std::size_t elementSize,
                                   std::size_t* count, std::string* why) {
    *count = 0;
    if (accessorIndex < 0 || static_cast<std::size_t>(accessorIndex) >= model.accessors.size()) {
        *why = "accessor " + std::to_string(accessorIndex) + " does not exist";
        return nullptr;
    }
    const tinygltf::Accessor& accessor = model.accessors[accessorIndex];
    if (accessor.bufferView < 0 || static_cast<std::size_t>(accessor.bufferView) >= model.bufferViews.size()) {
        *why = "accessor " + std::to_string(accessorIndex) + " has no buffer view";
        return nullptr;
    }
    const tinygltf::BufferView& view = model.bufferViews[accessor.bufferView];
    if (view.buffer < 0 || static_cast<std::size_t>(view.buffer) >= model.buffers.size()) {
        *why = "buffer view " + std::to_string(accessor.bufferView) + " has no buffer";
        return nullptr;
    }
    const std::vector<unsigned char>& data = model.buffers[view.buffer].data;
    const std::size_t size = data.size();
    // Every step is checked before it is added, so no sum can wrap around.
    const bool startInside = view.byteOffset <= size && accessor.byteOffset <= size - view.byteOffset;
    const std::size_t start = startInside ? view.byteOffset + accessor.byteOffset : 0;
    if (!startInside || accessor.count > (size - start) / elementSize) {
        std::ostringstream message;
        message << "accessor " << accessorIndex << " needs " << accessor.count << " x " << elementSize
                << " bytes from offset " << view.byteOffset << " + " << accessor.byteOffset << ", buffer "
                << view.buffer << " has " << size;
        *why = message.str();
        return nullptr;
    }
    *count = accessor.count;
    return data.data() + start;
}

// Small glTF levels built by the tests: JSON text plus one binary buffer written beside it into a
// temporary folder, so every case shows the exact bytes it is about. Header only, shared by the
// context-free and the GL tests.
#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <tiny_gltf.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fixture {

// What `body` printed to standard output: the loaders' log lines.
inline std::string captured(const std::function<void()>& body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end of scope.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        const auto base = std::filesystem::temp_directory_path();
        const std::string stem = "verdance-test-" + std::to_string(::getpid()) + "-";
        do {
            path_ = base / (stem + std::to_string(counter++));
        } while (!std::filesystem::create_directories(path_));
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class Gltf {
public:
    Gltf() {
        doc["asset"] = {{"version", "2.0"}};
        doc["scene"] = 0;
        doc["scenes"] = nlohmann::json::array({nlohmann::json{{"nodes", nlohmann::json::array()}}});
        doc["nodes"] = nlohmann::json::array();
    }

    // Appends raw bytes (4-byte aligned) as a buffer view; returns the view index.
    int addView(const void* data, std::size_t size) {
        while (bin.size() % 4 != 0) bin.push_back(0);
        const std::size_t offset = bin.size();
        bin.resize(offset + size);
        if (size > 0) std::memcpy(bin.data() + offset, data, size);
        doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}});
        return static_cast<int>(doc["bufferViews"].size()) - 1;
    }

    // An accessor over a view; no checks, so tests can describe accessors that do not fit.
    int addAccessor(int view, std::size_t count, int componentType, const char* type, std::size_t byteOffset = 0) {
        nlohmann::json accessor = {{"bufferView", view}, {"componentType", componentType}, {"count", count},
                                   {"type", type}};
        if (byteOffset) accessor["byteOffset"] = byteOffset;
        doc["accessors"].push_back(accessor);
        return static_cast<int>(doc["accessors"].size()) - 1;
    }

    // Floats grouped by `type` ("SCALAR", "VEC2", "VEC3", "VEC4").
    int addFloats(const std::vector<float>& values, const char* type) {
        const int components = std::string(type) == "SCALAR" ? 1 : type[3] - '0';
        const int view = addView(values.data(), values.size() * sizeof(float));
        const int accessor = addAccessor(view, values.size() / components, 5126, type);
        if (components == 1 && !values.empty()) {
            float lo = values[0];
            float hi = values[0];
            for (float v : values) lo = std::min(lo, v), hi = std::max(hi, v);
            doc["accessors"][accessor]["min"] = {lo};
            doc["accessors"][accessor]["max"] = {hi};
        }
        return accessor;
    }

    int addIndices16(const std::vector<std::uint16_t>& indices) {
        const int view = addView(indices.data(), indices.size() * sizeof(std::uint16_t));
        return addAccessor(view, indices.size(), 5123, "SCALAR");
    }

    int addIndices32(const std::vector<std::uint32_t>& indices) {
        const int view = addView(indices.data(), indices.size() * sizeof(std::uint32_t));
        return addAccessor(view, indices.size(), 5125, "SCALAR");
    }

    // A mesh of the given primitives ({"attributes": ..., "indices": ...}); returns its index.
    int addMesh(const std::string& name, const nlohmann::json& primitives) {
        doc["meshes"].push_back({{"name", name}, {"primitives", primitives}});
        return static_cast<int>(doc["meshes"].size()) - 1;
    }

    // A node that is also a root of the default scene; returns its index.
    int addRootNode(const nlohmann::json& node) {
        doc["nodes"].push_back(node);
        const int index = static_cast<int>(doc["nodes"].size()) - 1;
        doc["scenes"][0]["nodes"].push_back(index);
        return index;
    }

    int addLight(const nlohmann::json& light) {
        doc["extensionsUsed"] = {"KHR_lights_punctual"};
        doc["extensions"]["KHR_lights_punctual"]["lights"].push_back(light);
        return static_cast<int>(doc["extensions"]["KHR_lights_punctual"]["lights"].size()) - 1;
    }

    int addCamera(double yfov, double aspect, double znear) {
        doc["cameras"].push_back(
            {{"type", "perspective"}, {"perspective", {{"yfov", yfov}, {"aspectRatio", aspect}, {"znear", znear}}}});
        return static_cast<int>(doc["cameras"].size()) - 1;
    }

    // Writes "<name>.gltf" and, when there are bytes, "<name>.bin" into `dir`; returns the glTF path.
    // `bufferUri` replaces the buffer's URI in the JSON (the bytes are still written to "<name>.bin").
    std::string write(const TempDir& dir, const std::string& name = "level", const std::string& bufferUri = "") {
        return writeTo(dir.path(), name, bufferUri);
    }

    std::string writeTo(const std::filesystem::path& folder, const std::string& name = "level",
                        const std::string& bufferUri = "") {
        nlohmann::json out = doc;
        if (!bin.empty() || out.contains("bufferViews")) {
            out["buffers"] = {{{"uri", bufferUri.empty() ? name + ".bin" : bufferUri}, {"byteLength", bin.size()}}};
            std::ofstream((folder / (name + ".bin")).string(), std::ios::binary)
                .write(reinterpret_cast<const char*>(bin.data()), static_cast<std::streamsize>(bin.size()));
        }
        const std::string path = (folder / (name + ".gltf")).string();
        writeText(path, out.dump(1));
        return path;
    }

    nlohmann::json doc;
    std::vector<unsigned char> bin;
};

// The tinygltf form of a JSON value, for the parts of a model the tests build in memory.
inline tinygltf::Value toValue(const nlohmann::json& j) {
    switch (j.type()) {
    case nlohmann::json::value_t::boolean: return tinygltf::Value(j.get<bool>());
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned: return tinygltf::Value(j.get<int>());
    case nlohmann::json::value_t::number_float: return tinygltf::Value(j.get<double>());
    case nlohmann::json::value_t::string: return tinygltf::Value(j.get<std::string>());
    case nlohmann::json::value_t::array: {
        tinygltf::Value::Array array;
        for (const auto& element : j) array.push_back(toValue(element));
        return tinygltf::Value(std::move(array));
    }
    case nlohmann::json::value_t::object: {
        tinygltf::Value::Object object;
        for (const auto& [key, element] : j.items()) object[key] = toValue(element);
        return tinygltf::Value(std::move(object));
    }
    default: return tinygltf::Value();
    }
}

}  // namespace fixture

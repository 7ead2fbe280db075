#include "models/GeometryRegistry.h"

#include "models/ObjMesh.h"

#include <unordered_map>

namespace {

using GeometryMap = std::unordered_map<std::string, std::shared_ptr<Geometry>>;

// Deliberately never destroyed: a Geometry deletes GL names, and at exit the context is already gone.
GeometryMap& registry() {
    static GeometryMap* map = new GeometryMap();
    return *map;
}

}  // namespace

std::shared_ptr<Geometry> loadObjGeometry(const std::string& fileName) {
    GeometryMap& map = registry();
    if (const auto found = map.find(fileName); found != map.end()) return found->second;
    auto geometry = std::make_shared<Geometry>(readObjMeshData("assets/models/" + fileName), fileName);
    map.emplace(fileName, geometry);
    return geometry;
}

std::vector<std::string> registeredGeometryNames() {
    std::vector<std::string> names;
    for (const auto& [name, geometry] : registry()) names.push_back(name);
    return names;
}

void forgetGeometry(const std::string& name) { registry().erase(name); }

void registerGeometry(const std::string& name, std::shared_ptr<Geometry> geometry) {
    registry().emplace(name, std::move(geometry));
}

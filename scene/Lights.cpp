#include "scene/Lights.h"

#include "scene/GltfAccess.h"
#include "scene/SceneNode.h"

#include <glm/gtc/quaternion.hpp>
#include <tiny_gltf.h>

#include <cmath>
#include <iostream>

namespace {

constexpr const char* kExtension = "KHR_lights_punctual";
// glTF's default outer cone of a spot light whose "spot" object leaves it out: pi / 4.
constexpr double kDefaultOuterConeAngle = 0.7853981633974483;

// What the light object says; glTF's defaults where it is silent (white, intensity 1).
struct LightDescription {
    std::string type;
    glm::vec3 color{1.0f};
    float intensity = 1.0f;
    double innerConeAngle = 0.0;
    double outerConeAngle = 0.0;
};

const tinygltf::Value* member(const tinygltf::Value& object, const char* key) {
    if (!object.IsObject() || !object.Has(key)) return nullptr;
    return &object.Get(key);
}

// Members of the wrong JSON type are skipped, leaving the default.
LightDescription describeLight(const tinygltf::Value& light) {
    LightDescription d;
    if (const tinygltf::Value* color = member(light, "color");
        color && color->IsArray() && color->ArrayLen() >= 3 && color->Get(0).IsNumber() &&
        color->Get(1).IsNumber() && color->Get(2).IsNumber()) {
        d.color = glm::vec3(static_cast<float>(color->Get(0).GetNumberAsDouble()),
                            static_cast<float>(color->Get(1).GetNumberAsDouble()),
                            static_cast<float>(color->Get(2).GetNumberAsDouble()));
    }
    if (const tinygltf::Value* intensity = member(light, "intensity"); intensity && intensity->IsNumber())
        d.intensity = static_cast<float>(intensity->GetNumberAsDouble());
    if (const tinygltf::Value* type = member(light, "type"); type && type->IsString())
        d.type = type->Get<std::string>();
    if (const tinygltf::Value* spot = member(light, "spot"); spot && spot->IsObject()) {
        d.outerConeAngle = kDefaultOuterConeAngle;
        if (const tinygltf::Value* inner = member(*spot, "innerConeAngle"); inner && inner->IsNumber())
            d.innerConeAngle = inner->GetNumberAsDouble();
        if (const tinygltf::Value* outer = member(*spot, "outerConeAngle"); outer && outer->IsNumber())
            d.outerConeAngle = outer->GetNumberAsDouble();
    }
    return d;
}

// The light object the node refers to, or nullptr. The index is read as an integer (a real value is
// truncated toward zero).
const tinygltf::Value* findLightObject(const tinygltf::Model& model, const tinygltf::Node& node) {
    const auto nodeExtension = node.extensions.find(kExtension);
    if (nodeExtension == node.extensions.end()) return nullptr;
    const tinygltf::Value* index = member(nodeExtension->second, "light");
    if (!index || !index->IsNumber()) return nullptr;
    const double lightIndex = std::trunc(index->GetNumberAsDouble());

    const auto modelExtension = model.extensions.find(kExtension);
    if (modelExtension == model.extensions.end()) return nullptr;
    const tinygltf::Value* lights = member(modelExtension->second, "lights");
    if (!lights || !lights->IsArray()) return nullptr;
    if (lightIndex < 0.0 || lightIndex >= static_cast<double>(lights->ArrayLen())) return nullptr;
    return &lights->Get(static_cast<int>(lightIndex));
}

}  // namespace

LightNameSettings lightSettingsForName(const std::string& nodeName) {
    if (nodeName == "Point.001") return {{0.4f, 0.3f, 0.5f}, 1};
    if (nodeName == "Point.002") return {{0.4f, 0.4f, 0.4f}, 0};
    if (nodeName == "Point.003") return {{0.4f, 0.3f, 0.5f}, 1};
    if (nodeName == "Spot.001") return {{0.08f, 0.08f, 0.08f}, 0};
    return {{0.5f, 0.5f, 0.5f}, 1};
}

ImportedLight parseLight(const tinygltf::Model& model, const tinygltf::Node& node) {
    ImportedLight result;
    const tinygltf::Value* lightObject = findLightObject(model, node);
    if (!lightObject) return result;
    const LightDescription light = describeLight(*lightObject);

    // glTF lights shine down their node's -z axis.
    glm::vec3 direction(0.0f);
    if (node.rotation.size() == 4)
        direction = glm::vec3(glm::mat4_cast(nodeRotation(node)) * glm::vec4(0.0f, 0.0f, -1.0f, 0.0f));
    const glm::vec3 position(nodeMatrix(node)[3]);
    const LightNameSettings byName = lightSettingsForName(node.name);

    if (light.type == "point") {
        auto point = std::make_shared<PointLight>();
        point->color = light.color;
        point->position = position;
        point->lightFactors = byName.lightFactors;
        point->enabled = byName.enabled;
        result.pointLight = point;
    } else if (light.type == "directional") {
        auto directional = std::make_shared<DirectionalLight>();
        directional->color = light.color;
        directional->intensity = light.intensity;
        directional->direction = direction;
        directional->position = position;
        directional->enabled = byName.enabled;
        result.directionalLight = directional;
    } else if (light.type == "spot") {
        auto spot = std::make_shared<SpotLight>();
        spot->color = light.color;
        spot->cosInnerCone = static_cast<float>(std::cos(light.innerConeAngle));
        spot->direction = direction;
        spot->cosOuterCone = static_cast<float>(std::cos(light.outerConeAngle));
        spot->lightFactors = byName.lightFactors;
        spot->position = position;
        spot->enabled = byName.enabled;
        result.spotLight = spot;
    }
    return result;
}

void loadLight(const tinygltf::Model& model, const tinygltf::Node& node, SceneNode& record) {
    std::cout << "Loading light " << node.name << std::endl;
    ImportedLight light = parseLight(model, node);
    record.pointLight = std::move(light.pointLight);
    record.directionalLight = std::move(light.directionalLight);
    record.spotLight = std::move(light.spotLight);
}

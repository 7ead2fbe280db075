// What one root node of the level became: a drawable object, the level camera or a light (at most one
// of the three light fields). It keeps its glTF node index, the key its animation is filed under, and
// applies that animation's pose to its object or camera. Lights are never animated.
#pragma once

#include <glm/glm.hpp>

#include <map>
#include <memory>
#include <string>

class Animation;
class AnimatedCamera;
class Object;
struct DirectionalLight;
struct PointLight;
struct SpotLight;

struct SceneNode {
    int nodeIndex = -1;
    std::string name;
    std::shared_ptr<Object> object;
    std::shared_ptr<AnimatedCamera> camera;
    std::shared_ptr<PointLight> pointLight;
    std::shared_ptr<DirectionalLight> directionalLight;
    std::shared_ptr<SpotLight> spotLight;
    glm::mat4 translationMatrix{1.0f};
    glm::mat4 rotationMatrix{1.0f};
    glm::mat4 scaleMatrix{1.0f};

    // When `animations` holds an animation under this node's index: copies its pose for this node and
    // places the object at parent x T x R x S, or gives the camera the inverse of that as its view.
    void applyAnimation(const std::map<int, std::shared_ptr<Animation>>& animations, const glm::mat4& parent);
};

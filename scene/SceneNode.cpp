#include "scene/SceneNode.h"

#include "scene/AnimatedCamera.h"
#include "scene/Animation.h"
#include "scene/Object.h"
#include "scene/Transform.h"

void SceneNode::applyAnimation(const std::map<int, std::shared_ptr<Animation>>& animations, const glm::mat4& parent) {
    const auto found = animations.find(nodeIndex);
    if (found == animations.end() || !found->second) return;

    const std::shared_ptr<Transformation> pose = found->second->getTransformation(nodeIndex);
    translationMatrix = pose->translationMatrix;
    rotationMatrix = pose->rotationMatrix;
    scaleMatrix = pose->scaleMatrix;
    // The animated parts replace the node's static placement; a part without a channel holds the
    // node's own value from the file (the Animation starts each pose from it).
    const glm::mat4 model = parent * translationMatrix * rotationMatrix * scaleMatrix;

    if (object) {
        const std::shared_ptr<Transform>& transform = object->getTransform();
        transform->setModelMatrix(model);
        object->setTransform(transform);
    } else if (camera) {
        camera->setView(glm::inverse(model), translationMatrix, rotationMatrix);
    }
}

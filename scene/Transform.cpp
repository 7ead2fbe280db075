#include "scene/Transform.h"

#include <glm/gtc/matrix_transform.hpp>

void Transform::setTranslation(const glm::vec3& value) {
    translation = value;
    rebuildModelMatrix();
}

void Transform::setScale(const glm::vec3& value) {
    scale = value;
    rebuildModelMatrix();
}

void Transform::setModelMatrix(const glm::mat4& value) { modelMatrix = value; }

void Transform::rebuildModelMatrix() {
    glm::mat4 m = glm::translate(glm::mat4(1.0f), translation);
    // A zero axis cannot be normalised; with a zero angle the rotation is the identity anyway.
    if (rotationAngle != 0.0f && glm::dot(rotationAxis, rotationAxis) > 0.0f)
        m = glm::rotate(m, rotationAngle, glm::normalize(rotationAxis));
    m[0] *= scale.x;
    m[1] *= scale.y;
    m[2] *= scale.z;
    modelMatrix = m;
}

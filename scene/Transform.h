// Where an object is: translation, axis-angle rotation and scale, kept together with the model matrix
// built from them. setModelMatrix stores a matrix as given and does not decompose it, so the parts go
// stale until the next setTranslation or setScale rebuilds the matrix from them.
#pragma once

#include <glm/glm.hpp>

class Transform {
public:
    void setTranslation(const glm::vec3& value);
    void setScale(const glm::vec3& value);
    void setModelMatrix(const glm::mat4& value);

    glm::mat4 getModelMatrix() const { return modelMatrix; }
    glm::vec3 getTranslation() const { return translation; }
    glm::vec3 getRotationAxis() const { return rotationAxis; }
    float getRotationAngle() const { return rotationAngle; }
    glm::vec3 getScale() const { return scale; }

    // modelMatrix = translate(translation) * rotate(rotationAngle, rotationAxis) * scale(scale).
    void rebuildModelMatrix();

private:
    glm::vec3 translation{0.0f, 0.0f, 0.0f};
    glm::vec3 rotationAxis{1.0f, 0.0f, 0.0f};
    float rotationAngle = 0.0f;  // radians
    glm::vec3 scale{1.0f, 1.0f, 1.0f};
    glm::mat4 modelMatrix{1.0f};
};

#include "models/BoundingBox.h"

BoundingBox::BoundingBox(const glm::vec3& min, const glm::vec3& max)
    : corners{glm::vec3(min.x, min.y, min.z), glm::vec3(min.x, max.y, min.z), glm::vec3(max.x, max.y, min.z),
              glm::vec3(max.x, min.y, min.z), glm::vec3(min.x, max.y, max.z), glm::vec3(max.x, max.y, max.z),
              glm::vec3(min.x, min.y, max.z), glm::vec3(max.x, min.y, max.z)} {}

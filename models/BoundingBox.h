// The eight model-space corners of an axis-aligned box, which frustum culling transforms and tests.
// The corner order is fixed (bottom face z = min first, then the top face z = max); callers rely on it.
#pragma once

#include <glm/glm.hpp>

#include <array>

class BoundingBox {
public:
    BoundingBox(const glm::vec3& min, const glm::vec3& max);

    const std::array<glm::vec3, 8>& getCorners() const { return corners; }

private:
    std::array<glm::vec3, 8> corners;
};

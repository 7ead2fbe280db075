#include "scene/Frustum.h"

#include "models/BoundingBox.h"
#include "models/Geometry.h"
#include "scene/Object.h"
#include "scene/Transform.h"

namespace {

// One bit per clip plane (-x, +x, -y, +y, -z, +z) that the clip-space point `p` lies beyond.
unsigned clipPlanesBeyond(const glm::vec4& p) {
    unsigned outside = 0u;
    if (p.x < -p.w) outside |= 0x01u;
    if (p.x > p.w) outside |= 0x02u;
    if (p.y < -p.w) outside |= 0x04u;
    if (p.y > p.w) outside |= 0x08u;
    if (p.z < -p.w) outside |= 0x10u;
    if (p.z > p.w) outside |= 0x20u;
    return outside;
}

}  // namespace

bool Frustum::isVisible(std::shared_ptr<BoundingBox> box, glm::mat4 model, glm::mat4 viewProjection) const {
    if (!box) return true;
    const glm::mat4 mvp = viewProjection * model;
    // One bit per clip plane (-x, +x, -y, +y, -z, +z) for the planes every corner so far lies beyond.
    // The clip volume is convex, so a box whose corners all lie beyond one plane is wholly beyond it.
    unsigned outsideAll = 0x3Fu;
    for (const glm::vec3& corner : box->getCorners()) {
        const unsigned outside = clipPlanesBeyond(mvp * glm::vec4(corner, 1.0f));
        if (outside == 0u) return true;  // this corner is inside
        outsideAll &= outside;
        if (outsideAll == 0u) return true;
    }
    return outsideAll == 0u;
}

bool Frustum::anyInside(std::span<const glm::vec3> points, const glm::mat4& viewProjection) const {
    unsigned outsideAll = 0x3Fu;
    for (const glm::vec3& point : points) {
        const unsigned outside = clipPlanesBeyond(viewProjection * glm::vec4(point, 1.0f));
        outsideAll &= outside;
        if (outsideAll == 0u) return true;
    }
    return outsideAll == 0u;
}

bool Frustum::shouldDraw(const Object& object, const glm::mat4& viewProjection) const {
    if (object.getName() == "ground") return true;
    const std::shared_ptr<Geometry>& geometry = object.getGeometry();
    if (!geometry) return true;
    return isVisible(geometry->getBoundingBox(), object.getTransform()->getModelMatrix(), viewProjection);
}

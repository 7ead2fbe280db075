// Whether any part of an object's bounding box can be seen, tested in clip space on the box's eight
// corners: a box is culled only when all corners lie outside one and the same clip plane, so a box
// that straddles the view volume (a large object around the camera) stays visible. Holds no state.
#pragma once

#include <glm/glm.hpp>

#include <memory>
#include <span>

class BoundingBox;
class Object;

class Frustum {
public:
    // False only when all eight corners of the box, placed by `model` and projected by
    // `viewProjection`, lie beyond the same clip plane; a corner on a plane counts as inside. No box:
    // true.
    bool isVisible(std::shared_ptr<BoundingBox> box, glm::mat4 model, glm::mat4 viewProjection) const;

    // False only when all `points` (world space), projected by `viewProjection`, lie beyond the same
    // clip plane: then their convex hull is wholly outside the view volume.
    bool anyInside(std::span<const glm::vec3> points, const glm::mat4& viewProjection) const;

    // The rule every object pass applies: an object named exactly "ground" is always drawn; others by
    // isVisible with their geometry's box and their model matrix.
    bool shouldDraw(const Object& object, const glm::mat4& viewProjection) const;
};

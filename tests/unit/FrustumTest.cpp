#include "scene/Frustum.h"

#include "models/BoundingBox.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>

namespace {

struct FrustumCase {
    const char* name;
    glm::vec3 min;
    glm::vec3 max;
    bool visible;
};

// Camera at the origin looking down -z, 90 degrees high, square, near 0.1, far 100.
const FrustumCase kPerspectiveCases[] = {
    {"box in front, inside the view", {-1, -1, -6}, {1, 1, -4}, true},
    {"box behind the camera", {-1, -1, 4}, {1, 1, 6}, false},
    {"box far off to the left", {-60, -1, -6}, {-50, 1, -4}, false},
    {"box beyond the far plane", {-1, -1, -300}, {1, 1, -200}, false},
    {"large box around the camera, every corner outside", {-50, -50, -50}, {50, 50, 50}, true},
    {"long bar across the view, corners outside different planes", {-100, -0.1f, -5}, {100, 0.1f, -4}, true},
    {"box straddling the left plane", {-10, -1, -6}, {-5, 1, -4}, true},
};

}  // namespace

TEST(Frustum, CullsABoxOnlyWhenAllCornersLieBeyondOnePlane) {
    const glm::mat4 viewProjection = glm::perspective(glm::radians(90.0f), 1.0f, 0.1f, 100.0f);
    const Frustum frustum;
    for (const FrustumCase& c : kPerspectiveCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(frustum.isVisible(std::make_shared<BoundingBox>(c.min, c.max), glm::mat4(1.0f), viewProjection),
                  c.visible);
    }
}

TEST(Frustum, PlacesTheBoxWithItsModelMatrixAndCountsTheBoundaryAsInside) {
    const Frustum frustum;
    // With the identity as view-projection the clip volume is the cube [-1, 1]^3 and w = 1.
    const glm::mat4 identity(1.0f);
    EXPECT_TRUE(frustum.isVisible(std::make_shared<BoundingBox>(glm::vec3(1, 0, 0), glm::vec3(2, 0.5f, 0.5f)),
                                  identity, identity));
    EXPECT_FALSE(frustum.isVisible(std::make_shared<BoundingBox>(glm::vec3(1.001f, 0, 0), glm::vec3(2, 0.5f, 0.5f)),
                                   identity, identity));
    // The same box moved by -1.5 along x lies inside.
    const glm::mat4 moved = glm::translate(glm::mat4(1.0f), glm::vec3(-1.5f, 0, 0));
    EXPECT_TRUE(frustum.isVisible(std::make_shared<BoundingBox>(glm::vec3(1.001f, 0, 0), glm::vec3(2, 0.5f, 0.5f)),
                                  moved, identity));
    EXPECT_TRUE(frustum.isVisible(nullptr, identity, identity));
}

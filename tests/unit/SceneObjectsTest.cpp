// Transform matrices, bounding-box corner order, bitangents and the defaults of an Object; no GL.
#include "models/BoundingBox.h"
#include "models/MeshData.h"
#include "scene/Object.h"
#include "scene/Transform.h"

#include <gtest/gtest.h>

namespace {

TEST(Transform, SetScaleAfterSetModelMatrixRebuildsFromTheStoredParts) {
    Transform transform;
    transform.setTranslation({1, 2, 3});
    const glm::mat4 imported(5.0f);
    transform.setModelMatrix(imported);
    EXPECT_EQ(transform.getModelMatrix(), imported);
    EXPECT_EQ(transform.getTranslation(), glm::vec3(1, 2, 3));

    transform.setScale({2, 3, 4});
    // translate(1, 2, 3) * scale(2, 3, 4), written out column by column; the imported matrix is gone.
    const glm::mat4 expected(glm::vec4(2, 0, 0, 0), glm::vec4(0, 3, 0, 0), glm::vec4(0, 0, 4, 0),
                             glm::vec4(1, 2, 3, 1));
    EXPECT_EQ(transform.getModelMatrix(), expected);
}

TEST(BoundingBox, CornersComeInTheFixedOrder) {
    const BoundingBox box({-1, 0, -3}, {1, 2, 3});
    const std::array<glm::vec3, 8> expected{
        glm::vec3(-1, 0, -3), glm::vec3(-1, 2, -3), glm::vec3(1, 2, -3), glm::vec3(1, 0, -3),
        glm::vec3(-1, 2, 3),  glm::vec3(1, 2, 3),   glm::vec3(-1, 0, 3), glm::vec3(1, 0, 3)};
    EXPECT_EQ(box.getCorners(), expected);
}

struct BitangentCase {
    const char* name;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec3> tangents;
    bool result;
    std::vector<glm::vec3> bitangents;  // after the call, starting from one marker entry
};

const glm::vec3 kMarker(7.0f);

const BitangentCase kBitangentCases[] = {
    {"neither normals nor tangents: false, nothing changes", {}, {}, false, {kMarker}},
    {"cross(normal, tangent) is appended", {{0, 0, 1}, {1, 0, 0}}, {{1, 0, 0}, {0, 1, 0}}, true,
     {kMarker, {0, 1, 0}, {0, 0, 1}}},
    {"normals without tangents: true, nothing appended", {{0, 0, 1}}, {}, true, {kMarker}},
    {"a tangent without a normal gets a zero bitangent", {{0, 0, 1}}, {{1, 0, 0}, {1, 0, 0}}, true,
     {kMarker, {0, 1, 0}, {0, 0, 0}}},
};

TEST(MeshData, ComputeBitangents) {
    for (const BitangentCase& c : kBitangentCases) {
        SCOPED_TRACE(c.name);
        MeshData mesh;
        mesh.normals = c.normals;
        mesh.tangents = c.tangents;
        mesh.bitangents = {kMarker};
        EXPECT_EQ(mesh.computeBitangents(), c.result);
        EXPECT_EQ(mesh.bitangents, c.bitangents);
    }
}

TEST(Object, StartsUnnamedWithATransformOfItsOwn) {
    Object object(nullptr, nullptr);
    EXPECT_EQ(object.getName(), "Unnamed Object");
    ASSERT_NE(object.getTransform(), nullptr);
    object.setPosition({0, 0, -2});
    EXPECT_EQ(object.getTransform()->getModelMatrix()[3], glm::vec4(0, 0, -2, 1));
}

}  // namespace

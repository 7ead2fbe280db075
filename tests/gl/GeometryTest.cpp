// Geometry upload read back from GL, the geometry registry, the two hand-written models, and the
// screen factories drawing a picture the right way up through Object::draw.
#include "models/Geometry.h"
#include "models/GeometryRegistry.h"
#include "models/ObjMesh.h"
#include "scene/ScreenObjects.h"
#include "shaders/Surface.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <glm/gtc/matrix_transform.hpp>

namespace {

std::vector<float> readBuffer(GLuint buffer) {
    glBindBuffer(GL_COPY_READ_BUFFER, buffer);
    GLint size = -1;
    glGetBufferParameteriv(GL_COPY_READ_BUFFER, GL_BUFFER_SIZE, &size);
    std::vector<float> data(static_cast<std::size_t>(std::max(size, 0)) / sizeof(float));
    if (!data.empty()) glGetBufferSubData(GL_COPY_READ_BUFFER, 0, size, data.data());
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return data;
}

struct AttributeState {
    GLint enabled, size, type, normalized, stride, buffer;
    void* pointer;
};

AttributeState attributeState(GLuint location) {
    AttributeState s{};
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &s.enabled);
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &s.size);
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_TYPE, &s.type);
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &s.normalized);
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &s.stride);
    glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &s.buffer);
    glGetVertexAttribPointerv(location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &s.pointer);
    return s;
}

TEST(Geometry, UploadsEachArrayAtItsAttributeLocation) {
    MeshData mesh;
    mesh.positions = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
    mesh.normals = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}};
    mesh.uvs = {{0.25f, 0.5f}, {0.75f, 1.0f}, {0.0f, 0.125f}};
    mesh.tangents = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    mesh.bitangents = {{2, 0, 0}, {0, 2, 0}};  // shorter on purpose: each array has its own size
    mesh.indices = {2, 0, 1};
    const Geometry geometry(mesh, "test triangle");
    EXPECT_EQ(geometry.getIndexCount(), 3u);
    EXPECT_EQ(geometry.getBoundingBox(), nullptr);

    GLint bound = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &bound);
    EXPECT_EQ(bound, 0) << "the vertex array is left bound";

    struct Expected {
        GLuint location;
        GLuint buffer;
        GLint components;
        std::vector<float> values;
    };
    const Expected expected[] = {
        {0, geometry.getPositionBuffer(), 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {1, geometry.getNormalBuffer(), 3, {0, 0, 1, 0, 1, 0, 1, 0, 0}},
        {2, geometry.getUvBuffer(), 2, {0.25f, 0.5f, 0.75f, 1.0f, 0.0f, 0.125f}},
        {3, geometry.getTangentBuffer(), 3, {-1, 0, 0, 0, -1, 0, 0, 0, -1}},
        {4, geometry.getBitangentBuffer(), 3, {2, 0, 0, 0, 2, 0}},
    };
    glBindVertexArray(geometry.getVao());
    for (const Expected& e : expected) {
        SCOPED_TRACE("location " + std::to_string(e.location));
        const AttributeState s = attributeState(e.location);
        EXPECT_EQ(s.enabled, GL_TRUE);
        EXPECT_EQ(s.size, e.components);
        EXPECT_EQ(s.type, GL_FLOAT);
        EXPECT_EQ(s.normalized, GL_FALSE);
        EXPECT_EQ(s.stride, 0);
        EXPECT_EQ(s.pointer, nullptr);
        EXPECT_EQ(static_cast<GLuint>(s.buffer), e.buffer);
        EXPECT_EQ(readBuffer(e.buffer), e.values);
    }
    GLint elementBuffer = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &elementBuffer);
    EXPECT_EQ(static_cast<GLuint>(elementBuffer), geometry.getIndexBuffer()) << "the vertex array lost its indices";
    glBindVertexArray(0);

    glBindBuffer(GL_COPY_READ_BUFFER, geometry.getIndexBuffer());
    std::uint32_t indices[3] = {};
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, sizeof(indices), indices);
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    EXPECT_EQ(std::vector<std::uint32_t>(indices, indices + 3), mesh.indices);

    char label[64] = {};
    glGetObjectLabel(GL_BUFFER, geometry.getPositionBuffer(), sizeof(label), nullptr, label);
    EXPECT_STREQ(label, "test triangle positions");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Geometry, EmptyGeometryHasZeroSizeBuffersAndDrawsNothingWithoutError) {
    GLuint names[7] = {};
    {
        const Geometry geometry{MeshData{}};
        EXPECT_EQ(geometry.getIndexCount(), 0u);
        glBindVertexArray(geometry.getVao());
        for (GLuint location = 0; location < 5; ++location) {
            const AttributeState s = attributeState(location);
            EXPECT_EQ(s.enabled, GL_TRUE) << "location " << location;
            EXPECT_TRUE(readBuffer(static_cast<GLuint>(s.buffer)).empty()) << "location " << location;
        }
        glBindVertexArray(0);
        geometry.draw();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        const GLuint owned[7] = {geometry.getVao(),        geometry.getPositionBuffer(), geometry.getIndexBuffer(),
                                 geometry.getNormalBuffer(), geometry.getUvBuffer(),      geometry.getTangentBuffer(),
                                 geometry.getBitangentBuffer()};
        std::copy(std::begin(owned), std::end(owned), names);
    }
    EXPECT_FALSE(glIsVertexArray(names[0]));
    for (int i = 1; i < 7; ++i) EXPECT_FALSE(glIsBuffer(names[i])) << "buffer " << i << " outlived its geometry";
}

TEST(GeometryRegistry, LoadsEachModelOnceAndKeepsAFailedLoad) {
    const testsupport::RegistryGuard dropAfterwards;
    const gltest::ScopedWorkingDirectory inSource(VERDANCE_SOURCE_DIR);
    const auto plane = loadObjGeometry("plane.obj");
    EXPECT_EQ(loadObjGeometry("plane.obj"), plane);
    EXPECT_EQ(plane->getIndexCount(), 6u);
    registerGeometry("plane.obj", std::make_shared<Geometry>(MeshData{}));
    EXPECT_EQ(loadObjGeometry("plane.obj"), plane) << "registerGeometry replaced an entry";

    ::testing::internal::CaptureStdout();
    const auto missing = loadObjGeometry("no-such-model.obj");
    const auto again = loadObjGeometry("no-such-model.obj");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "ERROR: loading OBJ file: assets/models/no-such-model.obj\n");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(again, missing);
    EXPECT_EQ(missing->getIndexCount(), 0u);
}

struct ModelCase {
    const char* file;
    float halfSize;  // corners at +-halfSize in x and y
};

const ModelCase kModels[] = {{"plane.obj", 0.5f}, {"screen.obj", 1.0f}};

TEST(Models, AreFlatQuadsFacingZWithUvsFromTheBottomLeft) {
    const gltest::ScopedWorkingDirectory inSource(VERDANCE_SOURCE_DIR);
    for (const ModelCase& c : kModels) {
        SCOPED_TRACE(c.file);
        ::testing::internal::CaptureStdout();
        const MeshData mesh = readObjMeshData(std::string("assets/models/") + c.file);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        ASSERT_EQ(mesh.positions.size(), 4u);
        ASSERT_EQ(mesh.indices.size(), 6u);
        for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
            const glm::vec3& p = mesh.positions[i];
            EXPECT_EQ(std::abs(p.x), c.halfSize);
            EXPECT_EQ(std::abs(p.y), c.halfSize);
            EXPECT_EQ(p.z, 0.0f);
            // u grows with x and v with y, from (0, 0) at the bottom-left corner.
            EXPECT_EQ(mesh.uvs[i], glm::vec2(p.x, p.y) / (2.0f * c.halfSize) + 0.5f);
            EXPECT_EQ(mesh.normals[i], glm::vec3(0, 0, 1));
            EXPECT_EQ(mesh.tangents[i], glm::vec3(2.0f * c.halfSize, 0, 0));
            EXPECT_EQ(mesh.bitangents[i], glm::vec3(0, 2.0f * c.halfSize, 0));
        }
        for (std::size_t t = 0; t < 6; t += 3) {
            const glm::vec3 a = mesh.positions[mesh.indices[t]];
            const glm::vec3 b = mesh.positions[mesh.indices[t + 1]];
            const glm::vec3 cc = mesh.positions[mesh.indices[t + 2]];
            EXPECT_GT(glm::cross(b - a, cc - a).z, 0.0f) << "triangle " << t / 3 << " is not counter-clockwise from +z";
        }
    }
}

// A 2x2 picture: red bottom-left, green bottom-right, blue top-left, white top-right (row 0 is the bottom).
GLuint makeCornerTexture() {
    const std::uint8_t texels[] = {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 255, 255, 255, 255};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    return texture;
}

struct ScreenCase {
    const char* name;
    std::shared_ptr<Object> (*create)(std::shared_ptr<Surface>);
    const char* objectName;
    float scale;  // to cover clip space from -1 to 1
};

const ScreenCase kScreens[] = {
    {"screen object", createScreenObject, "ScreenObject", 1.0f},
    {"gui object scaled by 2", createGuiObject, "GuiObject", 2.0f},
};

TEST(ScreenObjects, DrawAPictureTheRightWayUpWithBackFacesCulled) {
    const gltest::ScopedWorkingDirectory inSource(VERDANCE_SOURCE_DIR);
    constexpr int kSize = 8;
    GLuint target = 0, framebuffer = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, kSize, kSize);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, kSize, kSize);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);

    const GLuint picture = makeCornerTexture();
    for (const ScreenCase& c : kScreens) {
        SCOPED_TRACE(c.name);
        const auto object = c.create(createSimpleSurface(std::make_shared<Texture>(picture)));
        EXPECT_EQ(object->getName(), c.objectName);
        object->setScale({c.scale, c.scale, 1.0f});
        const auto& shader = object->getSurface()->shader;
        shader->use();
        shader->setMat4("viewProjectionMat", glm::mat4(1.0f));
        shader->setFloat("brightness", 0.0f);

        const GLfloat grey[] = {0.5f, 0.5f, 0.5f, 1.0f};
        glClearBufferfv(GL_COLOR, 0, grey);
        object->draw();
        const auto pixels = gltest::readPixelsRgba(0, 0, kSize, kSize);
        gltest::savePng(std::string(c.objectName) + "_corners.png", kSize, kSize, pixels);
        auto at = [&](int x, int y) {
            const std::size_t i = (static_cast<std::size_t>(y) * kSize + x) * 4;
            return glm::ivec3(pixels[i], pixels[i + 1], pixels[i + 2]);
        };
        EXPECT_EQ(at(0, 0), glm::ivec3(255, 0, 0));
        EXPECT_EQ(at(kSize - 1, 0), glm::ivec3(0, 255, 0));
        EXPECT_EQ(at(0, kSize - 1), glm::ivec3(0, 0, 255));
        EXPECT_EQ(at(kSize - 1, kSize - 1), glm::ivec3(255, 255, 255));
    }

    glDisable(GL_CULL_FACE);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    const GLuint textures[] = {target, picture};
    glDeleteTextures(2, textures);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace

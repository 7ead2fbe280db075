#include "models/Geometry.h"
#include "models/MeshData.h"
#include "render/ImageBasedLighting.h"
#include "scene/Object.h"
#include "scene/PbrObject.h"
#include "scene/Transform.h"
#include "shaders/Surface.h"
#include "tests/support/GlTestContext.h"
#include "textures/TextureLoader.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

using gltest::ScratchDir;

// "flower_alive.002" and "flower_alive" find the same three files: loaded once, in the order
// AoRoughMetal, Normal, Albedo (the missing files report in that order), and both surfaces bind the
// image-based-lighting set they are given. Each object keeps its full name.
TEST(CreatePbrObject, ObjectsWithTheSameBaseNameShareTexturesAndEnvironment) {
    const ScratchDir scratch("pbr-object");
    const fs::path& dir = scratch.path;
    const float grey[] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
    ASSERT_TRUE(stbi_write_hdr((dir / "assets/textures/skybox2.hdr").string().c_str(), 2, 1, 3, grey));
    gltest::ScopedWorkingDirectory cwd(dir.string());

    auto geometry = std::make_shared<Geometry>(MeshData{});
    auto firstTransform = std::make_shared<Transform>();
    const std::shared_ptr<Texture> environment = loadEnvironment("skybox2.hdr");

    testing::internal::CaptureStdout();
    const auto first = createPbrObject(geometry, firstTransform, "flower_alive.002", environment);
    const std::string output = testing::internal::GetCapturedStdout();
    const char* prefix = "ERROR: Failed to load texture 'assets/textures/";
    EXPECT_EQ(output, std::string(prefix) + "flower_alive_AoRoughMetal.dds': cannot open the file\n" + prefix +
                          "flower_alive_Normal.dds': cannot open the file\n" + prefix +
                          "flower_alive_Albedo.dds': cannot open the file\n");

    testing::internal::CaptureStdout();
    const auto second = createPbrObject(geometry, std::make_shared<Transform>(), "flower_alive", environment);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_EQ(first->getName(), "flower_alive.002");
    EXPECT_EQ(second->getName(), "flower_alive");
    EXPECT_EQ(first->getTransform(), firstTransform);
    EXPECT_EQ(first->getGeometry(), geometry);

    const Surface& a = *first->getSurface();
    const Surface& b = *second->getSurface();
    EXPECT_NE(&a, &b);
    EXPECT_EQ(a.textures[0], loadTexture("flower_alive_Albedo.dds"));
    EXPECT_EQ(a.textures[1], nullptr);
    EXPECT_EQ(a.textures[2], loadTexture("flower_alive_AoRoughMetal.dds"));
    EXPECT_EQ(a.textures[3], loadTexture("flower_alive_Normal.dds"));
    EXPECT_EQ(b.textures, a.textures);
    EXPECT_EQ(a.environment, environment);
    EXPECT_EQ(b.environment, environment);
    EXPECT_NE(a.environment->getIrradianceMap(), 0u);
}

}  // namespace

// The volumetric chain on hand-made inputs: a fixed camera whose depth map is filled directly, spot
// and point lights whose shadow maps are cleared to chosen depths, and a flat scene texture.
#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "render/LightBuffers.h"
#include "render/SimpleDepthMap.h"
#include "render/VolumetricLightPipe.h"
#include "scene/Camera.h"
#include "shaders/Shader.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"
#include "tests/support/TwoOutputTarget.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>
#include <glm/gtc/quaternion.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

class FixedCamera : public Camera {
public:
    FixedCamera(glm::vec3 eye, glm::vec3 target, float fovRadians, float farPlane) {
        look(eye, target, fovRadians, farPlane);
    }
    void look(glm::vec3 eye, glm::vec3 target, float fovRadians, float farPlane) {
        position = eye;
        viewMatrix = glm::lookAt(eye, target, up);
        projectionMatrix = glm::perspective(fovRadians, 1.0f, 0.1f, farPlane);
    }
    glm::mat4 getViewProjectionMatrix() override { return projectionMatrix * viewMatrix; }
    glm::mat4 getViewMatrix() override { return viewMatrix; }
    void setView(glm::mat4, glm::mat4, glm::mat4) override {}
    void update(glm::vec3) override {}
    glm::vec3 getPosition() override { return position; }
    glm::vec3 getWorldPosition() override { return position; }
    glm::vec3 getDirection() override { return front; }
    unsigned int* getDepthTexture() override { return &depthTexture; }
    unsigned int* getDepthFramebuffer() override { return &depthFramebuffer; }
    glm::mat4 getCullingViewProjectionMatrix() override { return getViewProjectionMatrix(); }

    // Hardware depth of a point `distance` metres straight ahead.
    float depthAt(float distance) const {
        const glm::vec4 clip = projectionMatrix * glm::vec4(0.0f, 0.0f, -distance, 1.0f);
        return clip.z / clip.w * 0.5f + 0.5f;
    }

    unsigned int depthTexture = 0;
    unsigned int depthFramebuffer = 0;
};

void clearDepth(GLuint framebuffer, float depth) {
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glClearDepth(depth);
    glClear(GL_DEPTH_BUFFER_BIT);
    glClearDepth(1.0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

// A cube depth map like the point-shadow pass makes (32-bit float, nearest), every face cleared to
// `depth` in one layered clear.
void createCubeMap(PointLight& light, int size, float depth) {
    glGenTextures(1, &light.depthTexture);
    glBindTexture(GL_TEXTURE_CUBE_MAP, light.depthTexture);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT32F, size, size, 0,
                     GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    glGenFramebuffers(1, &light.depthFramebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, light.depthFramebuffer);
    glFramebufferTexture(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, light.depthTexture, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    clearDepth(light.depthFramebuffer, depth);
}

// Hardware depth of the cube projection (90 degrees, planes from GlobalState) at `axisDistance`
// along a face's axis.
float cubeDepthAt(float axisDistance) {
    const GlobalState& state = GlobalState::instance();
    const glm::mat4 projection = glm::perspective(glm::radians(90.0f), 1.0f, state.nearPlane, state.farPlane);
    const glm::vec4 clip = projection * glm::vec4(0.0f, 0.0f, -axisDistance, 1.0f);
    return clip.z / clip.w * 0.5f + 0.5f;
}

struct SpotSetup {
    std::shared_ptr<SpotLight> light;
    std::shared_ptr<SimpleDepthMap> map;
};

// A spot light with the level's factors and the level's 60-degree shadow map, nothing in its way.
SpotSetup makeSpot(glm::vec3 position, glm::vec3 direction, int mapSize) {
    SpotSetup spot{std::make_shared<SpotLight>(), nullptr};
    spot.light->position = position;
    spot.light->direction = glm::normalize(direction);
    spot.light->color = glm::vec3(1.0f, 0.95f, 0.75f);
    spot.light->cosInnerCone = std::cos(0.22f);
    spot.light->cosOuterCone = std::cos(0.42f);
    spot.light->lightFactors = glm::vec3(0.08f);
    spot.map = std::make_shared<SimpleDepthMap>(position, spot.light->direction, 60.0f, 100.0f, false);
    spot.map->createDepthTarget(&spot.light->depthFramebuffer, &spot.light->depthTexture, mapSize, mapSize);
    clearDepth(spot.light->depthFramebuffer, 1.0f);
    return spot;
}

struct Lights {
    std::vector<std::shared_ptr<PointLight>> points;
    std::vector<std::shared_ptr<SpotLight>> spots;
    std::vector<std::shared_ptr<SimpleDepthMap>> spotMaps;
};

class VolumetricLightPipeTest : public testing::Test {
protected:
    static constexpr int kSize = 128;

    void SetUp() override { useWindowSize(kSize); }
    void TearDown() override {
        glDeleteFramebuffers(1, &camera->depthFramebuffer);
        glDeleteTextures(1, &camera->depthTexture);
        glDeleteTextures(1, &sceneTexture);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glEnable(GL_BLEND);
    }

    // The window size the pipe reads at construction, the camera's depth map, and the scene texture.
    void useWindowSize(int size) {
        GlobalState& state = GlobalState::instance();
        state.width = size;
        state.height = size;
        state.nearPlane = 0.1f;
        state.farPlane = 300.0f;
        state.brightness = 0.0f;
        state.time = 0.0f;
        if (camera->depthTexture) {
            glDeleteFramebuffers(1, &camera->depthFramebuffer);
            glDeleteTextures(1, &camera->depthTexture);
            glDeleteTextures(1, &sceneTexture);
        }
        cameraMap.createDepthTarget(&camera->depthFramebuffer, &camera->depthTexture, size, size);
        clearDepth(camera->depthFramebuffer, 1.0f);  // only sky: rays run to the camera's far plane
        glGenTextures(1, &sceneTexture);
        glBindTexture(GL_TEXTURE_2D, sceneTexture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16F, size, size, 0, GL_RGBA, GL_FLOAT, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glBindTexture(GL_TEXTURE_2D, 0);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glEnable(GL_BLEND);
    }

    // The level's renderVolumetricLight on these inputs.
    void runChain(VolumetricLightPipe& pipe, const Lights& lights, GLuint outputFramebuffer) {
        const std::vector<GLuint> buffers = createLightBuffers(lights.points, {}, lights.spots);
        pipe.downSample(*camera->getDepthTexture());
        pipe.setMarchUniforms(camera, buffers, lights.points, {}, lights.spots, lights.spotMaps);
        pipe.march();
        pipe.blur();
        pipe.upSample(sceneTexture, outputFramebuffer);
        glDeleteBuffers(3, buffers.data());
    }

    // Mean luminance over 3 x 3 pixels around where a world point appears.
    float luminanceAt(const std::vector<float>& pixels, glm::vec3 world) const {
        return gltest::luminanceAround(pixels, kSize, camera->getViewProjectionMatrix(), world);
    }

    static float maxComponent(const std::vector<float>& pixels) {
        float most = 0.0f;
        for (std::size_t i = 0; i < pixels.size(); ++i)
            if (i % 4 != 3) most = std::max(most, pixels[i]);
        return most;
    }

    static void savePicture(const std::string& name, const std::vector<float>& pixels, int size) {
        std::vector<std::uint8_t> bytes(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            const float v = i % 4 == 3 ? 1.0f : 1.0f - std::exp(-pixels[i]);  // the composite's tone curve
            bytes[i] = static_cast<std::uint8_t>(255.0f * std::pow(v, 1.0f / 2.2f));
        }
        gltest::savePng(name, size, size, bytes);
    }

    gltest::ScopedWorkingDirectory cwd{VERDANCE_SOURCE_DIR};
    testsupport::GlobalStateGuard restore;
    // Eye 6 m south of the origin at head height, looking north.
    std::shared_ptr<FixedCamera> camera =
        std::make_shared<FixedCamera>(glm::vec3(0.0f, 1.5f, 6.0f), glm::vec3(0.0f, 1.5f, 0.0f), 1.2f, 25.0f);
    SimpleDepthMap cameraMap;
    GLuint sceneTexture = 0;
};

// A spot light 5 m west of the origin shining east across the view: its cone glows, the air beside
// it stays dark, and nothing at all glows while it is off. The march ends at the camera's depth: a
// wall in front of the cone hides it. Shadows cut the shaft: with the upper half of its map covered,
// only the lower half of the cone glows.
TEST_F(VolumetricLightPipeTest, SpotConeGlowsOnlyWhereTheLightReachesTheAir) {
    VolumetricLightPipe pipe;
    const gltest::TwoOutputTarget output(kSize, kSize, false, "volumetric test output");
    const glm::vec3 onAxis(0.0f, 1.5f, 0.0f), aboveAxis(0.0f, 2.2f, 0.0f), belowAxis(0.0f, 0.8f, 0.0f);
    const glm::vec3 besideCone(0.0f, 4.5f, 0.0f);  // 31 degrees off the axis; the cone is 24
    const SpotSetup spot = makeSpot({-5.0f, 1.5f, 0.0f}, {1.0f, 0.0f, 0.0f}, 256);
    const Lights lights{{}, {spot.light}, {spot.map}};

    runChain(pipe, lights, output.framebuffer());
    std::vector<float> light = output.read(0);
    savePicture("volumetric_spot.png", light, kSize);
    EXPECT_GT(luminanceAt(light, onAxis), 0.05f);
    EXPECT_GT(luminanceAt(light, onAxis), 20.0f * luminanceAt(light, besideCone));
    const float openAbove = luminanceAt(light, aboveAxis), openBelow = luminanceAt(light, belowAxis);
    EXPECT_GT(openAbove, 0.5f * openBelow);

    clearDepth(camera->depthFramebuffer, camera->depthAt(4.0f));  // a wall 2 m in front of the light's axis
    runChain(pipe, lights, output.framebuffer());
    const std::vector<float> walled = output.read(0);
    EXPECT_LT(luminanceAt(walled, onAxis), 0.02f * luminanceAt(light, onAxis));
    clearDepth(camera->depthFramebuffer, 1.0f);

    glBindFramebuffer(GL_FRAMEBUFFER, spot.light->depthFramebuffer);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 128, 256, 128);
    clearDepth(spot.light->depthFramebuffer, 0.0f);
    glDisable(GL_SCISSOR_TEST);
    runChain(pipe, lights, output.framebuffer());
    light = output.read(0);
    savePicture("volumetric_spot_half_shadowed.png", light, kSize);
    EXPECT_LT(luminanceAt(light, aboveAxis), 0.1f * luminanceAt(light, belowAxis));
    EXPECT_GT(luminanceAt(light, belowAxis), 0.5f * openBelow);

    spot.light->enabled = 0;
    runChain(pipe, lights, output.framebuffer());
    EXPECT_EQ(maxComponent(output.read(0)), 0.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The cube map holds hardware depth: an occluder 1 m from the lamp along every axis darkens a ray
// that passes 1.9 m from it and leaves one that passes 0.4 m from it lit. A wrong conversion from
// distance to depth moves that boundary far away in either direction.
TEST_F(VolumetricLightPipeTest, PointLightShadowsReadTheCubeMapsHardwareDepth) {
    VolumetricLightPipe pipe;
    const gltest::TwoOutputTarget output(kSize, kSize, false, "volumetric test output");
    auto lamp = std::make_shared<PointLight>();
    lamp->position = glm::vec3(0.0f, 1.5f, 0.0f);
    lamp->color = glm::vec3(1.0f, 0.7f, 0.4f);
    lamp->lightFactors = glm::vec3(0.4f, 0.3f, 0.5f);
    createCubeMap(*lamp, 64, 1.0f);
    const Lights lights{{lamp}, {}, {}};
    const glm::vec3 near(0.4f, 1.5f, 0.0f), far(2.0f, 1.5f, 0.0f);  // rays pass 0.4 m and 1.9 m from it

    runChain(pipe, lights, output.framebuffer());
    const std::vector<float> open = output.read(0);
    savePicture("volumetric_point.png", open, kSize);
    clearDepth(lamp->depthFramebuffer, cubeDepthAt(1.0f));
    runChain(pipe, lights, output.framebuffer());
    const std::vector<float> walled = output.read(0);
    savePicture("volumetric_point_walled.png", walled, kSize);

    EXPECT_GT(luminanceAt(open, far), 0.02f);
    EXPECT_LT(luminanceAt(walled, far), 0.05f * luminanceAt(open, far));
    EXPECT_GT(luminanceAt(walled, near), 0.3f * luminanceAt(open, near));
    glDeleteFramebuffers(1, &lamp->depthFramebuffer);
    glDeleteTextures(1, &lamp->depthTexture);
}

// Attachment 0 is the scattered light alone; attachment 1 the scene's bright part plus some of that
// light. The chain sets the state it draws with: it begins here from a tiny viewport, blending on
// and another framebuffer bound, and ends in its output at the full size.
TEST_F(VolumetricLightPipeTest, FillsBothAttachmentsWhateverStateItBeginsFrom) {
    VolumetricLightPipe pipe;
    const gltest::TwoOutputTarget output(kSize, kSize, false, "volumetric test output");
    // The scene: white on the left half, dim grey on the right.
    std::vector<float> scene(static_cast<std::size_t>(kSize) * kSize * 4);
    for (std::size_t i = 0; i < scene.size(); ++i) scene[i] = (i / 4) % kSize < kSize / 2 ? 1.0f : 0.2f;
    glBindTexture(GL_TEXTURE_2D, sceneTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kSize, kSize, GL_RGBA, GL_FLOAT, scene.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    const SpotSetup spot = makeSpot({-5.0f, 1.5f, 0.0f}, {1.0f, 0.0f, 0.0f}, 64);
    const glm::vec3 coneOnTheGreySide(1.5f, 1.5f, 0.0f), greySky(1.5f, 4.5f, 0.0f), whiteSky(-1.5f, 4.5f, 0.0f);

    glViewport(0, 0, 7, 7);
    glEnable(GL_BLEND);
    glBindFramebuffer(GL_FRAMEBUFFER, camera->depthFramebuffer);
    runChain(pipe, {{}, {spot.light}, {spot.map}}, output.framebuffer());
    GLint framebuffer = -1, viewport[4] = {};
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &framebuffer);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(framebuffer, static_cast<GLint>(output.framebuffer()));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(viewport[2], kSize);
    EXPECT_EQ(viewport[3], kSize);

    const std::vector<float> light = output.read(0);
    const std::vector<float> bright = output.read(1);
    savePicture("volumetric_bright_part.png", bright, kSize);
    EXPECT_LT(luminanceAt(light, whiteSky), 0.01f) << "the scene leaked into the scattered light";
    EXPECT_GT(luminanceAt(bright, whiteSky), 0.9f);
    EXPECT_LT(luminanceAt(bright, greySky), 0.01f) << "a dim scene is not bright";
    EXPECT_GT(luminanceAt(bright, coneOnTheGreySide), 0.1f * luminanceAt(light, coneOnTheGreySide));
    EXPECT_LT(luminanceAt(bright, coneOnTheGreySide), luminanceAt(light, coneOnTheGreySide));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// Half sizes round towards zero: an 81 x 41 window marches at 40 x 20.
TEST_F(VolumetricLightPipeTest, HalfSizeTargetsRoundDown) {
    GlobalState::instance().width = 81;
    GlobalState::instance().height = 41;
    testing::internal::CaptureStdout();
    VolumetricLightPipe pipe;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "a target is incomplete";
    struct Target { const char* name; GLuint texture; int width, height; };
    for (const Target& t : {Target{"down-sample", pipe.downSampleDepthTexture, 40, 20},
                            Target{"blur 0", pipe.blurTextures[0], 40, 20},
                            Target{"blur 1", pipe.blurTextures[1], 40, 20},
                            Target{"up-sample", pipe.upSampleTexture, 81, 41}}) {
        SCOPED_TRACE(t.name);
        GLint width = 0, height = 0;
        glBindTexture(GL_TEXTURE_2D, t.texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, t.width);
        EXPECT_EQ(height, t.height);
    }
    glBindTexture(GL_TEXTURE_2D, 0);
}

}  // namespace

// At the demo's 800 x 800 window, the level's view over a flat ground with its three lamps and its
// spot light, full-size shadow maps with nothing in their way. The haze scatters each light on its
// own, so the light of the whole set is the sum of each light's alone: every light of the set is
// marched, each with its own record and map, and an empty set gives no light at all. (What the chain
// costs in the demo is the "volumetric light" line of `capture --bench`.)
TEST_F(VolumetricLightPipeTest, TheLevelsLightsTogetherScatterTheSumOfEachAlone) {
    constexpr int kWindow = 800;
    useWindowSize(kWindow);
    camera->look(glm::vec3(1.8f, 2.3f, 13.0f), glm::vec3(-0.3f, 1.2f, 0.0f), 0.7f, 25.0f);  // the level's view
    // Ground at y = 0 where the pixel's ray meets it within the far plane, sky elsewhere.
    std::vector<float> depth(static_cast<std::size_t>(kWindow) * kWindow, 1.0f);
    const glm::mat4 inverse = glm::inverse(camera->getViewProjectionMatrix());
    const glm::mat4 viewProjection = camera->getViewProjectionMatrix();
    for (int y = 0; y < kWindow; ++y)
        for (int x = 0; x < kWindow; ++x) {
            const glm::vec2 ndc((x + 0.5f) / kWindow * 2.0f - 1.0f, (y + 0.5f) / kWindow * 2.0f - 1.0f);
            const glm::vec4 farPoint = inverse * glm::vec4(ndc, 1.0f, 1.0f);
            const glm::vec3 dir = glm::vec3(farPoint) / farPoint.w - camera->getPosition();
            if (dir.y >= 0.0f) continue;
            const glm::vec3 hit = camera->getPosition() + dir * (-camera->getPosition().y / dir.y);
            const glm::vec4 clip = viewProjection * glm::vec4(hit, 1.0f);
            depth[static_cast<std::size_t>(y) * kWindow + x] = std::min(1.0f, clip.z / clip.w * 0.5f + 0.5f);
        }
    glBindTexture(GL_TEXTURE_2D, camera->depthTexture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, kWindow, kWindow, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    glBindTexture(GL_TEXTURE_2D, 0);

    // The level's lamps and spot light with full-size shadow maps.
    const int mapSize = GlobalState::instance().shadowMapSize;
    struct Lamp { glm::vec3 position, color, factors; };
    const Lamp lamps[] = {{{-0.6f, 2.4f, 0.9f}, {1.0f, 0.7f, 0.4f}, {0.4f, 0.3f, 0.5f}},
                          {{-2.1f, 2.0f, -4.7f}, {0.7f, 1.0f, 0.5f}, {0.4f, 0.4f, 0.4f}},
                          {{2.6f, 2.1f, -3.1f}, {0.62f, 0.48f, 0.95f}, {0.4f, 0.3f, 0.5f}}};
    std::vector<std::shared_ptr<PointLight>> points;
    for (const Lamp& lamp : lamps) {
        points.push_back(std::make_shared<PointLight>());
        points.back()->position = lamp.position;
        points.back()->color = lamp.color;
        points.back()->lightFactors = lamp.factors;
        createCubeMap(*points.back(), mapSize, 1.0f);
    }
    const glm::quat spotRotation(0.8441883f, -0.4248593f, 0.2919735f, 0.1469431f);
    const SpotSetup spot = makeSpot({-1.5f, 2.696f, -4.2f}, spotRotation * glm::vec3(0.0f, 0.0f, -1.0f), mapSize);

    VolumetricLightPipe pipe;
    const gltest::TwoOutputTarget output(kWindow, kWindow, false, "volumetric test output");
    const auto scattered = [&](const Lights& lights) {
        runChain(pipe, lights, output.framebuffer());
        return output.read(0);
    };
    EXPECT_EQ(maxComponent(scattered({})), 0.0f) << "an empty set of lights scatters light";

    struct Alone { const char* name; Lights lights; };
    const Alone alone[] = {{"lamp 0", {{points[0]}, {}, {}}},
                           {"lamp 1", {{points[1]}, {}, {}}},
                           {"lamp 2", {{points[2]}, {}, {}}},
                           {"spot light", {{}, {spot.light}, {spot.map}}}};
    std::vector<double> sum(static_cast<std::size_t>(kWindow) * kWindow * 4, 0.0);
    for (const Alone& one : alone) {
        SCOPED_TRACE(one.name);
        const std::vector<float> light = scattered(one.lights);
        EXPECT_GT(maxComponent(light), 0.01f) << "the light alone scatters nothing";
        for (std::size_t i = 0; i < sum.size(); ++i) sum[i] += light[i];
    }
    const std::vector<float> light = scattered({points, {spot.light}, {spot.map}});
    savePicture("volumetric_level_lights.png", light, kWindow);
    EXPECT_GT(maxComponent(light), 0.0f);
    EXPECT_TRUE(std::all_of(light.begin(), light.end(), [](float v) { return std::isfinite(v); }));
    // The chain's targets hold half floats; their rounding leaves about 0.1 % of the brightest value.
    double worst = 0.0, most = 0.0;
    for (std::size_t i = 0; i < sum.size(); ++i) {
        if (i % 4 == 3) continue;
        worst = std::max(worst, std::abs(light[i] - sum[i]));
        most = std::max(most, sum[i]);
    }
    EXPECT_LT(worst, 0.005 * most) << "the lights together are not the sum of each alone";
    for (const auto& point : points) {
        glDeleteFramebuffers(1, &point->depthFramebuffer);
        glDeleteTextures(1, &point->depthTexture);
    }
    glDeleteFramebuffers(1, &spot.light->depthFramebuffer);
    glDeleteTextures(1, &spot.light->depthTexture);
}

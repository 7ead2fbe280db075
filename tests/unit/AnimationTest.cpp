#include "scene/Animation.h"

#include "app/GlobalState.h"
#include "render/Level.h"
#include "scene/Object.h"
#include "scene/SceneImport.h"
#include "tests/support/GlobalStateGuard.h"
#include "tests/unit/GltfFixture.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cmath>
#include <optional>

namespace {

using nlohmann::json;

std::shared_ptr<AnimationData> translationChannel(int interpolation, std::vector<float> times,
                                                  std::vector<float> xs) {
    auto channel = std::make_shared<AnimationData>();
    channel->interpolation = interpolation;
    channel->targetNode = 3;
    channel->times = std::move(times);
    channel->minTime = channel->times.front();
    channel->maxTime = channel->times.back();
    for (float x : xs) channel->translations.emplace_back(x, 0.0f, 0.0f);
    return channel;
}

struct EvaluateCase {
    const char* name;
    int interpolation;
    std::vector<float> times;
    std::vector<float> xs;
    float t;
    std::optional<float> x;  // nothing: the matrices stay the identity
};

const EvaluateCase kEvaluateCases[] = {
    {"keys 0, 1, 2 at 0.5 s blend the first two with f = 0.5", INTERPOLATION_LINEAR, {0, 1, 2}, {0, 2, 6}, 0.5f, 1.0f},
    {"between the second and third key", INTERPOLATION_LINEAR, {0, 1, 2}, {0, 2, 6}, 1.5f, 4.0f},
    {"exactly on a middle key", INTERPOLATION_LINEAR, {0, 1, 2}, {0, 2, 6}, 1.0f, 2.0f},
    {"exactly on the last key holds it", INTERPOLATION_LINEAR, {0, 1, 2}, {0, 2, 6}, 2.0f, 6.0f},
    {"past the last key holds it", INTERPOLATION_LINEAR, {0, 1, 2}, {0, 2, 6}, 9.0f, 6.0f},
    {"before the first key holds it", INTERPOLATION_LINEAR, {1, 2}, {3, 5}, 0.25f, 3.0f},
    {"equal key times take the later key", INTERPOLATION_LINEAR, {0, 1, 1, 2}, {0, 2, 10, 12}, 1.0f, 10.0f},
    {"before equal key times blend towards the earlier", INTERPOLATION_LINEAR, {0, 1, 1, 2}, {0, 2, 10, 12}, 0.5f, 1.0f},
    {"equal last key times hold the later", INTERPOLATION_LINEAR, {0, 2, 2}, {0, 4, 8}, 2.0f, 8.0f},
    {"STEP leaves the matrices alone", INTERPOLATION_STEP, {0, 1, 2}, {0, 2, 6}, 0.5f, std::nullopt},
    {"CUBICSPLINE leaves the matrices alone", INTERPOLATION_CUBICSPLINE, {0, 1}, {0, 0, 0, 5, 5, 5}, 0.5f,
     std::nullopt},
    {"an unknown interpolation leaves the matrices alone", INTERPOLATION_UNKNOWN, {0, 1}, {0, 2}, 0.5f, std::nullopt},
};

void expectIdentity(const glm::mat4& m) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) EXPECT_FLOAT_EQ(m[c][r], c == r ? 1.0f : 0.0f) << "column " << c << " row " << r;
}

}  // namespace

TEST(AnimationEvaluate, SamplesLinearKeysAndHoldsTheEnds) {
    for (const EvaluateCase& c : kEvaluateCases) {
        SCOPED_TRACE(c.name);
        Animation animation;
        const auto channel = translationChannel(c.interpolation, c.times, c.xs);
        animation.evaluate(c.t, channel);
        const Transformation& pose = *animation.getTransformation(3);
        if (c.x) {
            EXPECT_NEAR(pose.translationMatrix[3].x, *c.x, 1e-6f);
            expectIdentity(pose.rotationMatrix);
            expectIdentity(pose.scaleMatrix);
        } else {
            expectIdentity(pose.translationMatrix);
        }
    }
}

TEST(AnimationEvaluate, ScalesBlendLinearly) {
    Animation animation;
    auto channel = std::make_shared<AnimationData>();
    channel->interpolation = INTERPOLATION_LINEAR;
    channel->targetNode = 1;
    channel->times = {0.0f, 2.0f};
    channel->scales = {glm::vec3(1.0f), glm::vec3(3.0f, 5.0f, 7.0f)};
    animation.evaluate(1.0f, channel);
    const glm::mat4 s = animation.getTransformation(1)->scaleMatrix;
    EXPECT_FLOAT_EQ(s[0][0], 2.0f);
    EXPECT_FLOAT_EQ(s[1][1], 3.0f);
    EXPECT_FLOAT_EQ(s[2][2], 4.0f);
}

TEST(AnimationEvaluate, RotationsWithANegativeDotTakeTheShortArc) {
    // Key 1 is 90 degrees about +y written as the negated quaternion (dot with key 0 is -0.707). The
    // short way passes 45 degrees at f = 0.5; the long way would pass -135 degrees.
    const float h = std::sqrt(0.5f);
    auto channel = std::make_shared<AnimationData>();
    channel->interpolation = INTERPOLATION_LINEAR;
    channel->targetNode = 0;
    channel->times = {0.0f, 1.0f};
    channel->rotations = {glm::quat(1.0f, 0.0f, 0.0f, 0.0f), glm::quat(-h, 0.0f, -h, 0.0f)};
    Animation animation;
    animation.evaluate(0.5f, channel);
    const glm::vec4 x = animation.getTransformation(0)->rotationMatrix * glm::vec4(1.0f, 0.0f, 0.0f, 0.0f);
    // +x turned 45 degrees about +y: (cos 45, 0, -sin 45).
    EXPECT_NEAR(x.x, h, 1e-5f);
    EXPECT_NEAR(x.y, 0.0f, 1e-5f);
    EXPECT_NEAR(x.z, -h, 1e-5f);
}

TEST(AnimationUpdate, OutsideTheKeyRangeThePoseIsKept) {
    const testsupport::GlobalStateGuard restore;
    GlobalState& state = GlobalState::instance();
    Animation animation;
    animation.channels.push_back(translationChannel(INTERPOLATION_LINEAR, {1, 2}, {0, 10}));
    for (float t : {1.5f, 3.0f, 0.5f}) {
        SCOPED_TRACE(t);
        state.time = t;
        animation.update();
        EXPECT_NEAR(animation.getTransformation(3)->translationMatrix[3].x, 5.0f, 1e-6f);
    }
}

namespace {

const float kHalfSqrt2 = std::sqrt(0.5f);

// Six root nodes without mesh or light (indices 0 to 5); node 3 is placed at (1, 2, 3) with scale 2
// in the file. Animation "first": rotation of node 3, then translation of node 5; animation "second":
// translation of node 3.
std::string writeAnimatedLevel(const fixture::TempDir& dir) {
    fixture::Gltf gltf;
    for (int i = 0; i < 6; ++i) {
        json node = {{"name", "node" + std::to_string(i)}};
        if (i == 3) {
            node["translation"] = {1.0, 2.0, 3.0};
            node["scale"] = {2.0, 2.0, 2.0};
        }
        gltf.addRootNode(node);
    }
    const int times = gltf.addFloats({0.0f, 1.0f}, "SCALAR");
    const float h = kHalfSqrt2;
    const int turn = gltf.addFloats({0, 0, 0, 1, 0, h, 0, h}, "VEC4");  // identity to 90 degrees about +y
    const int move = gltf.addFloats({0, 0, 0, 4, 0, 0}, "VEC3");
    gltf.doc["animations"] = json::array({
        {{"name", "first"},
         {"samplers", {{{"input", times}, {"output", turn}}, {{"input", times}, {"output", move}}}},
         {"channels",
          {{{"sampler", 0}, {"target", {{"node", 3}, {"path", "rotation"}}}},
           {{"sampler", 1}, {"target", {{"node", 5}, {"path", "translation"}}}}}}},
        {{"name", "second"},
         {"samplers", {{{"input", times}, {"output", move}}}},
         {"channels", {{{"sampler", 0}, {"target", {{"node", 3}, {"path", "translation"}}}}}}},
    });
    return gltf.write(dir);
}

// Loads `path`, gives every record an object, and runs one update at play time `t`.
void loadAndUpdate(Level& level, const std::string& path, float t) {
    testing::internal::CaptureStdout();
    level.loadScene(path);
    testing::internal::GetCapturedStdout();
    for (SceneNode& node : level.nodes) node.object = std::make_shared<Object>(nullptr, nullptr);
    const testsupport::GlobalStateGuard restore;
    GlobalState::instance().time = t;
    level.update();
}

}  // namespace

TEST(LevelAnimation, FilesEachAnimationUnderItsFirstChannelsNodeAndKeepsTheFirst) {
    fixture::TempDir dir;
    Level level;
    testing::internal::CaptureStdout();
    level.loadScene(writeAnimatedLevel(dir));
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(level.nodes.size(), 6u);
    ASSERT_EQ(level.animations.size(), 1u);
    ASSERT_EQ(level.animations.count(3), 1u);
    EXPECT_EQ(level.animations.at(3)->name, "first");
    ASSERT_EQ(level.animations.at(3)->channels.size(), 2u);
}

TEST(LevelAnimation, RotationOnlyNodeKeepsItsFilePlacementAndALaterChannelsNodeIsNotMoved) {
    fixture::TempDir dir;
    Level level;
    loadAndUpdate(level, writeAnimatedLevel(dir), 1.0f);
    ASSERT_EQ(level.nodes.size(), 6u);

    // Node 3: turned 90 degrees about +y, still at (1, 2, 3) with scale 2 from the file.
    const glm::mat4 m3 = level.nodes[3].object->getTransform()->getModelMatrix();
    const glm::vec4 x = m3 * glm::vec4(1.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_NEAR(x.x, 0.0f, 1e-5f);
    EXPECT_NEAR(x.z, -2.0f, 1e-5f);
    EXPECT_NEAR(glm::length(glm::vec3(m3[1])), 2.0f, 1e-5f);
    EXPECT_NEAR(glm::length(glm::vec3(m3[2])), 2.0f, 1e-5f);
    EXPECT_EQ(glm::vec3(m3[3]), glm::vec3(1.0f, 2.0f, 3.0f));

    // Node 5's pose was computed (translated by 4) but no record applies it.
    const auto& poses = level.animations.at(3)->transformations;
    ASSERT_EQ(poses.count(5), 1u);
    EXPECT_FLOAT_EQ(poses.at(5)->translationMatrix[3].x, 4.0f);
    EXPECT_EQ(level.nodes[5].object->getTransform()->getModelMatrix(), glm::mat4(1.0f));
}

TEST(LevelAnimation, PartsWithoutAnAppliedChannelKeepTheNodesOwnValues) {
    // Exporters write only the properties that change. Each node has its own animation.
    const float h = kHalfSqrt2;
    fixture::TempDir dir;
    fixture::Gltf gltf;
    gltf.addRootNode({{"name", "turner"}, {"translation", {1.0, 2.0, 3.0}}, {"scale", {2.0, 2.0, 2.0}}});
    gltf.addRootNode({{"name", "grower"}, {"translation", {4.0, 0.0, 0.0}}, {"rotation", {0.0, h, 0.0, h}}});
    gltf.addRootNode({{"name", "stepper"}, {"translation", {0.0, 0.0, 5.0}}});
    const int times = gltf.addFloats({0.0f, 1.0f}, "SCALAR");
    const int turn = gltf.addFloats({0, 0, 0, 1, 0, h, 0, h}, "VEC4");
    const int grow = gltf.addFloats({1, 1, 1, 3, 3, 3}, "VEC3");
    const int jump = gltf.addFloats({9, 9, 9, 8, 8, 8}, "VEC3");
    auto animation = [&](const char* name, int output, const char* interpolation, int node, const char* path) {
        return json{{"name", name},
                    {"samplers", {{{"input", times}, {"output", output}, {"interpolation", interpolation}}}},
                    {"channels", {{{"sampler", 0}, {"target", {{"node", node}, {"path", path}}}}}}};
    };
    gltf.doc["animations"] = json::array({animation("turn", turn, "LINEAR", 0, "rotation"),
                                          animation("grow", grow, "LINEAR", 1, "scale"),
                                          animation("jump", jump, "STEP", 2, "translation")});
    Level level;
    loadAndUpdate(level, gltf.write(dir), 1.0f);
    ASSERT_EQ(level.nodes.size(), 3u);

    struct Expected {
        const char* name;
        glm::vec3 position;
        glm::vec3 xAxis;  // the model matrix applied to +x: rotation and scale together
    };
    const Expected kExpected[] = {
        {"rotation only: file position and scale, animated turn", {1, 2, 3}, {0, 0, -2}},
        {"scale only: file position and turn, animated scale", {4, 0, 0}, {0, 0, -3}},
        {"STEP only (never applied): the file's placement", {0, 0, 5}, {1, 0, 0}},
    };
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(kExpected[i].name);
        const glm::mat4 m = level.nodes[i].object->getTransform()->getModelMatrix();
        const glm::vec3 position(m[3]);
        const glm::vec3 xAxis(m * glm::vec4(1.0f, 0.0f, 0.0f, 0.0f));
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(position[c], kExpected[i].position[c], 1e-5f);
            EXPECT_NEAR(xAxis[c], kExpected[i].xAxis[c], 1e-5f);
        }
    }
}

TEST(AnimationImport, ReadsKeysAndValuesAndWarnsOnceAboutUnknownInterpolations) {
    fixture::TempDir dir;
    fixture::Gltf gltf;
    gltf.addRootNode({{"name", "mover"}});
    const int times = gltf.addFloats({0.5f, 1.5f, 2.5f}, "SCALAR");
    const int turn = gltf.addFloats({0, 0, 0, 1, 0, 1, 0, 0, 1, 0, 0, 0}, "VEC4");
    const int move = gltf.addFloats({1, 2, 3, 4, 5, 6, 7, 8, 9}, "VEC3");
    const int tooShort = gltf.addFloats({1, 2, 3}, "VEC3");
    gltf.doc["animations"] = json::array({{
        {"name", "walk"},
        {"samplers",
         {{{"input", times}, {"output", move}},
          {{"input", times}, {"output", turn}, {"interpolation", "STEP"}},
          {{"input", times}, {"output", move}, {"interpolation", "BEZIER"}},
          {{"input", times}, {"output", move}, {"interpolation", "HERMITE"}},
          {{"input", times}, {"output", tooShort}}}},
        {"channels",
         {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}},
          {{"sampler", 1}, {"target", {{"node", 0}, {"path", "rotation"}}}},
          {{"sampler", 2}, {"target", {{"node", 0}, {"path", "scale"}}}},
          {{"sampler", 3}, {"target", {{"node", 0}, {"path", "scale"}}}},
          {{"sampler", 4}, {"target", {{"node", 0}, {"path", "translation"}}}},
          {{"sampler", 9}, {"target", {{"node", 0}, {"path", "translation"}}}}}},
    }});
    const std::string path = gltf.write(dir);

    tinygltf::Model model;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(parseGltfFile(path, model));
    const Animation animation(model, model.animations[0]);
    const std::string log = testing::internal::GetCapturedStdout();

    EXPECT_EQ(animation.name, "walk");
    ASSERT_EQ(animation.channels.size(), 4u);
    const AnimationData& translation = *animation.channels[0];
    EXPECT_EQ(translation.interpolation, INTERPOLATION_LINEAR);  // glTF's default
    EXPECT_EQ(translation.targetNode, 0);
    EXPECT_EQ(translation.times, (std::vector<float>{0.5f, 1.5f, 2.5f}));
    EXPECT_FLOAT_EQ(translation.minTime, 0.5f);
    EXPECT_FLOAT_EQ(translation.maxTime, 2.5f);
    ASSERT_EQ(translation.translations.size(), 3u);
    EXPECT_EQ(translation.translations[2], glm::vec3(7, 8, 9));
    EXPECT_TRUE(translation.rotations.empty() && translation.scales.empty());

    const AnimationData& rotation = *animation.channels[1];
    EXPECT_EQ(rotation.interpolation, INTERPOLATION_STEP);
    ASSERT_EQ(rotation.rotations.size(), 3u);
    // Stored (x, y, z, w) = (0, 1, 0, 0): 180 degrees about +y.
    EXPECT_FLOAT_EQ(rotation.rotations[1].y, 1.0f);
    EXPECT_FLOAT_EQ(rotation.rotations[1].w, 0.0f);

    EXPECT_EQ(animation.channels[2]->interpolation, INTERPOLATION_UNKNOWN);

    std::size_t warnings = 0;
    for (std::size_t at = log.find("WARN: "); at != std::string::npos; at = log.find("WARN: ", at + 1)) ++warnings;
    EXPECT_EQ(warnings, 1u) << log;
    EXPECT_NE(log.find("WARN: Animation 'walk': 2 channel(s) with unknown interpolation (first 'BEZIER')"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("ERROR: Skipped channel 4 of animation 'walk': output accessor"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR: Skipped channel 5 of animation 'walk': sampler 9 does not exist"), std::string::npos)
        << log;
}

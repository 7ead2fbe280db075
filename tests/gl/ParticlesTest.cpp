#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "render/Particles.h"
#include "scene/Camera.h"
#include "shaders/Shader.h"
#include "shaders/ShaderRegistry.h"
#include "tests/support/GlTestContext.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>
#include <glm/gtc/matrix_transform.hpp>

#include <algorithm>
#include <cstdint>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <set>
#include <vector>

namespace {

// A still camera looking from `eye` at `target`.
class StillCamera : public Camera {
public:
    StillCamera(glm::vec3 eye, glm::vec3 target, float aspect) : eye(eye), target(target) {
        projectionMatrix = glm::perspective(glm::radians(40.0f), aspect, 0.05f, 50.0f);
        viewMatrix = glm::lookAt(eye, target, glm::vec3(0.0f, 1.0f, 0.0f));
    }
    glm::mat4 getViewProjectionMatrix() override { return projectionMatrix * viewMatrix; }
    glm::mat4 getViewMatrix() override { return viewMatrix; }
    void setView(glm::mat4, glm::mat4, glm::mat4) override {}
    void update(glm::vec3) override {}
    glm::vec3 getPosition() override { return eye; }
    glm::vec3 getWorldPosition() override { return eye; }
    glm::vec3 getDirection() override { return glm::normalize(target - eye); }
    unsigned int* getDepthTexture() override { return &unused; }
    unsigned int* getDepthFramebuffer() override { return &unused; }
    glm::mat4 getCullingViewProjectionMatrix() override { return getViewProjectionMatrix(); }

private:
    glm::vec3 eye;
    glm::vec3 target;
    unsigned int unused = 0;
};

std::vector<glm::vec4> readRecords(GLuint buffer, GLuint count) {
    std::vector<glm::vec4> records(count);
    glBindBuffer(GL_COPY_READ_BUFFER, buffer);
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, static_cast<GLsizeiptr>(count) * kParticleRecordBytes, records.data());
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return records;
}

GLuint readCounter(GLuint buffer) {
    GLuint value = 0;
    glBindBuffer(GL_COPY_READ_BUFFER, buffer);
    glGetBufferSubData(GL_COPY_READ_BUFFER, 0, sizeof value, &value);
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
    return value;
}

std::vector<glm::vec4> currentPositions(const Particles& particles) {
    return readRecords(particles.positionBuffers[particles.getCurrentBuffer()], particles.getParticleCount());
}
std::vector<glm::vec4> currentVelocities(const Particles& particles) {
    return readRecords(particles.velocityBuffers[particles.getCurrentBuffer()], particles.getParticleCount());
}

void step(Particles& particles, float seconds) {
    GlobalState& state = GlobalState::instance();
    state.deltaTime = seconds;
    state.time += seconds;
    particles.simulate();
}

// An offscreen colour target with the scene target's two colour outputs and a depth buffer.
struct TwoColourTarget {
    TwoColourTarget(int width, int height, int samples, GLenum format) : width(width), height(height) {
        const std::uint64_t incompleteBefore = incompleteFramebufferCount();
        const ColourTarget made = createColourTarget(width, height,
                                                     {.colourFormat = format, .samples = samples, .depthStencil = true},
                                                     "particles test", {"particles colour", "particles bright"},
                                                     "ERROR: particles test target not complete");
        complete = incompleteFramebufferCount() == incompleteBefore;
        framebuffer = made.framebuffer;
        colour[0] = made.colour[0];
        colour[1] = made.colour[1];
        depth = made.depthStencil;
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glViewport(0, 0, width, height);
    }
    ~TwoColourTarget() {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteTextures(2, colour);
        glDeleteRenderbuffers(1, &depth);
    }
    // Dusk blue in the colour output, black in the bright one, far depth; the scene pass's
    // depth test and back-face culling, which the sprites must pass.
    void clear() const {
        const GLfloat dusk[] = {0.05f, 0.06f, 0.12f, 1.0f};
        const GLfloat black[] = {0.0f, 0.0f, 0.0f, 1.0f};
        glClearBufferfv(GL_COLOR, 0, dusk);
        glClearBufferfv(GL_COLOR, 1, black);
        glClear(GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    }
    std::vector<std::uint8_t> read(int attachment) const {
        glReadBuffer(GL_COLOR_ATTACHMENT0 + attachment);
        return gltest::readPixelsRgba(0, 0, width, height);
    }

    int width;
    int height;
    GLuint framebuffer = 0;
    GLuint colour[2] = {0, 0};
    GLuint depth = 0;
    bool complete = false;
};

// What the composite does to the scene colour before it reaches the screen: exposure tone mapping
// 1 - exp(-c) and gamma 2.2 (without bloom), so the saved picture looks as the demo would. Opaque,
// as the window is: the blended alpha would let a picture viewer's background through.
std::vector<std::uint8_t> asDisplayed(std::vector<std::uint8_t> rgba) {
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        const double mapped = 1.0 - std::exp(-rgba[i] / 255.0);
        rgba[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>(std::lround(255.0 * std::pow(mapped, 1.0 / 2.2)));
    }
    return rgba;
}

class ParticlesTest : public testing::Test {
protected:
    void SetUp() override {
        GlobalState& state = GlobalState::instance();
        state.deltaTime = 1.0f / 60.0f;
        state.time = 20.0f;
        // The burst discs draw from rand(): from its start, as in a process of its own, so a picture
        // does not depend on which tests ran before (the speeds are seeded per system below).
        std::srand(1);
        while (glGetError() != GL_NO_ERROR) {}
    }
    void TearDown() override {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDisable(GL_CULL_FACE);
    }

    // The registry and the texture loader read "assets/..." relative to the working directory.
    gltest::ScopedWorkingDirectory inSource{VERDANCE_SOURCE_DIR};
    testsupport::GlobalStateGuard restore;  // the steps move the clock
};

// The stage files compile without a word from the driver, and the programs declare what the C++
// side sets and binds: the uniform names, the storage and counter bindings (5: the survivors per
// group of the order-keeping compaction), groups of 256.
TEST_F(ParticlesTest, ProgramsBuildCleanlyWithTheFixedInterface) {
    const struct {
        const char* path;
        GLenum stage;
    } kStages[] = {{"assets/shader/particles.comp", GL_COMPUTE_SHADER},
                   {"assets/shader/particles.vert", GL_VERTEX_SHADER},
                   {"assets/shader/particles.geom", GL_GEOMETRY_SHADER},
                   {"assets/shader/particles.frag", GL_FRAGMENT_SHADER}};
    for (const auto& stage : kStages) {
        SCOPED_TRACE(stage.path);
        GLuint shader = 0;
        EXPECT_TRUE(compileShader(readShaderFile(stage.path), stage.stage, &shader));
        GLint logLength = 0;
        glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &logLength);
        std::string log(static_cast<std::size_t>(std::max(logLength, 1)), '\0');
        glGetShaderInfoLog(shader, logLength, nullptr, log.data());
        EXPECT_LE(logLength, 1) << log;
        glDeleteShader(shader);
    }

    const auto compute = getShader(PARTICLES_COMPUTE);
    for (const char* name : {"lastParticleCount", "maximumParticleCount", "deltaTime", "time", "compactionPass"})
        EXPECT_NE(compute->getUniformLocation(name), -1) << name;
    GLint groupSize[3] = {0, 0, 0};
    glGetProgramiv(compute->getId(), GL_COMPUTE_WORK_GROUP_SIZE, groupSize);
    EXPECT_EQ(groupSize[0], static_cast<GLint>(kParticleWorkGroupSize));
    EXPECT_EQ(groupSize[1] * groupSize[2], 1);
    GLint blocks = 0;
    glGetProgramInterfaceiv(compute->getId(), GL_SHADER_STORAGE_BLOCK, GL_ACTIVE_RESOURCES, &blocks);
    std::set<GLint> storageBindings;
    for (GLint i = 0; i < blocks; ++i) {
        const GLenum property = GL_BUFFER_BINDING;
        GLint binding = -1;
        glGetProgramResourceiv(compute->getId(), GL_SHADER_STORAGE_BLOCK, static_cast<GLuint>(i), 1, &property, 1,
                               nullptr, &binding);
        storageBindings.insert(binding);
    }
    EXPECT_EQ(storageBindings, (std::set<GLint>{0, 1, 2, 3, 5}));
    GLint counterBinding = -1;
    glGetActiveAtomicCounterBufferiv(compute->getId(), 0, GL_ATOMIC_COUNTER_BUFFER_BINDING, &counterBinding);
    EXPECT_EQ(counterBinding, static_cast<GLint>(kParticleCounterBinding));

    const auto draw = getShader(PARTICLES);
    for (const char* name : {"modelObjMat", "viewMat", "projectionMat", "textureWithAlpha"})
        EXPECT_NE(draw->getUniformLocation(name), -1) << name;
}

// 4000 particles: enough to see the disc and the speed distribution, with margins of about four
// standard errors (mean speed 0.003, deviation 0.0015: standard error 0.0015 / sqrt(4000) = 2.4e-5).
TEST_F(ParticlesTest, EmitAppendsABurstOnAHorizontalDisc) {
    Particles particles("goodParticle.dds");
    const glm::vec3 centre(1.0f, 2.0f, -3.0f);
    constexpr float kRadius = 0.5f;
    particles.emit(centre, 4000, kRadius);
    ASSERT_EQ(particles.getParticleCount(), 4000u);

    const auto positions = currentPositions(particles);
    const auto velocities = currentVelocities(particles);
    int innerHalf = 0;
    double sum = 0.0, sumSquares = 0.0;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const glm::vec2 offset(positions[i].x - centre.x, positions[i].z - centre.z);
        ASSERT_EQ(positions[i].y, centre.y);
        ASSERT_EQ(positions[i].w, 10.0f);
        ASSERT_LT(glm::length(offset), kRadius + 1e-6f);
        ASSERT_NEAR(velocities[i].x, offset.x, 1e-6f);
        ASSERT_NEAR(velocities[i].z, offset.y, 1e-6f);
        ASSERT_EQ(velocities[i].w, 0.0f);
        innerHalf += glm::length(offset) < 0.5f * kRadius;
        sum += velocities[i].y;
        sumSquares += double(velocities[i].y) * velocities[i].y;
    }
    // Uniform on the disc: a quarter of the area lies within half the radius.
    EXPECT_NEAR(innerHalf / 4000.0, 0.25, 0.03);
    const double mean = sum / 4000.0;
    EXPECT_NEAR(mean, 0.003, 1e-4);
    EXPECT_NEAR(std::sqrt(sumSquares / 4000.0 - mean * mean), 0.0015, 1e-4);

    // A point burst: on the point, no horizontal speed at all; appended after the disc.
    particles.emit(centre, 100, 0.0f);
    ASSERT_EQ(particles.getParticleCount(), 4100u);
    const auto all = currentPositions(particles);
    const auto allVelocities = currentVelocities(particles);
    for (std::size_t i = 4000; i < all.size(); ++i) {
        ASSERT_EQ(glm::vec3(all[i]), centre);
        ASSERT_EQ(allVelocities[i].x, 0.0f);
        ASSERT_EQ(allVelocities[i].z, 0.0f);
    }
}

// Glow lives 2.4 to 3.6 s and ash 3.5 to 5 s.
TEST_F(ParticlesTest, SimulateKeepsExactlyTheLivingAndResetsTheCounter) {
    Particles particles("goodParticle.dds");
    step(particles, 1.0f / 60.0f);  // no particles: one group still runs and finds none
    EXPECT_EQ(particles.getParticleCount(), 0u);
    EXPECT_EQ(particles.getCurrentBuffer(), 1);

    particles.emit(glm::vec3(0.0f), 1000, 0.05f);  // glow
    particles.emit(glm::vec3(0.0f), 500, 0.0f);    // ash
    step(particles, 1.0f / 60.0f);
    ASSERT_EQ(particles.getParticleCount(), 1500u);
    EXPECT_EQ(particles.getCurrentBuffer(), 0);
    EXPECT_EQ(readCounter(particles.counterBuffer), 0u);
    {
        const auto positions = currentPositions(particles);
        const auto ash = std::count_if(positions.begin(), positions.end(), [](const glm::vec4& p) { return p.w < 0.0f; });
        EXPECT_EQ(ash, 500);
        for (const glm::vec4& p : positions) ASSERT_TRUE(std::abs(p.w) < 10.0f && std::abs(p.w) > 9.9f) << p.w;
    }

    // The first burst is 2 s old when the second is born; 2 s later all glow of the first is dead
    // (4 s > 3.6 s) and all of the second lives (2 s < 2.4 s), although it sits behind the dead
    // ones in the buffer. Ash of the first burst is at 4 s, between its shortest and longest life.
    for (int i = 0; i < 2; ++i) step(particles, 1.0f);
    particles.emit(glm::vec3(0.0f), 700, 0.05f);
    for (int i = 0; i < 2; ++i) step(particles, 1.0f);
    const auto positions = currentPositions(particles);
    const auto ash = std::count_if(positions.begin(), positions.end(), [](const glm::vec4& p) { return p.w < 0.0f; });
    const auto glow = static_cast<long>(positions.size()) - ash;
    EXPECT_EQ(glow, 700);
    EXPECT_GT(ash, 0);
    EXPECT_LT(ash, 500);
    EXPECT_EQ(readCounter(particles.counterBuffer), 0u);

    for (int i = 0; i < 7; ++i) step(particles, 1.0f);
    EXPECT_EQ(particles.getParticleCount(), 0u);
}

// Sprites blend in buffer order, so the step must keep the survivors in the order they had, or the
// same bursts would give a different picture on every run (threads finish in any order). 240 point
// bursts of 400 ash, 10 m apart along x, over 375 work groups (fewer run on one of llvmpipe's threads
// and keep their order even with an atomic counter); at 4.25 s about half of each burst
// has died (ash lives 3.5 to 5 s), so nearly every group moves its survivors down.
TEST_F(ParticlesTest, SurvivorsKeepTheirOrder) {
    Particles particles("badParticles3.dds");
    particles.randomEngine.seed(7);
    constexpr int kBursts = 240, kPerBurst = 400;
    for (int burst = 0; burst < kBursts; ++burst)
        particles.emit(glm::vec3(10.0f * burst, 0.0f, 0.0f), kPerBurst, 0.0f);
    step(particles, 1.0f / 60.0f);  // the births
    const auto born = currentPositions(particles);
    ASSERT_EQ(born.size(), static_cast<std::size_t>(kBursts * kPerBurst));
    for (const float seconds : {1.0f, 1.0f, 1.0f, 1.0f, 0.25f}) step(particles, seconds);  // steps of 1 s at most

    const auto positions = currentPositions(particles);
    ASSERT_GT(positions.size(), born.size() / 5);
    ASSERT_LT(positions.size(), born.size() * 4 / 5);
    // Ash drifts well under a metre in 4 s: the nearest centre names the burst.
    int previous = 0;
    std::vector<int> survivors(kBursts, 0);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const int burst = static_cast<int>(std::lround(positions[i].x / 10.0f));
        ASSERT_GE(burst, previous) << "survivor " << i << " is out of order";
        ASSERT_LT(burst, kBursts);
        previous = burst;
        ++survivors[static_cast<std::size_t>(burst)];
    }
    // The same bursts in a second system (same speeds, same clock) give the very same buffer.
    Particles again("badParticles3.dds");
    again.randomEngine.seed(7);
    for (int burst = 0; burst < kBursts; ++burst) again.emit(glm::vec3(10.0f * burst, 0.0f, 0.0f), kPerBurst, 0.0f);
    GlobalState::instance().time = 20.0f;
    step(again, 1.0f / 60.0f);
    for (const float seconds : {1.0f, 1.0f, 1.0f, 1.0f, 0.25f}) step(again, seconds);
    const auto repeated = currentPositions(again);
    ASSERT_EQ(repeated.size(), positions.size());
    EXPECT_EQ(std::memcmp(repeated.data(), positions.data(), positions.size() * sizeof(glm::vec4)), 0);
}

struct BurstCase {
    const char* name;
    int live;
    int count;
    GLuint expected;
};
const BurstCase kBursts[] = {
    {"1500 onto 99000 would pass 100000", 99000, 1500, 99000},
    {"1000 onto 99000 fills it exactly", 99000, 1000, 100000},
    {"one past the capacity alone", 0, 100001, 0},
    {"the largest int", 10, INT_MAX, 10},
    {"a negative count", 10, -5, 10},
    {"the smallest int", 10, INT_MIN, 10},
    {"zero", 10, 0, 10},
};

TEST_F(ParticlesTest, ABurstThatDoesNotFitIsDroppedWhole) {
    Particles particles("badParticles3.dds");
    const GLuint kSentinel = 0x7fc00abc;  // a NaN no emit produces
    for (const BurstCase& c : kBursts) {
        SCOPED_TRACE(c.name);
        particles.currentParticleCount = 0;
        particles.emit(glm::vec3(0.0f), c.live, 0.1f);
        // Marks the record right after the live ones, which a dropped burst must not touch.
        const GLuint current = particles.positionBuffers[particles.getCurrentBuffer()];
        if (c.live < static_cast<int>(kParticleCapacity)) {
            const GLuint marks[4] = {kSentinel, kSentinel, kSentinel, kSentinel};
            glBindBuffer(GL_SHADER_STORAGE_BUFFER, current);
            glBufferSubData(GL_SHADER_STORAGE_BUFFER, static_cast<GLintptr>(c.live) * kParticleRecordBytes,
                            sizeof marks, marks);
        }
        particles.emit(glm::vec3(0.0f), c.count, 0.1f);
        EXPECT_EQ(particles.getParticleCount(), c.expected);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        if (c.expected == static_cast<GLuint>(c.live) && c.live < static_cast<int>(kParticleCapacity)) {
            GLuint after[4] = {0, 0, 0, 0};
            glBindBuffer(GL_COPY_READ_BUFFER, current);
            glGetBufferSubData(GL_COPY_READ_BUFFER, static_cast<GLintptr>(c.live) * kParticleRecordBytes, sizeof after, after);
            EXPECT_EQ(after[0], kSentinel);
            EXPECT_EQ(after[3], kSentinel);
        }
    }
    // The full system still steps: every particle is young, so all survive into the other pair.
    particles.currentParticleCount = 0;
    particles.emit(glm::vec3(0.0f), static_cast<int>(kParticleCapacity), 0.1f);
    step(particles, 1.0f / 60.0f);
    EXPECT_EQ(particles.getParticleCount(), kParticleCapacity);
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, 0);
    glBindBuffer(GL_COPY_READ_BUFFER, 0);
}

// One burst seen from 40 cm, half a second after its birth, through the scene pass's state:
// depth test on and back faces culled (the sprite triangles must face the camera).
TEST_F(ParticlesTest, DrawnSpritesAppearInFrontOfTheCameraAndResetTheBlendState) {
    constexpr int kSize = 96;
    TwoColourTarget target(kSize, kSize, 1, GL_RGBA8);
    ASSERT_TRUE(target.complete);
    target.clear();
    auto camera = std::make_shared<StillCamera>(glm::vec3(0.0f, 0.06f, 0.4f), glm::vec3(0.0f, 0.06f, 0.0f), 1.0f);

    Particles particles("goodParticle.dds");
    seedRepeatably({&particles});
    particles.emit(glm::vec3(0.0f), 300, 0.02f);
    step(particles, 0.5f);
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    particles.draw(camera);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLboolean depthWrites = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    EXPECT_TRUE(depthWrites);

    const auto colour = target.read(0);
    const auto bright = target.read(1);
    std::cout << "picture: " << gltest::savePng("particles_burst.png", kSize, kSize, asDisplayed(colour)) << std::endl;
    gltest::savePng("particles_burst_bright.png", kSize, kSize, asDisplayed(bright));
    // Background 0.05, 0.06, 0.12 is 13, 15, 31 in bytes.
    int warm = 0, brightPixels = 0;
    for (int i = 0; i < kSize * kSize; ++i) {
        warm += colour[i * 4] > 13 + 60 && colour[i * 4] > colour[i * 4 + 2];
        brightPixels += bright[i * 4] > 0;
    }
    EXPECT_GT(warm, 20);
    EXPECT_GT(brightPixels, 0);
    for (const int corner : {0, kSize - 1, kSize * (kSize - 1), kSize * kSize - 1}) {
        EXPECT_EQ(colour[corner * 4], 13);
        EXPECT_EQ(colour[corner * 4 + 2], 31);
    }
}

// The three flowers' bursts of the scene pass, a pulse every half second for four seconds, seen
// from two metres: glow has risen, ash has fallen, and each shows in its third of the picture.
TEST_F(ParticlesTest, GlowRisesAndAshFallsAtDusk) {
    constexpr int kWidth = 640, kHeight = 400;
    TwoColourTarget target(kWidth, kHeight, 1, GL_RGBA8);
    ASSERT_TRUE(target.complete);
    auto camera = std::make_shared<StillCamera>(glm::vec3(0.0f, 0.6f, 2.0f), glm::vec3(0.0f, 0.55f, 0.0f),
                                                float(kWidth) / kHeight);
    Particles good("goodParticle.dds"), hope("hopeParticle.dds"), bad("badParticles3.dds");
    seedRepeatably({&good, &hope, &bad});
    const glm::vec3 goodAt(-0.5f, 0.4f, 0.0f), hopeAt(0.0f, 0.4f, 0.0f), badAt(0.5f, 0.8f, 0.0f);
    for (int frame = 0; frame < 240; ++frame) {
        if (frame % 30 == 0) {
            good.emit(goodAt - glm::vec3(0, 0.005f, 0), 3000, 0.03f);
            hope.emit(hopeAt - glm::vec3(0, 0.005f, 0), 1500, 0.01f);
            bad.emit(badAt, 500, 0.0f);
        }
        for (Particles* p : {&good, &hope, &bad}) step(*p, 1.0f / 60.0f);
    }
    auto meanHeight = [](const Particles& p) {
        double sum = 0.0;
        const auto positions = currentPositions(p);
        for (const glm::vec4& q : positions) sum += q.y;
        return sum / std::max<std::size_t>(positions.size(), 1);
    };
    EXPECT_GT(meanHeight(good), goodAt.y + 0.1);
    EXPECT_GT(meanHeight(hope), hopeAt.y + 0.1);
    EXPECT_LT(meanHeight(bad), badAt.y - 0.05);

    target.clear();
    for (Particles* p : {&good, &hope, &bad}) p->draw(camera);
    const auto colour = target.read(0);
    std::cout << "picture: " << gltest::savePng("particles_dusk.png", kWidth, kHeight, asDisplayed(colour)) << std::endl;
    gltest::savePng("particles_dusk_bright.png", kWidth, kHeight, asDisplayed(target.read(1)));
    for (int third = 0; third < 3; ++third) {
        SCOPED_TRACE(third);
        int changed = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = third * kWidth / 3; x < (third + 1) * kWidth / 3; ++x) {
                const std::uint8_t* px = &colour[(static_cast<std::size_t>(y) * kWidth + x) * 4];
                changed += std::abs(px[0] - 13) + std::abs(px[1] - 15) + std::abs(px[2] - 31) > 12;
            }
        EXPECT_GT(changed, 200);
    }
}

// A full system: 100000 particles over 391 work groups, the last one partly filled, as five flowers'
// plumes. A step of no time changes nothing: every position (with its remaining life) and every
// particle's seed comes back bit for bit in its place, so at the capacity the compaction neither
// drops, repeats nor reorders, and nothing moves or ages while no time passes (the speeds go through
// the drag's blend with a weight of one, which may round in the last bit). Drawn from 3.5 m into a
// target shaped like the scene target (four samples, two colour outputs, 800 x 800), every plume
// shows. (What stepping and drawing cost in the demo is part of the "scene" line of `capture --bench`.)
TEST_F(ParticlesTest, AFullSystemStepsInPlaceWhenNoTimePassesAndDrawsEveryPlume) {
    constexpr int kSize = 800;
    TwoColourTarget target(kSize, kSize, 4, GL_RGB);
    ASSERT_TRUE(target.complete);
    auto camera = std::make_shared<StillCamera>(glm::vec3(0.0f, 1.2f, 3.5f), glm::vec3(0.0f, 0.8f, 0.0f), 1.0f);
    Particles particles("goodParticle.dds");
    seedRepeatably({&particles});
    const glm::vec3 flowers[5] = {{-0.6f, 0.6f, 0.2f}, {-0.3f, 0.6f, -0.4f}, {0.0f, 0.6f, 0.0f}, {0.4f, 0.6f, 0.3f},
                                  {0.7f, 0.6f, -0.2f}};
    for (int burst = 0; burst < 20; ++burst) particles.emit(flowers[burst % 5], 5000, burst % 5 == 2 ? 0.07f : 0.03f);
    step(particles, 0.6f);  // puffs open, fully faded in
    ASSERT_EQ(particles.getParticleCount(), kParticleCapacity);

    const std::vector<glm::vec4> positions = currentPositions(particles);
    const std::vector<glm::vec4> velocities = currentVelocities(particles);
    const std::size_t bytes = positions.size() * sizeof(glm::vec4);
    for (int run = 0; run < 2; ++run) {  // into the other pair of buffers and back
        SCOPED_TRACE(run);
        step(particles, 0.0f);
        EXPECT_EQ(particles.getParticleCount(), kParticleCapacity);
        EXPECT_EQ(std::memcmp(currentPositions(particles).data(), positions.data(), bytes), 0);
        const std::vector<glm::vec4> speeds = currentVelocities(particles);
        int moved = 0;
        for (std::size_t i = 0; i < speeds.size(); ++i)
            moved += speeds[i].w != velocities[i].w || glm::any(glm::greaterThan(
                         glm::abs(glm::vec3(speeds[i]) - glm::vec3(velocities[i])), glm::vec3(1e-6f)));
        EXPECT_EQ(moved, 0) << "speeds changed while no time passed";
    }

    target.clear();
    particles.draw(camera);
    TwoColourTarget resolved(kSize, kSize, 1, GL_RGB);  // the four samples resolved, to read them
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolved.framebuffer);
    glBlitFramebuffer(0, 0, kSize, kSize, 0, 0, kSize, kSize, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, resolved.framebuffer);
    const auto colour = resolved.read(0);
    std::cout << "picture: " << gltest::savePng("particles_full.png", kSize, kSize, asDisplayed(colour)) << std::endl;
    // A plume covers most of the pixels within 30 of where it appears, a little above its flower.
    for (const glm::vec3& flower : flowers) {
        const glm::vec4 clip = camera->getViewProjectionMatrix() * glm::vec4(flower + glm::vec3(0.0f, 0.05f, 0.0f), 1.0f);
        const int cx = static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * kSize);
        const int cy = static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * kSize);
        int changed = 0;
        for (int y = cy - 30; y <= cy + 30; ++y)
            for (int x = cx - 30; x <= cx + 30; ++x) {
                const std::uint8_t* px = &colour[(static_cast<std::size_t>(y) * kSize + x) * 4];
                changed += std::abs(px[0] - 13) + std::abs(px[1] - 15) + std::abs(px[2] - 31) > 12;
            }
        EXPECT_GT(changed, 61 * 61 / 4) << "no plume at (" << cx << ", " << cy << ")";
    }
}

}  // namespace

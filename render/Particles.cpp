#include "render/Particles.h"

#include "app/GlobalState.h"
#include "gl/GlObjects.h"
#include "scene/Camera.h"
#include "shaders/ShaderRegistry.h"
#include "textures/TextureLoader.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

constexpr GLsizeiptr kParticleBufferBytes = static_cast<GLsizeiptr>(kParticleCapacity) * kParticleRecordBytes;
constexpr GLsizeiptr kCounterBytes = sizeof(GLuint);
// The emitted upward speed is a normal value around 0.6 scaled into the compute program's units.
constexpr float kUpwardSpeedScale = 0.005f;

GLuint createBuffer(GLenum target, GLsizeiptr bytes, const void* data, GLenum usage, const std::string& name) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(target, buffer);
    glBufferData(target, bytes, data, usage);
    glBindBuffer(target, 0);
    labelObject(GL_BUFFER, buffer, name);
    return buffer;
}

// rand() on the scale of 0 to 32767 that the burst pattern is written for. glibc's RAND_MAX is
// 2^31 - 1: dividing its values by 32767 would put nearly every draw outside the unit square, and
// the rejection loop would practically never end. Keeps the top 15 bits; the identity where
// RAND_MAX is 32767.
float rand15() {
    return static_cast<float>(std::rand() / (RAND_MAX / 32768 + 1));
}

std::mt19937::result_type nonDeterministicSeed() {
    // random_device may throw where the platform has no entropy source; the clock is a fair stand-in.
    try {
        return std::random_device{}();
    } catch (...) {
        return static_cast<std::mt19937::result_type>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
}

}  // namespace

Particles::Particles(const std::string& spriteFile) : spriteFile(spriteFile) {
    for (int i = 0; i < 2; ++i) {
        const char* pair = i == 0 ? " 0" : " 1";
        positionBuffers[i] = createBuffer(GL_SHADER_STORAGE_BUFFER, kParticleBufferBytes, nullptr, GL_DYNAMIC_COPY,
                                          spriteFile + " positions" + pair);
        velocityBuffers[i] = createBuffer(GL_SHADER_STORAGE_BUFFER, kParticleBufferBytes, nullptr, GL_DYNAMIC_COPY,
                                          spriteFile + " velocities" + pair);
    }
    const GLuint zero = 0;
    counterBuffer = createBuffer(GL_ATOMIC_COUNTER_BUFFER, kCounterBytes, &zero, GL_DYNAMIC_COPY,
                                 spriteFile + " survivor counter");
    readBackBuffer = createBuffer(GL_COPY_WRITE_BUFFER, kCounterBytes, nullptr, GL_DYNAMIC_READ,
                                  spriteFile + " survivor read-back");
    groupSurvivorsBuffer = createBuffer(GL_SHADER_STORAGE_BUFFER, kParticleMaxGroups * sizeof(GLuint), nullptr,
                                        GL_DYNAMIC_COPY, spriteFile + " survivors per group");

    glGenVertexArrays(2, vertexArrays);
    for (int i = 0; i < 2; ++i) {
        glBindVertexArray(vertexArrays[i]);
        glBindBuffer(GL_ARRAY_BUFFER, positionBuffers[i]);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 0, nullptr);
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        labelObject(GL_VERTEX_ARRAY, vertexArrays[i], spriteFile + (i == 0 ? " sprites 0" : " sprites 1"));
    }

    sprite = loadTexture(spriteFile);
    computeShader = getShader(PARTICLES_COMPUTE);
    drawShader = getShader(PARTICLES);
    randomEngine.seed(nonDeterministicSeed());
}

void Particles::seed(std::uint32_t seed) {
    randomEngine.seed(seed);
    upwardSpeed.reset();  // a normal value kept from the old sequence would come first otherwise
}

void seedRepeatably(std::initializer_list<Particles*> systems) {
    std::uint32_t seed = kRepeatableParticleSeed;
    for (Particles* particles : systems)
        if (particles) particles->seed(seed++);
}

void Particles::emit(glm::vec3 position, int count, float spread) {
    if (count <= 0) return;
    // In 64 bits, so that no count can wrap the sum back under the capacity.
    if (static_cast<std::uint64_t>(currentParticleCount) + static_cast<std::uint64_t>(count) > maximumParticleCount)
        return;

    std::vector<glm::vec4>& positions = newPositions;
    std::vector<glm::vec4>& velocities = newVelocities;
    positions.clear();
    velocities.clear();
    positions.reserve(static_cast<std::size_t>(count));
    velocities.reserve(static_cast<std::size_t>(count));
    while (positions.size() < static_cast<std::size_t>(count)) {
        // Rejection sampling on the unit square gives a uniform disc; rejected pairs do not count.
        const float x = 1.0f - 2.0f * rand15() / 32767.0f;
        const float z = 1.0f - 2.0f * rand15() / 32767.0f;
        if (x * x + z * z >= 1.0f) continue;
        const float dx = x * spread;
        const float dz = z * spread;
        // The burst pattern draws a third value per particle and leaves it unused; the pulse timer
        // shares the rand() sequence, so dropping it would move every later pulse of a run.
        static_cast<void>(std::rand());
        const float vy = upwardSpeed(randomEngine) * kUpwardSpeedScale;
        positions.emplace_back(position.x + dx, position.y, position.z + dz, lifeConstant);
        velocities.emplace_back(dx, vy, dz, 0.0f);
    }

    const int current = currentBuffer ? 1 : 0;
    const auto offset = static_cast<GLintptr>(currentParticleCount) * kParticleRecordBytes;
    const auto bytes = static_cast<GLsizeiptr>(count) * kParticleRecordBytes;
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, positionBuffers[current]);
    glBufferSubData(GL_SHADER_STORAGE_BUFFER, offset, bytes, positions.data());
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, velocityBuffers[current]);
    glBufferSubData(GL_SHADER_STORAGE_BUFFER, offset, bytes, velocities.data());
    glBindBuffer(GL_SHADER_STORAGE_BUFFER, 0);
    currentParticleCount += static_cast<GLuint>(count);
}

void Particles::simulate() {
    dispatchStep();
    glMemoryBarrier(kStepBarrierBits);
    collectCount();
}

void Particles::dispatchStep() {
    const GlobalState& state = GlobalState::instance();
    computeShader->use();
    computeShader->setUInt("lastParticleCount", currentParticleCount);
    computeShader->setUInt("maximumParticleCount", maximumParticleCount);
    computeShader->setFloat("deltaTime", state.deltaTime);
    computeShader->setFloat("time", state.time);

    const int from = currentBuffer ? 1 : 0;
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kParticlePositionsInBinding, positionBuffers[from]);
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kParticleVelocitiesInBinding, velocityBuffers[from]);
    currentBuffer = !currentBuffer;
    const int to = currentBuffer ? 1 : 0;
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kParticlePositionsOutBinding, positionBuffers[to]);
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kParticleVelocitiesOutBinding, velocityBuffers[to]);
    glBindBufferBase(GL_ATOMIC_COUNTER_BUFFER, kParticleCounterBinding, counterBuffer);
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kParticleGroupSurvivorsBinding, groupSurvivorsBuffer);

    // One group more than needed when the count is a multiple of the group size, and one group for
    // no particles at all: the program ignores invocations past lastParticleCount.
    const GLuint groups = currentParticleCount / kParticleWorkGroupSize + 1;
    // Order-keeping compaction in two dispatches: count the survivors of each group, then write
    // each group's survivors after those of the groups before it. The caller's barrier
    // (kStepBarrierBits) covers what reads the second dispatch's results.
    computeShader->setUInt("compactionPass", 0);
    glDispatchCompute(groups, 1, 1);
    glMemoryBarrier(GL_SHADER_STORAGE_BARRIER_BIT);
    computeShader->setUInt("compactionPass", 1);
    glDispatchCompute(groups, 1, 1);
    for (GLuint binding = kParticlePositionsInBinding; binding <= kParticleVelocitiesOutBinding; ++binding)
        glBindBufferBase(GL_SHADER_STORAGE_BUFFER, binding, 0);
    glBindBufferBase(GL_SHADER_STORAGE_BUFFER, kParticleGroupSurvivorsBinding, 0);
    glBindBufferBase(GL_ATOMIC_COUNTER_BUFFER, kParticleCounterBinding, 0);
}

// The counter is read by a buffer copy, the storage by the next step, by emit's uploads and by the
// vertex fetch: shader writes reach those only behind the barrier of kStepBarrierBits, which the
// caller issued since dispatchStep().
void Particles::collectCount() {
    glBindBuffer(GL_ATOMIC_COUNTER_BUFFER, counterBuffer);
    glBindBuffer(GL_COPY_WRITE_BUFFER, readBackBuffer);
    glCopyBufferSubData(GL_ATOMIC_COUNTER_BUFFER, GL_COPY_WRITE_BUFFER, 0, 0, kCounterBytes);
    GLuint survivors = 0;
    bool counterReset = false;
    if (auto* mapped = static_cast<GLuint*>(
            glMapBufferRange(GL_COPY_WRITE_BUFFER, 0, kCounterBytes, GL_MAP_READ_BIT | GL_MAP_WRITE_BIT))) {
        survivors = *mapped;
        *mapped = 0;
        if (glUnmapBuffer(GL_COPY_WRITE_BUFFER) == GL_TRUE) {
            glCopyBufferSubData(GL_COPY_WRITE_BUFFER, GL_ATOMIC_COUNTER_BUFFER, 0, 0, kCounterBytes);
            counterReset = true;
        }
    }
    if (!counterReset) {
        // Without the reset the next step would count on from here and lose its survivors.
        if (!reportedReadBack)
            std::cout << "ERROR: Failed to read back the particle count of '" << spriteFile
                      << "': the read-back buffer could not be mapped" << std::endl;
        reportedReadBack = true;
        const GLuint zero = 0;
        glBufferSubData(GL_ATOMIC_COUNTER_BUFFER, 0, kCounterBytes, &zero);
    }
    // The counter can only count past the buffers if it was not reset; the program writes no
    // particle there, so none beyond the capacity exists.
    currentParticleCount = std::min(survivors, maximumParticleCount);
    glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    glBindBuffer(GL_ATOMIC_COUNTER_BUFFER, 0);
}

void Particles::draw(const std::shared_ptr<Camera>& camera) {
    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    drawShader->use();
    drawShader->setMat4("modelObjMat", glm::mat4(1.0f));
    drawShader->setMat4("viewMat", camera->getViewMatrix());
    drawShader->setMat4("projectionMat", camera->getProjectionMatrix());
    drawShader->setInt("textureWithAlpha", 0);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, sprite->getId());

    glBindVertexArray(vertexArrays[currentBuffer ? 1 : 0]);
    glDrawArrays(GL_POINTS, 0, static_cast<GLsizei>(currentParticleCount));
    glBindVertexArray(0);
    glUseProgram(0);

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glBlendEquation(GL_FUNC_ADD);
}

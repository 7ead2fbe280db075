// GPU particles of one sprite: positions and velocities live in two pairs of storage buffers, a
// compute program moves and ages them from one pair into the other, and a point program draws them
// as camera-facing sprites. The CPU only appends bursts and reads back how many survived.
// A burst that would pass the capacity, or has no particles, is dropped whole. The step keeps the
// survivors in their order, so the same bursts give the same buffers, and the same picture, on every run.
#pragma once

#include <GL/glew.h>
#include <glm/glm.hpp>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

class Camera;
class Shader;
class Texture;

inline constexpr GLuint kParticleCapacity = 100000;
inline constexpr GLsizeiptr kParticleRecordBytes = 16;  // one vec4, tightly packed, float32
inline constexpr GLuint kParticleWorkGroupSize = 256;   // local_size_x of particles.comp

// Storage and counter binding points of particles.comp.
inline constexpr GLuint kParticlePositionsInBinding = 0;
inline constexpr GLuint kParticleVelocitiesInBinding = 1;
inline constexpr GLuint kParticlePositionsOutBinding = 2;
inline constexpr GLuint kParticleVelocitiesOutBinding = 3;
inline constexpr GLuint kParticleCounterBinding = 4;
inline constexpr GLuint kParticleGroupSurvivorsBinding = 5;
// Work groups of one step at the most (the dispatch has one group more than the full ones).
inline constexpr GLuint kParticleMaxGroups = kParticleCapacity / kParticleWorkGroupSize + 1;

// What must be visible after a step: the counter to the buffer copy, the storage to the next step,
// to emit's uploads and to the sprites' vertex fetch.
inline constexpr GLbitfield kStepBarrierBits = GL_ATOMIC_COUNTER_BARRIER_BIT | GL_BUFFER_UPDATE_BARRIER_BIT |
                                               GL_SHADER_STORAGE_BARRIER_BIT | GL_VERTEX_ATTRIB_ARRAY_BARRIER_BIT;

class Particles {
public:
    // Buffers and vertex arrays (position 0, velocity 0, position 1, velocity 1, counter, read-back,
    // vertex arrays), the sprite "assets/textures/<spriteFile>" and both programs. Needs a context.
    explicit Particles(const std::string& spriteFile);

    // Appends `count` particles on a horizontal disc of radius `spread` around `position`, moving
    // outwards by their offset and upwards by a normally distributed speed. Nothing happens when
    // `count` is not positive or the particles would not all fit.
    void emit(glm::vec3 position, int count, float spread);
    // One compute step with GlobalState's deltaTime and time; the survivors become the particles.
    // The same as dispatchStep(), a glMemoryBarrier with kStepBarrierBits, then collectCount().
    void simulate();
    // The two halves of simulate(), so a frame can step several systems behind one barrier: a
    // barrier waits for all queued rendering on a software rasteriser, one per system would stall.
    // dispatchStep() runs the compute program and flips the buffers; after the barrier,
    // collectCount() reads the survivors and resets the counter.
    void dispatchStep();
    void collectCount();
    // Alpha-blended sprites, depth-tested without depth writes. Leaves blending off, depth writes
    // on, program 0 and no vertex array bound.
    void draw(const std::shared_ptr<Camera>& camera);
    // Restarts the speeds' random sequence from `seed`, so the same bursts move the same way on every
    // run (the offline renders and the tests that compare pictures); the live demo keeps its random seed.
    void seed(std::uint32_t seed);

    GLuint getParticleCount() const { return currentParticleCount; }
    int getCurrentBuffer() const { return currentBuffer ? 1 : 0; }

    float lifeConstant = 10.0f;  // w of every new position
    GLuint maximumParticleCount = kParticleCapacity;
    GLuint currentParticleCount = 0;
    bool currentBuffer = false;
    GLuint positionBuffers[2] = {0, 0};
    GLuint velocityBuffers[2] = {0, 0};
    GLuint counterBuffer = 0;
    GLuint readBackBuffer = 0;
    GLuint groupSurvivorsBuffer = 0;  // survivors per work group, between the step's two dispatches
    GLuint vertexArrays[2] = {0, 0};
    std::shared_ptr<Texture> sprite;
    std::shared_ptr<Shader> computeShader;
    std::shared_ptr<Shader> drawShader;
    std::mt19937 randomEngine;
    // libstdc++ draws normal values with the polar method and keeps the second of each pair.
    std::normal_distribution<float> upwardSpeed{0.6f, 0.3f};

private:
    std::string spriteFile;          // for labels and messages
    std::vector<glm::vec4> newPositions;   // a burst's records, kept between bursts so emit
    std::vector<glm::vec4> newVelocities;  // allocates only when a burst is larger than any before
    bool reportedReadBack = false;   // the read-back failure is reported once, not every frame
};

// The seed of repeatable runs: any fixed value does.
inline constexpr std::uint32_t kRepeatableParticleSeed = 20261210;

// Seeds the given systems (null ones skipped) from kRepeatableParticleSeed, one seed further for each
// so that they do not move in step: the demo's three systems, in the order good, hope, bad, get the
// seeds of every offline render.
void seedRepeatably(std::initializer_list<Particles*> systems);

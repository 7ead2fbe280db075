#version 430 core
// One step of the flower particles: each particle read from bindings 0 and 1 is moved and aged,
// and the living ones are written, compacted and in their order, to bindings 2 and 3; the counter at
// binding 4 counts them.
//
// The order is kept so that the sprites blend in the same order on every run: slots handed out by
// an atomic counter would follow the order in which threads happen to finish. The step therefore
// runs as two dispatches of this program over the same groups (stream compaction):
//   compactionPass 0  each group counts its survivors into groupSurvivors[group];
//   compactionPass 1  each group starts at the sum of the counts of the groups before it and
//                     writes its survivors from there, in their order within the group.
// Both passes decide survival with the same code on the same input, so they agree.
//
// Two kinds share the program and are told apart by their birth: the living flowers emit on a
// disc, so each of their particles starts with some horizontal speed (never exactly zero, however
// small the disc); the dead flowers emit from a point, so theirs is exactly zero.
//   glow  an outward puff that air drag slows within a second, then a steady rise, each particle
//         drifting slowly its own way and wandering, so the plume widens as it climbs;
//         lives 2.4 to 3.6 s.
//   ash   shed with a small sideways kick and hop, then it falls at a slow terminal speed,
//         drifting its own way and fluttering from side to side; lives 3.5 to 5 s.
// The lives also bound the load: the living flowers emit about 18000 particles a pulse, so about
// three seconds of them stay well inside the 100000 a system holds.
// Units: metres and seconds. At birth position w is 10 and velocity w is 0; from the first step on
//   position w  remaining life from 10 down to 0, negated for ash (the draw program reads both),
//   velocity w  a random number in (0, 1] fixed for the particle's life, negated for ash.
// Drag is integrated in closed form, so long software-GL frames give the same paths as short ones.

layout(local_size_x = 256) in;

layout(std430, binding = 0) readonly buffer PositionsIn { vec4 positionsIn[]; };
layout(std430, binding = 1) readonly buffer VelocitiesIn { vec4 velocitiesIn[]; };
layout(std430, binding = 2) writeonly buffer PositionsOut { vec4 positionsOut[]; };
layout(std430, binding = 3) writeonly buffer VelocitiesOut { vec4 velocitiesOut[]; };
layout(binding = 4, offset = 0) uniform atomic_uint survivorCount;
layout(std430, binding = 5) buffer GroupSurvivors { uint groupSurvivors[]; };

uniform uint lastParticleCount;
uniform uint maximumParticleCount;
uniform float deltaTime;
uniform float time;
uniform uint compactionPass;

const uint GROUP_SIZE = 256u;

const float LIFE = 10.0;              // position w at birth
const float MAX_STEP = 1.0;           // seconds; a loading hitch must not fling particles away
const float BURST = 3.0;              // outward speed per metre of offset from the flower
// emit's upward speeds (mean 0.003) are per frame of 1/50 s for glow; ash only jumps a little.
const float GLOW_RISE = 50.0;
const float ASH_HOP = 40.0;
const float TAU = 6.2831853;

const vec2 GLOW_LIFE = vec2(2.4, 3.6);
const float GLOW_DRAG = 1.6;          // 1/s: the puff has mostly settled after a second
const float GLOW_DRIFT = 0.04;        // m/s
const float GLOW_WANDER = 0.05;       // m/s

const vec2 ASH_LIFE = vec2(3.5, 5.0);
const float ASH_DRAG = 2.5;           // 1/s: light flakes reach their fall speed quickly
const vec2 ASH_FALL = vec2(0.07, 0.16);  // terminal fall speed, m/s
const float ASH_KICK = 0.12;          // m/s
const float ASH_DRIFT = 0.04;         // m/s
const float ASH_FLUTTER = 0.09;       // m/s

// PCG hash (Jarzynski and Olano, "Hash Functions for GPU Rendering", JCGT 2020).
uint pcgHash(uint v) {
    uint state = v * 747796405u + 2891336453u;
    uint word = ((state >> ((state >> 28u) + 4u)) ^ state) * 277803737u;
    return (word >> 22u) ^ word;
}

// A horizontal direction of the particle's own.
vec3 heading(float seed) {
    float angle = fract(seed * 7919.0) * TAU;
    return vec3(cos(angle), 0.0, sin(angle));
}

// Velocity relaxing towards `target` at rate `drag` over `dt`: the new velocity and the distance
// covered on the way (exact for a target that holds during the step).
vec3 relax(inout vec3 velocity, vec3 target, float drag, float dt) {
    float keep = exp(-drag * dt);
    vec3 distance = target * dt + (velocity - target) * (1.0 - keep) / drag;
    velocity = mix(target, velocity, keep);
    return distance;
}

// Survival flags, then each survivor's place among the group's survivors; and the group's first slot.
shared uint ranks[GROUP_SIZE];
shared uint groupBase;

void main() {
    uint index = gl_GlobalInvocationID.x;
    bool exists = index < lastParticleCount && index < maximumParticleCount;

    vec4 position = exists ? positionsIn[index] : vec4(0.0);
    vec4 velocity = exists ? velocitiesIn[index] : vec4(0.0);
    float dt = clamp(deltaTime, 0.0, MAX_STEP);

    if (velocity.w == 0.0) {
        bool ash = velocity.x == 0.0 && velocity.z == 0.0;
        float seed = float((pcgHash(index ^ pcgHash(floatBitsToUint(time))) >> 8u) + 1u) / 16777216.0;
        // Kicks of different strength, or each burst of ash would spread as one ring.
        float kick = ASH_KICK * fract(seed * 131.0);
        velocity.xz = ash ? kick * heading(seed).xz : velocity.xz * BURST;
        velocity.y *= ash ? ASH_HOP : GLOW_RISE;
        velocity.w = ash ? -seed : seed;
    }

    bool ash = velocity.w < 0.0;
    float seed = abs(velocity.w);
    float lifeSeconds = ash ? mix(ASH_LIFE.x, ASH_LIFE.y, seed) : mix(GLOW_LIFE.x, GLOW_LIFE.y, seed);
    float remaining = abs(position.w) - dt * LIFE / lifeSeconds;
    // Also false for a life that went NaN: such a particle is dropped rather than kept forever.
    bool survives = exists && remaining > 0.0;

    uint lane = gl_LocalInvocationID.x;
    uint group = gl_WorkGroupID.x;
    ranks[lane] = survives ? 1u : 0u;
    if (lane == 0u) groupBase = 0u;
    barrier();
    // One thread turns the flags into places, a serial loop that costs far less than a parallel
    // scan here: on a software rasteriser every barrier switches between all of the group's
    // invocations. The others add up the earlier groups' counts (integer sums: in any order the same).
    if (lane == 0u) {
        uint sum = 0u;
        for (uint i = 0u; i < GROUP_SIZE; ++i) {
            uint flag = ranks[i];
            ranks[i] = sum;
            sum += flag;
        }
        if (compactionPass == 0u) groupSurvivors[group] = sum;
    }
    if (compactionPass == 0u) return;
    uint earlier = 0u;
    for (uint g = lane; g < group; g += GROUP_SIZE) earlier += groupSurvivors[g];
    if (earlier > 0u) atomicAdd(groupBase, earlier);
    barrier();
    if (!survives) return;

    float phase = seed * 97.0;
    vec3 v = velocity.xyz;
    vec3 moved;
    if (ash) {
        vec3 flutter = ASH_FLUTTER * vec3(sin(2.3 * time + phase), 0.0, cos(1.7 * time + 1.3 * phase));
        // A flake sinks faster edge-on than flat: its fall speed swings with its flutter.
        float sink = mix(ASH_FALL.x, ASH_FALL.y, seed) * (1.0 + 0.5 * sin(3.1 * time + 2.0 * phase));
        vec3 fall = vec3(0.0, -sink, 0.0);
        moved = relax(v, fall + ASH_DRIFT * heading(seed) + flutter, ASH_DRAG, dt);
    } else {
        vec3 wander = GLOW_WANDER * vec3(sin(0.9 * time + 3.0 * position.y + phase), 0.0,
                                         cos(0.7 * time + 2.0 * position.y + 1.7 * phase));
        // Only the horizontal motion feels drag: each glow keeps the rise it was born with.
        vec3 horizontal = vec3(v.x, 0.0, v.z);
        moved = relax(horizontal, GLOW_DRIFT * heading(seed) + wander, GLOW_DRAG, dt);
        moved.y = v.y * dt;
        v.xz = horizontal.xz;
    }

    atomicCounterIncrement(survivorCount);
    uint slot = groupBase + ranks[lane];
    positionsOut[slot] = vec4(position.xyz + moved, ash ? -remaining : remaining);
    velocitiesOut[slot] = vec4(v, velocity.w);
}

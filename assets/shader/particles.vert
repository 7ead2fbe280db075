#version 430 core
// A particle as a point in view space, with how far through its life it is; the geometry stage
// makes the sprite. Position w is the remaining life from 10 down to 0, negative for ash.

layout(location = 0) in vec4 position;

uniform mat4 modelObjMat;
uniform mat4 viewMat;

out Particle {
    vec3 viewPosition;
    float age;        // 0 at birth, 1 at death
    float remaining;  // remaining life, 10 to 0: a clock that runs at each particle's own pace
    float ash;        // 1 for ash, 0 for glow
} particle;

const float LIFE = 10.0;

void main() {
    particle.viewPosition = (viewMat * modelObjMat * vec4(position.xyz, 1.0)).xyz;
    particle.remaining = abs(position.w);
    particle.age = clamp(1.0 - particle.remaining / LIFE, 0.0, 1.0);
    particle.ash = float(position.w < 0.0);
}

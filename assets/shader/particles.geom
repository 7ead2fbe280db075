#version 430 core
// One camera-facing sprite per particle, as one triangle that covers the sprite's square: corners
// at (-1, -1), (3, -1) and (-1, 3) in units of the half-size, sprite coordinates (0, 0), (2, 0) and
// (0, 2). The fragment stage clears what lies outside the sprite's disc. A software rasteriser sets
// up triangles on the application's thread, so one triangle instead of a quad's two pays for
// sprites a few pixels wide, although it covers twice the area.
//   glow  grows as it drifts away, turns slowly and twinkles.
//   ash   tumbles: turns and flips (the flip squashes it along one axis), at its own pace.
// Particles fully faded or behind the eye make no triangle.

layout(points) in;
layout(triangle_strip, max_vertices = 3) out;

in Particle {
    vec3 viewPosition;
    float age;
    float remaining;
    float ash;
} particle[];

uniform mat4 projectionMat;

out vec2 spriteCoord;
out float opacity;
flat out float intensity;
flat out float ash;

const vec2 CORNERS[3] = vec2[3](vec2(-1.0, -1.0), vec2(3.0, -1.0), vec2(-1.0, 3.0));
// Half-sizes in metres (glow at birth and at death): motes of one to two centimetres. Each sprite
// costs its area in fragments, and a software rasteriser pays about the same per fragment as for a
// lit surface, so they stay small.
const vec2 GLOW_SIZE = vec2(0.006, 0.010);
const float ASH_SIZE = 0.012;
const float NEAREST = 0.02;                 // metres in front of the eye

void main() {
    vec3 centre = particle[0].viewPosition;
    float age = particle[0].age;
    float clock = particle[0].remaining;
    bool isAsh = particle[0].ash > 0.5;

    // Soft birth (glow only appears as its puff opens) and a long fade towards death; ash stays
    // dark for most of its fall.
    float fade = smoothstep(0.0, isAsh ? 0.06 : 0.15, age) * (1.0 - smoothstep(isAsh ? 0.6 : 0.45, 1.0, age));
    if (fade <= 0.0 || centre.z > -NEAREST) return;

    float angle;
    vec2 scale;
    if (isAsh) {
        angle = 2.1 * clock;
        scale = ASH_SIZE * vec2(1.0, 0.2 + 0.8 * abs(cos(3.7 * clock)));
    } else {
        angle = 0.6 * clock;
        scale = vec2(mix(GLOW_SIZE.x, GLOW_SIZE.y, age));
    }
    mat2 turn = mat2(cos(angle), sin(angle), -sin(angle), cos(angle));
    float twinkle = isAsh ? 1.0 : 0.8 + 0.2 * sin(9.0 * clock);

    for (int i = 0; i < 3; ++i) {
        vec2 offset = turn * (CORNERS[i] * scale);
        gl_Position = projectionMat * vec4(centre.xy + offset, centre.z, 1.0);
        spriteCoord = (CORNERS[i] + 1.0) * 0.5;
        opacity = fade;
        intensity = twinkle;
        ash = particle[0].ash;
        EmitVertex();
    }
    EndPrimitive();
}

#version 430 core
// Molten rock: two octaves of value noise drifting in opposite directions over "time"; hot cracks
// glow far above 1.0 so the bloom picks them up, the crust stays dark.
in vec2 texCoord;
in vec3 worldNormal;

uniform float time;
uniform float brightness;

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 brightColor;

float hash(vec2 p) { return fract(sin(dot(p, vec2(127.1, 311.7))) * 43758.5453); }

float valueNoise(vec2 p) {
    vec2 cell = floor(p);
    vec2 f = fract(p);
    vec2 s = f * f * (3.0 - 2.0 * f);
    return mix(mix(hash(cell), hash(cell + vec2(1, 0)), s.x), mix(hash(cell + vec2(0, 1)), hash(cell + vec2(1, 1)), s.x),
               s.y);
}

void main() {
    vec2 p = texCoord * 6.0;
    float heat = valueNoise(p + vec2(time * 0.15, 0.0)) * 0.65 + valueNoise(p * 2.3 - vec2(0.0, time * 0.25)) * 0.35;
    float crack = smoothstep(0.55, 0.8, heat);
    vec3 crust = vec3(0.05, 0.02, 0.015);
    vec3 glow = mix(vec3(2.5, 0.45, 0.05), vec3(6.0, 2.4, 0.4), crack) * crack;
    vec3 colour = crust + glow + vec3(brightness);
    fragColor = vec4(colour, 1.0);
    float luminance = dot(colour, vec3(0.2126, 0.7152, 0.0722));
    brightColor = vec4(luminance > 1.0 ? colour : vec3(0.0), 1.0);
}

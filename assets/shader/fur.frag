#version 430 core
// A strand exists where a hashed cell value exceeds the shell's height, so strands thin out
// toward their tips; the skin layer is always solid.
in ShellData {
    vec3 worldNormal;
    vec2 texCoord;
    float layer;
} shellIn;

uniform float brightness;
uniform vec3 furColor = vec3(0.55, 0.42, 0.3);
uniform float strandDensity = 180.0;

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 brightColor;

float hash(vec2 p) { return fract(sin(dot(p, vec2(12.9898, 78.233))) * 43758.5453); }

void main() {
    float strand = hash(floor(shellIn.texCoord * strandDensity));
    if (shellIn.layer > 0.0 && strand < shellIn.layer) discard;
    // Self-shadowing: the roots are darker than the tips.
    float occlusion = mix(0.35, 1.0, shellIn.layer);
    float light = 0.4 + 0.6 * max(dot(normalize(shellIn.worldNormal), normalize(vec3(0.3, 1.0, 0.2))), 0.0);
    fragColor = vec4(furColor * occlusion * light + vec3(brightness), 1.0);
    brightColor = vec4(0.0, 0.0, 0.0, 1.0);
}

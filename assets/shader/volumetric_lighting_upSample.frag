#version 430 core
// The blurred half-size scattered light, stretched to the window by the bilinear filter, into two
// outputs: 0, the light itself, which the composite adds to the scene; 1, the scene's bright part
// plus a share of the light, which the bloom blurs, so lamps in fog get a soft glow.
in vec2 texCoord;

uniform sampler2D volumetricTex;  // half size, linear filtering
uniform sampler2D scene;          // the resolved lit scene

layout(location = 0) out vec4 volumetricLight;
layout(location = 1) out vec4 brightColor;

const vec3 LUMINANCE = vec3(0.2126, 0.7152, 0.0722);  // Rec. 709 weights
// The scene arrives from an 8-bit multisampled target, so "brighter than white" shows only as
// saturation: the bright part fades in over the last steps below white (and stays whole above it,
// should the scene ever arrive in floating point).
const float BRIGHT_FROM = 0.85;
const float BRIGHT_FULL = 1.0;
const float LIGHT_SHARE = 0.35;

void main() {
    vec3 light = texture(volumetricTex, texCoord).rgb;
    vec3 color = texelFetch(scene, ivec2(gl_FragCoord.xy), 0).rgb;  // one texel per pixel: no filtering
    vec3 bright = color * smoothstep(BRIGHT_FROM, BRIGHT_FULL, dot(color, LUMINANCE));
    volumetricLight = vec4(light, 1.0);
    brightColor = vec4(bright + light * LIGHT_SHARE, 1.0);
}

#version 430 core
// A sprite texel with straight alpha. The sprites store sRGB colour. Glow emits light: its core is
// brighter than 1, so part of it reaches the bright output (colour whose luminance exceeds 1) and
// blooms. Ash is dark and unlit; over the bright output it is black, so it hides the glow behind it.

in vec2 spriteCoord;
in float opacity;
flat in float intensity;
flat in float ash;

uniform sampler2D textureWithAlpha;

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 brightColor;

const float GLOW_RADIANCE = 3.0;
const float ASH_RADIANCE = 0.5;
// Thousands of sprites overlap in a burst: each alone is faint, so the cloud stays a cloud of
// motes instead of a solid plume.
const float GLOW_OPACITY = 0.35;
const float ASH_OPACITY = 0.65;
const vec3 LUMINANCE = vec3(0.2126, 0.7152, 0.0722);  // Rec. 709 weights

void main() {
    vec4 texel = texture(textureWithAlpha, spriteCoord);
    // Every sprite's texels lie within 0.85 of its half-size. Fading out from 0.7 to the edge keeps
    // the sprites round at the smallest mip levels, where the whole square turns into a block or
    // two, and clears the overhang of the triangle, where the texture repeats.
    float inside = 1.0 - smoothstep(0.7, 1.0, length(spriteCoord * 2.0 - 1.0));
    vec3 colour = pow(texel.rgb, vec3(2.2)) * mix(GLOW_RADIANCE * intensity, ASH_RADIANCE, ash);
    float alpha = texel.a * opacity * inside * mix(GLOW_OPACITY, ASH_OPACITY, ash);
    fragColor = vec4(colour, alpha);
    brightColor = vec4(colour * float(dot(colour, LUMINANCE) > 1.0), alpha);
}

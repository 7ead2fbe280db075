#version 430 core
// One cube-map texel from the equirectangular HDR panorama, in the direction it stands for.
// Panorama convention (the sky baker writes it so): u = atan2(d.z, d.x) / 2pi + 0.5 runs once
// around the horizon; v = asin(d.y) / pi + 0.5 runs from the nadir (0) to the zenith (1). The HDR
// loader flips the file on load, so texture row 0 is the bottom of the picture and v = 1 is up.

in vec3 localPos;

uniform sampler2D equirectangularMap;

layout(location = 0) out vec4 fragColor;

const float PI = 3.14159265358979;

vec2 equirectangularUv(vec3 d) {
    return vec2(atan(d.z, d.x) / (2.0 * PI) + 0.5, asin(clamp(d.y, -1.0, 1.0)) / PI + 0.5);
}

void main() {
    // Level 0 explicitly: the panorama has no mip chain, and u jumps from 1 to 0 across the seam.
    vec3 radiance = textureLod(equirectangularMap, equirectangularUv(normalize(localPos)), 0.0).rgb;
    fragColor = vec4(radiance, 1.0);
}

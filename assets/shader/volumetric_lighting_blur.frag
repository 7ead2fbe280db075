#version 430 core
// One separable Gaussian pass of the scattered light along x ("horizontal") or y, at half size.
// Five bilinear taps give the 9-tap kernel (0.227027, 0.1945946, 0.1216216, 0.054054, 0.016216):
// neighbouring weights merge into one linear fetch at their weighted offset (Rakos, "Efficient
// Gaussian blur with linear sampling", 2010). The blur hides the per-pixel jitter of the march.
in vec2 texCoord;

uniform sampler2D volumetricTex;
uniform bool horizontal;

layout(location = 0) out vec4 fragColor;

const float offsets[3] = float[](0.0, 1.3846153846, 3.2307692308);
const float weights[3] = float[](0.2270270270, 0.3162162162, 0.0702702703);

void main() {
    vec2 texel = 1.0 / vec2(textureSize(volumetricTex, 0));
    vec2 axis = horizontal ? vec2(texel.x, 0.0) : vec2(0.0, texel.y);
    vec3 sum = texture(volumetricTex, texCoord).rgb * weights[0];
    for (int i = 1; i < 3; ++i) {
        sum += texture(volumetricTex, texCoord + axis * offsets[i]).rgb * weights[i];
        sum += texture(volumetricTex, texCoord - axis * offsets[i]).rgb * weights[i];
    }
    fragColor = vec4(sum, 1.0);
}

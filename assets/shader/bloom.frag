#version 430 core
// Final composite onto the window: the lit scene, its blurred bright part (bloom) and the
// volumetric light, all linear HDR, added; then exposure tone mapping, 1 - exp(-c * exposure)
// (keeps hue, never clips, and maps 1.0 to 0.63 so the dusk stays dark), and display gamma 2.2.
in vec2 texCoord;

uniform sampler2D scene;
uniform sampler2D bloomBlur;
uniform sampler2D volumetricLight;
uniform float exposure;

layout(location = 0) out vec4 fragColor;

const float kGamma = 2.2;

void main() {
    vec3 hdr = texture(scene, texCoord).rgb + texture(bloomBlur, texCoord).rgb +
               texture(volumetricLight, texCoord).rgb;
    vec3 mapped = vec3(1.0) - exp(-hdr * exposure);
    fragColor = vec4(pow(mapped, vec3(1.0 / kGamma)), 1.0);
}

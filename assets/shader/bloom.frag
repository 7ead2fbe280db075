#version 430 core
// Final composite onto the window: the lit scene, its blurred bright part (bloom) and the
// volumetric light, all linear HDR, added; then exposure tone mapping, 1 - exp(-c * exposure)
// (keeps hue, never clips, and maps 1.0 to 0.63 so the dusk stays dark), and display gamma 2.2.
// The three inputs are the window's size, so each pixel reads its own texel: an interpolated
// coordinate would differ in its last bits between a multisampled and a single-sample window, and
// the offline tools' single-sample frames would then round a few pixels unlike the demo's.

uniform sampler2D scene;
uniform sampler2D bloomBlur;
uniform sampler2D volumetricLight;
uniform float exposure;

layout(location = 0) out vec4 fragColor;

const float kGamma = 2.2;

void main() {
    ivec2 texel = ivec2(gl_FragCoord.xy);
    vec3 hdr = texelFetch(scene, texel, 0).rgb + texelFetch(bloomBlur, texel, 0).rgb +
               texelFetch(volumetricLight, texel, 0).rgb;
    vec3 mapped = vec3(1.0) - exp(-hdr * exposure);
    fragColor = vec4(pow(mapped, vec3(1.0 / kGamma)), 1.0);
}

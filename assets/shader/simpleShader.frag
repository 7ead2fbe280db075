#version 430 core
// The image, tinted additively by "changeColor" (black leaves it unchanged) and lifted by the
// viewer's brightness; its alpha blends it over what lies behind.
in vec2 texCoord;

uniform sampler2D imgTexture;
uniform vec3 changeColor;
uniform float brightness;

layout(location = 0) out vec4 fragColor;

void main() {
    vec4 image = texture(imgTexture, texCoord);
    fragColor = vec4(image.rgb + changeColor + vec3(brightness), image.a);
}

#version 430 core
// Textured image in world space (title screens: an orthographic camera whose units are pixels).
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 uv;

uniform mat4 modelObjMat;
uniform mat4 viewProjectionMat;

out vec2 texCoord;

void main() {
    texCoord = uv;
    gl_Position = viewProjectionMat * modelObjMat * vec4(position, 1.0);
}

#version 430 core
// Full-screen quad: positions are already in clip space (the screen model spans -1..1).
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 uv;

uniform mat4 modelObjMat;

out vec2 texCoord;

void main() {
    texCoord = uv;
    gl_Position = modelObjMat * vec4(position, 1.0);
}

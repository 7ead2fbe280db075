#version 430 core
// Full-screen quad: positions are already in clip space (the screen model spans -1..1).
layout(location = 0) in vec3 position;
layout(location = 2) in vec2 uv;

// A fixed location: the surface looks it up once and every variant of the program has it there.
layout(location = 0) uniform mat4 modelObjMat;

out vec2 texCoord;

void main() {
    texCoord = uv;
    gl_Position = modelObjMat * vec4(position, 1.0);
}

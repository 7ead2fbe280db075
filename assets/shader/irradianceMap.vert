#version 430 core
// Cube capture: the unit cube seen from its centre through one of six 90-degree views. The cube
// position reaches the fragment stage as the world direction the fragment stands for.

layout(location = 0) in vec3 position;

uniform mat4 projectionMat;
uniform mat4 viewMat;

out vec3 localPos;

void main() {
    localPos = position;
    gl_Position = projectionMat * viewMat * vec4(position, 1.0);
}

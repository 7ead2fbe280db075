#version 430 core
// Depth only, from a light (directional box, spot cone) or from the camera.
layout(location = 0) in vec3 position;

uniform mat4 modelMatrix;
uniform mat4 viewProjectionMat;

void main() {
    gl_Position = viewProjectionMat * modelMatrix * vec4(position, 1.0);
}

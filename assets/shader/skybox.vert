#version 430 core
// The skybox cube around the eye. "viewProjectionMat" carries the camera's rotation only, so the
// sky never moves with the eye; the cube position is the direction looked along.

layout(location = 0) in vec3 position;

uniform mat4 viewProjectionMat;

out vec3 direction;

void main() {
    direction = position;
    gl_Position = viewProjectionMat * vec4(position, 1.0);
}

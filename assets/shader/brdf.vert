#version 430 core
// Full-screen quad for the BRDF table: x of the texture coordinate is N.V, y the roughness.

layout(location = 0) in vec3 position;
layout(location = 1) in vec2 texCoord;

out vec2 texCoords;

void main() {
    texCoords = texCoord;
    gl_Position = vec4(position, 1.0);
}

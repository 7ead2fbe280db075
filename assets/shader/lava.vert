#version 430 core
// Animated emissive surface: the mesh is drawn as usual, the glow is computed per fragment.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelObjMat;
uniform mat3 normalMat;
uniform mat4 viewProjectionMat;

out vec2 texCoord;
out vec3 worldNormal;

void main() {
    texCoord = uv;
    worldNormal = normalize(normalMat * normal);
    gl_Position = viewProjectionMat * modelObjMat * vec4(position, 1.0);
}

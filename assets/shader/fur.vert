#version 430 core
// Shell fur: vertices go to world space here; the geometry stage extrudes the shells.
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;

uniform mat4 modelObjMat;
uniform mat3 normalMat;

out VertexData {
    vec3 worldPosition;
    vec3 worldNormal;
    vec2 texCoord;
} vertexOut;

void main() {
    vertexOut.worldPosition = vec3(modelObjMat * vec4(position, 1.0));
    vertexOut.worldNormal = normalize(normalMat * normal);
    vertexOut.texCoord = uv;
    gl_Position = vec4(vertexOut.worldPosition, 1.0);
}

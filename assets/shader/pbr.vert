#version 430 core
// Lit level objects: the world-space position, texture coordinate and tangent frame that the
// fragment stage shades with. Normals, tangents and bitangents go through the normal matrix, so
// non-uniform scales keep them perpendicular to the surface.

layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv;
layout(location = 3) in vec3 tangent;
layout(location = 4) in vec3 bitangent;

// Fixed locations: a surface looks them up once and every variant of the program has them there.
layout(location = 0) uniform mat4 modelObjMat;
layout(location = 1) uniform mat3 normalMat;
uniform mat4 viewProjectionMat;

out vec3 worldPos;
out vec2 texCoord;
out vec3 worldNormal;
out vec3 worldTangent;
out vec3 worldBitangent;

void main() {
    vec4 world = modelObjMat * vec4(position, 1.0);
    worldPos = world.xyz;
    texCoord = uv;  // glTF's origin is the image's top-left, which is where DDS rows start
    worldNormal = normalMat * normal;
    worldTangent = normalMat * tangent;
    worldBitangent = normalMat * bitangent;
    gl_Position = viewProjectionMat * world;
}

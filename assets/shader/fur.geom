#version 430 core
// Shell fur (Lengyel et al., "Real-Time Fur over Arbitrary Surfaces", 2001): each triangle is
// repeated as kShells layers pushed out along the normal. One loop rather than instancing: the
// software rasteriser runs instanced geometry invocations one primitive per batch.
layout(triangles) in;
layout(triangle_strip, max_vertices = 24) out;

const int kShells = 8;

uniform mat4 viewProjectionMat;
uniform float furLength = 0.03;
uniform float time;

in VertexData {
    vec3 worldPosition;
    vec3 worldNormal;
    vec2 texCoord;
} vertexIn[];

out ShellData {
    vec3 worldNormal;
    vec2 texCoord;
    float layer;  // 0 at the skin, 1 at the tips
} shellOut;

void main() {
    for (int shell = 0; shell < kShells; ++shell) {
        float layer = float(shell) / float(kShells - 1);
        // The tips lag behind a slow breeze.
        vec3 sway = vec3(sin(time * 1.3), 0.0, cos(time * 0.9)) * 0.25 * layer * layer * furLength;
        for (int corner = 0; corner < 3; ++corner) {
            vec3 p = vertexIn[corner].worldPosition + vertexIn[corner].worldNormal * furLength * layer + sway;
            shellOut.worldNormal = vertexIn[corner].worldNormal;
            shellOut.texCoord = vertexIn[corner].texCoord;
            shellOut.layer = layer;
            gl_Position = viewProjectionMat * vec4(p, 1.0);
            EmitVertex();
        }
        EndPrimitive();
    }
}

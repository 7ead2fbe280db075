#version 430 core
// Sends each triangle to the cube faces that can see it, as layer k = face k (+X, -X, +Y, -Y, +Z,
// -Z). One loop instead of `invocations = 6` (which a software rasteriser runs one primitive per
// batch), and a triangle whose three corners lie beyond the same clip plane of a face is not emitted
// for that face: most triangles reach only one or two faces.
layout(triangles) in;
layout(triangle_strip, max_vertices = 18) out;

uniform mat4 shadowTransforms[6];

void main() {
    for (int face = 0; face < 6; ++face) {
        vec4 clip[3];
        for (int i = 0; i < 3; ++i) clip[i] = shadowTransforms[face] * gl_in[i].gl_Position;

        bvec3 left = bvec3(clip[0].x < -clip[0].w, clip[1].x < -clip[1].w, clip[2].x < -clip[2].w);
        bvec3 right = bvec3(clip[0].x > clip[0].w, clip[1].x > clip[1].w, clip[2].x > clip[2].w);
        bvec3 below = bvec3(clip[0].y < -clip[0].w, clip[1].y < -clip[1].w, clip[2].y < -clip[2].w);
        bvec3 above = bvec3(clip[0].y > clip[0].w, clip[1].y > clip[1].w, clip[2].y > clip[2].w);
        bvec3 near = bvec3(clip[0].z < -clip[0].w, clip[1].z < -clip[1].w, clip[2].z < -clip[2].w);
        bvec3 far = bvec3(clip[0].z > clip[0].w, clip[1].z > clip[1].w, clip[2].z > clip[2].w);
        if (all(left) || all(right) || all(below) || all(above) || all(near) || all(far)) continue;

        for (int i = 0; i < 3; ++i) {
            gl_Layer = face;
            gl_Position = clip[i];
            EmitVertex();
        }
        EndPrimitive();
    }
}

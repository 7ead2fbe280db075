#version 430 core
// The camera's depth at half size: the farthest of each 2 x 2 block, so a ray that would cross a
// silhouette runs on to the background (a thin light rim after the blur) instead of stopping short
// and leaving a dark rim around every object.
in vec2 texCoord;

uniform sampler2D depthTex;  // hardware depth, full size, nearest filtering

void main() {
    // At a half-size pixel's centre the four gathered texels are exactly the block beneath it.
    vec4 block = textureGather(depthTex, texCoord);
    gl_FragDepth = max(max(block.x, block.y), max(block.z, block.w));
}

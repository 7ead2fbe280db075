#version 430 core
// Diffuse irradiance around the normal N, stored as the cosine-weighted mean radiance E(N) / pi:
// a constant sky of radiance c gives c, and the lit shader multiplies it by the albedo directly.
// Cosine-weighted importance sampling over a Hammersley set (pdf = cos / pi, so the estimate is
// the plain mean of the samples); each sample reads the environment's mip level whose texels cover
// the sample's solid angle (filtered importance sampling, Krivanek and Colbert, GPU Gems 3,
// ch. 20, 2007), which keeps the sum free of noise. 4096 samples: with fewer, the levels read are
// coarse enough to smear a small sun (256 moved up to 12 % of the light around; 1024 still 5 %).

in vec3 localPos;

uniform samplerCube environmentMap;

layout(location = 0) out vec4 fragColor;

const float PI = 3.14159265358979;
const uint SAMPLE_COUNT = 4096u;

vec2 hammersley(uint i, uint count) {
    return vec2(float(i) / float(count), float(bitfieldReverse(i)) * 2.3283064365386963e-10);
}

void main() {
    vec3 N = normalize(localPos);
    vec3 up = abs(N.y) < 0.999 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    vec3 T = normalize(cross(up, N));
    vec3 B = cross(N, T);

    float faceSize = float(textureSize(environmentMap, 0).x);
    float texelSolidAngle = 4.0 * PI / (6.0 * faceSize * faceSize);

    vec3 sum = vec3(0.0);
    for (uint i = 0u; i < SAMPLE_COUNT; ++i) {
        vec2 xi = hammersley(i, SAMPLE_COUNT);
        float phi = 2.0 * PI * xi.x;
        float cosTheta = sqrt(1.0 - xi.y);
        float sinTheta = sqrt(xi.y);
        vec3 L = T * (sinTheta * cos(phi)) + B * (sinTheta * sin(phi)) + N * cosTheta;

        float pdf = max(cosTheta, 1e-4) / PI;
        float sampleSolidAngle = 1.0 / (float(SAMPLE_COUNT) * pdf);
        // +1: one level blurrier than the bare ratio, to hide the pattern of the point set
        float lod = max(0.5 * log2(sampleSolidAngle / texelSolidAngle) + 1.0, 0.0);
        sum += textureLod(environmentMap, L, lod).rgb;
    }
    fragColor = vec4(sum / float(SAMPLE_COUNT), 1.0);
}

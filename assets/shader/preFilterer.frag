#version 430 core
// Specular radiance prefiltered for the GGX lobe of "roughness" (levels 0 to 4 hold roughness
// 0 to 1 in steps of 0.25): the first sum of the split-sum approximation (Karis, "Real Shading in
// Unreal Engine 4", SIGGRAPH 2013 course notes), assuming N = V = R and weighting samples by N.L.
// Half vectors are importance-sampled from GGX (Walter et al. 2007) over a Hammersley set. Each
// sample reads the environment's mip level whose texels match the sample's solid angle (filtered
// importance sampling, Krivanek and Colbert 2007): without it, small bright sources turn into
// scattered bright dots at these sample counts.

in vec3 localPos;

uniform samplerCube environmentMap;
uniform float roughness;

layout(location = 0) out vec4 fragColor;

const float PI = 3.14159265358979;

vec2 hammersley(uint i, uint count) {
    return vec2(float(i) / float(count), float(bitfieldReverse(i)) * 2.3283064365386963e-10);
}

float D_GGX(float NdotH, float r) {
    float a2 = max(r * r * r * r, 1e-7);
    float d = NdotH * NdotH * (a2 - 1.0) + 1.0;
    return a2 / (PI * d * d);
}

void main() {
    vec3 N = normalize(localPos);
    vec3 up = abs(N.y) < 0.999 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    vec3 T = normalize(cross(up, N));
    vec3 B = cross(N, T);

    // A mirror needs one sample. Otherwise 4096: the lookups then read levels fine enough that a
    // small sun keeps its place (256 moved up to 17 % of the light around, 1024 still 5 %). The
    // count depends on a uniform only, so the loop bound is uniform.
    uint sampleCount = roughness > 0.0 ? 4096u : 1u;
    float a = roughness * roughness;
    float faceSize = float(textureSize(environmentMap, 0).x);
    float texelSolidAngle = 4.0 * PI / (6.0 * faceSize * faceSize);

    vec3 sum = vec3(0.0);
    float weight = 0.0;
    for (uint i = 0u; i < sampleCount; ++i) {
        // GGX half vector around N for alpha = roughness^2 (Walter et al. 2007). Everything but the
        // direction depends on the sample alone: N.H is its polar angle and, with N = V, N.L is
        // 2 (N.H)^2 - 1, so the lookup's level is the same for every texel, which a software
        // rasteriser samples much faster than one level per texel.
        vec2 xi = hammersley(i, sampleCount);
        float NdotH = sqrt((1.0 - xi.y) / (1.0 + (a * a - 1.0) * xi.y));
        float sinTheta = sqrt(1.0 - NdotH * NdotH);
        float phi = 2.0 * PI * xi.x;
        vec3 H = T * (sinTheta * cos(phi)) + B * (sinTheta * sin(phi)) + N * NdotH;
        vec3 L = 2.0 * NdotH * H - N;  // reflect(-V, H)
        float NdotL = max(2.0 * NdotH * NdotH - 1.0, 0.0);

        // pdf of L = D * N.H / (4 V.H), and N.H = V.H here
        float pdf = D_GGX(NdotH, roughness) * 0.25;
        float sampleSolidAngle = 1.0 / (float(sampleCount) * pdf + 1e-6);
        // +1: one level blurrier than the bare ratio, to hide the pattern of the point set
        float lod = roughness > 0.0 ? max(0.5 * log2(sampleSolidAngle / texelSolidAngle) + 1.0, 0.0) : 0.0;

        sum += textureLod(environmentMap, L, lod).rgb * NdotL;
        weight += NdotL;
    }
    fragColor = vec4(sum / max(weight, 1e-6), 1.0);
}

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

// GGX half vector around N for perceptual roughness r (alpha = r * r).
vec3 importanceSampleGgx(vec2 xi, vec3 N, float r) {
    float a = r * r;
    float phi = 2.0 * PI * xi.x;
    float cosTheta = sqrt((1.0 - xi.y) / (1.0 + (a * a - 1.0) * xi.y));
    float sinTheta = sqrt(1.0 - cosTheta * cosTheta);
    vec3 up = abs(N.y) < 0.999 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    vec3 T = normalize(cross(up, N));
    vec3 B = cross(N, T);
    return normalize(T * (sinTheta * cos(phi)) + B * (sinTheta * sin(phi)) + N * cosTheta);
}

float D_GGX(float NdotH, float r) {
    float a2 = max(r * r * r * r, 1e-7);
    float d = NdotH * NdotH * (a2 - 1.0) + 1.0;
    return a2 / (PI * d * d);
}

void main() {
    vec3 N = normalize(localPos);
    vec3 V = N;

    // A mirror needs one sample; the count depends on a uniform only, so the loop bound is uniform.
    uint sampleCount = roughness > 0.0 ? 256u : 1u;
    float faceSize = float(textureSize(environmentMap, 0).x);
    float texelSolidAngle = 4.0 * PI / (6.0 * faceSize * faceSize);

    vec3 sum = vec3(0.0);
    float weight = 0.0;
    for (uint i = 0u; i < sampleCount; ++i) {
        vec3 H = importanceSampleGgx(hammersley(i, sampleCount), N, roughness);
        vec3 L = reflect(-V, H);
        float NdotL = max(dot(N, L), 0.0);
        float NdotH = max(dot(N, H), 0.0);

        // pdf of L = D * N.H / (4 V.H), and N.H = V.H here
        float pdf = D_GGX(NdotH, roughness) * 0.25;
        float sampleSolidAngle = 1.0 / (float(sampleCount) * pdf + 1e-6);
        float lod = roughness > 0.0 ? max(0.5 * log2(sampleSolidAngle / texelSolidAngle) + 1.0, 0.0) : 0.0;

        sum += textureLod(environmentMap, L, lod).rgb * NdotL;
        weight += NdotL;
    }
    fragColor = vec4(sum / max(weight, 1e-6), 1.0);
}

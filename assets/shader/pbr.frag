#version 430 core
// Metallic-roughness shading of level objects.
//   Direct light: Cook-Torrance with the GGX distribution (Walter et al., "Microfacet Models for
//   Refraction through Rough Surfaces", EGSR 2007), the height-correlated Smith visibility (Heitz,
//   "Understanding the Masking-Shadowing Function", JCGT 2014) and Schlick's Fresnel (1994), for every
//   point, directional and spot light of the three light blocks, each with its shadow map.
//   Ambient light: diffuse from the irradiance map, specular by the split-sum approximation (Karis,
//   "Real Shading in Unreal Engine 4", SIGGRAPH 2013 course notes) from the prefiltered map and the
//   BRDF table, which integrates the same GGX, Smith and Schlick terms.
//   Both: the specular energy that single scattering loses between microfacets is given back
//   (Fdez-Aguera 2019, Kulla and Conty 2017; see multipleScatteringScale), from the one BRDF-table
//   read, so a white metal reflects all the light it receives at every roughness.
// Output 0 is linear HDR colour; output 1 its bright part (colour whose luminance exceeds 1).
// Written for a software rasteriser: light loops end at the counts of lights that are on, no branch
// is expected to save work, one hardware 2x2 depth comparison per shadow lookup.

in vec3 worldPos;
in vec2 texCoord;
in vec3 worldNormal;
in vec3 worldTangent;
in vec3 worldBitangent;

// Fixed locations for what a surface looks up once and sets per draw: every variant of the program
// (below) has them at the same place.
layout(location = 2) uniform sampler2D albedoMap;        // sRGB colour
layout(location = 3) uniform sampler2D aoRoughMetalMap;  // R ambient occlusion, G perceptual roughness, B metalness
layout(location = 4) uniform sampler2D normalMap;        // tangent space, [0, 1] per component
layout(location = 5) uniform samplerCube irradianceMap;  // cosine-weighted mean radiance E(N) / pi
layout(location = 6) uniform samplerCube prefilteredMap; // GGX-prefiltered radiance, roughness r at level 4 r
layout(location = 7) uniform sampler2D brdfTex;          // split-sum (scale, bias) on F0 by (N.V, roughness)
uniform vec3 cameraWorld;
uniform float brightness;

// The engine's preamble (shaders/ShaderContract.h) gives MAX_LIGHTS_PER_KIND, the texture units and
// block bindings, POINT_POWER and SPOT_POWER (the lamps carry colour only) and the light records
// PointLightData, DirectionalLightData and SpotLightData, byte for byte as the engine uploads them
// and with the meaning of each member.
layout(std140, binding = POINT_BLOCK_BINDING) uniform pointBlock { PointLightData pointLights[MAX_LIGHTS_PER_KIND]; };
layout(std140, binding = DIRECTIONAL_BLOCK_BINDING) uniform directionalBlock {
    DirectionalLightData directionalLights[MAX_LIGHTS_PER_KIND];
};
layout(std140, binding = SPOT_BLOCK_BINDING) uniform spotBlock { SpotLightData spotLights[MAX_LIGHTS_PER_KIND]; };

uniform int actualPointSize;
uniform int actualDirectionalSize;
uniform int actualSpotSize;
// The indices of the lights that are on, ascending, and how many there are (the engine lists only
// lights that have a shadow sampler here): the loops visit only these, so a light that is off costs
// neither its shadow lookup nor its shading. Element k of each shadow sampler array is the map of the
// k-th light that is on (the engine points it there), so the samplers are indexed by the loop counter.
// These lists are the only on/off state the program reads: the blocks' `enabled` fields are not used.
uniform int onPointLights[MAX_LIGHTS_PER_KIND];
uniform int onDirectionalLights[MAX_LIGHTS_PER_KIND];
uniform int onSpotLights[MAX_LIGHTS_PER_KIND];
uniform int onPointCount;
uniform int onDirectionalCount;
uniform int onSpotCount;

// The engine builds a variant of this program for each set of lights that are on, with their counts
// defined here (ON_POINT_LIGHTS, ON_DIRECTIONAL_LIGHTS, ON_SPOT_LIGHTS). llvmpipe tests a loop's
// condition at its end, so a loop bounded by a uniform runs its body once, masked, even when the
// count is 0: a kind of light with none on still paid one light's shading and shadow lookup. A
// constant count is unrolled to exactly that many lights. The variant also lists the lights' indices
// (ON_POINT_LIGHT_LIST, ...; a kind with none on has no list), so their records are read at constant
// places rather than gathered lane by lane. Built plainly, the uniforms bound the loops and index the
// records.
#ifndef ON_POINT_LIGHTS
#define ON_POINT_LIGHTS onPointCount
#endif
#ifndef ON_DIRECTIONAL_LIGHTS
#define ON_DIRECTIONAL_LIGHTS onDirectionalCount
#endif
#ifndef ON_SPOT_LIGHTS
#define ON_SPOT_LIGHTS onSpotCount
#endif
#ifdef ON_POINT_LIGHT_LIST
const int onPointList[] = ON_POINT_LIGHT_LIST;
#define ON_POINT_LIGHT(k) onPointList[k]
#else
#define ON_POINT_LIGHT(k) onPointLights[k]
#endif
#ifdef ON_DIRECTIONAL_LIGHT_LIST
const int onDirectionalList[] = ON_DIRECTIONAL_LIGHT_LIST;
#define ON_DIRECTIONAL_LIGHT(k) onDirectionalList[k]
#else
#define ON_DIRECTIONAL_LIGHT(k) onDirectionalLights[k]
#endif
#ifdef ON_SPOT_LIGHT_LIST
const int onSpotList[] = ON_SPOT_LIGHT_LIST;
#define ON_SPOT_LIGHT(k) onSpotList[k]
#else
#define ON_SPOT_LIGHT(k) onSpotLights[k]
#endif

// The engine points the maps in use at units from PBR_FIRST_SHADOW_UNIT on and parks the others on
// PARKED_CUBE_SHADOW_UNIT or PARKED_2D_SHADOW_UNIT: samplers of different types must never share a
// unit. Until it does, the initial bindings keep every element on a unit of its own (an array takes
// consecutive units).
layout(binding = OMNI_SHADOW_SPARE_UNIT) uniform samplerCubeShadow omniShadowMap[MAX_LIGHTS_PER_KIND];
layout(binding = DIRECTIONAL_SHADOW_SPARE_UNIT) uniform sampler2DShadow directionalShadowMap[MAX_LIGHTS_PER_KIND];
layout(binding = SPOT_SHADOW_SPARE_UNIT) uniform sampler2DShadow spotShadowMap[MAX_LIGHTS_PER_KIND];
uniform mat4 light_space_matrices[MAX_LIGHTS_PER_KIND];
uniform mat4 light_space_matrices_spot[MAX_LIGHTS_PER_KIND];
uniform float farPlane;           // of the point lights' cube projection
uniform float nearPlane = 0.1;    // of the same projection

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 brightColor;

const float PI = 3.14159265;
const float MAX_REFLECTION_LOD = 4.0;   // the prefiltered map has 5 levels
const vec3 DIELECTRIC_F0 = vec3(0.04);  // about 4 % reflectance at normal incidence for dielectrics
const vec3 LUMINANCE = vec3(0.2126, 0.7152, 0.0722);  // Rec. 709 weights
// Depth biases in depth-buffer units: large enough for 2048 texels over 14 m at grazing sun, small
// enough that thin stems still cast shadows.
const float SHADOW_BIAS_MIN = 0.0006;
const float SHADOW_BIAS_SLOPE = 0.004;

// The sRGB transfer function inverted (IEC 61966-2-1), without a branch.
vec3 srgbToLinear(vec3 c) {
    vec3 low = c / 12.92;
    vec3 high = pow((c + 0.055) / 1.055, vec3(2.4));
    return mix(low, high, step(vec3(0.04045), c));
}

// (1 - x)^5 without pow: multiplications are cheaper on the CPU rasteriser.
float pow5(float x) {
    float m = 1.0 - x;
    float m2 = m * m;
    return m2 * m2 * m;
}

// Schlick's Fresnel ("An Inexpensive BRDF Model for Physically-based Rendering", 1994).
vec3 F_Schlick(float VdotH, vec3 F0) { return F0 + (1.0 - F0) * pow5(VdotH); }

// Multiple scattering between microfacets (Fdez-Aguera, "A Multiple-Scattering Microfacet Model for
// Real-Time Image-based Lighting", JCGT 2019, after Kulla and Conty, "Revisiting Physically Based
// Shading at Imageworks", SIGGRAPH 2017). Single scattering reflects Ess = A + B of white light (the
// BRDF table's sum) and Ems = 1 - Ess goes into paths that bounce again. Every further bounce gives
// back the fraction Favg Ems of what entered it, with Favg = F0 + (1 - F0) / 21 the cosine-weighted
// mean of Schlick's Fresnel, so all bounces together scale single scattering by 1 / (1 - Favg Ems):
// 1 / Ess for a white metal, little for a dielectric. Direct light keeps its lobe's shape and is
// scaled by it, as Filament's energy compensation does.
vec3 multipleScatteringScale(vec3 F0, vec2 scaleBias) {
    float Ems = 1.0 - scaleBias.x - scaleBias.y;
    vec3 Favg = F0 + (1.0 - F0) / 21.0;
    return 1.0 / (1.0 - Favg * Ems);
}

// GGX / Trowbridge-Reitz normal distribution, alpha = roughness^2 (Walter et al. 2007).
float D_GGX(float NdotH, float alpha) {
    float a2 = alpha * alpha;
    float d = NdotH * NdotH * (a2 - 1.0) + 1.0;
    return a2 / (PI * d * d);
}

// Height-correlated Smith visibility V = G / (4 NdotL NdotV) (Heitz 2014, as in Filament).
float V_SmithGGXCorrelated(float NdotV, float NdotL, float alpha) {
    float a2 = alpha * alpha;
    float lambdaV = NdotL * sqrt(NdotV * NdotV * (1.0 - a2) + a2);
    float lambdaL = NdotV * sqrt(NdotL * NdotL * (1.0 - a2) + a2);
    return 0.5 / (lambdaV + lambdaL);
}

struct Surface {
    vec3 N;
    vec3 V;
    float NdotV;
    vec3 albedo;
    vec3 F0;
    float alpha;
    float metallic;
    vec3 multipleScattering;  // scale on the specular lobe, multipleScatteringScale
};

// Light reflected toward the eye from radiance `radiance` arriving along L (pointing to the light).
vec3 directLight(Surface s, vec3 L, vec3 radiance) {
    vec3 H = normalize(s.V + L);
    float NdotL = max(dot(s.N, L), 0.0);
    float NdotH = max(dot(s.N, H), 0.0);
    float VdotH = max(dot(s.V, H), 0.0);
    vec3 F = F_Schlick(VdotH, s.F0);
    vec3 specular = D_GGX(NdotH, s.alpha) * V_SmithGGXCorrelated(s.NdotV, NdotL, s.alpha) * F * s.multipleScattering;
    vec3 diffuse = (1.0 - F) * (1.0 - s.metallic) * s.albedo / PI;
    return (diffuse + specular) * radiance * NdotL;
}

float distanceAttenuation(vec3 factors, float d) { return 1.0 / (factors.x + factors.y * d + factors.z * d * d); }

// 2D map: one comparison with 2x2 filtering by the sampler; the bias grows where light grazes.
float shadow2D(sampler2DShadow map, mat4 lightSpace, float NdotL) {
    vec4 clip = lightSpace * vec4(worldPos, 1.0);
    vec3 p = clip.xyz / clip.w * 0.5 + 0.5;
    float bias = SHADOW_BIAS_MIN + SHADOW_BIAS_SLOPE * (1.0 - NdotL);
    // Beyond the far plane nothing is shadowed (the border of the map reads depth 1 as well).
    return max(texture(map, vec3(p.xy, p.z - bias)), step(1.0, p.z));
}

// Cube map of hardware depth: the stored value belongs to the face of the largest axis of the
// light-to-point vector, whose perspective depth is (f + n) / (f - n) - 2 f n / ((f - n) z).
float shadowCube(samplerCubeShadow map, vec3 lightToPoint, float NdotL) {
    vec3 a = abs(lightToPoint);
    float z = max(a.x, max(a.y, a.z));
    float n = nearPlane;
    float f = farPlane;
    float depth = ((f + n) / (f - n) - 2.0 * f * n / ((f - n) * z)) * 0.5 + 0.5;
    float bias = (SHADOW_BIAS_MIN + SHADOW_BIAS_SLOPE * (1.0 - NdotL)) * 0.25;
    return max(texture(map, vec4(lightToPoint, depth - bias)), step(f, z));
}

// Smooth edge from the outer to the inner cone, squared for a softer rim; equal cosines give a hard
// edge.
float spotCone(vec4 colorAndCosInner, vec4 directionAndCosOuter, vec3 L) {
    float cosAngle = dot(-L, directionAndCosOuter.xyz);
    float cosInner = colorAndCosInner.w;
    float cosOuter = directionAndCosOuter.w;
    float cone = clamp((cosAngle - cosOuter) / max(cosInner - cosOuter, 1e-4), 0.0, 1.0);
    return cone * cone;
}

// The shading normal from the normal map in the interpolated tangent frame. Meshes without tangents
// have a zero frame; they keep the interpolated normal.
vec3 shadingNormal() {
    vec3 N = normalize(worldNormal);
    vec3 T = worldTangent;
    vec3 B = worldBitangent;
    vec3 n = texture(normalMap, texCoord).xyz * 2.0 - 1.0;
    vec3 mapped = T * n.x + B * n.y + N * n.z;
    float hasFrame = step(1e-8, dot(T, T)) * step(1e-8, dot(mapped, mapped));
    return normalize(mix(N, mapped, hasFrame));
}

// The light reflected from the k-th directional light that is on, shadowed.
vec3 directionalTerm(int k, Surface s, vec3 geometricN) {
    int i = ON_DIRECTIONAL_LIGHT(k);
    vec3 L = -normalize(directionalLights[i].direction.xyz);
    float NdotL = max(dot(geometricN, L), 0.0);
    float visibility = shadow2D(directionalShadowMap[k], light_space_matrices[i], NdotL);
    vec3 radiance = directionalLights[i].color.rgb * directionalLights[i].color.w;
    return visibility * directLight(s, L, radiance);
}

void main() {
    vec3 albedo = srgbToLinear(texture(albedoMap, texCoord).rgb);
    vec3 aoRoughMetal = texture(aoRoughMetalMap, texCoord).rgb;
    float ao = aoRoughMetal.r;
    // Below about 0.05 the GGX lobe is narrower than a pixel and sparkles; clamp it.
    float roughness = max(aoRoughMetal.g, 0.05);
    float metallic = aoRoughMetal.b;

    Surface s;
    s.N = shadingNormal();
    s.V = normalize(cameraWorld - worldPos);
    // Normal maps can tilt N away from the eye; a tiny floor keeps the table lookup on the surface.
    s.NdotV = max(dot(s.N, s.V), 1e-4);
    s.albedo = albedo;
    s.F0 = mix(DIELECTRIC_F0, albedo, metallic);
    s.alpha = roughness * roughness;
    s.metallic = metallic;
    // The split sum for this view: the ambient specular and every light's compensation use it.
    vec2 scaleBias = texture(brdfTex, vec2(s.NdotV, roughness)).rg;
    s.multipleScattering = multipleScatteringScale(s.F0, scaleBias);
    vec3 geometricN = normalize(worldNormal);

    // The loops run over the lights that are on, so their cost follows those. llvmpipe's shader
    // compiler (LLVM 15, in EarlyCSE) crashes when the first loop of the shader indexes the 2D shadow
    // samplers with its counter and shades; later in the shader the same loop compiles. A loop it
    // unrolls instead (constant indices) runs every step for every fragment, masked or not, and so
    // does an `if`. So the first directional light, the one a level usually has, is shaded here at
    // a constant index, and the others after the point lights: for one sun the sum runs in the
    // order it always did. A local array indexed by a loop counter gets its loop unrolled the same
    // way, so the spot loop keeps none.
    vec3 direct = vec3(0.0);
    if (ON_DIRECTIONAL_LIGHTS > 0) direct += directionalTerm(0, s, geometricN);
    for (int k = 0; k < min(ON_POINT_LIGHTS, MAX_LIGHTS_PER_KIND); ++k) {
        int i = ON_POINT_LIGHT(k);
        vec3 toLight = pointLights[i].position.xyz - worldPos;
        float d = max(length(toLight), pointLights[i].lightFactors.w);
        vec3 L = normalize(toLight);
        float NdotL = max(dot(geometricN, L), 0.0);
        float visibility = shadowCube(omniShadowMap[k], -toLight, NdotL);
        float attenuation = mix(1.0, distanceAttenuation(pointLights[i].lightFactors.xyz, d),
                                float(pointLights[i].attenuates));
        vec3 radiance = pointLights[i].color.rgb * POINT_POWER * attenuation;
        direct += visibility * directLight(s, L, radiance);
    }
    for (int k = 1; k < min(ON_DIRECTIONAL_LIGHTS, MAX_LIGHTS_PER_KIND); ++k) direct += directionalTerm(k, s, geometricN);
    for (int k = 0; k < min(ON_SPOT_LIGHTS, MAX_LIGHTS_PER_KIND); ++k) {
        int i = ON_SPOT_LIGHT(k);
        vec3 toLight = spotLights[i].position.xyz - worldPos;
        float d = length(toLight);
        vec3 L = toLight / max(d, 1e-4);
        float visibility = shadow2D(spotShadowMap[k], light_space_matrices_spot[i],
                                    max(dot(geometricN, normalize(toLight)), 0.0));
        float attenuation = mix(1.0, distanceAttenuation(spotLights[i].lightFactors.xyz, d),
                                float(spotLights[i].attenuates)) * spotCone(spotLights[i].color, spotLights[i].direction, L);
        vec3 radiance = spotLights[i].color.rgb * (SPOT_POWER * attenuation);
        direct += visibility * directLight(s, L, radiance);
    }

    // Ambient. Single scattering reflects FssEss = F0 A + B of the prefiltered light; the further
    // bounces add FssEss (scale - 1), which has lost the lobe's direction and is lit by the
    // irradiance (Fdez-Aguera 2019). The diffuse base gets only what neither reflected, so a white
    // dielectric never returns more than it receives.
    vec3 R = reflect(-s.V, s.N);
    vec3 irradiance = texture(irradianceMap, s.N).rgb;
    vec3 prefiltered = textureLod(prefilteredMap, R, roughness * MAX_REFLECTION_LOD).rgb;
    vec3 FssEss = s.F0 * scaleBias.x + scaleBias.y;
    vec3 FmsEms = FssEss * (s.multipleScattering - 1.0);
    vec3 kD = (1.0 - FssEss - FmsEms) * (1.0 - metallic);
    vec3 specular = prefiltered * FssEss + irradiance * FmsEms;
    vec3 ambient = (kD * albedo * irradiance + specular) * ao;

    vec3 color = direct + ambient + vec3(brightness);
    fragColor = vec4(color, 1.0);
    brightColor = vec4(color * float(dot(color, LUMINANCE) > 1.0), 1.0);
}

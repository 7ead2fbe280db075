#version 430 core
// Metallic-roughness shading of level objects with image-based ambient light: diffuse from the
// irradiance map, specular by the split-sum approximation (Karis, "Real Shading in Unreal Engine 4",
// SIGGRAPH 2013 course notes) from the prefiltered map and the BRDF table. Output 0 is linear HDR
// colour; output 1 its bright part (colour whose luminance exceeds 1), which feeds the bloom blur.
// Cheap on purpose (software GL): no branches, one lookup per map.

in vec3 worldPos;
in vec2 texCoord;
in vec3 worldNormal;
in vec3 worldTangent;
in vec3 worldBitangent;

uniform sampler2D albedoMap;        // sRGB colour
uniform sampler2D aoRoughMetalMap;  // R ambient occlusion, G perceptual roughness, B metalness
uniform sampler2D normalMap;        // tangent space, [0, 1] per component
uniform samplerCube irradianceMap;  // cosine-weighted mean radiance E(N) / pi
uniform samplerCube prefilteredMap; // GGX-prefiltered radiance, roughness r at level 4 r
uniform sampler2D brdfTex;          // split-sum (scale, bias) on F0 by (N.V, roughness)
uniform vec3 cameraWorld;
uniform float brightness;

layout(location = 0) out vec4 fragColor;
layout(location = 1) out vec4 brightColor;

const float MAX_REFLECTION_LOD = 4.0;  // the prefiltered map has 5 levels
const vec3 DIELECTRIC_F0 = vec3(0.04); // about 4 % reflectance at normal incidence for common dielectrics
const vec3 LUMINANCE = vec3(0.2126, 0.7152, 0.0722);  // Rec. 709 weights

// The sRGB transfer function inverted (IEC 61966-2-1), without a branch.
vec3 srgbToLinear(vec3 c) {
    vec3 low = c / 12.92;
    vec3 high = pow((c + 0.055) / 1.055, vec3(2.4));
    return mix(low, high, step(vec3(0.04045), c));
}

// Schlick's Fresnel ("An Inexpensive BRDF Model for Physically-based Rendering", 1994) with the
// grazing reflectance capped by roughness for pre-integrated light (Lagarde, "Adopting a physically
// based shading model", 2011): rough surfaces do not turn into mirrors at grazing angles.
vec3 F_SchlickRoughness(float NdotV, vec3 F0, float roughness) {
    float m = 1.0 - NdotV;
    float m2 = m * m;
    return F0 + (max(vec3(1.0 - roughness), F0) - F0) * (m2 * m2 * m);
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

void main() {
    vec3 albedo = srgbToLinear(texture(albedoMap, texCoord).rgb);
    vec3 aoRoughMetal = texture(aoRoughMetalMap, texCoord).rgb;
    float ao = aoRoughMetal.r;
    float roughness = aoRoughMetal.g;
    float metallic = aoRoughMetal.b;

    vec3 N = shadingNormal();
    vec3 V = normalize(cameraWorld - worldPos);
    // Normal maps can tilt N away from the eye; a tiny floor keeps the table lookup on the surface.
    float NdotV = max(dot(N, V), 1e-4);
    vec3 R = reflect(-V, N);

    vec3 F0 = mix(DIELECTRIC_F0, albedo, metallic);
    // The share of light the surface reflects specularly; what is left enters and scatters diffusely,
    // except in metals, which absorb it.
    vec3 kS = F_SchlickRoughness(NdotV, F0, roughness);
    vec3 kD = (1.0 - kS) * (1.0 - metallic);

    vec3 diffuse = texture(irradianceMap, N).rgb * albedo;
    vec3 prefiltered = textureLod(prefilteredMap, R, roughness * MAX_REFLECTION_LOD).rgb;
    vec2 scaleBias = texture(brdfTex, vec2(NdotV, roughness)).rg;
    vec3 specular = prefiltered * (F0 * scaleBias.x + scaleBias.y);

    vec3 color = (kD * diffuse + specular) * ao + vec3(brightness);
    fragColor = vec4(color, 1.0);
    brightColor = vec4(color * float(dot(color, LUMINANCE) > 1.0), 1.0);
}

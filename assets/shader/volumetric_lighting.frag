#version 430 core
// Light scattered toward the eye by a thin haze that drifts slowly and thins with height, from every
// point and spot light of the light blocks, each with its shadow map. Single scattering along the view
// ray from the eye to the scene's depth, with the Henyey-Greenstein phase function (Henyey and
// Greenstein, "Diffuse radiation in the Galaxy", ApJ 1941); the haze is thin enough that extinction
// is left out.
// Each light is sampled only over the part of the ray where it can light the haze (a sphere around a
// point light, the cone of a spot light, both out to where the light has faded), and evenly in the
// angle seen from the light rather than in distance, which puts the samples where its light is
// strong (equiangular sampling: Kulla and Fajardo, "Importance Sampling Techniques for Path Tracing
// in Participating Media", EGSR 2012), so few samples give a smooth glow.
// Written for a software rasteriser, where a loop body always runs once more with every lane masked
// unless its test comes last: do-while loops, bounded by uniform counts or per-pixel sample counts,
// four samples per iteration, shadow maps read with nearest filtering. A per-pixel jitter of the
// samples, hidden by the blur that follows, trades banding for fine noise.

in vec2 texCoord;

// A fixed location: the surface looks it up once and every variant of the program (see main) has it there.
layout(location = 2) uniform sampler2D depthScene;   // the camera's hardware depth, half size
uniform mat4 projection_inv;
uniform mat4 view_inv;          // its translation is the eye ("view_pos" can be an orbit offset)
uniform float brightness;       // the viewer's brightness keys: each 0.02 step is about 15 % more haze light
uniform float time;             // seconds of play: drifts the haze
uniform float farPlane;         // of the point lights' cube projection
uniform float nearPlane = 0.1;  // of the same projection

// The engine's preamble (shaders/ShaderContract.h) gives MAX_LIGHTS_PER_KIND, the texture units and
// block bindings, POINT_POWER and SPOT_POWER and the light records PointLightData and SpotLightData,
// byte for byte as the engine uploads them and with the meaning of each member, as the lit program
// reads them.
layout(std140, binding = POINT_BLOCK_BINDING) uniform pointBlock { PointLightData pointLights[MAX_LIGHTS_PER_KIND]; };
layout(std140, binding = SPOT_BLOCK_BINDING) uniform spotBlock { SpotLightData spotLights[MAX_LIGHTS_PER_KIND]; };

uniform int actualPointSize;
uniform int actualSpotSize;
// The indices of the lights that are on, ascending, then zeros, and their number: only these are
// marched (the engine lists only lights with a shadow sampler here).
uniform int onPointLights[MAX_LIGHTS_PER_KIND];
uniform int onSpotLights[MAX_LIGHTS_PER_KIND];
uniform int onPointCount;
uniform int onSpotCount;

// Maps in use are pointed at units from VOLUMETRIC_FIRST_SHADOW_UNIT on; the others are parked on
// PARKED_CUBE_SHADOW_UNIT and PARKED_2D_SHADOW_UNIT, since samplers of different types must never
// share a unit. Until the engine points them, the initial bindings keep every element on a unit of
// its own, as in the lit program.
layout(binding = OMNI_SHADOW_SPARE_UNIT) uniform samplerCube omniShadowMap[MAX_LIGHTS_PER_KIND];
layout(binding = SPOT_SHADOW_SPARE_UNIT) uniform sampler2D spotShadowMap[MAX_LIGHTS_PER_KIND];
uniform mat4 light_projection_matrices[MAX_LIGHTS_PER_KIND];
uniform mat4 light_view_matrices[MAX_LIGHTS_PER_KIND];

layout(location = 0) out vec4 fragColor;

const float PI = 3.14159265;
// Scattering coefficient of the haze at the ground, per metre; it halves every 3.5 m of height
// (ln 2 / HAZE_FALLOFF), and drifting patches make it up to 45 % thicker or thinner.
const float HAZE_DENSITY = 0.09;
const float HAZE_FALLOFF = 0.2;
const float HAZE_PATCHES = 0.45;
// Mostly forward scattering, as in fine mist: lamps seen through the haze glow brightest.
const float PHASE_G = 0.35;
// Radiance at which a light stops lighting the haze. Its falloff is lowered by this much, so the
// glow fades to nothing at the edge of its reach instead of ending with a step.
const float FADED = 0.15;
// Samples per light and ray, in groups of four: MAX_GROUPS for a ray that sweeps the half-turn
// around the light, fewer for a narrower sweep.
const int MAX_GROUPS = 4;
// Shadow tests compare a point slightly nearer to the light, so the haze at a lit surface is lit.
const float CUBE_NEARER = 0.985;  // of the distance
const float SPOT_BIAS = 0.0003;   // depth-buffer units
const float FAR_AWAY = 1e30;

// Interleaved gradient noise (Jimenez, "Next Generation Post Processing in Call of Duty: Advanced
// Warfare", SIGGRAPH 2014): a per-pixel offset in [0, 1) whose error a small blur removes well.
float interleavedGradientNoise(vec2 pixel) {
    return fract(52.9829189 * fract(dot(pixel, vec2(0.06711056, 0.00583715))));
}

float phaseHenyeyGreenstein(float cosTheta) {
    const float g2 = PHASE_G * PHASE_G;
    float x = 1.0 + g2 - 2.0 * PHASE_G * cosTheta;
    float r = inversesqrt(x);
    return (1.0 - g2) / (4.0 * PI) * r * r * r;
}

// The haze is taken once per light and ray, where the ray passes closest to the light: the samples
// crowd there, and the patches are metres across.
float haze(vec3 p) {
    // Two slow waves crossing at an angle: patches of thicker and thinner haze drifting with the wind.
    float patches = sin(p.x * 0.9 + time * 0.35) * sin(p.z * 0.7 + p.y * 1.3 - time * 0.25);
    return HAZE_DENSITY * (1.0 + HAZE_PATCHES * patches) * exp(-HAZE_FALLOFF * max(p.y, 0.0));
}

// Where power / (c + l d + q d^2) falls to FADED: the larger root, in the form that stays finite
// when q is 0. A light that does not fade reaches the cube maps' far plane.
float reach(vec3 factors, float power, int attenuates) {
    float k = max(power / FADED - factors.x, 0.0);
    float d = 2.0 * k / max(factors.y + sqrt(factors.y * factors.y + 4.0 * factors.z * k), 1e-6);
    return attenuates != 0 ? min(d, farPlane) : farPlane;
}

// 1 / (c + l d + q d^2) lowered by its value at the edge of the reach; 1 for a light that does not fade.
float falloff(vec3 factors, float d, int attenuates, float floorValue) {
    float a = 1.0 / (factors.x + factors.y * d + factors.z * d * d);
    return attenuates != 0 ? max(a - floorValue, 0.0) : 1.0;
}

// The part (x, y) of the ray eye + t dir inside a sphere; empty (y <= x) when the ray misses it.
vec2 sphereInterval(vec3 fromCentre, vec3 dir, float radius) {
    float b = dot(fromCentre, dir);
    float disc = b * b - (dot(fromCentre, fromCentre) - radius * radius);
    float h = sqrt(max(disc, 0.0));
    return disc > 0.0 ? vec2(-b - h, -b + h) : vec2(FAR_AWAY, -FAR_AWAY);
}

// The part of the line eye + t dir inside a spot light's cone (apex at the light, unit axis, cosine
// of the half-angle, at most 90 degrees). With w = eye + t dir - apex, the double cone is
// (w.axis)^2 >= cos^2 |w|^2, a quadratic in t, and its forward half is w.axis >= 0; the forward
// cone is convex, so the part is one interval.
vec2 coneInterval(vec3 fromApex, vec3 dir, vec3 axis, float cosAngle) {
    float c2 = cosAngle * cosAngle;
    float da = dot(dir, axis);
    float va = dot(fromApex, axis);
    float a = da * da - c2;
    float b = da * va - c2 * dot(dir, fromApex);  // half the linear coefficient
    float c = va * va - c2 * dot(fromApex, fromApex);
    float disc = b * b - a * c;
    a = a >= 0.0 ? max(a, 1e-7) : min(a, -1e-7);
    float h = sqrt(max(disc, 0.0));
    float r0 = (-b - h) / a;
    float r1 = (-b + h) / a;
    float lo = min(r0, r1);
    float hi = max(r0, r1);
    // Steeper than the cone: in through one wall and on for ever. Shallower: a chord, which may
    // belong to the backward half (the half-space below removes it then).
    vec2 inCone = a > 0.0 ? (da > 0.0 ? vec2(hi, FAR_AWAY) : vec2(-FAR_AWAY, lo)) : vec2(lo, hi);
    inCone = disc >= 0.0 ? inCone : vec2(FAR_AWAY, -FAR_AWAY);
    float tPlane = -va / (abs(da) > 1e-6 ? da : 1e-6);
    vec2 forward = da > 0.0 ? vec2(tPlane, FAR_AWAY) : vec2(-FAR_AWAY, tPlane);
    forward = abs(da) > 1e-6 ? forward : (va >= 0.0 ? vec2(-FAR_AWAY, FAR_AWAY) : vec2(FAR_AWAY, -FAR_AWAY));
    return vec2(max(inCone.x, forward.x), min(inCone.y, forward.y));
}

// The samples of one light along the ray, spaced evenly in the angle seen from the light: with the
// closest approach at t = along, h away, the sample at angle a lies at t = along + h tan(a), and the
// length it stands for is h / cos^2(a) times the angle step. The sweep is that of `span` (empty when
// span.y <= span.x, or when `on` is false).
struct Sweep {
    float along;    // t of the closest approach
    float h;        // its distance from the light, at least `minimumH`
    float tangent;  // tan of the first sample's angle
    float step;     // angle between samples (0 for an empty sweep)
    int groups;     // groups of four samples
    float middle;   // t of the point of the sweep closest to the light
};

Sweep sweepOf(vec3 fromLight, vec3 dir, vec2 span, float minimumH, bool on) {
    Sweep s;
    s.along = -dot(fromLight, dir);
    s.h = max(length(fromLight + dir * s.along), minimumH);
    span = span.y > span.x && on ? span : vec2(s.along);
    float a0 = atan((span.x - s.along) / s.h);
    float a1 = atan((span.y - s.along) / s.h);
    // Whatever the record of a light beyond the count holds, its sweep stays empty and bounded.
    s.groups = on ? min(int(ceil((a1 - a0) / PI * float(MAX_GROUPS))), MAX_GROUPS) : 0;
    s.step = (a1 - a0) / float(max(s.groups, 1) * 4);
    s.tangent = tan(a0 + s.step * interleavedGradientNoise(gl_FragCoord.xy));
    s.middle = clamp(s.along, span.x, span.y);
    return s;
}

// tan(a + step) from tan(a) and tan(step): one division instead of a tangent per sample. The angles
// stay inside (-pi/2, pi/2), so the denominator stays positive.
float nextTangent(float tangent, float tanStep) { return (tangent + tanStep) / (1.0 - tangent * tanStep); }

// One haze sample lit by a point light, weighted by the length it stands for. `toPoint` runs from
// the light to the sample.
float pointSample(samplerCube map, vec3 toPoint, float weight, vec3 dir, vec3 factors, int attenuates,
                  float floorValue, float depthAtInfinity, float depthScale) {
    float d = length(toPoint);
    // Hardware depth of the cube face of the largest axis: ((f + n) / (f - n) - 2 f n / ((f - n) z)) / 2 + 1/2.
    vec3 a = abs(toPoint);
    float z = max(a.x, max(a.y, a.z)) * CUBE_NEARER;
    float lit = step(depthAtInfinity - depthScale / z, texture(map, toPoint).r);
    float light = falloff(factors, d, attenuates, floorValue) * phaseHenyeyGreenstein(-dot(toPoint, dir) / d);
    return lit * weight * light;
}

vec3 pointScatter(int i, vec3 eye, vec3 dir, float rayEnd) {
    vec3 lightPosition = pointLights[i].position.xyz;
    vec3 color = pointLights[i].color.rgb;
    vec3 factors = pointLights[i].lightFactors.xyz;
    float radius = pointLights[i].lightFactors.w;
    int attenuates = pointLights[i].attenuates;
    float power = POINT_POWER * max(color.r, max(color.g, color.b));
    vec3 fromLight = eye - lightPosition;
    vec2 span = sphereInterval(fromLight, dir, reach(factors, power, attenuates));
    span = vec2(max(span.x, 0.0), min(span.y, rayEnd));
    // Closer than the lamp's radius the sweep would crowd; the haze there is no brighter.
    bool on = pointLights[i].enabled != 0 && i < actualPointSize;
    Sweep s = sweepOf(fromLight, dir, span, radius, on);
    float floorValue = FADED / max(power, 1e-6);

    float n = nearPlane;
    float f = farPlane;
    float depthAtInfinity = 0.5 * (f + n) / (f - n) + 0.5;
    float depthScale = f * n / (f - n);
    float tanStep = tan(s.step);
    float tangent = s.tangent;
    float sum = 0.0;
    int g = 0;
    do {
        for (int k = 0; k < 4; ++k) {
            float weight = s.h * (1.0 + tangent * tangent);
            sum += pointSample(omniShadowMap[i], fromLight + dir * (s.along + s.h * tangent), weight, dir, factors,
                               attenuates, floorValue, depthAtInfinity, depthScale);
            tangent = nextTangent(tangent, tanStep);
        }
    } while (++g < s.groups);
    return on ? color * (POINT_POWER * haze(eye + dir * s.middle) * sum * s.step) : vec3(0.0);
}

// One haze sample lit by a spot light, weighted by the length it stands for. `clip` is the sample in
// the light's clip space.
float spotSample(sampler2D map, vec4 clip, vec3 toPoint, float weight, vec3 dir, vec3 axis, vec2 cone,
                 vec3 factors, int attenuates, float floorValue) {
    vec3 p = clip.xyz / clip.w * 0.5 + 0.5;
    float lit = step(p.z - SPOT_BIAS, texture(map, p.xy).r);
    float d = length(toPoint);
    vec3 L = toPoint / d;
    // The lit program's rim: a smooth edge from the outer to the inner cone, squared.
    float edge = clamp((dot(L, axis) - cone.y) / max(cone.x - cone.y, 1e-4), 0.0, 1.0);
    float light = falloff(factors, d, attenuates, floorValue) * edge * edge * phaseHenyeyGreenstein(-dot(L, dir));
    return lit * weight * light;
}

vec3 spotScatter(int i, vec3 eye, vec3 dir, float rayEnd) {
    vec3 lightPosition = spotLights[i].position.xyz;
    vec3 color = spotLights[i].color.rgb;
    vec3 axis = normalize(spotLights[i].direction.xyz);
    vec2 cone = vec2(spotLights[i].color.w, spotLights[i].direction.w);  // cosines: inner, outer
    vec3 factors = spotLights[i].lightFactors.xyz;
    int attenuates = spotLights[i].attenuates;
    float power = SPOT_POWER * max(color.r, max(color.g, color.b));
    vec3 fromLight = eye - lightPosition;
    vec2 inSphere = sphereInterval(fromLight, dir, reach(factors, power, attenuates));
    vec2 inCone = coneInterval(fromLight, dir, axis, clamp(cone.y, 0.0, 1.0));
    vec2 span = vec2(max(max(inSphere.x, inCone.x), 0.0), min(min(inSphere.y, inCone.y), rayEnd));
    bool on = spotLights[i].enabled != 0 && i < actualSpotSize;
    Sweep s = sweepOf(fromLight, dir, span, 0.05, on);
    float floorValue = FADED / max(power, 1e-6);

    // The ray is a straight line in the light's clip space too: no matrix product per sample.
    mat4 view = light_view_matrices[i];
    mat4 projection = light_projection_matrices[i];
    vec4 clipEye = projection * (view * vec4(eye, 1.0));
    vec4 clipDir = projection * (view * vec4(dir, 0.0));
    float tanStep = tan(s.step);
    float tangent = s.tangent;
    float sum = 0.0;
    int g = 0;
    do {
        for (int k = 0; k < 4; ++k) {
            float weight = s.h * (1.0 + tangent * tangent);
            float t = s.along + s.h * tangent;
            sum += spotSample(spotShadowMap[i], clipEye + clipDir * t, fromLight + dir * t, weight, dir, axis, cone,
                              factors, attenuates, floorValue);
            tangent = nextTangent(tangent, tanStep);
        }
    } while (++g < s.groups);
    return on ? color * (SPOT_POWER * haze(eye + dir * s.middle) * sum * s.step) : vec3(0.0);
}

void main() {
    // The ray from the eye to the scene point behind this pixel (the far plane where only sky is seen).
    float depth = texture(depthScene, texCoord).r;
    vec4 viewPoint = projection_inv * vec4(vec3(texCoord, depth) * 2.0 - 1.0, 1.0);
    vec3 eye = view_inv[3].xyz;
    vec3 ray = (view_inv * vec4(viewPoint.xyz / viewPoint.w, 1.0)).xyz - eye;
    float rayEnd = length(ray);
    vec3 dir = ray / max(rayEnd, 1e-6);

    // Only the lights that are on are marched. At least one pass of each loop runs: with none on, it
    // takes light 0, which is then off (or beyond the count), gets an empty sweep and adds nothing.
    // The engine builds a variant of this program for each set of lights that are on, with their
    // counts defined (ON_POINT_LIGHTS, ON_SPOT_LIGHTS): a kind with none on then has no loop at all.
    vec3 light = vec3(0.0);
    int k = 0;
#if !defined(ON_POINT_LIGHTS) || ON_POINT_LIGHTS > 0
    int pointCount = min(onPointCount, MAX_LIGHTS_PER_KIND);
    do {
        light += pointScatter(onPointLights[k], eye, dir, rayEnd);
    } while (++k < pointCount);
#endif
#if !defined(ON_SPOT_LIGHTS) || ON_SPOT_LIGHTS > 0
    int spotCount = min(onSpotCount, MAX_LIGHTS_PER_KIND);
    k = 0;
    do {
        light += spotScatter(onSpotLights[k], eye, dir, rayEnd);
    } while (++k < spotCount);
#endif
    fragColor = vec4(light * exp2(10.0 * brightness), 1.0);
}

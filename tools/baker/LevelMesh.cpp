#include "tools/baker/LevelMesh.h"

#include <cmath>
#include <limits>

namespace {

glm::vec3 safeNormalize(const glm::vec3& v, const glm::vec3& fallback) {
    const float len = glm::length(v);
    return len > 1e-20f ? v / len : fallback;
}

// Any unit vector perpendicular to n.
glm::vec3 perpendicular(const glm::vec3& n) {
    const glm::vec3 a = std::fabs(n.x) < 0.9f ? glm::vec3(1, 0, 0) : glm::vec3(0, 1, 0);
    return glm::normalize(glm::cross(a, n));
}

}  // namespace

std::uint32_t LevelMesh::addVertex(const glm::vec3& p, const glm::vec3& n, const glm::vec2& uv) {
    positions.push_back(p);
    normals.push_back(n);
    uvs.push_back(uv);
    return static_cast<std::uint32_t>(positions.size() - 1);
}

void LevelMesh::addSurface(int segmentsS, int segmentsT, const SurfaceFn& surface, const UvRect& uv,
                           const SurfaceOptions& options) {
    const int nS = segmentsS, nT = segmentsT;
    auto eval = [&](float s, float t) {
        if (options.closedS) s -= std::floor(s);
        return surface(s, t);
    };
    // Derivatives by central differences; one-sided at open borders.
    auto normalAt = [&](float s, float t) {
        const float e = 1e-3f;
        float sa = s - e, sb = s + e, ta = t - e, tb = t + e;
        if (!options.closedS) {
            sa = std::max(sa, 0.0f);
            sb = std::min(sb, 1.0f);
        }
        ta = std::max(ta, 0.0f);
        tb = std::min(tb, 1.0f);
        const glm::vec3 ds = eval(sb, t) - eval(sa, t);
        const glm::vec3 dt = eval(s, tb) - eval(s, ta);
        return safeNormalize(glm::cross(ds, dt), glm::vec3(0, 1, 0));
    };
    auto uvAt = [&](float s, float t, bool back) {
        float u = uv.u0 + s * (uv.u1 - uv.u0);
        if (back) u = uv.u0 + uv.u1 - u;
        return glm::vec2(u, uv.v0 + t * (uv.v1 - uv.v0));
    };

    for (int side = 0; side < (options.twoSided ? 2 : 1); ++side) {
        const bool back = side == 1;
        const float sign = back ? -1.0f : 1.0f;
        const int jFirst = options.poleAtT0 ? 1 : 0;
        const int jLast = options.poleAtT1 ? nT - 1 : nT;
        std::vector<std::uint32_t> grid(static_cast<std::size_t>(nS + 1) * (nT + 1), 0);
        for (int j = jFirst; j <= jLast; ++j) {
            const float t = static_cast<float>(j) / nT;
            for (int i = 0; i <= nS; ++i) {
                const float s = static_cast<float>(i) / nS;
                grid[j * (nS + 1) + i] = addVertex(eval(s, t), sign * normalAt(s, t), uvAt(s, t, back));
            }
        }
        auto pole = [&](int j, int neighbourRow) {
            glm::vec3 n(0.0f);
            for (int i = 0; i < nS; ++i) n += normals[grid[neighbourRow * (nS + 1) + i]];
            const float t = static_cast<float>(j) / nT;
            const std::uint32_t v = addVertex(eval(0.0f, t), safeNormalize(n, glm::vec3(0, sign, 0)),
                                              uvAt(0.5f, t, back));
            for (int i = 0; i <= nS; ++i) grid[j * (nS + 1) + i] = v;
        };
        if (options.poleAtT0) pole(0, 1);
        if (options.poleAtT1) pole(nT, nT - 1);

        auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
            if (a == b || b == c || a == c) return;
            if (back) std::swap(b, c);
            indices.insert(indices.end(), {a, b, c});
        };
        for (int j = 0; j < nT; ++j) {
            for (int i = 0; i < nS; ++i) {
                const std::uint32_t a = grid[j * (nS + 1) + i], b = grid[j * (nS + 1) + i + 1];
                const std::uint32_t c = grid[(j + 1) * (nS + 1) + i + 1], d = grid[(j + 1) * (nS + 1) + i];
                triangle(a, b, c);
                triangle(a, c, d);
            }
        }
    }
}

void LevelMesh::addDisc(const glm::vec3& center, const std::vector<glm::vec3>& ring, const glm::vec3& normal,
                        const glm::vec3& axisU, const UvRect& uv) {
    const glm::vec3 n = glm::normalize(normal);
    const glm::vec3 au = glm::normalize(axisU - n * glm::dot(axisU, n));
    const glm::vec3 av = glm::cross(n, au);
    float radius = 1e-6f;
    for (const glm::vec3& p : ring) radius = std::max(radius, glm::length(p - center));
    const glm::vec2 mid((uv.u0 + uv.u1) * 0.5f, (uv.v0 + uv.v1) * 0.5f);
    const glm::vec2 half((uv.u1 - uv.u0) * 0.5f, (uv.v1 - uv.v0) * 0.5f);
    auto map = [&](const glm::vec3& p) {
        const glm::vec3 d = (p - center) / radius;
        return mid + glm::vec2(glm::dot(d, au) * half.x, glm::dot(d, av) * half.y);
    };
    const std::uint32_t c = addVertex(center, n, mid);
    const std::uint32_t first = static_cast<std::uint32_t>(positions.size());
    for (const glm::vec3& p : ring) addVertex(p, n, map(p));
    const std::uint32_t count = static_cast<std::uint32_t>(ring.size());
    for (std::uint32_t i = 0; i < count; ++i)
        indices.insert(indices.end(), {c, first + i, first + (i + 1) % count});
}

void LevelMesh::append(const LevelMesh& other, const glm::mat4& transform) {
    const std::uint32_t base = static_cast<std::uint32_t>(positions.size());
    const glm::mat3 normalMatrix = glm::transpose(glm::inverse(glm::mat3(transform)));
    for (std::size_t i = 0; i < other.positions.size(); ++i) {
        positions.push_back(glm::vec3(transform * glm::vec4(other.positions[i], 1.0f)));
        normals.push_back(safeNormalize(normalMatrix * other.normals[i], glm::vec3(0, 1, 0)));
        uvs.push_back(other.uvs[i]);
    }
    for (std::uint32_t index : other.indices) indices.push_back(base + index);
}

void LevelMesh::computeTangents() {
    std::vector<glm::vec3> tan(positions.size(), glm::vec3(0.0f)), bit(positions.size(), glm::vec3(0.0f));
    for (std::size_t k = 0; k + 2 < indices.size(); k += 3) {
        const std::uint32_t i0 = indices[k], i1 = indices[k + 1], i2 = indices[k + 2];
        const glm::vec3 e1 = positions[i1] - positions[i0], e2 = positions[i2] - positions[i0];
        const glm::vec2 d1 = uvs[i1] - uvs[i0], d2 = uvs[i2] - uvs[i0];
        const float r = d1.x * d2.y - d2.x * d1.y;
        if (std::fabs(r) < 1e-14f) continue;
        const glm::vec3 t = (e1 * d2.y - e2 * d1.y) / r;
        const glm::vec3 b = (e2 * d1.x - e1 * d2.x) / r;
        for (std::uint32_t i : {i0, i1, i2}) {
            tan[i] += t;
            bit[i] += b;
        }
    }
    tangents.resize(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const glm::vec3& n = normals[i];
        glm::vec3 t = tan[i] - n * glm::dot(n, tan[i]);
        t = glm::length(t) > 1e-12f ? glm::normalize(t) : perpendicular(n);
        const float w = glm::dot(glm::cross(n, t), bit[i]) < 0.0f ? -1.0f : 1.0f;
        tangents[i] = glm::vec4(t, w);
    }
}

glm::vec3 LevelMesh::boundsMin() const {
    glm::vec3 m(std::numeric_limits<float>::max());
    for (const glm::vec3& p : positions) m = glm::min(m, p);
    return m;
}

glm::vec3 LevelMesh::boundsMax() const {
    glm::vec3 m(-std::numeric_limits<float>::max());
    for (const glm::vec3& p : positions) m = glm::max(m, p);
    return m;
}

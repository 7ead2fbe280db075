#include "tools/baker/LevelAnimation.h"

#include <cmath>

glm::vec3 LevelAnimation::catmullRom(const std::vector<float>& times, const std::vector<glm::vec3>& points,
                                     float t) {
    const int n = static_cast<int>(points.size());
    if (n == 1 || t <= times.front()) return points.front();
    if (t >= times.back()) return points.back();
    int i = 0;
    while (i + 1 < n - 1 && times[i + 1] <= t) ++i;
    const float t0 = times[i], t1 = times[i + 1];
    const float h = t1 - t0;
    // Finite-difference tangents in units per second; ends use a one-sided difference.
    auto slope = [&](int k) {
        const int a = k > 0 ? k - 1 : k, b = k < n - 1 ? k + 1 : k;
        return (points[b] - points[a]) / (times[b] - times[a]);
    };
    const glm::vec3 m0 = slope(i) * h, m1 = slope(i + 1) * h;
    const float u = (t - t0) / h, u2 = u * u, u3 = u2 * u;
    return (2 * u3 - 3 * u2 + 1) * points[i] + (u3 - 2 * u2 + u) * m0 + (-2 * u3 + 3 * u2) * points[i + 1] +
           (u3 - u2) * m1;
}

glm::quat LevelAnimation::lookRotation(const glm::vec3& direction) {
    const glm::vec3 back = -glm::normalize(direction);
    const glm::vec3 right = glm::normalize(glm::cross(glm::vec3(0, 1, 0), back));
    const glm::vec3 up = glm::cross(back, right);
    return glm::normalize(glm::quat_cast(glm::mat3(right, up, back)));
}

NodeTrack LevelAnimation::cameraTrack(const std::vector<CameraWaypoint>& waypoints, float step) {
    std::vector<float> times;
    std::vector<glm::vec3> eyes, targets;
    for (const CameraWaypoint& w : waypoints) {
        times.push_back(w.time);
        eyes.push_back(w.eye);
        targets.push_back(w.target);
    }
    NodeTrack track;
    const float end = times.back();
    const int keys = static_cast<int>(std::lround(end / step));
    for (int k = 0; k <= keys; ++k) {
        const float t = k == keys ? end : static_cast<float>(k) * step;
        const glm::vec3 eye = catmullRom(times, eyes, t);
        const glm::vec3 target = catmullRom(times, targets, t);
        track.times.push_back(t);
        track.translations.push_back(eye);
        track.rotations.push_back(lookRotation(target - eye));
        track.scales.push_back(glm::vec3(1.0f));
    }
    keepShortArc(track.rotations);
    return track;
}

void LevelAnimation::keepShortArc(std::vector<glm::quat>& rotations) {
    for (std::size_t i = 1; i < rotations.size(); ++i)
        if (glm::dot(rotations[i - 1], rotations[i]) < 0.0f) rotations[i] = -rotations[i];
}

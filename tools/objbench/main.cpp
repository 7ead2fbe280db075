// Times the OBJ reader on single large faces: a regular polygon and a star whose every second corner
// is reflex, each at several corner counts, and prints the time and the area of the triangles
// against the polygon's exact area.
#include "models/ObjReader.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

// Corners alternate between the two radii, counter-clockwise; the exact area is
// corners / 2 * outer * inner * sin(2 pi / corners).
std::string roundFace(int corners, double outer, double inner) {
    std::ostringstream text;
    text.precision(9);
    for (int i = 0; i < corners; ++i) {
        const double angle = 2.0 * M_PI * i / corners;
        const double r = i % 2 == 0 ? outer : inner;
        text << "v " << r * std::cos(angle) << ' ' << r * std::sin(angle) << " 0\n";
    }
    text << 'f';
    for (int i = 1; i <= corners; ++i) text << ' ' << i;
    text << '\n';
    return text.str();
}

double area(const ObjModel& model) {
    double sum = 0.0;
    for (std::size_t t = 0; t + 2 < model.indices.size(); t += 3) {
        const glm::vec3& a = model.vertices[model.indices[t]].position;
        const glm::vec3& b = model.vertices[model.indices[t + 1]].position;
        const glm::vec3& c = model.vertices[model.indices[t + 2]].position;
        sum += 0.5 * ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y));
    }
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        std::printf("usage: objbench\n"
                    "Parses single OBJ faces of 2000 to 32000 corners (regular polygon and star) and prints\n"
                    "the parse time in ms, the triangle count and the area against the exact area.\n");
        return std::string(argv[1]) == "--help" ? 0 : 1;
    }
    std::printf("%-8s %7s %9s %10s %12s %12s\n", "shape", "corners", "bytes", "time ms", "area", "exact");
    for (const char* shape : {"regular", "star"}) {
        const double inner = std::string(shape) == "star" ? 0.5 : 1.0;
        for (int corners : {2000, 4000, 8000, 16000, 32000}) {
            const std::string text = roundFace(corners, 1.0, inner);
            const auto start = std::chrono::steady_clock::now();
            std::string why;
            const auto model = parseObj(text, "bench.obj", {}, &why);
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            if (!model) {
                std::printf("%s %d: refused: %s\n", shape, corners, why.c_str());
                return 1;
            }
            const double exact = corners / 2.0 * inner * std::sin(2.0 * M_PI / corners);
            std::printf("%-8s %7d %9zu %10.1f %12.6f %12.6f  (%zu triangles)\n", shape, corners, text.size(), ms,
                        area(*model), exact, model->indices.size() / 3);
        }
    }
    return 0;
}

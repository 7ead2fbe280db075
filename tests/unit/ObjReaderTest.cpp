// The OBJ and MTL reader, the OBJ-to-mesh step with its tangents, and refusal of malformed files.
#include "models/ObjMesh.h"
#include "models/ObjReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace {

ObjModel parseOrFail(std::string_view text, const MaterialLibraryLoader& loadLibrary = {}) {
    std::string why;
    std::optional<ObjModel> model = parseObj(text, "models/test.obj", loadLibrary, &why);
    EXPECT_TRUE(model.has_value()) << why;
    return model ? std::move(*model) : ObjModel{};
}

// A folder of fixture files, removed again at the end of the test.
class FixtureDir {
public:
    FixtureDir()
        : path(std::filesystem::temp_directory_path() /
               ("verdance-obj-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(path);
    }
    ~FixtureDir() { std::filesystem::remove_all(path); }

    std::string write(const std::string& name, std::string_view text) const {
        const std::string file = (path / name).string();
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    std::string pathOf(const std::string& name) const { return (path / name).string(); }

private:
    std::filesystem::path path;
};

constexpr const char* kUnitTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
constexpr const char* kUnitSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

struct ObjCase {
    const char* name;
    std::string text;
    std::vector<std::uint32_t> indices;
    std::vector<glm::vec3> positions;  // one per vertex
    std::vector<glm::vec3> normals;    // empty: not checked
    std::vector<glm::vec2> uvs;        // empty: not checked
    std::vector<std::string> meshNames;
};

const glm::vec3 p0(0, 0, 0), px(1, 0, 0), pxy(1, 1, 0), py(0, 1, 0);

const ObjCase kObjCases[] = {
    {"quad f 1 2 3 4 is cut into (0,1,3) and (1,2,3)", std::string(kUnitSquare) + "f 1 2 3 4\n",
     {0, 1, 3, 1, 2, 3}, {p0, px, pxy, py}, {}, {}, {""}},
    {"a face without normals gets cross(p0 - p1, p2 - p1), not normalised", std::string(kUnitTriangle) + "f 1 2 3\n",
     {0, 1, 2}, {p0, px, py}, {{0, 0, -1}, {0, 0, -1}, {0, 0, -1}}, {{0, 0}, {0, 0}, {0, 0}}, {""}},
    {"negative indices count back from the last position", std::string(kUnitTriangle) + "f -1 -2 -3\n",
     {0, 1, 2}, {py, px, p0}, {}, {}, {""}},
    {"faces sharing positions get vertices of their own", std::string(kUnitSquare) + "f 1 2 3\nf 1 3 4\n",
     {0, 1, 2, 3, 4, 5}, {p0, px, pxy, p0, pxy, py}, {}, {}, {""}},
    {"corners v/t/n, v//n and v/t",
     std::string(kUnitTriangle) + "vt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 1\n"
                                  "f 1/1/1 2/2/1 3/3/1\nf 1//1 2//1 3//1\nf 1/3 2/2 3/1\n",
     {0, 1, 2, 3, 4, 5, 6, 7, 8},
     {p0, px, py, p0, px, py, p0, px, py},
     {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, -1}, {0, 0, -1}, {0, 0, -1}},
     {{0, 0}, {1, 0}, {0, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 1}, {1, 0}, {0, 0}},
     {""}},
    {"a first bare g names the part with the empty string",
     std::string("g\n") + kUnitTriangle + "f 1 2 3\ng second\nf 1 2 3\n",
     {0, 1, 2, 3, 4, 5}, {p0, px, py, p0, px, py}, {}, {}, {"", "second"}},
    {"a first line gx names the part unnamed", std::string("gx\n") + kUnitTriangle + "f 1 2 3\n",
     {0, 1, 2}, {p0, px, py}, {}, {}, {"unnamed"}},
    {"usemtl closes a part as <name>_2, o closes it under its name",
     std::string("o first\n") + kUnitTriangle + "f 1 2 3\nusemtl red\nf 1 2 3\no second\nf 1 2 3\n",
     {0, 1, 2, 3, 4, 5, 6, 7, 8}, {p0, px, py, p0, px, py, p0, px, py}, {}, {}, {"first_2", "first", "second"}},
    {"CRLF line ends leave no carriage return in names", "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\ng left\r\nf 1 2 3\r\n",
     {0, 1, 2}, {p0, px, py}, {}, {}, {"left"}},
    {"a sign, an exponent and trailing text after a number",
     "v +1 -2e0 3.5abc\nv 0 0 0\nv 1 1 1\nf 1 2 3\n",
     {0, 1, 2}, {{1, -2, 3.5f}, p0, {1, 1, 1}}, {}, {}, {""}},
};

TEST(ObjReader, ReadsTheCasesOfTheTable) {
    for (const ObjCase& c : kObjCases) {
        SCOPED_TRACE(c.name);
        const ObjModel model = parseOrFail(c.text);
        EXPECT_EQ(model.indices, c.indices);
        ASSERT_EQ(model.vertices.size(), c.positions.size());
        for (std::size_t i = 0; i < c.positions.size(); ++i) {
            SCOPED_TRACE("vertex " + std::to_string(i));
            EXPECT_EQ(model.vertices[i].position, c.positions[i]);
            if (!c.normals.empty()) {
                EXPECT_EQ(model.vertices[i].normal, c.normals[i]);
            }
            if (!c.uvs.empty()) {
                EXPECT_EQ(model.vertices[i].texCoord, c.uvs[i]);
            }
        }
        std::vector<std::string> names;
        for (const ObjMesh& mesh : model.meshes) names.push_back(mesh.name);
        EXPECT_EQ(names, c.meshNames);
    }
}

// Signed area of triangle (a, b, c) in the xy plane: positive when counter-clockwise.
float signedArea(const glm::vec3& a, const glm::vec3& b, const glm::vec3& c) {
    return 0.5f * ((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y));
}

struct ConcaveFace {
    const char* name;
    const char* text;
    float area;
};

const ConcaveFace kConcaveFaces[] = {
    // Listed counter-clockwise, starting so that the reflex corner (1, 1) comes early.
    {"L of six corners", "v 2 1 0\nv 1 1 0\nv 1 2 0\nv 0 2 0\nv 0 0 0\nv 2 0 0\nf 1 2 3 4 5 6\n", 3.0f},
    // An arrowhead: the first corner (2, 1) is opposite the reflex corner (0.5, 1), convex but no ear.
    {"arrowhead of four corners", "v 2 1 0\nv 0 2 0\nv 0.5 1 0\nv 0 0 0\nf 1 2 3 4\n", 1.5f},
};

TEST(ObjReader, CutsConcaveFacesWithoutCoveringTheNotch) {
    for (const ConcaveFace& c : kConcaveFaces) {
        SCOPED_TRACE(c.name);
        const ObjModel model = parseOrFail(c.text);
        ASSERT_EQ(model.indices.size() % 3, 0u);
        ASSERT_EQ(model.indices.size() / 3, model.vertices.size() - 2);
        float area = 0.0f;
        for (std::size_t t = 0; t < model.indices.size(); t += 3) {
            const float a = signedArea(model.vertices[model.indices[t]].position,
                                       model.vertices[model.indices[t + 1]].position,
                                       model.vertices[model.indices[t + 2]].position);
            EXPECT_GT(a, 0.0f) << "triangle " << t / 3 << " is clockwise or empty";
            area += a;
        }
        EXPECT_FLOAT_EQ(area, c.area);
    }
}

// A face of `corners` corners around the origin, counter-clockwise, at radii alternating between
// `outer` and `inner` (equal radii give a regular polygon, unequal ones a star with every second
// corner reflex). Its area is corners / 2 * outer * inner * sin(2 pi / corners).
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

TEST(ObjReader, CutsLargeFacesWhole) {
    const struct {
        const char* name;
        int corners;
        double outer, inner;
        // 16000 corners on a circle bulge by less than a float's precision between neighbours, so
        // some of its sliver triangles may come out flat or turned in float coordinates.
        bool everyTriangleCounterClockwise;
    } cases[] = {
        {"regular 16000-gon", 16000, 1.0, 1.0, false},
        {"star of 2000 corners, every second one reflex", 2000, 1.0, 0.5, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ObjModel model = parseOrFail(roundFace(c.corners, c.outer, c.inner));
        ASSERT_EQ(model.indices.size(), 3u * (c.corners - 2));
        double area = 0.0;
        int clockwise = 0;
        for (std::size_t t = 0; t < model.indices.size(); t += 3) {
            const double a = signedArea(model.vertices[model.indices[t]].position,
                                        model.vertices[model.indices[t + 1]].position,
                                        model.vertices[model.indices[t + 2]].position);
            clockwise += a < 0.0;
            area += a;
        }
        if (c.everyTriangleCounterClockwise) {
            EXPECT_EQ(clockwise, 0);
        }
        const double expected = c.corners / 2.0 * c.outer * c.inner * std::sin(2.0 * M_PI / c.corners);
        EXPECT_NEAR(area, expected, 1e-4 * expected);
    }
}

TEST(ObjReader, ReadsEveryMaterialKeyAndGivesPartsTheirMaterials) {
    const char* mtl =
        "# two materials\n"
        "newmtl red\n"
        "Ka 0.1 0.2 0.3\n"
        "Kd 1 0 0\n"
        "Ks 0.5 0.5 0.5\n"
        "Ns 96\n"
        "Ni 1.45\n"
        "d 0.75\n"
        "illum 2\n"
        "map_Ka red_ambient.png\n"
        "map_Kd red diffuse.png\n"
        "map_Ks red_specular.png\n"
        "map_Ns red_shininess.png\n"
        "map_d red_alpha.png\n"
        "map_Bump red_normal.png\n"
        "newmtl blue\n"
        "Kd 0 0\n"  // two pieces: not a colour, ignored
        "bump blue_bump.png\n"
        "newmtl\n";  // a line shorter than 8 characters names the material "none"
    std::string why;
    const auto materials = parseMtl(mtl, &why);
    ASSERT_TRUE(materials.has_value()) << why;
    ASSERT_EQ(materials->size(), 3u);
    const ObjMaterial& red = (*materials)[0];
    EXPECT_EQ(red.name, "red");
    EXPECT_EQ(red.Ka, glm::vec3(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(red.Kd, glm::vec3(1, 0, 0));
    EXPECT_EQ(red.Ks, glm::vec3(0.5f));
    EXPECT_EQ(red.Ns, 96.0f);
    EXPECT_EQ(red.Ni, 1.45f);
    EXPECT_EQ(red.d, 0.75f);
    EXPECT_EQ(red.illum, 2);
    EXPECT_EQ(red.map_Ka, "red_ambient.png");
    EXPECT_EQ(red.map_Kd, "red diffuse.png");
    EXPECT_EQ(red.map_Ks, "red_specular.png");
    EXPECT_EQ(red.map_Ns, "red_shininess.png");
    EXPECT_EQ(red.map_d, "red_alpha.png");
    EXPECT_EQ(red.map_bump, "red_normal.png");
    EXPECT_EQ((*materials)[1].name, "blue");
    EXPECT_EQ((*materials)[1].Kd, glm::vec3(0.0f));
    EXPECT_EQ((*materials)[1].map_bump, "blue_bump.png");
    EXPECT_EQ((*materials)[2].name, "none");

    // The library is looked for beside the OBJ file; the i-th usemtl name goes to the i-th part.
    std::vector<std::string> requested;
    const ObjModel model = parseOrFail(
        std::string("mtllib lib.mtl\no a\nusemtl blue\n") + kUnitTriangle + "f 1 2 3\no b\nusemtl red\nf 1 2 3\n",
        [&](const std::string& path) {
            requested.push_back(path);
            return *parseMtl(mtl, nullptr);
        });
    EXPECT_EQ(requested, std::vector<std::string>{"models/lib.mtl"});
    ASSERT_EQ(model.meshes.size(), 2u);
    EXPECT_EQ(model.meshes[0].material.name, "blue");
    EXPECT_EQ(model.meshes[1].material.name, "red");
    EXPECT_EQ(model.meshes[1].material.Ns, 96.0f);
}

struct BadObj {
    const char* name;
    const char* fileName;
    std::optional<std::string> text;  // nullopt: the file does not exist
    const char* reason;               // the reader's own line; "" when only the load failure is reported
};

const BadObj kBadObjs[] = {
    {"bad float", "badfloat.obj", std::string("v 0 0 0\nv 1 abc 0\n"), "line 2: bad number 'abc'"},
    {"float beyond float range", "huge.obj", std::string("v 1e39 0 0\n"), "line 1: number out of range '1e39'"},
    {"vertex short of numbers", "short.obj", std::string("v 1 2\n"), "line 1: 'v' needs 3 numbers, found 2"},
    {"index 0", "zero.obj", std::string(kUnitTriangle) + "f 0 1 2\n",
     "line 4: position index 0 out of range (3 read so far)"},
    {"index past the end", "past.obj", std::string(kUnitTriangle) + "f 1 2 4\n",
     "line 4: position index 4 out of range (3 read so far)"},
    {"negative index before the start", "before.obj", std::string(kUnitTriangle) + "f 1 2 -4\n",
     "line 4: position index -4 out of range (3 read so far)"},
    {"texture index past the end", "uvpast.obj", std::string(kUnitTriangle) + "vt 0 0\nf 1/1 2/2 3/1\n",
     "line 5: texture coordinate index 2 out of range (1 read so far)"},
    {"normal index that is not a number", "badnormal.obj", std::string(kUnitTriangle) + "vn 0 0 1\nf 1//x 2//1 3//1\n",
     "line 5: bad number 'x'"},
    {"missing file", "missing.obj", std::nullopt, ""},
    {"name not ending in .obj", "model.txt", std::string(kUnitTriangle) + "f 1 2 3\n", ""},
    {"file without any face", "noface.obj", std::string(kUnitTriangle), ""},
};

TEST(ObjReader, RefusesMalformedFilesWithOneLineAndEmptyData) {
    const FixtureDir dir;
    for (const BadObj& c : kBadObjs) {
        SCOPED_TRACE(c.name);
        const std::string path = c.text ? dir.write(c.fileName, *c.text) : dir.pathOf(c.fileName);
        std::string expected;
        if (*c.reason) expected += "ERROR: Failed to load '" + path + "': " + c.reason + "\n";
        expected += "ERROR: loading OBJ file: " + path + "\n";

        ::testing::internal::CaptureStdout();
        const MeshData mesh = readObjMeshData(path);
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), expected);
        EXPECT_TRUE(mesh.positions.empty() && mesh.indices.empty() && mesh.normals.empty() && mesh.uvs.empty() &&
                    mesh.tangents.empty() && mesh.bitangents.empty());
    }
}

TEST(ObjReader, AMalformedMaterialLibraryCostsOnlyItsMaterials) {
    const FixtureDir dir;
    const std::string badLibrary = dir.write("bad.mtl", "newmtl red\nKd 1 0 0\nNs abc\n");
    const std::string obj = dir.write(
        "model.obj", std::string("mtllib missing.mtl\nmtllib bad.mtl\nmtllib notes.txt\nusemtl red\n") +
                         kUnitTriangle + "f 1 2 3\n");

    ::testing::internal::CaptureStdout();
    ObjReader reader;
    const bool loaded = reader.loadFile(obj);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "ERROR: Failed to load '" + badLibrary + "': line 3: bad number 'abc'\n");
    EXPECT_TRUE(loaded);
    EXPECT_EQ(reader.getVertices().size(), 3u);
    EXPECT_TRUE(reader.getMaterials().empty());
}

TEST(ObjReader, EveryPrefixOfAFileParsesOrFailsCleanly) {
    // Cut anywhere, a file must either parse into indices that stay inside its vertices or give a reason.
    const std::string text = std::string(kUnitSquare) +
                             "vt 0 0\nvt 1 0\nvt 1 1\nvn 0 0 1\ng part\nusemtl m\n"
                             "f 1/1/1 2/2/1 3/3/1 4/1/1\nf -4//1 -3//1 -2//1\nf 1/1 2/2 2/2 3/3 4/1\n";
    for (std::size_t length = 0; length <= text.size(); ++length) {
        std::string why;
        const std::optional<ObjModel> model = parseObj(std::string_view(text).substr(0, length), "x.obj", {}, &why);
        if (!model) {
            EXPECT_EQ(why.rfind("line ", 0), 0u) << "prefix " << length << ": " << why;
            continue;
        }
        EXPECT_EQ(model->indices.size() % 3, 0u) << "prefix " << length;
        for (std::uint32_t index : model->indices) EXPECT_LT(index, model->vertices.size()) << "prefix " << length;
    }
}

bool isFinite(const glm::vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

TEST(ObjTangents, FollowTheUvAxesAndStayFinite) {
    MeshData mesh;
    // u runs along +x over 2 units, v along +y over 4: dP/du = (2, 0, 0), dP/dv = (0, 4, 0).
    mesh.positions = {{0, 0, 0}, {2, 0, 0}, {0, 4, 0}};
    mesh.uvs = {{0, 0}, {1, 0}, {0, 1}};
    mesh.tangents.assign(3, glm::vec3(9.0f));
    mesh.bitangents.assign(3, glm::vec3(9.0f));
    // A whole triangle, one with an index past the vertices, and two indices left over.
    mesh.indices = {0, 1, 2, 0, 1, 7, 2, 1};
    computeTangents(mesh);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mesh.tangents[i], glm::vec3(2, 0, 0));
        EXPECT_EQ(mesh.bitangents[i], glm::vec3(0, 4, 0));
    }

    // Untextured: every UV is (0, 0), so the mapping has no area.
    mesh.uvs.assign(3, glm::vec2(0.0f));
    mesh.indices = {0, 1, 2};
    computeTangents(mesh);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mesh.tangents[i], glm::vec3(0.0f));
        EXPECT_EQ(mesh.bitangents[i], glm::vec3(0.0f));
    }
}

TEST(ObjTangents, FacesWithRepeatedCornersKeepWholeTrianglesInsideTheVertices) {
    const FixtureDir dir;
    const std::string path = dir.write(
        "repeated.obj", std::string(kUnitSquare) + "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                                                   "f 1/1 2/2 2/2 3/3\nf 1/1 2/2 2/2 3/3 4/4\nf 1/1 1/1 1/1\n");
    const MeshData mesh = readObjMeshData(path);
    ASSERT_EQ(mesh.positions.size(), 12u);
    EXPECT_EQ(mesh.indices.size() % 3, 0u);
    for (std::uint32_t index : mesh.indices) EXPECT_LT(index, mesh.positions.size());
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        EXPECT_TRUE(isFinite(mesh.tangents[i])) << "vertex " << i;
        EXPECT_TRUE(isFinite(mesh.bitangents[i])) << "vertex " << i;
        EXPECT_TRUE(isFinite(mesh.normals[i])) << "vertex " << i;
    }
}

}  // namespace

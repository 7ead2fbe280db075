// Wavefront OBJ and MTL text: v, vt, vn, f (v, v/t, v//n, v/t/n corners, negative indices, polygons
// cut into triangles by ear clipping), o/g parts, usemtl and mtllib. Every face corner becomes its own
// vertex. Refuses a malformed number, a vertex line short of numbers, a bad corner or an index outside
// the lists read so far, with the line number; free-form curves and smoothing groups are ignored.
#pragma once

#include <glm/glm.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct ObjVertex {
    glm::vec3 position{0.0f};
    glm::vec3 normal{0.0f};
    glm::vec2 texCoord{0.0f};
};

struct ObjMaterial {
    std::string name;
    glm::vec3 Ka{0.0f};  // ambient colour
    glm::vec3 Kd{0.0f};  // diffuse colour
    glm::vec3 Ks{0.0f};  // specular colour
    float Ns = 0.0f;     // specular exponent
    float Ni = 0.0f;     // optical density
    float d = 0.0f;      // dissolve
    int illum = 0;       // illumination model
    std::string map_Ka;
    std::string map_Kd;
    std::string map_Ks;
    std::string map_Ns;
    std::string map_d;
    std::string map_bump;
};

// One named part of a model, with indices local to its own vertices.
struct ObjMesh {
    std::string name;
    std::vector<ObjVertex> vertices;
    std::vector<std::uint32_t> indices;
    ObjMaterial material;
};

struct ObjModel {
    std::vector<ObjVertex> vertices;       // every vertex of every face, in file order
    std::vector<std::uint32_t> indices;    // into `vertices`, three per triangle
    std::vector<ObjMesh> meshes;
    std::vector<ObjMaterial> materials;    // from every mtllib, in the order they were read
};

// Gives the materials of the library at `path` (already resolved beside the OBJ file); an empty list
// when there is none.
using MaterialLibraryLoader = std::function<std::vector<ObjMaterial>(const std::string& path)>;

// Parses OBJ text. `objPath` only locates material libraries, which `loadLibrary` reads (may be empty:
// then libraries are skipped). On a malformed line returns nothing and sets `why` to
// "line <n>: <reason>".
std::optional<ObjModel> parseObj(std::string_view text, std::string_view objPath,
                                 const MaterialLibraryLoader& loadLibrary, std::string* why);

// Parses MTL text; on a malformed line returns nothing and sets `why` to "line <n>: <reason>".
std::optional<std::vector<ObjMaterial>> parseMtl(std::string_view text, std::string* why);

// Reads an MTL file. A path not ending in ".mtl" or a missing file gives no materials silently; a
// malformed file gives none and prints one "ERROR: " line naming it.
std::vector<ObjMaterial> loadMtlFile(const std::string& path);

// The reader the geometry loader uses: reads a file and keeps the parsed model.
class ObjReader {
public:
    // False for a path not ending in ".obj", a missing file, a malformed file (one "ERROR: " line with
    // the path and line number) or a file that yields nothing. A refused load leaves the reader empty.
    bool loadFile(const std::string& path);

    const std::vector<ObjVertex>& getVertices() const { return model.vertices; }
    const std::vector<std::uint32_t>& getIndices() const { return model.indices; }
    const std::vector<ObjMesh>& getMeshes() const { return model.meshes; }
    const std::vector<ObjMaterial>& getMaterials() const { return model.materials; }

private:
    ObjModel model;
};

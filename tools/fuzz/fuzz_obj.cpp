// OBJ text into the parser; every mtllib gets the same small library, so material hand-out runs too.
#include "models/ObjReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto library = [](const std::string&) {
        ObjMaterial red;
        red.name = "red";
        return std::vector<ObjMaterial>{red};
    };
    std::string why;
    const auto model = parseObj(text, "models/fuzz.obj", library, &why);
    if (!model) return 0;
    // Indices must stay inside the vertices and come in whole triangles.
    if (model->indices.size() % 3 != 0) std::abort();
    for (std::uint32_t index : model->indices)
        if (index >= model->vertices.size()) std::abort();
    for (const ObjMesh& mesh : model->meshes)
        for (std::uint32_t index : mesh.indices)
            if (index >= mesh.vertices.size()) std::abort();
    return 0;
}

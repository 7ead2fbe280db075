// Turns an OBJ file into MeshData without touching GL: one entry per reader vertex, the reader's
// triangle list, and one tangent and bitangent per vertex taken from the UV mapping of the last
// triangle that uses it. A refused file gives empty data and its "ERROR: " lines.
#pragma once

#include "models/MeshData.h"

#include <string>

// Reads `path` (for example "assets/models/plane.obj"); prints "ERROR: loading OBJ file: <path>" when
// nothing could be loaded, after the reader's own line for a malformed file.
MeshData readObjMeshData(const std::string& path);

// Overwrites `tangents` and `bitangents` of every vertex of every whole triangle in `indices`.
// Triangles with an index outside the vertex arrays are skipped, as are up to two indices left over
// at the end; a UV mapping with no area gives zero vectors instead of infinities.
void computeTangents(MeshData& mesh);

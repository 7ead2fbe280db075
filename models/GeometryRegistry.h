// The process-wide map from name to uploaded Geometry: OBJ models under their file name, glTF meshes
// under the names the import gives them. Entries are never replaced or evicted; they live until exit.
#pragma once

#include "models/Geometry.h"

#include <memory>
#include <string>
#include <vector>

// The geometry of "assets/models/<fileName>", loaded and uploaded on the first request. A failed load
// prints its error once and stores an empty geometry, which every later request gets too. Never null.
std::shared_ptr<Geometry> loadObjGeometry(const std::string& fileName);

// Stores `geometry` under `name` unless the name is taken; an existing entry is kept unchanged.
void registerGeometry(const std::string& name, std::shared_ptr<Geometry> geometry);

// The names that have an entry, and dropping one, for tests that leave the registry as they found it.
std::vector<std::string> registeredGeometryNames();
void forgetGeometry(const std::string& name);

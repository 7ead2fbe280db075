// Writes a LevelScene as glTF 2.0 JSON with one external .bin buffer, through tinygltf. Every
// node is a root node of the default scene; every accessor sits tightly packed in its own
// buffer view (the engine reads no strides); lights use KHR_lights_punctual.
#pragma once

#include "tools/baker/LevelScene.h"

#include <string>

// `path` ends in ".gltf"; the buffer goes beside it with the same stem and ".bin".
// Returns false and prints an ERROR line when the files cannot be written.
bool writeLevelGltf(const LevelScene& scene, const std::string& path);

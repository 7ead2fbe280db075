// Builds a level object with physically based shading from a mesh and its name: the three
// material textures are found by the naming rule (textures/MaterialNames.h) and shared through
// the texture cache; the object keeps its full name and samples `environment` (image-based lighting).
#pragma once

#include <memory>
#include <string>

class Geometry;
class Object;
class Transform;
class Texture;

std::shared_ptr<Object> createPbrObject(std::shared_ptr<Geometry> geometry, std::shared_ptr<Transform> transform,
                                        const std::string& name, std::shared_ptr<Texture> environment);

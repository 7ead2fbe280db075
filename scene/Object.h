// A drawable thing: a name and shared Transform, Geometry and Surface. draw() shades it with its own
// Surface; drawWith() feeds only the model matrix to a program the caller has made current (depth
// and shadow passes). Objects without a Surface are meant for drawWith only.
#pragma once

#include "models/Geometry.h"
#include "scene/Transform.h"

#include <glm/glm.hpp>

#include <memory>
#include <string>

class Shader;
class Surface;

class Object {
public:
    Object(std::shared_ptr<Geometry> geometry, std::shared_ptr<Surface> surface);
    Object(std::shared_ptr<Transform> transform, std::shared_ptr<Geometry> geometry,
           std::shared_ptr<Surface> surface);

    const std::string& getName() const { return name; }
    void setName(const std::string& value) { name = value; }
    const std::shared_ptr<Transform>& getTransform() const { return transform; }
    void setTransform(std::shared_ptr<Transform> value) { transform = std::move(value); }
    const std::shared_ptr<Geometry>& getGeometry() const { return geometry; }
    const std::shared_ptr<Surface>& getSurface() const { return surface; }

    void setPosition(const glm::vec3& position);
    void setScale(const glm::vec3& scale);

    // Surface uniforms with this object's model matrix, then the geometry. Without a Surface the
    // geometry is drawn with whatever program is current.
    void draw() const;
    // Sets "modelMatrix" on `shader` (which the caller has made current), then draws the geometry.
    void drawWith(const std::shared_ptr<Shader>& shader) const;

private:
    std::string name = "Unnamed Object";
    std::shared_ptr<Transform> transform;
    std::shared_ptr<Geometry> geometry;
    std::shared_ptr<Surface> surface;
};

#include "scene/Object.h"

#include "shaders/Shader.h"
#include "shaders/Surface.h"

Object::Object(std::shared_ptr<Geometry> geometry, std::shared_ptr<Surface> surface)
    : Object(std::make_shared<Transform>(), std::move(geometry), std::move(surface)) {}

Object::Object(std::shared_ptr<Transform> transform, std::shared_ptr<Geometry> geometry,
               std::shared_ptr<Surface> surface)
    : transform(transform ? std::move(transform) : std::make_shared<Transform>()),
      geometry(std::move(geometry)),
      surface(std::move(surface)) {}

void Object::setPosition(const glm::vec3& position) { transform->setTranslation(position); }

void Object::setScale(const glm::vec3& scale) { transform->setScale(scale); }

void Object::draw() const {
    if (surface) surface->setUniforms(transform->getModelMatrix());
    if (geometry) geometry->draw();
}

void Object::drawWith(const std::shared_ptr<Shader>& shader) const {
    if (shader) shader->setMat4("modelMatrix", transform->getModelMatrix());
    if (geometry) geometry->draw();
}

#include "scene/ScreenObjects.h"

#include "models/GeometryRegistry.h"

namespace {

std::shared_ptr<Object> createNamedObject(const char* modelFile, const char* name, std::shared_ptr<Surface> surface) {
    auto object = std::make_shared<Object>(loadObjGeometry(modelFile), std::move(surface));
    object->setName(name);
    return object;
}

}  // namespace

std::shared_ptr<Object> createGuiObject(std::shared_ptr<Surface> surface) {
    return createNamedObject("plane.obj", "GuiObject", std::move(surface));
}

std::shared_ptr<Object> createScreenObject(std::shared_ptr<Surface> surface) {
    return createNamedObject("screen.obj", "ScreenObject", std::move(surface));
}

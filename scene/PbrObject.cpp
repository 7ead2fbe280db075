#include "scene/PbrObject.h"

#include "scene/Object.h"
#include "shaders/Surface.h"
#include "textures/MaterialNames.h"
#include "textures/TextureLoader.h"

std::shared_ptr<Object> createPbrObject(std::shared_ptr<Geometry> geometry, std::shared_ptr<Transform> transform,
                                        const std::string& name, std::shared_ptr<Texture> environment) {
    const MaterialTextureNames files = materialTextureNames(name);
    // Load order as the texture cache first sees it: AoRoughMetal, Normal, Albedo.
    std::shared_ptr<Texture> aoRoughMetal = loadTexture(files.aoRoughMetal);
    std::shared_ptr<Texture> normal = loadTexture(files.normal);
    std::shared_ptr<Texture> albedo = loadTexture(files.albedo);
    auto object = std::make_shared<Object>(std::move(transform), std::move(geometry),
                                           createPbrSurface(albedo, normal, aoRoughMetal, std::move(environment)));
    object->setName(name);
    return object;
}

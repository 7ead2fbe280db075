#include "app/TitleScreens.h"

#include "render/LightBuffers.h"
#include "scene/DebugCamera.h"
#include "scene/ScreenObjects.h"
#include "shaders/ShaderRegistry.h"
#include "shaders/Surface.h"
#include "textures/TextureLoader.h"

#include <GL/glew.h>
#include <glm/glm.hpp>

namespace {

// The pictures are baked at 1800 x 900; one camera unit is one window pixel, so they keep their size
// on every window.
const glm::vec3 kImageSize(1800.0f, 900.0f, 1.0f);

}  // namespace

TitleScreens::TitleScreens() {
    camera = std::make_shared<DebugCamera>(false, false);
    shader = getShader(SIMPLE);
    showImage("intro.dds");
}

void TitleScreens::showImage(const char* textureName) {
    screen = createGuiObject(createSimpleSurface(loadTexture(textureName)));
    screen->setPosition(glm::vec3(0.0f));
    screen->setScale(kImageSize);
}

void TitleScreens::drawIntro() {
    setCameraUniforms(*shader, camera);
    // The picture lies over the cleared window whatever depth is left there; its alpha blends it
    // with the black behind.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    screen->draw();
    // The level's passes expect depth testing and no blending.
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
}

// Rebuilt on every credits frame; the texture itself comes from the cache.
void TitleScreens::drawCredits() {
    showImage("credits.dds");
    drawIntro();
}

// The intro and credits pictures: a textured unit plane scaled to 1800 x 900 pixels, centred in the
// window and blended over whatever is already there (the callers clear to black). Seen through an
// orthographic camera whose units are window pixels, so a window smaller than the picture shows its
// middle part; nothing is scaled to fit.
#pragma once

#include <memory>

class DebugCamera;
class Object;
class Shader;

class TitleScreens {
public:
    // Builds the orthographic camera from GlobalState's window size (and marks the debug camera
    // active), the SIMPLE program and the plane with "intro.dds".
    TitleScreens();

    // Draws the current picture onto the bound framebuffer; leaves depth testing on and blending off.
    void drawIntro();
    // Replaces the picture with "credits.dds" and draws it.
    void drawCredits();

    const std::shared_ptr<Object>& getScreen() const { return screen; }

private:
    void showImage(const char* textureName);

    std::shared_ptr<Object> screen;
    std::shared_ptr<Shader> shader;
    std::shared_ptr<DebugCamera> camera;
};

// The two flat objects every screen-space pass draws through: a unit plane for pictures and the
// full-window quad for post-processing. Both share their geometry through the geometry registry.
#pragma once

#include "scene/Object.h"

#include <memory>

class Surface;

// "plane.obj" (corners at +-0.5, facing +z), named "GuiObject".
std::shared_ptr<Object> createGuiObject(std::shared_ptr<Surface> surface);
// "screen.obj" (corners at +-1, covering the viewport with an identity transform), named "ScreenObject".
std::shared_ptr<Object> createScreenObject(std::shared_ptr<Surface> surface);

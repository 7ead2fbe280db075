// An OpenGL 4.3 core context with no window and no display server, on Mesa's surfaceless EGL
// platform (render node or software rasteriser), for the offline tools on machines without X. It has
// no default framebuffer: whatever would go to the window goes to an offscreen target instead.
#pragma once

#include <memory>
#include <string>

class SurfacelessContext {
public:
    // Creates the context and makes it current, or returns null with the reason in `why`.
    static std::unique_ptr<SurfacelessContext> create(std::string& why);
    ~SurfacelessContext();
    SurfacelessContext(const SurfacelessContext&) = delete;
    SurfacelessContext& operator=(const SurfacelessContext&) = delete;

private:
    SurfacelessContext(void* display, void* context) : display(display), context(context) {}
    void* display;
    void* context;
};

// An OpenGL 4.3 core context with no window and no display server, on Mesa's surfaceless EGL
// platform (render node or software rasteriser), for the offline tools on machines without X. Its
// framebuffer 0 is a pbuffer of the window's size and format, so the frame loop draws and reads back
// exactly as on the window.
#pragma once

#include <memory>
#include <string>

class SurfacelessContext {
public:
    // Creates the context with a width x height pbuffer of `samples` samples a pixel (0: single-sample)
    // and makes both current, or returns null with the reason in `why`.
    static std::unique_ptr<SurfacelessContext> create(int width, int height, int samples, std::string& why);
    ~SurfacelessContext();
    SurfacelessContext(const SurfacelessContext&) = delete;
    SurfacelessContext& operator=(const SurfacelessContext&) = delete;

private:
    SurfacelessContext(void* display, void* context) : display(display), context(context) {}
    void* display;
    void* context;
};

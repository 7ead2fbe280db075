#include "app/SurfacelessContext.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

#ifndef EGL_PLATFORM_SURFACELESS_MESA
#define EGL_PLATFORM_SURFACELESS_MESA 0x31DD
#endif

namespace {

std::string eglFailure(const char* step) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(eglGetError()));
    return std::string(step) + " failed (EGL error " + code + ")";
}

}  // namespace

std::unique_ptr<SurfacelessContext> SurfacelessContext::create(int width, int height, int samples, std::string& why) {
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        why = "EGL has no eglGetPlatformDisplayEXT (EGL_EXT_platform_base)";
        return nullptr;
    }
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        why = eglFailure("the surfaceless EGL platform (EGL_MESA_platform_surfaceless)");
        return nullptr;
    }
    if (!eglInitialize(display, nullptr, nullptr)) {
        why = eglFailure("eglInitialize");
        return nullptr;
    }
    // A pbuffer made like the offline tools' hidden window (8-bit colour, depth, stencil, `samples`)
    // stands in for it as framebuffer 0.
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8,
                                       EGL_DEPTH_SIZE, 24, EGL_STENCIL_SIZE, 8, EGL_SAMPLES, samples, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglBindAPI(EGL_OPENGL_API) || !eglChooseConfig(display, configAttributes, &config, 1, &configs) ||
        configs < 1) {
        why = eglFailure("choosing an OpenGL config");
        eglTerminate(display);
        return nullptr;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface == EGL_NO_SURFACE) {
        why = eglFailure("creating a pbuffer");
        eglTerminate(display);
        return nullptr;
    }
    // The window's context: 4.3 core with debug output.
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION,       4,
                                        EGL_CONTEXT_MINOR_VERSION,       3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_CONTEXT_OPENGL_DEBUG,        EGL_TRUE,
                                        EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        why = eglFailure("creating an OpenGL 4.3 core context");
        eglTerminate(display);
        return nullptr;
    }
    if (!eglMakeCurrent(display, surface, surface, context)) {
        why = eglFailure("making the context current without a surface (EGL_KHR_surfaceless_context)");
        eglDestroyContext(display, context);
        eglTerminate(display);
        return nullptr;
    }
    return std::unique_ptr<SurfacelessContext>(new SurfacelessContext(display, context));
}

SurfacelessContext::~SurfacelessContext() {
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    eglTerminate(display);
}

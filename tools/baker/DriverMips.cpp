#include "tools/baker/DriverMips.h"

#include "tools/baker/DdsWriter.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>

#include <cstdio>

#ifndef EGL_PLATFORM_SURFACELESS_MESA
#define EGL_PLATFORM_SURFACELESS_MESA 0x31DD
#endif

namespace {

// S3TC names (EXT_texture_compression_s3tc), as the demo uploads them.
constexpr GLenum kDxt1 = 0x83F1;  // GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
constexpr GLenum kDxt5 = 0x83F3;  // GL_COMPRESSED_RGBA_S3TC_DXT5_EXT

struct Gl {
    PFNGLGENTEXTURESPROC genTextures = nullptr;
    PFNGLDELETETEXTURESPROC deleteTextures = nullptr;
    PFNGLBINDTEXTUREPROC bindTexture = nullptr;
    PFNGLCOMPRESSEDTEXIMAGE2DPROC compressedTexImage2D = nullptr;
    PFNGLGENERATEMIPMAPPROC generateMipmap = nullptr;
    PFNGLGETTEXLEVELPARAMETERIVPROC getTexLevelParameteriv = nullptr;
    PFNGLGETCOMPRESSEDTEXIMAGEPROC getCompressedTexImage = nullptr;
    PFNGLGETERRORPROC getError = nullptr;
    bool ready = false;
};

template <typename F>
void load(F& function, const char* name) {
    function = reinterpret_cast<F>(eglGetProcAddress(name));
}

// One headless context for the whole bake, made on first use; `ready` false when there is none.
const Gl& context() {
    static Gl gl;
    static bool tried = false;
    if (tried) return gl;
    tried = true;
    const auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return gl;
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) return gl;
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglBindAPI(EGL_OPENGL_API) || !eglChooseConfig(display, configAttributes, &config, 1, &configs) ||
        configs < 1)
        return gl;
    // The demo's context: 4.3 core.
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 4, EGL_CONTEXT_MINOR_VERSION, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                        EGL_NONE};
    EGLContext glContext = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (glContext == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, glContext)) return gl;
    load(gl.genTextures, "glGenTextures");
    load(gl.deleteTextures, "glDeleteTextures");
    load(gl.bindTexture, "glBindTexture");
    load(gl.compressedTexImage2D, "glCompressedTexImage2D");
    load(gl.generateMipmap, "glGenerateMipmap");
    load(gl.getTexLevelParameteriv, "glGetTexLevelParameteriv");
    load(gl.getCompressedTexImage, "glGetCompressedTexImage");
    load(gl.getError, "glGetError");
    gl.ready = gl.genTextures && gl.deleteTextures && gl.bindTexture && gl.compressedTexImage2D && gl.generateMipmap &&
               gl.getTexLevelParameteriv && gl.getCompressedTexImage && gl.getError;
    return gl;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> driverMipChain(int width, int height, const std::vector<std::uint8_t>& top,
                                                      DdsFormat format) {
    std::vector<std::vector<std::uint8_t>> levels;
    const Gl& gl = context();
    if (!gl.ready || width <= 0 || height <= 0) return levels;
    while (gl.getError() != GL_NO_ERROR) {
    }

    GLuint texture = 0;
    gl.genTextures(1, &texture);
    gl.bindTexture(GL_TEXTURE_2D, texture);
    gl.compressedTexImage2D(GL_TEXTURE_2D, 0, format == DdsFormat::DXT1 ? kDxt1 : kDxt5, width, height, 0,
                            static_cast<GLsizei>(top.size()), top.data());
    gl.generateMipmap(GL_TEXTURE_2D);
    for (int level = 1, w = width, h = height; w > 1 || h > 1; ++level) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        GLint bytes = 0;
        gl.getTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &bytes);
        if (bytes <= 0) break;
        std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes));
        gl.getCompressedTexImage(GL_TEXTURE_2D, level, data.data());
        levels.push_back(std::move(data));
    }
    const bool failed = gl.getError() != GL_NO_ERROR;
    gl.bindTexture(GL_TEXTURE_2D, 0);
    gl.deleteTextures(1, &texture);
    if (failed) {
        std::printf("ERROR: The GL driver did not build the mip chain of a %d x %d DXT image\n", width, height);
        levels.clear();
    }
    return levels;
}

// bake-lighting: the baker's GL step. Computes the sky's image-based-lighting set and skybox cube on
// a headless EGL context of this machine's driver and keeps them in <dir> (the build puts them in
// assets/lighting/), where a start on the same driver finds them under the key it computes itself,
// so even a first start skips the passes. A start on another driver computes its own as before.
// Run from the repository root, after the baker wrote assets/textures/. Exits 1 after an ERROR line.
#include "app/GlobalState.h"
#include "app/SurfacelessContext.h"
#include "render/ImageBasedLighting.h"
#include "render/Skybox.h"

#include <GL/glew.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

void printUsage() {
    std::printf(
        "Usage: bake-lighting <dir>\n"
        "Computes the image-based-lighting set and the skybox cube of assets/textures/%s on this\n"
        "machine's GL driver (headless EGL) and keeps them in <dir> under the key a start computes.\n"
        "An entry that is already there and whole is kept; entries of older keys are removed.\n"
        "Run from the repository root.\n"
        "  --help  this text\n",
        kSkyPanorama);
}

const char* glText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : "?";
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            printUsage();
            return 0;
        }
        if (argv[i][0] == '-' || !dir.empty()) {
            std::printf("ERROR: Unknown argument '%s'\n", argv[i]);
            printUsage();
            return 1;
        }
        dir = argv[i];
    }
    if (dir.empty()) {
        printUsage();
        return 1;
    }

    const auto start = std::chrono::steady_clock::now();
    // The passes set the viewport back to the window's size when they end; there is none here.
    GlobalState& state = GlobalState::instance();
    state.width = 64;
    state.height = 64;
    std::string why;
    const std::unique_ptr<SurfacelessContext> context = SurfacelessContext::create(state.width, state.height, 0, why);
    if (!context) {
        std::printf("ERROR: Lighting set not baked: no headless OpenGL context: %s\n", why.c_str());
        return 1;
    }
    glewExperimental = GL_TRUE;
    // Debian's GLEW is built for GLX: without a GLX display it loads every entry point and then fails
    // only its GLX part, which this context does not use.
    const GLenum glew = glewInit();
    if (glew != GLEW_OK && glew != GLEW_ERROR_NO_GLX_DISPLAY) {
        std::printf("ERROR: Lighting set not baked: GLEW could not load the GL functions\n");
        return 1;
    }
    glGetError();  // GLEW's probing leaves GL_INVALID_ENUM behind on core profiles
    std::printf("Lighting set for %s / %s / %s\n", glText(GL_VENDOR), glText(GL_RENDERER), glText(GL_VERSION));
    std::fflush(stdout);

    const bool baked = bakeEnvironmentAndSkybox(dir, kSkyPanorama);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("lighting set %s in %.2f s\n", baked ? "done" : "failed", seconds);
    return baked ? 0 : 1;
}

#include "app/Demo.h"

#include "app/Console.h"
#include "app/DebugOutput.h"
#include "app/DriverShaderCache.h"
#include "app/Framework.h"
#include "app/Input.h"
#include "scene/Object.h"
#include "shaders/Surface.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>

namespace {

constexpr const char* kAssetsFolder = "assets";

// Start-up ends here with exit code 1, handed back through Demo::start.
int errorExit(const std::string& message) {
    reportFatal(message);
    return 1;
}

// Everything is read relative to the working directory; without the assets folder every later step
// would fail on its own, with messages about shaders rather than the folder.
std::optional<std::string> refuseAssetsFolder() {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(kAssetsFolder, error);
    if (std::filesystem::is_directory(status)) return std::nullopt;
    const std::string reason = error                              ? error.message()
                               : std::filesystem::exists(status) ? "not a folder"
                                                                 : "not found";
    std::error_code ignored;
    return "Failed to find the assets folder '" + std::filesystem::absolute(kAssetsFolder, ignored).string() +
           "': " + reason + " (start the demo from the repository root)";
}

}  // namespace

// The offline tools' framebuffer 0 is single-sample unless asked: only the full-screen composite and
// titles reach it, which give the same pixels either way, and four samples a pixel cost them memory
// and a resolve on every read-back.
int Demo::framebufferSamples() const { return (hidden || surfaceless) && !demoWindowSamples ? 0 : 4; }

int Demo::createWindow(const GlobalState& state) {
    if (!glfwInit()) return errorExit("Failed to init GLFW");

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
    glfwWindowHint(GLFW_REFRESH_RATE, state.refreshRate);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    glfwWindowHint(GLFW_SAMPLES, framebufferSamples());
    if (hidden) glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);

    // GLFW ignores the hidden hint for full-screen windows: a hidden one is never full-screen, or the
    // offline tools would take over the monitor.
    GLFWmonitor* monitor = settings.fullscreen && !hidden ? glfwGetPrimaryMonitor() : nullptr;
    window = glfwCreateWindow(state.width, state.height, settings.title.c_str(), monitor, nullptr);
    if (!window) {
        const char* description = nullptr;
        glfwGetError(&description);
        return errorExit(description ? std::string("Failed to create window: ") + description
                                     : std::string("Failed to create window"));
    }
    glfwMakeContextCurrent(window);
    glfwSwapInterval(settings.swapInterval());
    return 0;
}

int Demo::start() {
    if (auto why = refuseAssetsFolder()) return errorExit(*why);
    settings = loadSettings();
    GlobalState& state = GlobalState::instance();
    long width = settings.width;
    long height = settings.height;
    if (sizeOverride[0] > 0 && sizeOverride[1] > 0) {
        width = sizeOverride[0];
        height = sizeOverride[1];
    }
    // Checked before narrowing into GlobalState, so the message names the value as written.
    if (auto why = refuseWindowSize(width, height)) return errorExit("Failed to create window: " + *why);
    state.width = static_cast<std::int32_t>(width);
    state.height = static_cast<std::int32_t>(height);

    // The driver reads where its shader cache lives when the context is made.
    useBuiltShaderCache();
    if (surfaceless) {
        std::string why;
        offscreenContext = SurfacelessContext::create(state.width, state.height, framebufferSamples(), why);
        if (!offscreenContext) return errorExit("Failed to create a surfaceless OpenGL context: " + why);
    } else if (const int code = createWindow(state)) {
        return code;
    }

    glewExperimental = GL_TRUE;
    // Debian's GLEW is built for GLX: with no X display current it loads every OpenGL entry point and
    // then fails only its GLX part, which a context without a window does not use.
    const GLenum glew = glewInit();
    if (glew != GLEW_OK && !(surfaceless && glew == GLEW_ERROR_NO_GLX_DISPLAY))
        return errorExit("Failed to init GLEW");
    glGetError();  // GLEW's probing leaves GL_INVALID_ENUM behind on core profiles

    GLint maxTextureSize = 0;
    GLint maxRenderbufferSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbufferSize);
    if (auto why = refuseRenderTargetSize(state.width, state.height, maxTextureSize, maxRenderbufferSize))
        return errorExit("Failed to create window: " + *why);

    // Drivers without debug output simply give none.
    if (glDebugMessageCallback) {
        glDebugMessageCallback(debugMessageCallback, nullptr);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    }

    if (!initFramework()) return errorExit("Failed to init framework");

    if (window) {
        glfwSetKeyCallback(window, keyCallback);
        glfwSetScrollCallback(window, scrollCallback);
        glfwSetCursorPosCallback(window, cursorPosCallback);
        glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_DISABLED);
        glfwSetInputMode(window, GLFW_STICKY_KEYS, GLFW_TRUE);
    }

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_MULTISAMPLE);
    // Filtering across cube faces: the small prefiltered levels would otherwise show their seams.
    glEnable(GL_TEXTURE_CUBE_MAP_SEAMLESS);

    targets = createRenderTargets(state.width, state.height);
    post = createPostProcessing();
    level = Level();
    screens = std::make_unique<TitleScreens>();
    audio = std::make_unique<AudioPlayer>();
    return 0;
}

void Demo::run(Clock& clock) {
    FrameLoop loop(window, targets, post, level, screens.get(), audio.get(), clock, gameFlow());
    loop.run(FramePacer{settings.swapInterval(), GlobalState::instance().refreshRate});
}

int Demo::shutdown() {
    audio->release();
    screens.reset();
    level = Level();
    post.compositeScreen.reset();
    post.compositeSurface.reset();
    post.blurScreen.reset();
    post.blurSurface.reset();
    releaseFramework();
    offscreenContext.reset();
    glfwTerminate();
    return 0;
}

int runDemo() {
    Demo demo;
    if (const int code = demo.start()) return code;
    GlfwClock clock;
    demo.run(clock);
    return demo.shutdown();
}

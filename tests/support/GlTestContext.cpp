#include "tests/support/GlTestContext.h"

#include "app/DebugOutput.h"
#include "render/ImageBasedLighting.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace gltest {
namespace {

GLFWwindow* gWindow = nullptr;

// Ends the test program at once. A failed assertion in the environment would have GoogleTest skip
// every test, and ctest counts skipped tests as no failure: a run without a context would pass.
[[noreturn]] void failWithoutContext(const char* why) {
    std::fprintf(stderr, "ERROR: the GL tests cannot run: %s\n", why);
    std::exit(1);
}

class GlEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!glfwInit()) failWithoutContext("GLFW could not start (is DISPLAY set, Xvfb running?)");
        glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
        glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
        glfwWindowHint(GLFW_OPENGL_DEBUG_CONTEXT, GLFW_TRUE);
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        gWindow = glfwCreateWindow(256, 256, "verdance-gl-tests", nullptr, nullptr);
        if (!gWindow) failWithoutContext("no OpenGL 4.3 core context");
        glfwMakeContextCurrent(gWindow);
        glewExperimental = GL_TRUE;
        if (glewInit() != GLEW_OK) failWithoutContext("GLEW could not load the GL functions");
        glGetError();  // GLEW's probing leaves GL_INVALID_ENUM behind on core profiles
        // As in the demo: every driver message is printed, so a test's log shows GL errors.
        glDebugMessageCallback(debugMessageCallback, nullptr);
        glEnable(GL_DEBUG_OUTPUT_SYNCHRONOUS);
    }
    void TearDown() override {
        if (gWindow) glfwDestroyWindow(gWindow);
        glfwTerminate();
    }
};

}  // namespace

GLFWwindow* window() { return gWindow; }

std::vector<std::uint8_t> readPixelsRgba(int x, int y, int width, int height) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<float> readPixelsRgbaFloat(int x, int y, int width, int height) {
    std::vector<float> pixels(static_cast<std::size_t>(width) * height * 4);
    glReadPixels(x, y, width, height, GL_RGBA, GL_FLOAT, pixels.data());
    return pixels;
}

std::string outputDir() {
    // A second pass on another driver points this elsewhere, so each driver's pictures stay apart.
    const char* chosen = std::getenv("VERDANCE_TEST_OUTPUT_DIR");
    const std::string dir = chosen && *chosen ? chosen : VERDANCE_TEST_OUTPUT_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

std::string savePng(const std::string& fileName, int width, int height, const std::vector<std::uint8_t>& rgba) {
    const std::string path = outputDir() + "/" + fileName;
    stbi_flip_vertically_on_write(1);
    stbi_write_png(path.c_str(), width, height, 4, rgba.data(), width * 4);
    stbi_flip_vertically_on_write(0);
    return path;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& dir)
    : previous(std::filesystem::current_path().string()) {
    std::filesystem::current_path(dir);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() { std::filesystem::current_path(previous); }

ScratchDir::ScratchDir(const std::string& name)
    : path(std::filesystem::path(testing::TempDir()) / ("verdance-" + name + "-" + std::to_string(getpid()))) {
    forgetLoadedEnvironments();
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path / "assets/textures");
    std::filesystem::copy(std::filesystem::path(VERDANCE_SOURCE_DIR) / "assets/shader", path / "assets/shader",
                          std::filesystem::copy_options::recursive);
}

ScratchDir::~ScratchDir() {
    forgetLoadedEnvironments();
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace gltest

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Every test computes its lighting unless it points the cache at a folder of its own; the tools
    // the tests start inherit this too. A test pass on a driver the build did not bake the lighting
    // for may name one folder for all its tests (VERDANCE_TEST_LIGHTING_CACHE): each start of the
    // real sky then restores what the pass's first one computed, as a user's second start does.
    const char* shared = std::getenv("VERDANCE_TEST_LIGHTING_CACHE");
    setenv("VERDANCE_CACHE_DIR", shared && *shared ? shared : "off", 1);
    ::testing::AddGlobalTestEnvironment(new gltest::GlEnvironment);
    testsupport::checkGlobalStateAfterEveryTest();
    return RUN_ALL_TESTS();
}

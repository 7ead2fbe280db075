// One hidden OpenGL 4.3 core window for the whole GL test binary (Mesa llvmpipe on Xvfb in CI).
// Without a context every GL test fails: they never skip silently.
#pragma once

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gltest {

GLFWwindow* window();

// Reads back a rectangle of the currently bound read framebuffer as RGBA8 (row 0 at the bottom).
std::vector<std::uint8_t> readPixelsRgba(int x, int y, int width, int height);
// Reads back an RGBA float rectangle.
std::vector<float> readPixelsRgbaFloat(int x, int y, int width, int height);

// Writes RGBA8 pixels (row 0 at the bottom, as GL returns them) as a PNG under the test output folder;
// returns the full path.
std::string savePng(const std::string& fileName, int width, int height, const std::vector<std::uint8_t>& rgba);

// Folder where GL tests leave pictures for people to open: $VERDANCE_TEST_OUTPUT_DIR, else build/test-output.
std::string outputDir();

// Runs `body` with the working directory set to `dir`, restoring the previous one afterwards.
class ScopedWorkingDirectory {
public:
    explicit ScopedWorkingDirectory(const std::string& dir);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

private:
    std::string previous;
};

// A scratch folder with assets/textures/ and a copy of the shader files, since the loaders and the
// shader registry read fixed relative paths. Named after the process (other build folders may run the
// same tests at the same time) and removed at the end of the test. The texture caches are emptied when
// it is made and when it goes: they key by name alone, so an earlier test's "skybox2.hdr" would stand
// in for this folder's, and this folder's for the real one in later tests.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path path;
};

}  // namespace gltest

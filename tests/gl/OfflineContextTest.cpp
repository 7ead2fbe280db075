// The offline tools draw the same bytes on every context they may get: the hidden window (a display is
// set), the surfaceless EGL context (no display: farm machines, CI without Xvfb), and the hidden window
// of a settings file that asks for full screen, which must neither take over the monitor nor change the
// frame; and framebuffer 0 multisampled like the demo's window on either. capture runs as a user runs it, small and short, in a folder whose assets/ are the baked ones.
#include "tests/support/GlTestContext.h"
#include "tests/support/RunProcess.h"
#include "tests/support/ToolFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

ProcessResult run(const std::string& command) { return runProcess(command); }

// A folder whose assets/ holds links to the baked folders and a settings file of its own.
class AssetsWithSettings {
public:
    explicit AssetsWithSettings(const std::string& settings)
        : path(fs::path(gltest::outputDir()) / ("offline-context-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path / "assets");
        for (const char* folder : {"media", "models", "scene", "shader", "textures"})
            fs::create_directory_symlink(fs::path(VERDANCE_SOURCE_DIR) / "assets" / folder, path / "assets" / folder);
        std::ofstream(path / "assets/settings.ini") << settings;
    }
    ~AssetsWithSettings() { fs::remove_all(path); }

    const fs::path path;
};

TEST(OfflineContext, FramesAreTheSameBytesWithAndWithoutADisplayAndWithFullScreenSettings) {
    ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "the GL tests run with a display (Xvfb)";
    const AssetsWithSettings plain("[window]\nwidth = 96\nheight = 96\n");
    const AssetsWithSettings fullScreen("[window]\nfullscreen = true\nwidth = 96\nheight = 96\n");
    // Play time 1 s at 2 frames a second (the intro is only simulated), and a credits frame.
    const std::string capture = gltest::captureCommand("--fps 2 --out frames 1 166");
    const std::string frames[] = {"frame_001.00.png", "frame_166.00.png"};

    const struct {
        const char* name;
        const fs::path& dir;
        const char* environment;
        const char* options;
    } runs[] = {
        {"hidden window", plain.path, "", ""},
        {"surfaceless, no DISPLAY", plain.path, "env -u DISPLAY ", ""},
        {"surfaceless, empty DISPLAY", plain.path, "env DISPLAY= ", ""},
        {"hidden window, full-screen settings", fullScreen.path, "", ""},
        {"hidden window multisampled like the demo's", plain.path, "", " --window-samples 4"},
        {"surfaceless, multisampled like the demo's window", plain.path, "env -u DISPLAY ", " --window-samples 4"},
    };
    std::vector<std::vector<std::uint8_t>> reference;
    for (const auto& r : runs) {
        SCOPED_TRACE(r.name);
        fs::remove_all(r.dir / "frames");
        // One lighting cache for the runs: the first computes it, the others reuse it.
        const ProcessResult result = run("cd '" + r.dir.string() + "' && VERDANCE_CACHE_DIR='" +
                                         (plain.path / "cache").string() + "' " + r.environment + capture + r.options);
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_EQ(result.output.find("ERROR"), std::string::npos) << result.output;
        for (std::size_t i = 0; i < std::size(frames); ++i) {
            const std::vector<std::uint8_t> bytes = gltest::readBytes(r.dir / "frames" / frames[i]);
            ASSERT_FALSE(bytes.empty()) << frames[i] << "\n" << result.output;
            if (reference.size() <= i) {
                reference.push_back(bytes);
                fs::copy_file(r.dir / "frames" / frames[i], fs::path(gltest::outputDir()) / ("offline-" + frames[i]),
                              fs::copy_options::overwrite_existing);
            } else {
                EXPECT_TRUE(bytes == reference[i]) << frames[i] << " differs from the hidden window's";
            }
        }
    }
}

}  // namespace

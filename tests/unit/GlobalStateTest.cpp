#include "app/GlobalState.h"
#include "tests/support/GlobalStateGuard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

struct SettingsCase {
    const char* name;
    std::optional<std::string> file;  // nullopt: no settings file at all
    bool fullscreen;
    int width, height, refreshRate;
    float fov, farPlane;
    int swapInterval;
    std::string message;  // expected on standard output ("" = nothing)
    std::string title = "Verdance";
    bool fileIsAFolder = false;
};

// A title line `length` characters long whose last nine are "width=640": inih reads 199 of a line and
// takes the rest for a line of its own, which here would set the width.
std::string titleLineEndingInAWidth(std::size_t length) {
    return "title = " + std::string(length - 8 - 9, 'x') + "width=640";
}

const std::string kMalformedLine =
    "': not a [section], a name = value pair or a comment (the first such line)\n";

const SettingsCase kSettingsCases[] = {
    {"missing file", std::nullopt, false, 800, 800, 60, 60.0f, 300.0f, 1,
     "ERROR: Failed to load 'assets/settings.ini'. Using default values instead.\n"},
    {"a folder where the file should be", std::nullopt, false, 800, 800, 60, 60.0f, 300.0f, 1,
     "ERROR: Failed to load 'assets/settings.ini': Is a directory. Using default values instead.\n", "Verdance",
     true},
    {"sections and keys ignore case, yes is true", "[Window]\nFullScreen = Yes\n", true, 800, 800, 60, 60.0f,
     300.0f, 1, ""},
    {"hexadecimal width", "[window]\nwidth = 0x400\n", false, 1024, 800, 60, 60.0f, 300.0f, 1, ""},
    {"inline comment after a blank", "[window]\nwidth = 640 ; small\n", false, 640, 800, 60, 60.0f, 300.0f, 1, ""},
    {"number read up to its first non-digit", "[window]\nheight = 480;tall\n", false, 800, 480, 60, 60.0f,
     300.0f, 1, ""},
    {"far plane is not configurable", "[camera]\nfar = 1000\n", false, 800, 800, 60, 60.0f, 300.0f, 1, ""},
    {"fov that is not a number", "[camera]\nfov = abc\n", false, 800, 800, 60, 60.0f, 300.0f, 1, ""},
    {"v_sync 0", "[window]\nv_sync = 0\n", false, 800, 800, 60, 60.0f, 300.0f, 0, ""},
    {"v_sync 2 and refresh 75", "[window]\nv_sync = 2\nrefresh_rate = 75\n", false, 800, 800, 75, 60.0f, 300.0f,
     2, ""},
    {"malformed line is named and keeps the others", "[window]\nthis line is broken\nwidth = 320\n", false, 320,
     800, 60, 60.0f, 300.0f, 1, "ERROR: Ignored line 2 in 'assets/settings.ini" + kMalformedLine},
    {"only the first malformed line has a number", "[window]\nwidth = 320\n[camera\nbroken\n", false, 320, 800, 60,
     60.0f, 300.0f, 1, "ERROR: Ignored line 3 in 'assets/settings.ini" + kMalformedLine},
    {"208-character line sets nothing", "[window]\n" + titleLineEndingInAWidth(208) + "\nheight = 480\n", false,
     800, 480, 60, 60.0f, 300.0f, 1,
     "ERROR: Ignored line 2 in 'assets/settings.ini': 208 characters, more than the 199 the reader takes\n"},
    {"199 characters are read whole", "[window]\n" + titleLineEndingInAWidth(199) + "\r\n", false, 800, 800, 60,
     60.0f, 300.0f, 1, "", std::string(191 - 9, 'x') + "width=640"},
    {"200 characters before CR LF are too many", "[window]\n" + titleLineEndingInAWidth(200) + "\r\n", false, 800,
     800, 60, 60.0f, 300.0f, 1,
     "ERROR: Ignored line 2 in 'assets/settings.ini': 200 characters, more than the 199 the reader takes\n"},
    {"the last line without a line end", "[window]\nwidth = 320\n" + titleLineEndingInAWidth(230), false, 320, 800,
     60, 60.0f, 300.0f, 1,
     "ERROR: Ignored line 3 in 'assets/settings.ini': 230 characters, more than the 199 the reader takes\n"},
    {"a NUL byte does not end the file", std::string("[window]\nwidth = 640\0junk\nheight = 480\n", 39), false, 800,
     480, 60, 60.0f, 300.0f, 1, "ERROR: Ignored line 2 in 'assets/settings.ini': it holds a NUL byte\n"},
    {"several refused lines and a malformed one: one line each",
     "[window]\n" + std::string(300, ';') + "\nbroken\n" + std::string(250, ';') + "\nheight = 480\n", false, 800,
     480, 60, 60.0f, 300.0f, 1,
     "ERROR: Ignored line 2 in 'assets/settings.ini': 300 characters, more than the 199 the reader takes (and 1 "
     "more line)\nERROR: Ignored line 3 in 'assets/settings.ini" + kMalformedLine},
};

// Runs in a scratch working directory so that the real relative path "assets/settings.ini" is read.
TEST(LoadSettings, ReadsEveryKeyWithItsDefault) {
    const testsupport::GlobalStateGuard restore;
    const auto previous = std::filesystem::current_path();
    // Named after the process: two test runs at once must not share it.
    const auto dir = std::filesystem::temp_directory_path() / ("verdance-settings-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "assets");
    std::filesystem::current_path(dir);
    for (const SettingsCase& c : kSettingsCases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all("assets/settings.ini");
        if (c.file) std::ofstream("assets/settings.ini", std::ios::binary) << *c.file;
        if (c.fileIsAFolder) std::filesystem::create_directory("assets/settings.ini");

        GlobalState::instance().farPlane = 12.0f;
        testing::internal::CaptureStdout();
        const Settings settings = loadSettings();
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);

        const GlobalState& state = GlobalState::instance();
        EXPECT_EQ(settings.fullscreen, c.fullscreen);
        EXPECT_EQ(settings.title, c.title);
        EXPECT_EQ(state.width, c.width);
        EXPECT_EQ(state.height, c.height);
        EXPECT_EQ(state.refreshRate, c.refreshRate);
        EXPECT_FLOAT_EQ(state.fov, c.fov);
        EXPECT_EQ(state.nearPlane, 0.1f);
        EXPECT_FLOAT_EQ(state.mouseSensitivity, 1.0f);
        EXPECT_EQ(state.farPlane, c.farPlane);
        EXPECT_EQ(settings.swapInterval(), c.swapInterval);
    }
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
}

TEST(GlobalState, BrightnessHasNoBoundsAndWireframeToggles) {
    const testsupport::GlobalStateGuard restore;
    GlobalState& state = GlobalState::instance();
    state.brightness = 0.0f;
    for (int i = 0; i < 10; ++i) state.addBrightness(-0.02f);
    EXPECT_NEAR(state.brightness, -0.2f, 1e-6f);
    EXPECT_NEAR(state.addBrightness(0.02f), -0.18f, 1e-6f);

    const bool before = state.wireframe;
    state.toggleWireframe();
    EXPECT_NE(state.wireframe, before);
    state.toggleWireframe();
    EXPECT_EQ(state.wireframe, before);
    EXPECT_EQ(state.shadowMapSize, 2048);
}

}  // namespace

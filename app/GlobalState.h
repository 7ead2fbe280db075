// The one process-wide record of settings and per-frame values, and the settings file reader.
// Settings come only from "assets/settings.ini"; a missing file gives the defaults, never an exit.
// A line the reader cannot take whole (too long, or holding a NUL byte) is refused and sets nothing,
// and the first malformed line is named: one ERROR line each, the other lines still count.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class INIReader;

// Degrees into radians, the one factor every angle conversion uses.
inline constexpr float kDegreesToRadians = 0.017453292f;

struct GlobalState {
    std::int32_t width = 0;          // window and full-screen render targets, pixels
    std::int32_t height = 0;
    std::int32_t refreshRate = 0;    // window hint only
    float fov = 0.0f;                // vertical field of view, degrees (the settings' unit), whoever sets it
    float nearPlane = 0.0f;
    float farPlane = 300.0f;
    float brightness = 0.0f;
    float zoom = 1.0f;
    float mouseSensitivity = 0.5f;
    double mouseX = 0.0;
    double mouseY = 0.0;
    bool wireframe = false;
    bool debugCameraActive = false;
    std::int32_t shadowMapSize = 2048;
    float deltaTime = 0.0f;
    float time = 0.0f;

    static GlobalState& instance();

    // Field by field; the tests check with it that each leaves the record as it found it.
    bool operator==(const GlobalState&) const = default;

    float addBrightness(float step);
    void toggleWireframe();
};

// What the settings file decides outside GlobalState. The reader stays alive because the swap
// interval can only be applied once the OpenGL context exists.
struct Settings {
    bool fullscreen = false;
    std::string title;
    // The window size as the file gives it, before it is narrowed into GlobalState, so that start-up
    // can name a value no window can have.
    long width = 0;
    long height = 0;
    std::shared_ptr<INIReader> reader;

    int swapInterval() const;
};

inline constexpr const char* kSettingsPath = "assets/settings.ini";

// The longest line, without its line end, that inih reads whole: its line buffer holds INI_MAX_LINE
// bytes with the terminating NUL, and it parses the rest of a longer line as a line of its own.
int longestSettingsLine();

// Reads the settings file into GlobalState::instance(). The far plane is set to 300 here (a far key
// in the file has no effect); the level's camera replaces it when the level loads.
Settings loadSettings(const std::string& path = kSettingsPath);
// The same from the file's text; `path` only names the file in the messages.
Settings parseSettings(std::string_view text, const std::string& path);
// The same from a reader already made (a file that could not be opened has a negative ParseError).
Settings applySettings(std::shared_ptr<INIReader> reader, const std::string& path);

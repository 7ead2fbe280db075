// The one process-wide record of settings and per-frame values, and the settings file reader.
// Settings come only from "assets/settings.ini"; a missing file gives the defaults, never an exit.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class INIReader;

struct GlobalState {
    std::int32_t width = 0;          // window and full-screen render targets, pixels
    std::int32_t height = 0;
    std::int32_t refreshRate = 0;    // window hint only
    float fov = 0.0f;                // degrees from the settings; radians once the level camera exists
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
    std::shared_ptr<INIReader> reader;

    int swapInterval() const;
};

inline constexpr const char* kSettingsPath = "assets/settings.ini";

// Reads the settings file into GlobalState::instance(). The far plane is fixed at 300: a far key
// in the file has no effect.
Settings loadSettings(const std::string& path = kSettingsPath);
// The same from a reader already made (a file that could not be opened has a negative ParseError);
// `path` only names the file in the message.
Settings applySettings(std::shared_ptr<INIReader> reader, const std::string& path);

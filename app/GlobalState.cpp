#include "app/GlobalState.h"

#include <INIReader.h>

#include <iostream>
#include <utility>

GlobalState& GlobalState::instance() {
    static GlobalState state;
    return state;
}

float GlobalState::addBrightness(float step) {
    brightness += step;
    return brightness;
}

void GlobalState::toggleWireframe() { wireframe = !wireframe; }

int Settings::swapInterval() const {
    return reader ? static_cast<int>(reader->GetInteger("window", "v_sync", 1)) : 1;
}

Settings loadSettings(const std::string& path) { return applySettings(std::make_shared<INIReader>(path), path); }

Settings applySettings(std::shared_ptr<INIReader> reader, const std::string& path) {
    Settings settings;
    settings.reader = std::move(reader);
    const INIReader& ini = *settings.reader;
    if (ini.ParseError() < 0) {
        std::cout << "ERROR: Failed to load '" << path << "'. Using default values instead." << std::endl;
    }

    GlobalState& state = GlobalState::instance();
    settings.fullscreen = ini.GetBoolean("window", "fullscreen", false);
    settings.title = ini.Get("window", "title", "Verdance");
    state.width = static_cast<std::int32_t>(ini.GetInteger("window", "width", 800));
    state.height = static_cast<std::int32_t>(ini.GetInteger("window", "height", 800));
    state.refreshRate = static_cast<std::int32_t>(ini.GetInteger("window", "refresh_rate", 60));
    state.fov = static_cast<float>(ini.GetReal("camera", "fov", 60.0));
    state.nearPlane = static_cast<float>(ini.GetReal("camera", "near", 0.1f));
    state.mouseSensitivity = static_cast<float>(ini.GetReal("camera", "mouse_sensitivity", 1.0));
    state.farPlane = 300.0f;
    return settings;
}

#include "app/GlobalState.h"

#include <INIReader.h>
#include <ini.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <utility>

namespace {

// The whole file, or the system's reason why it cannot be read.
bool readSettingsFile(const std::string& path, std::string& text, int& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        error = errno;
        return false;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
    error = std::ferror(file) ? errno : 0;
    std::fclose(file);  // read only: nothing to lose on close
    return error == 0;
}

// The text with every line the reader cannot take whole emptied (its number kept, so later lines keep
// theirs): inih would parse the rest of an overlong line as a line of its own, and stops the whole
// text at a NUL byte. One ERROR line names the first such line.
std::string withoutUnreadableLines(std::string_view text, const std::string& path) {
    std::string kept;
    kept.reserve(text.size());
    int refused = 0;
    int firstLine = 0;
    std::string firstReason;
    int lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        ++lineNumber;
        const std::size_t newline = text.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline + 1;
        std::string_view line = text.substr(start, end - start);
        start = end;

        std::string_view content = line;
        if (!content.empty() && content.back() == '\n') content.remove_suffix(1);
        if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
        std::string reason;
        if (content.find('\0') != std::string_view::npos)
            reason = "it holds a NUL byte";
        else if (content.size() > static_cast<std::size_t>(longestSettingsLine()))
            reason = std::to_string(content.size()) + " characters, more than the " +
                     std::to_string(longestSettingsLine()) + " the reader takes";
        if (reason.empty()) {
            kept += line;
            continue;
        }
        if (refused++ == 0) {
            firstLine = lineNumber;
            firstReason = reason;
        }
        kept += '\n';
    }
    if (refused > 0) {
        std::cout << "ERROR: Ignored line " << firstLine << " in '" << path << "': " << firstReason;
        if (refused > 1) std::cout << " (and " << refused - 1 << (refused == 2 ? " more line)" : " more lines)");
        std::cout << std::endl;
    }
    return kept;
}

}  // namespace

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

int longestSettingsLine() { return INI_MAX_LINE - 1; }

Settings loadSettings(const std::string& path) {
    std::string text;
    int error = 0;
    if (readSettingsFile(path, text, error)) return parseSettings(text, path);
    // A missing file is an ordinary case with its own fixed message; any other failure says why.
    const std::string reason = error == ENOENT ? "" : std::string(": ") + std::strerror(error);
    std::cout << "ERROR: Failed to load '" << path << "'" << reason << ". Using default values instead." << std::endl;
    static const char kNothing[] = "";
    return applySettings(std::make_shared<INIReader>(kNothing, 0), path);
}

Settings parseSettings(std::string_view text, const std::string& path) {
    const std::string readable = withoutUnreadableLines(text, path);
    return applySettings(std::make_shared<INIReader>(readable.data(), readable.size()), path);
}

Settings applySettings(std::shared_ptr<INIReader> reader, const std::string& path) {
    Settings settings;
    settings.reader = std::move(reader);
    const INIReader& ini = *settings.reader;
    if (ini.ParseError() < 0) {
        std::cout << "ERROR: Failed to load '" << path << "'. Using default values instead." << std::endl;
    } else if (ini.ParseError() > 0) {
        // inih goes on past a malformed line and keeps only the first one's number.
        std::cout << "ERROR: Ignored line " << ini.ParseError() << " in '" << path
                  << "': not a [section], a name = value pair or a comment (the first such line)" << std::endl;
    }

    GlobalState& state = GlobalState::instance();
    settings.fullscreen = ini.GetBoolean("window", "fullscreen", false);
    settings.title = ini.Get("window", "title", "Verdance");
    settings.width = ini.GetInteger("window", "width", 800);
    settings.height = ini.GetInteger("window", "height", 800);
    state.width = static_cast<std::int32_t>(settings.width);
    state.height = static_cast<std::int32_t>(settings.height);
    state.refreshRate = static_cast<std::int32_t>(ini.GetInteger("window", "refresh_rate", 60));
    state.fov = static_cast<float>(ini.GetReal("camera", "fov", 60.0));
    state.nearPlane = static_cast<float>(ini.GetReal("camera", "near", 0.1f));
    state.mouseSensitivity = static_cast<float>(ini.GetReal("camera", "mouse_sensitivity", 1.0));
    state.farPlane = 300.0f;
    return settings;
}

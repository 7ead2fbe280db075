#include "tests/support/ToolFiles.h"

#include <stb_image.h>

#include <cstdio>
#include <fstream>
#include <iterator>

namespace gltest {

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

Picture readPng(const std::filesystem::path& path) {
    Picture picture;
    int channels = 0;
    stbi_set_flip_vertically_on_load(false);
    stbi_uc* data = stbi_load(path.string().c_str(), &picture.width, &picture.height, &channels, 4);
    if (!data) return {};
    picture.rgba.assign(data, data + static_cast<std::size_t>(picture.width) * picture.height * 4);
    stbi_image_free(data);
    return picture;
}

std::string captureCommand(const std::string& arguments) {
    return "'" VERDANCE_CAPTURE_EXECUTABLE "' " + arguments;
}

std::string captureFileName(double playSeconds) {
    char name[64];
    std::snprintf(name, sizeof name, "frame_%06.2f.png", playSeconds);
    return name;
}

}  // namespace gltest

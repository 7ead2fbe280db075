#include "tools/baker/BakeFiles.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

std::string prepareFolder(const std::string& assetsDir, const std::string& subFolder) {
    const std::filesystem::path folder = std::filesystem::path(assetsDir) / subFolder;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        std::printf("ERROR: Failed to create folder '%s': %s\n", folder.string().c_str(),
                    error ? error.message().c_str() : "not a directory");
        std::fflush(stdout);
        return {};
    }
    return folder.string() + "/";
}

bool writeFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    // The process id keeps two bakers that share a source tree from writing the same temporary file.
    const std::string temporary = path + ".tmp" + std::to_string(static_cast<long>(getpid()));
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!file) {
            std::printf("ERROR: Failed to write '%s': %zu bytes could not be written\n", path.c_str(),
                        bytes.size());
            std::fflush(stdout);
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        std::printf("ERROR: Failed to write '%s': %s\n", path.c_str(), error.message().c_str());
        std::fflush(stdout);
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

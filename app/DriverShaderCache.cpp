#include "app/DriverShaderCache.h"

#include "app/WholeFile.h"
#include "render/LightingCache.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Mesa's size bookkeeping in a cache folder: each process keeps its own, never copied.
constexpr const char* kMesaIndexFile = "index";

bool readBytes(const fs::path& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

bool isTrue(const char* value) {
    return value && (!std::strcmp(value, "1") || !strcasecmp(value, "true") || !strcasecmp(value, "yes"));
}

}  // namespace

bool mayRedirectShaderCache(const std::function<const char*(const char*)>& lookup) {
    for (const char* chosen : {"MESA_SHADER_CACHE_DIR", "MESA_DISK_CACHE_SINGLE_FILE", "MESA_DISK_CACHE_DATABASE"})
        if (const char* value = lookup(chosen); value && *value) return false;
    return !isTrue(lookup("MESA_SHADER_CACHE_DISABLE"));
}

bool copyMissingCacheFiles(const fs::path& from, const fs::path& to, std::string& why) {
    std::error_code error;
    fs::recursive_directory_iterator it(from, error), end;
    if (error) {
        why = "'" + from.string() + "': " + error.message();
        return false;
    }
    std::vector<std::uint8_t> bytes;
    for (; it != end; it.increment(error)) {
        if (error) break;
        if (!it->is_regular_file(error) || it->path().filename() == kMesaIndexFile) continue;
        const fs::path target = to / fs::relative(it->path(), from, error);
        if (error) break;
        if (fs::exists(target, error)) continue;
        if (!readBytes(it->path(), bytes)) {
            why = "'" + it->path().string() + "': cannot be read";
            return false;
        }
        fs::create_directories(target.parent_path(), error);
        if (error) {
            why = "'" + target.parent_path().string() + "': " + error.message();
            return false;
        }
        if (!writeWholeFile(target, bytes, why)) return false;
    }
    if (error) {
        why = "'" + from.string() + "': " + error.message();
        return false;
    }
    return true;
}

void useBuiltShaderCache() {
    if (!mayRedirectShaderCache([](const char* name) { return std::getenv(name); })) return;
    const std::optional<fs::path> dir = lightingCacheDir();
    if (!dir) return;
    const fs::path own = *dir / "mesa";
    std::string why;
    std::error_code error;
    fs::create_directories(own, error);
    if (error) {
        why = "'" + own.string() + "': " + error.message();
    } else if (fs::is_directory(kBuiltShaderCacheDir, error)) {
        copyMissingCacheFiles(kBuiltShaderCacheDir, own, why);
    }
    if (!why.empty()) {
        std::cout << "Shader cache not prepared: " << why << "; the driver keeps its own" << std::endl;
        return;
    }
    setenv("MESA_SHADER_CACHE_DIR", own.c_str(), 1);
}

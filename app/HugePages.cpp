#include "app/HugePages.h"

#include <sys/auxv.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr std::string_view kSetting = "glibc.malloc.hugetlb";
constexpr const char* kModeFile = "/sys/kernel/mm/transparent_hugepage/enabled";

}  // namespace

std::optional<std::string> hugePageTunables(std::string_view kernelMode, const char* tunables) {
    // The kernel brackets the mode in force; only "madvise" waits for the allocator to ask.
    if (kernelMode.find("[madvise]") == std::string_view::npos) return std::nullopt;
    const std::string_view current = tunables ? tunables : "";
    if (current.find(kSetting) != std::string_view::npos) return std::nullopt;
    std::string value(current);
    if (!value.empty()) value += ':';
    return value + std::string(kSetting) + "=1";
}

void restartWithHugePages(char** argv) {
    std::ifstream file(kModeFile);
    const std::string mode((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const char* before = std::getenv("GLIBC_TUNABLES");
    const std::string previous = before ? before : "";
    const std::optional<std::string> value = hugePageTunables(mode, before);
    // A set-user-ID start drops GLIBC_TUNABLES, so its restart would never see the setting and
    // restart again, endlessly.
    if (!value || getauxval(AT_SECURE)) return;
    // The program's own path rather than /proc/self/exe, which would name the process "exe".
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || setenv("GLIBC_TUNABLES", value->c_str(), 1) != 0) return;
    execv(self.c_str(), argv);
    // Still here: the same process goes on as it was started.
    if (before)
        setenv("GLIBC_TUNABLES", previous.c_str(), 1);
    else
        unsetenv("GLIBC_TUNABLES");
}

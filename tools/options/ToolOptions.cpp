#include "tools/options/ToolOptions.h"

#include <cstdio>

namespace {

int refuse(const ToolOption& option, const std::string& value) {
    std::printf("ERROR: %s: '%s' (see --help)\n", option.refusal.c_str(), value.c_str());
    return 2;
}

}  // namespace

std::optional<int> parseToolOptions(int argc, const char* const* argv, const char* help,
                                    const std::vector<ToolOption>& options, const std::optional<ToolOption>& words) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::puts(help);
            return 0;
        }
        const ToolOption* option = nullptr;
        for (const ToolOption& candidate : options)
            if (candidate.name == arg && i + 1 < argc) option = &candidate;
        if (option) {
            const std::string value = argv[++i];
            if (!option->take(value)) return refuse(*option, value);
        } else if (words) {
            if (!words->take(arg)) return refuse(*words, arg);
        } else {
            std::printf("ERROR: unknown option '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    return std::nullopt;
}

// Settings text through the demo's own loader: written to a file of this process, then read as
// "assets/settings.ini" would be.
#include "app/GlobalState.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cout.setstate(std::ios::badbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/verdance-fuzz-settings-" + std::to_string(getpid()) + ".ini";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    const Settings settings = loadSettings(path);
    settings.swapInterval();
    return 0;
}

// Settings text through the demo's own loader, as "assets/settings.ini" would be read: the check of
// lines the reader cannot take whole, inih, and every key.
#include "app/GlobalState.h"

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cout.setstate(std::ios::badbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Settings settings = parseSettings(text, kSettingsPath);
    settings.swapInterval();
    return 0;
}

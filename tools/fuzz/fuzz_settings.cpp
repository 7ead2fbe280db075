// Settings text through the demo's own loader, as "assets/settings.ini" would be read.
#include "app/GlobalState.h"

#include <INIReader.h>

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cout.setstate(std::ios::badbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto reader = std::make_shared<INIReader>(reinterpret_cast<const char*>(data), size);
    const Settings settings = applySettings(std::move(reader), kSettingsPath);
    settings.swapInterval();
    return 0;
}

// Radiance HDR bytes into the sky reader, with the demo's size limits.
#include "textures/HdrReader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    const auto image = parseHdr({data, size}, &why);
    if (image) {
        // What the upload relies on: exactly one RGB triple per pixel, every value finite.
        if (image->pixels.size() != static_cast<std::size_t>(image->width) * image->height * 3) std::abort();
        for (float value : image->pixels)
            if (!std::isfinite(value) || value < 0.0f) std::abort();
    } else if (why.empty()) {
        std::abort();
    }
    return 0;
}

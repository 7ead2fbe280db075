// DDS bytes into the parser, with the largest size our software GL allows.
#include "textures/DdsReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    parseDDS({data, size}, 16384, &why);
    return 0;
}

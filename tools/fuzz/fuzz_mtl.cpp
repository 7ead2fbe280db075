// MTL text into the material parser.
#include "models/ObjReader.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string why;
    parseMtl(std::string_view(reinterpret_cast<const char*>(data), size), &why);
    return 0;
}

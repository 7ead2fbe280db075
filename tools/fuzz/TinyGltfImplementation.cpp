// tinygltf's implementation, compiled from the packaged header into the glTF fuzz target so that its
// JSON and glTF parsing carries the fuzzer's coverage and the sanitizers like our own code; Debian's
// shared library has neither. Every macro stays at its default: the header's inline code (the loader's
// default callbacks) must read the same in every file that includes it. The default image loader's
// stb_image functions come from Debian's libstb and are never called here: the target skips images.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>

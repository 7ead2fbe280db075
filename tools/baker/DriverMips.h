// The lower mip levels of a DXT image, made by the OpenGL driver's own glGenerateMipmap on a
// headless context (EGL, surfaceless platform), and read back compressed. The demo asked the same
// driver for the same chain at every start; baking it gives byte for byte the texture the demo had,
// without the driver's CPU decode, filter and re-encode at load. Without a usable driver the chain
// stays empty and the demo builds it at load as before.
#pragma once

#include <cstdint>
#include <vector>

enum class DdsFormat;

// Levels 1 to the 1 x 1 level of the `width` x `height` image whose top level is `top`, each as
// its compressed bytes; empty when no headless context could be made or the driver refused.
std::vector<std::vector<std::uint8_t>> driverMipChain(int width, int height, const std::vector<std::uint8_t>& top,
                                                      DdsFormat format);

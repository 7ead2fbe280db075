// The test command runs the GL tests on more than one OpenGL implementation and names the one it
// asked for in VERDANCE_EXPECT_GL_RENDERER. Mesa falls back to llvmpipe without a word when zink
// cannot start (no Vulkan device, no runtime folder), and its renderer string then reads
// "llvmpipe (...)" instead of "zink (llvmpipe (...))": such a pass must fail, not pass as zink.
#include "tests/support/GlTestContext.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

TEST(GlDriver, IsTheOneTheRunAskedFor) {
    const GLubyte* name = glGetString(GL_RENDERER);
    ASSERT_NE(name, nullptr);
    const std::string renderer = reinterpret_cast<const char*>(name);
    std::cout << "renderer: " << renderer << std::endl;
    const char* expected = std::getenv("VERDANCE_EXPECT_GL_RENDERER");
    if (!expected || !*expected) GTEST_SKIP() << "VERDANCE_EXPECT_GL_RENDERER not set: any driver will do";
    // A prefix: zink's string names the driver it runs on after its own name.
    EXPECT_EQ(renderer.rfind(expected, 0), 0u) << "asked for '" << expected << "', running on '" << renderer << "'";
}

}  // namespace

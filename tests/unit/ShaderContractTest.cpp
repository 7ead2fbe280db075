#include "shaders/ShaderContract.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ShaderContract, PreambleGoesAfterTheVersionLineOnly) {
    const std::string& preamble = shaderContractPreamble();
    struct Case {
        const char* name;
        std::string source;
        std::string expected;
    };
    const Case cases[] = {
        {"a stage file", "#version 430 core\nvoid main() {}\n",
         "#version 430 core\n" + preamble + "#line 2\nvoid main() {}\n"},
        {"CRLF line ends", "#version 430 core\r\nvoid main() {}\r\n",
         "#version 430 core\r\n" + preamble + "#line 2\nvoid main() {}\r\n"},
        {"an empty text (a file that could not be read)", "", ""},
        {"no version directive first", "// comment\n#version 430 core\n", "// comment\n#version 430 core\n"},
        {"a version line without an end", "#version 430 core", "#version 430 core"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(withShaderContract(c.source), c.expected);
    }
}

}  // namespace

#include "app/DebugOutput.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
    GLenum source, type, severity;
    const char* sourceName;
    const char* typeName;
    const char* severityName;
};

// Core enumerants, the AMD_debug_output categories, and values outside every table.
const NameCase kNameCases[] = {
    {0x8246, 0x824C, 0x9146, "API", "Error", "High"},
    {0x8247, 0x824D, 0x9147, "Window System", "Deprecated Behavior", "Medium"},
    {0x8248, 0x824E, 0x9148, "Shader Compiler", "Undefined Behavior", "Low"},
    {0x8249, 0x824F, 0x826B, "Third Party", "Portability", "Unknown"},  // notification severity
    {0x824A, 0x8250, 0x9146, "Application", "Performance", "High"},
    {0x824B, 0x8251, 0x9146, "Other", "Other", "High"},
    {0x9149, 0x914B, 0x9146, "API", "Deprecated Behavior", "High"},
    {0x914A, 0x914C, 0x9146, "Window System", "Undefined Behavior", "High"},
    {0x914E, 0x914D, 0x9146, "Shader Compiler", "Performance", "High"},
    {0x914F, 0x9150, 0x9146, "Application", "Other", "High"},
    {0x9150, 0x8268, 0x9146, "Other", "Unknown", "High"},          // GL_DEBUG_TYPE_MARKER
    {0x914B, 0x8269, 0x9146, "Unknown", "Unknown", "High"},        // AMD type category as a source; push group
    {0x914D, 0x0000, 0x0000, "Unknown", "Unknown", "Unknown"},
};

TEST(FormatDebugMessage, NamesEverySourceTypeAndSeverity) {
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(c.sourceName + std::string("/") + c.typeName + "/" + c.severityName);
        EXPECT_EQ(formatDebugMessage(c.source, c.type, 42, c.severity, "text"),
                  std::string("OpenGL Error: text [Source = ") + c.sourceName + ", Type = " + c.typeName +
                      ", Severity = " + c.severityName + ", ID = 42]");
    }
}

TEST(DebugMessageCallback, SilencesTwoIdentifiersAndPrintsTheRest) {
    struct Case { GLuint id; std::string output; };
    const Case cases[] = {
        {131185, ""},
        {131218, ""},
        {131184, "OpenGL Error: driver text [Source = API, Type = Other, Severity = Unknown, ID = 131184]\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        testing::internal::CaptureStdout();
        debugMessageCallback(0x8246, 0x8251, c.id, 0x826B, -1, "driver text", nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
    }
}

}  // namespace

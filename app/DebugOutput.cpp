#include "app/DebugOutput.h"

#include <iostream>

namespace {

// The second group of each table holds the AMD_debug_output categories, which older drivers report
// in place of the core enumerants.
const char* sourceName(GLenum source) {
    switch (source) {
    case 0x8246: case 0x9149: return "API";
    case 0x8247: case 0x914A: return "Window System";
    case 0x8248: case 0x914E: return "Shader Compiler";
    case 0x8249: return "Third Party";
    case 0x824A: case 0x914F: return "Application";
    case 0x824B: case 0x9150: return "Other";
    default: return "Unknown";
    }
}

const char* typeName(GLenum type) {
    switch (type) {
    case 0x824C: return "Error";
    case 0x824D: case 0x914B: return "Deprecated Behavior";
    case 0x824E: case 0x914C: return "Undefined Behavior";
    case 0x824F: return "Portability";
    case 0x8250: case 0x914D: return "Performance";
    case 0x8251: case 0x9150: return "Other";
    default: return "Unknown";
    }
}

const char* severityName(GLenum severity) {
    switch (severity) {
    case 0x9146: return "High";
    case 0x9147: return "Medium";
    case 0x9148: return "Low";
    default: return "Unknown";
    }
}

// 131185: buffer placed in video memory; 131218: shader recompiled for state. Both are routine.
constexpr GLuint kSilencedIds[] = {131185, 131218};

}  // namespace

std::string formatDebugMessage(GLenum source, GLenum type, GLuint id, GLenum severity, const char* message) {
    return std::string("OpenGL Error: ") + (message ? message : "") + " [Source = " + sourceName(source) +
           ", Type = " + typeName(type) + ", Severity = " + severityName(severity) +
           ", ID = " + std::to_string(id) + "]";
}

void GLAPIENTRY debugMessageCallback(GLenum source, GLenum type, GLuint id, GLenum severity, GLsizei /*length*/,
                                     const GLchar* message, const void* /*userParam*/) {
    for (GLuint silenced : kSilencedIds)
        if (id == silenced) return;
    std::cout << formatDebugMessage(source, type, id, severity, message) << std::endl;
}

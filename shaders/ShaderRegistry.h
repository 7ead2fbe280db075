// The process-wide map from ShaderType to its one Shader. A program is built the first time anyone
// asks for its type and handed out to every later caller.
#pragma once

#include "shaders/Shader.h"

#include <cstdint>
#include <memory>
#include <vector>

std::shared_ptr<Shader> getShader(ShaderType type);

// The raw type values that have a program, and dropping one, for tests that leave the registry as
// they found it. A dropped program lives on with whoever holds it; the next request builds anew.
std::vector<std::int32_t> registeredShaderTypes();
void forgetShader(std::int32_t type);

struct ShaderFiles {
    const char* vertex;
    const char* geometry;  // nullptr for two-stage and compute programs
    const char* fragment;  // for PARTICLES_COMPUTE: the compute file
};

// The stage files of `type` (full paths under "assets/shader/"); out-of-range values give SIMPLE's.
ShaderFiles shaderFilesFor(ShaderType type);

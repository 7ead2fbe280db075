// The start-up check that a context and OpenGL 3.0 are present, and a fallback program made current
// when nothing else is, so that early draws never run without a program.
#pragma once

bool initFramework();
void releaseFramework();

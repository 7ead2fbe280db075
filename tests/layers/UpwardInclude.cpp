// Must not compile: scene/ sits below render/, so the scene layer cannot see render's headers. The
// test "layers_refuse_upward_includes" builds this against the scene layer and expects the include
// to be missing.
#include "render/Level.h"

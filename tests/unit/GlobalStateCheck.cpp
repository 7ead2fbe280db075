// The context-free tests run from gtest's own main: this puts the GlobalState check around each of them.
#include "tests/support/GlobalStateGuard.h"

namespace {

[[maybe_unused]] const bool registered = (testsupport::checkGlobalStateAfterEveryTest(), true);

}  // namespace

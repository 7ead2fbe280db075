#!/usr/bin/env bash
# Builds the context-free unit tests with AddressSanitizer and UndefinedBehaviorSanitizer in their own
# build folder and runs them from the repository root (they read the baked assets: run the normal
# build first). Any memory error, leak or undefined behaviour fails the run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERDANCE_SANITIZE=ON >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target verdance_tests
cd "$root"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" "$build/verdance_tests" "$@"

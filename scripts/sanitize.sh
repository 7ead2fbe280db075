#!/usr/bin/env bash
# Builds the context-free unit tests with AddressSanitizer and UndefinedBehaviorSanitizer in the clang
# build they share with the fuzz targets (build-sanitize/, scripts/sanitizer-build.sh) and runs them
# from the repository root (they read the baked assets: run the normal build first). Any memory
# error, leak or undefined behaviour fails the run.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/sanitizer-build.sh"
build="$(sanitizer_build_dir)"
build_sanitizer_targets verdance_tests
cd "$root"
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0" "$build/verdance_tests" "$@"

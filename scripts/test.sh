#!/usr/bin/env bash
# Everything on a fresh Debian 12 machine: installs, builds, starts a virtual display when there is
# none, runs every test, then the unit tests under the sanitizers and a 30 s smoke of every fuzz
# target (scripts/sanitize.sh, scripts/fuzz.sh); exits with 1 when any of them failed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
source "$root/scripts/xvfb.sh"
start_virtual_display
status=0
ctest --test-dir "$build" --output-on-failure "$@" </dev/null || status=$?
# The context-free tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
"$root/scripts/sanitize.sh" </dev/null || status=1
# Every reader fuzzed for a short while, so that a regression shows; long runs are done by hand.
"$root/scripts/fuzz.sh" --time "${VERDANCE_FUZZ_SECONDS:-30}" </dev/null || status=1
exit "$status"

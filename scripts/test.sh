#!/usr/bin/env bash
# Everything on a fresh Debian 12 machine: installs, builds, starts a virtual display when there is
# none, runs every test and exits with ctest's status.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VERDANCE_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
source "$root/scripts/xvfb.sh"
start_virtual_display
status=0
ctest --test-dir "$build" --output-on-failure "$@" </dev/null || status=$?
exit "$status"
